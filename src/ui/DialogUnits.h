#pragma once

#include <QFont>
#include <QRect>

// Dialog layouts are given in dialog units of their font, so they scale with it: a horizontal unit
// is a quarter of the font's average character width, a vertical unit an eighth of its height.
class DialogUnits final {
public:
    explicit DialogUnits(const QFont& font);

    int x(int units) const;
    int y(int units) const;
    QRect rect(int left, int top, int width, int height) const;

private:
    double m_baseX;
    double m_baseY;
};
