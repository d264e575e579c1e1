#pragma once

#include <QString>
#include <QStringMatcher>
#include <QStringView>

// Text as a search compares it: Latin letters in one case, full-width forms as their half-width ones and
// traditional Chinese characters as their simplified ones. Every UTF-16 unit folds to exactly one unit, so a
// position in the folded text is the same position in the original.
namespace SearchFolding {

char16_t fold(char16_t c);
// Folds the text into the buffer, reusing its memory.
void fold(QStringView text, QString& buffer);
QString folded(QStringView text);

// A folded needle, looked for in texts folded on the way.
class Matcher final {
public:
    explicit Matcher(QStringView needle);

    bool isEmpty() const { return m_needle.isEmpty(); }
    qsizetype length() const { return m_needle.size(); }
    // Where the needle first occurs in the text, or -1. The buffer holds the folded text afterwards.
    qsizetype find(QStringView text, QString& buffer) const;

private:
    QString m_needle;
    QStringMatcher m_matcher;
};

} // namespace SearchFolding
