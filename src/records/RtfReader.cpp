#include "records/RtfReader.h"

#include <QTextCursor>
#include <QTextDocument>

#include "records/RtfParser.h"

namespace RtfReader {

namespace {

qsizetype rtfStart(QByteArrayView rtf)
{
    qsizetype i = 0;
    while (i < rtf.size() && (rtf[i] == ' ' || rtf[i] == '\t' || rtf[i] == '\r' || rtf[i] == '\n'))
        ++i;
    return rtf.sliced(i).startsWith("{\\rtf") ? i : -1;
}

} // namespace

bool read(QByteArrayView rtf, QTextDocument& document)
{
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    document.clear();
    const qsizetype start = rtfStart(rtf);
    bool ok = false;
    if (start >= 0) {
        QTextCursor batch(&document);
        // One edit block: a document shown in an editor is laid out once, not after every run.
        batch.beginEditBlock();
        ok = RtfRead::Parser(rtf, start, document).run();
        batch.endEditBlock();
        if (!ok)
            document.clear();
    }
    document.setUndoRedoEnabled(undo);
    document.setModified(false);
    return ok;
}

} // namespace RtfReader
