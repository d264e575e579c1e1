#include "ui/TivResources.h"

// Q_INIT_RESOURCE declares the generated function at the point of use, which must be outside any
// namespace.
static void registerTivResources()
{
    Q_INIT_RESOURCE(tiv);
}

namespace TivResources {

void init()
{
    static const bool registered = (registerTivResources(), true);
    Q_UNUSED(registered);
}

QIcon icon(const QString& name)
{
    init();
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(name));
}

QIcon hotIcon(const QString& name)
{
    init();
    QIcon result;
    result.addFile(QStringLiteral(":/icons/%1.svg").arg(name), QSize(), QIcon::Normal);
    result.addFile(QStringLiteral(":/icons/%1-hot.svg").arg(name), QSize(), QIcon::Active);
    return result;
}

} // namespace TivResources
