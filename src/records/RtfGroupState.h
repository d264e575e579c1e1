#pragma once

#include <QtGlobal>

#include "records/RtfKeywords.h"

namespace RtfRead {

inline constexpr int kDefaultHalfPoints = 24; // RTF's default size: 12 points
inline constexpr int kMaxTwips = 31680;       // 22 inches, the widest page RTF describes

// Where the content of a group goes.
enum class Dest : quint8 {
    Text,       // document text
    Skip,       // ignored together with everything inside
    FontTable,  // font entries: \fN, \fcharsetN, name;
    ColorTable, // \redN\greenN\blueN;
    Picture,    // the hex data of a \pict
    Container,  // text ignored; only the destinations known to hold content inside it count (\shp, \object)
    ShapeName,  // \sn: the name of the shape property whose \sv follows
};

enum class TextClass : quint8 { Loch, Hich, Dbch, Rtl };
enum class Alignment : quint8 { Left, Centre, Right, Justify };

// The formatting one character of text gets.
struct Effective {
    int font = -1;
    int halfPoints = kDefaultHalfPoints;
    int colour = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool hidden = false;
    bool operator==(const Effective&) const = default;
};

// Character formatting as RTF keeps it, with the double-byte associated properties (\dbch\af, \afs, \ab, \ai)
// that word processors use for the Chinese text of a run.
struct CharProps {
    int font = -1; // -1: the \deff font
    int halfPoints = kDefaultHalfPoints;
    int colour = 0;
    int dbFont = -1;
    int dbHalfPoints = -1;
    qint8 dbBold = -1;
    qint8 dbItalic = -1;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool hidden = false;
    TextClass textClass = TextClass::Loch;
    TextClass assocTarget = TextClass::Loch;

    // What the text gets under these properties: the double-byte ones for double-byte text.
    Effective effective(int defaultFont) const;
};

struct ParaProps {
    Alignment alignment = Alignment::Left;
    int left = 0; // twips, like the other lengths
    int right = 0;
    int first = 0;
    int before = 0;
    int after = 0;
    bool breakBefore = false;
};

// What a group inherits from its parent and may change for itself alone.
struct GroupState {
    CharProps chr;
    ParaProps para;
    Dest dest = Dest::Text;
    Dest uprDest = Dest::Text; // where the Unicode half of a \upr goes
    int uc = 1;                // fallback characters after each \uN
    bool star = false;
    bool pictureOwner = false;

    // Applies a character or paragraph formatting word, or \ucN; false for any other word. Numbers from the
    // input are clamped to what a word processor writes.
    bool applyFormatting(Kw kw, bool hasParam, int param);
};

inline Effective CharProps::effective(int defaultFont) const
{
    const bool db = textClass == TextClass::Dbch;
    Effective e;
    e.font = db && dbFont >= 0 ? dbFont : font;
    if (e.font < 0)
        e.font = defaultFont;
    e.halfPoints = db && dbHalfPoints > 0 ? dbHalfPoints : halfPoints;
    e.bold = db && dbBold >= 0 ? dbBold != 0 : bold;
    e.italic = db && dbItalic >= 0 ? dbItalic != 0 : italic;
    e.underline = underline;
    e.strike = strike;
    e.colour = colour;
    e.hidden = hidden;
    return e;
}

} // namespace RtfRead
