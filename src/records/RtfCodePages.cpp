#include "records/RtfCodePages.h"

#include <algorithm>
#include <array>
#include <utility>

#include <QByteArray>

namespace RtfRead::CodePages {

namespace {

// Symbol faces (charset 2) number glyphs; the Western code page shows them as well as any.
constexpr std::array<std::pair<int, int>, 19> kCharsetCodePages = {{
    {0, 1252},   {2, 1252},   {77, 10000}, {128, 932},  {129, 949},  {130, 1361}, {134, 936},
    {136, 950},  {161, 1253}, {162, 1254}, {163, 1258}, {177, 1255}, {178, 1256}, {186, 1257},
    {204, 1251}, {222, 874},  {238, 1250}, {254, 437},  {255, 850},
}};

// Code pages whose converter name is not "windows-N". EUC-KR lacks the extended hangul rich-edit controls
// write, hence 949's name.
constexpr std::array<std::pair<int, const char*>, 10> kCodecNames = {{
    {437, "IBM437"},
    {850, "IBM850"},
    {932, "Shift_JIS"},
    {936, "GBK"},
    {949, "windows-949"},
    {950, "Big5"},
    {1361, "Johab"},
    {10000, "macintosh"},
    {20936, "GB2312"},
    {65001, "UTF-8"},
}};

QByteArray codecName(int codePage)
{
    const auto found = std::find_if(kCodecNames.begin(), kCodecNames.end(),
                                    [codePage](const auto& entry) { return entry.first == codePage; });
    return found == kCodecNames.end() ? "windows-" + QByteArray::number(codePage) : QByteArray(found->second);
}

} // namespace

int forCharset(int charset, int documentCodePage)
{
    const auto found = std::find_if(kCharsetCodePages.begin(), kCharsetCodePages.end(),
                                    [charset](const auto& entry) { return entry.first == charset; });
    return found == kCharsetCodePages.end() ? documentCodePage : found->second;
}

QStringDecoder decoder(int codePage)
{
    QStringDecoder made(codecName(codePage).constData(), QStringConverter::Flag::Stateless);
    // A code page Qt does not know (Johab, say) still shows its ASCII and Western bytes.
    if (!made.isValid())
        made = QStringDecoder("windows-1252", QStringConverter::Flag::Stateless);
    if (!made.isValid())
        made = QStringDecoder(QStringConverter::Latin1, QStringConverter::Flag::Stateless);
    return made;
}

} // namespace RtfRead::CodePages
