#pragma once

#include <string_view>

#include <QtGlobal>

namespace RtfRead {

// The control words the reader acts on. Every other word is skipped, and with it a \* destination.
enum class Kw : quint8 {
    // destinations
    FontTable,
    ColorTable,
    Pict,
    FieldInstruction,
    TextDestination,
    Content,
    SkipDestination,
    Container,
    ShapeName,
    ShapeValue,
    Upr,
    Ud,
    // document
    Ansi,
    Mac,
    Pc,
    Pca,
    AnsiCodePage,
    DefaultFont,
    Uc,
    U,
    // content
    Par,
    Cell,
    Page,
    Symbol,
    // paragraph
    Pard,
    Ql,
    Qc,
    Qr,
    Qj,
    Li,
    Ri,
    Fi,
    Sb,
    Sa,
    PageBreakBefore,
    // character
    Plain,
    F,
    Fs,
    B,
    I,
    Ul,
    UlNone,
    Strike,
    Cf,
    V,
    Loch,
    Hich,
    Dbch,
    Rtlch,
    Ltrch,
    Af,
    Afs,
    Ab,
    Ai,
    // inside tables
    FCharset,
    Red,
    Green,
    Blue,
    // pictures
    PngBlip,
    JpegBlip,
    MetafileBlip,
    BitmapBlip,
    Picw,
    Pich,
    PicwGoal,
    PichGoal,
    PicScaleX,
    PicScaleY,
};

struct Keyword {
    Kw kw;
    char16_t symbol = 0; // the character a Kw::Symbol stands for
};

} // namespace RtfRead

namespace RtfRead::Keywords {

// Longer names are no word the reader knows; a shape property name is cut to this length too.
inline constexpr int kMaxNameLength = 32;

// The keyword a control word's name stands for, or null for a word the reader does not know.
const Keyword* find(std::string_view name);

// Whether the keyword starts a destination, the only kind of word a \* may stand before.
bool isDestination(Kw kw);

} // namespace RtfRead::Keywords
