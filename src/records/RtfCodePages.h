#pragma once

#include <QStringDecoder>

// The Windows code pages RTF text comes in: which one a font's \fcharset means, which bytes open a double-byte
// character, and a decoder for each.
namespace RtfRead::CodePages {

// What \ansi, and an RTF that names no code page, mean.
inline constexpr int kDefault = 1252;

// \fcharsetN to the code page of its bytes. Charset 1 means "the document's code page"; unknown charsets do too.
int forCharset(int charset, int documentCodePage);

// Whether the byte opens a double-byte character in the code page.
inline bool isLeadByte(int codePage, uchar byte)
{
    switch (codePage) {
    case 932:
        return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:
    case 949:
    case 950:
        return byte >= 0x81 && byte <= 0xFE;
    case 1361:
        return (byte >= 0x84 && byte <= 0xD3) || (byte >= 0xD8 && byte <= 0xF9);
    default:
        return false;
    }
}

// A stateless decoder for the code page. A code page Qt does not know decodes as Western.
QStringDecoder decoder(int codePage);

} // namespace RtfRead::CodePages
