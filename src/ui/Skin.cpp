#include "ui/Skin.h"

#include <QPalette>
#include <QWidget>

namespace Skin {

QFont uiFont(int pointSize)
{
    QFont font(QStringLiteral("幼圆"), pointSize);
    font.setFamilies({QStringLiteral("幼圆"), QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans CJK")});
    return font;
}

void applyDialogSkin(QWidget* dialog)
{
    dialog->setFont(uiFont());
    QPalette palette = dialog->palette();
    palette.setColor(QPalette::Window, kDialogBackground);
    palette.setColor(QPalette::WindowText, kLabelText);
    // A disabled check box or label must still look disabled.
    palette.setColor(QPalette::Disabled, QPalette::WindowText, kDisabledText);
    dialog->setPalette(palette);
    dialog->setAutoFillBackground(true);
}

QString displayText(const QString& message)
{
    QString text = message;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

} // namespace Skin
