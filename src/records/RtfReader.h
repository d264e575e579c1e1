#pragma once

#include <QByteArrayView>
#include <QTextFormat>

class QTextDocument;

// Loads the RTF bytes of a document or diary body into the editor's document.
//
// How RTF maps onto the document:
// - \par, \sect, \cell and \nestcell end a paragraph; the \par that closes the last paragraph opens no empty one
//   after it. Table cells therefore become paragraphs of their own, in reading order.
// - \line becomes a line separator (U+2028), \tab a tab.
// - A PNG or JPEG picture is an image whose resource holds the picture's original bytes. A picture Qt cannot
//   draw (WMF, EMF, DIB, ...) is a placeholder image that carries its whole \pict group in
//   kOriginalPictureProperty, so that RtfWriter writes it back unchanged. So does a PNG or JPEG too large to
//   decode within kMaxPictureMemory, whose resource is the picture decoded at a size that fits.
// - Every size the input gives is bounded: no picture is shown larger than ten pages, and the images the reader
//   makes take at most kMaxPictureMemory together, however large the pictures claim to be.
namespace RtfReader {

// Deeper nesting than any word processor writes; deeper input is hostile or broken, and refusing it bounds the
// state the reader keeps.
inline constexpr int kMaxGroupDepth = 1000;

// A single picture larger than this (decoded bytes) is refused: a body is held in memory several times over
// (stored bytes, hex text, document resource), and photographs from a camera stay well below it.
inline constexpr qsizetype kMaxPictureBytes = 32 * 1024 * 1024;

// What the pixels of one document's pictures may take in memory, at four bytes a pixel: the images the reader
// makes for them together, and any one picture the document decodes from its bytes to draw it. A larger picture
// is held scaled down.
inline constexpr qsizetype kMaxPictureMemory = 32 * 1024 * 1024;

// On the QTextImageFormat of a placeholder or of a picture held scaled down: the QByteArray of its original
// {\pict ...} group.
inline constexpr int kOriginalPictureProperty = QTextFormat::UserProperty + 0x5254;

// RTF lengths are twips; the document lays out in logical pixels at 96 per inch.
inline constexpr double kTwipsPerPixel = 15.0;

// Replaces the document's content with the RTF. Returns false, leaving the document empty, only when the bytes
// do not start with "{\rtf" (after white space) or exceed kMaxGroupDepth or kMaxPictureBytes. Truncated or
// damaged RTF yields what can be read of it.
bool read(QByteArrayView rtf, QTextDocument& document);

} // namespace RtfReader
