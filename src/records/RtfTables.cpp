#include "records/RtfTables.h"

#include <algorithm>

namespace RtfRead {

QColor Tables::colour(int index) const
{
    return index > 0 && index < m_colours.size() ? m_colours[index] : QColor();
}

void Tables::startFontTable()
{
    m_fontId = INT_MIN;
}

void Tables::startFont(int id)
{
    finishFont();
    m_fontId = id;
    m_fontCharset = -1;
}

void Tables::setFontCharset(int charset)
{
    m_fontCharset = charset;
}

void Tables::fontNameText(QStringView text)
{
    for (QChar c : text) {
        if (c == u';')
            finishFont();
        else
            m_fontName.append(c);
    }
}

void Tables::appendFontName(const QString& decoded)
{
    m_fontName.append(decoded);
}

void Tables::finishFont()
{
    if (m_fontId != INT_MIN) {
        Font& entry = m_fonts[m_fontId];
        entry.name = m_fontName.trimmed();
        entry.charset = m_fontCharset;
    }
    m_fontId = INT_MIN;
    m_fontName.clear();
}

void Tables::startColourTable()
{
    m_colourSet = false;
    m_red = m_green = m_blue = 0;
}

void Tables::setColourComponent(Kw kw, int value)
{
    int& component = kw == Kw::Red ? m_red : kw == Kw::Green ? m_green : m_blue;
    component = std::clamp(value, 0, 255);
    m_colourSet = true;
}

void Tables::colourText(QByteArrayView text)
{
    for (char c : text) {
        if (c == ';')
            finishColour();
    }
}

void Tables::finishColour()
{
    m_colours.append(m_colourSet ? QColor(m_red, m_green, m_blue) : QColor());
    m_colourSet = false;
    m_red = m_green = m_blue = 0;
}

} // namespace RtfRead
