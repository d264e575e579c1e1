#pragma once

#include <climits>

#include <QColor>
#include <QHash>
#include <QList>
#include <QString>

#include "records/RtfCodePages.h"
#include "records/RtfKeywords.h"

namespace RtfRead {

// The document's font and colour tables, its code page and default font, as far as they have been read. Word
// processors write the tables before the text, but a font or colour may be named before its entry.
class Tables {
public:
    struct Font {
        QString name;
        int charset = -1;
    };

    int codePage() const { return m_codePage; }
    void setCodePage(int codePage) { m_codePage = codePage; }
    int defaultFont() const { return m_defaultFont; }
    void setDefaultFont(int font) { m_defaultFont = font; }

    // The font of the number, or null when the table has none.
    const Font* font(int id) const;
    // The colour of the index, invalid for the automatic colour and for an index past the table.
    QColor colour(int index) const;
    // The code page of text in the font.
    int codePageOf(int fontId) const;
    // The code page of the font entry being read, for its name.
    int entryCodePage() const;

    // The font table: \fN starts an entry and its name ends with ';'.
    void startFontTable();
    void startFont(int id);
    void setFontCharset(int charset);
    void fontNameText(QStringView text);
    void appendFontName(const QString& decoded); // code-page bytes of the name, where ';' is a character
    void finishFont();

    // The colour table: \redN\greenN\blueN, each entry ended by ';'.
    void startColourTable();
    void setColourComponent(Kw kw, int value);
    void colourText(QByteArrayView text);

private:
    void finishColour();

    QHash<int, Font> m_fonts;
    QList<QColor> m_colours; // invalid: the automatic colour
    int m_defaultFont = -1;
    int m_codePage = CodePages::kDefault;

    int m_fontId = INT_MIN; // of the entry being read; INT_MIN when none is
    int m_fontCharset = -1;
    QString m_fontName;
    int m_red = 0;
    int m_green = 0;
    int m_blue = 0;
    bool m_colourSet = false;
};

// Looked up for every code-page byte of the text.
inline const Tables::Font* Tables::font(int id) const
{
    const auto found = m_fonts.constFind(id);
    return found == m_fonts.cend() ? nullptr : &*found;
}

inline int Tables::codePageOf(int fontId) const
{
    const Font* found = font(fontId);
    return CodePages::forCharset(found == nullptr ? -1 : found->charset, m_codePage);
}

inline int Tables::entryCodePage() const
{
    return CodePages::forCharset(m_fontCharset, m_codePage);
}

} // namespace RtfRead
