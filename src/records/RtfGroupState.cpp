#include "records/RtfGroupState.h"

#include <algorithm>

namespace RtfRead {

namespace {

constexpr int kMaxHalfPoints = 3276; // 1638 points, the largest size word processors offer
constexpr int kMaxUnicodeSkip = 8;   // a fallback is a few bytes at most (four for GB18030)

} // namespace

bool GroupState::applyFormatting(Kw kw, bool hasParam, int param)
{
    const bool on = !hasParam || param != 0;
    switch (kw) {
    case Kw::Uc:
        uc = std::clamp(param, 0, kMaxUnicodeSkip);
        break;
    case Kw::Pard:
        para = ParaProps{};
        break;
    case Kw::Ql:
        para.alignment = Alignment::Left;
        break;
    case Kw::Qc:
        para.alignment = Alignment::Centre;
        break;
    case Kw::Qr:
        para.alignment = Alignment::Right;
        break;
    case Kw::Qj:
        para.alignment = Alignment::Justify;
        break;
    case Kw::Li:
        para.left = std::clamp(param, -kMaxTwips, kMaxTwips);
        break;
    case Kw::Ri:
        para.right = std::clamp(param, -kMaxTwips, kMaxTwips);
        break;
    case Kw::Fi:
        para.first = std::clamp(param, -kMaxTwips, kMaxTwips);
        break;
    case Kw::Sb:
        para.before = std::clamp(param, 0, kMaxTwips);
        break;
    case Kw::Sa:
        para.after = std::clamp(param, 0, kMaxTwips);
        break;
    case Kw::PageBreakBefore:
        para.breakBefore = on;
        break;
    case Kw::Plain:
        chr = CharProps{};
        break;
    case Kw::Fs:
        chr.halfPoints = param > 0 ? std::min(param, kMaxHalfPoints) : kDefaultHalfPoints;
        break;
    case Kw::B:
        chr.bold = on;
        break;
    case Kw::I:
        chr.italic = on;
        break;
    case Kw::Ul:
        chr.underline = on;
        break;
    case Kw::UlNone:
        chr.underline = false;
        break;
    case Kw::Strike:
        chr.strike = on;
        break;
    case Kw::Cf:
        chr.colour = std::max(param, 0);
        break;
    case Kw::V:
        chr.hidden = on;
        break;
    case Kw::Loch:
        chr.textClass = chr.assocTarget = TextClass::Loch;
        break;
    case Kw::Hich:
        chr.textClass = chr.assocTarget = TextClass::Hich;
        break;
    case Kw::Dbch:
        chr.textClass = chr.assocTarget = TextClass::Dbch;
        break;
    case Kw::Rtlch:
        chr.assocTarget = TextClass::Rtl;
        break;
    case Kw::Ltrch:
        chr.assocTarget = chr.textClass;
        break;
    case Kw::Af:
        if (chr.assocTarget == TextClass::Dbch)
            chr.dbFont = param;
        break;
    case Kw::Afs:
        if (chr.assocTarget == TextClass::Dbch)
            chr.dbHalfPoints = param > 0 ? std::min(param, kMaxHalfPoints) : -1;
        break;
    case Kw::Ab:
        if (chr.assocTarget == TextClass::Dbch)
            chr.dbBold = on ? 1 : 0;
        break;
    case Kw::Ai:
        if (chr.assocTarget == TextClass::Dbch)
            chr.dbItalic = on ? 1 : 0;
        break;
    default:
        return false;
    }
    return true;
}

} // namespace RtfRead
