#pragma once

#include <QString>

class QMimeData;
class QTextCursor;

// The body editors' side of the clipboard and of drag and drop: what a selection offers other programs, and
// what a body takes from theirs.
//
// A body holds what RtfWriter stores, so rich text and pictures pass through the writer and the reader on their
// way in: what a save would lose never shows in the editor. Links, backgrounds, raised and lowered text, table
// borders and pictures that cannot be had without the network or a file are dropped; their text is kept. A
// list item keeps its number or bullet as text. Plain text takes the format at the caret.
namespace RichClipboard {

inline const QString kRtfFormat = QStringLiteral("text/rtf");

// Plain text, HTML and RTF of the selection; the RTF carries its pictures. The caller owns the data.
QMimeData* mimeData(const QTextCursor& selection);

// Whether the data holds plain text, rich text or a picture.
bool canPaste(const QMimeData& source);

// Replaces the cursor's selection with what the data holds, preferring RTF, then HTML, then a picture, then plain
// text, as one step of undo. False when it holds nothing a body can take; the document is then unchanged.
bool paste(const QMimeData& source, QTextCursor& cursor);

} // namespace RichClipboard
