#include "ui/DialogUnits.h"

#include <QFontMetricsF>

#include <cmath>

namespace {

// The average width of the Latin alphabet is how dialog units have always been measured.
double averageCharWidth(const QFontMetricsF& metrics)
{
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return metrics.horizontalAdvance(alphabet) / alphabet.size();
}

} // namespace

DialogUnits::DialogUnits(const QFont& font)
{
    const QFontMetricsF metrics(font);
    m_baseX = averageCharWidth(metrics);
    m_baseY = metrics.height();
}

int DialogUnits::x(int units) const
{
    return static_cast<int>(std::lround(units * m_baseX / 4.0));
}

int DialogUnits::y(int units) const
{
    return static_cast<int>(std::lround(units * m_baseY / 8.0));
}

QRect DialogUnits::rect(int left, int top, int width, int height) const
{
    return {x(left), y(top), x(width), y(height)};
}
