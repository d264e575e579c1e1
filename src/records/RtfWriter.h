#pragma once

#include <QByteArray>

class QTextDocument;

// Saves the editor's document as the RTF bytes of a document or diary body.
//
// The bytes are 7-bit ASCII without a zero byte (storage cuts a value at its first zero). Every character is
// written with its face and size resolved against the document's default font, so another reader shows the same
// text whatever its own defaults. Chinese faces are declared as code page 936 (\fcharset134) and their characters
// written as \'hh byte pairs; other faces are Western (\fcharset0) and their non-ASCII characters written as \uN.
// Characters code page 936 lacks are \uN with a "?" fallback everywhere. Each paragraph, the last one included,
// ends with \par. Pictures are PNG or JPEG (their original bytes where the document holds them); a placeholder
// that RtfReader made for a picture it cannot show is written back as the group it came from. Tables and lists
// are written as their paragraphs.
namespace RtfWriter {

QByteArray write(const QTextDocument& document);

} // namespace RtfWriter
