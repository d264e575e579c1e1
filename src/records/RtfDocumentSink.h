#pragma once

#include <QString>
#include <QTextCharFormat>
#include <QTextCursor>

#include "records/RtfGroupState.h"

class QTextDocument;
class QTextImageFormat;

namespace RtfRead {

class Tables;

// Writes what the reader finds into the document. Collects text into runs of one format and inserts each run at
// once. A paragraph mark only ends the current block; the next block is opened when content for it arrives, so a
// closing \par leaves no empty paragraph.
class DocumentSink {
public:
    DocumentSink(QTextDocument& document, const Tables& tables);

    void text(QStringView text, const Effective& props);
    void text(QLatin1StringView text, const Effective& props);
    void image(const QTextImageFormat& format);
    void addResource(const QString& name, const QVariant& value);
    void endParagraph(const ParaProps& para, const Effective& mark);
    // A page break ends a paragraph with content and starts the next one on a new page.
    void pageBreak(const ParaProps& para, const Effective& mark);
    void finish(const ParaProps& para, const Effective& mark);

private:
    template <class Text> void appendText(Text text, const Effective& props);
    void openPendingBlock();
    void closeBlock(const ParaProps& para, const Effective& mark);
    void flushRun();
    QTextCharFormat charFormat(const Effective& props);
    QTextBlockFormat blockFormat(const ParaProps& para) const;

    QTextDocument& m_document;
    QTextCursor m_cursor;
    const Tables& m_tables;
    QString m_run;
    Effective m_runProps;
    QTextCharFormat m_format;
    Effective m_formatProps;
    bool m_formatValid = false;
    bool m_blockPending = false;
    bool m_blockHasContent = false;
    bool m_breakBefore = false;
    bool m_nextBreakBefore = false;
};

} // namespace RtfRead
