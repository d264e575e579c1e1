#include "records/RtfKeywords.h"

#include <unordered_map>

namespace RtfRead::Keywords {

namespace {

const std::unordered_map<std::string_view, Keyword>& keywordTable()
{
    static const std::unordered_map<std::string_view, Keyword> table = [] {
        std::unordered_map<std::string_view, Keyword> t = {
            {"fonttbl", {Kw::FontTable}},
            {"colortbl", {Kw::ColorTable}},
            {"pict", {Kw::Pict}},
            {"fldinst", {Kw::FieldInstruction}},
            {"fldrslt", {Kw::TextDestination}},
            {"shptxt", {Kw::TextDestination}},
            {"result", {Kw::TextDestination}},
            {"field", {Kw::Content}}, // its \fldrslt is the text shown
            {"shppict", {Kw::Content}},
            {"shp", {Kw::Container}},
            {"shpinst", {Kw::Container}},
            {"sp", {Kw::Container}},
            {"object", {Kw::Container}},
            {"sn", {Kw::ShapeName}},
            {"sv", {Kw::ShapeValue}},
            {"upr", {Kw::Upr}},
            {"ud", {Kw::Ud}},
            {"ansi", {Kw::Ansi}},
            {"mac", {Kw::Mac}},
            {"pc", {Kw::Pc}},
            {"pca", {Kw::Pca}},
            {"ansicpg", {Kw::AnsiCodePage}},
            {"deff", {Kw::DefaultFont}},
            {"uc", {Kw::Uc}},
            {"u", {Kw::U}},
            {"par", {Kw::Par}},
            {"sect", {Kw::Par}},
            {"cell", {Kw::Cell}},
            {"nestcell", {Kw::Cell}},
            {"page", {Kw::Page}},
            {"line", {Kw::Symbol, 0x2028}},
            {"tab", {Kw::Symbol, u'\t'}},
            {"emdash", {Kw::Symbol, 0x2014}},
            {"endash", {Kw::Symbol, 0x2013}},
            {"emspace", {Kw::Symbol, 0x2003}},
            {"enspace", {Kw::Symbol, 0x2002}},
            {"qmspace", {Kw::Symbol, 0x2005}},
            {"bullet", {Kw::Symbol, 0x2022}},
            {"lquote", {Kw::Symbol, 0x2018}},
            {"rquote", {Kw::Symbol, 0x2019}},
            {"ldblquote", {Kw::Symbol, 0x201C}},
            {"rdblquote", {Kw::Symbol, 0x201D}},
            {"zwj", {Kw::Symbol, 0x200D}},
            {"zwnj", {Kw::Symbol, 0x200C}},
            {"ltrmark", {Kw::Symbol, 0x200E}},
            {"rtlmark", {Kw::Symbol, 0x200F}},
            {"pard", {Kw::Pard}},
            {"ql", {Kw::Ql}},
            {"qc", {Kw::Qc}},
            {"qr", {Kw::Qr}},
            {"qj", {Kw::Qj}},
            {"qd", {Kw::Qj}},
            {"li", {Kw::Li}},
            {"ri", {Kw::Ri}},
            {"fi", {Kw::Fi}},
            {"sb", {Kw::Sb}},
            {"sa", {Kw::Sa}},
            {"pagebb", {Kw::PageBreakBefore}},
            {"plain", {Kw::Plain}},
            {"f", {Kw::F}},
            {"fs", {Kw::Fs}},
            {"b", {Kw::B}},
            {"i", {Kw::I}},
            {"ulnone", {Kw::UlNone}},
            {"strike", {Kw::Strike}},
            {"striked", {Kw::Strike}},
            {"cf", {Kw::Cf}},
            {"v", {Kw::V}},
            {"loch", {Kw::Loch}},
            {"hich", {Kw::Hich}},
            {"dbch", {Kw::Dbch}},
            {"rtlch", {Kw::Rtlch}},
            {"ltrch", {Kw::Ltrch}},
            {"af", {Kw::Af}},
            {"afs", {Kw::Afs}},
            {"ab", {Kw::Ab}},
            {"ai", {Kw::Ai}},
            {"fcharset", {Kw::FCharset}},
            {"red", {Kw::Red}},
            {"green", {Kw::Green}},
            {"blue", {Kw::Blue}},
            {"pngblip", {Kw::PngBlip}},
            {"jpegblip", {Kw::JpegBlip}},
            {"picw", {Kw::Picw}},
            {"pich", {Kw::Pich}},
            {"picwgoal", {Kw::PicwGoal}},
            {"pichgoal", {Kw::PichGoal}},
            {"picscalex", {Kw::PicScaleX}},
            {"picscaley", {Kw::PicScaleY}},
        };
        for (std::string_view name :
             {"ul", "uld", "uldash", "uldashd", "uldashdd", "uldb", "ulhwave", "ulldash", "ulth", "ulthd", "ulthdash",
              "ulthdashd", "ulthdashdd", "ulthldash", "ululdbwave", "ulw", "ulwave"})
            t.emplace(name, Keyword{Kw::Ul});
        for (std::string_view name : {"emfblip", "wmetafile", "pmmetafile", "macpict"})
            t.emplace(name, Keyword{Kw::MetafileBlip});
        for (std::string_view name : {"dibitmap", "wbitmap"})
            t.emplace(name, Keyword{Kw::BitmapBlip});
        // Destinations written without \* whose content is not body text.
        for (std::string_view name :
             {"stylesheet", "info",         "header",     "headerl",  "headerr",   "headerf",
              "footer",     "footerl",      "footerr",    "footerf",  "footnote",  "annotation",
              "atnid",      "atnauthor",    "atndate",    "atnref",   "listtable", "listoverridetable",
              "revtbl",     "rsidtbl",      "filetbl",    "pn",       "pntxta",    "pntxtb",
              "xe",         "tc",           "txe",        "rxe",      "template",  "author",
              "operator",   "title",        "subject",    "keywords", "comment",   "doccomm",
              "nonshppict", "shprslt",      "objdata",    "objclass", "objname",   "ftnsep",
              "ftnsepc",    "ftncn",        "aftnsep",    "aftnsepc", "aftncn",    "bkmkstart",
              "bkmkend",    "generator",    "background", "private",  "themedata", "colorschememapping",
              "datastore",  "latentstyles", "xmlnstbl",   "pgdsctbl", "userprops", "docvar"})
            t.emplace(name, Keyword{Kw::SkipDestination});
        return t;
    }();
    return table;
}

} // namespace

const Keyword* find(std::string_view name)
{
    if (name.size() > kMaxNameLength)
        return nullptr;
    const auto& keywords = keywordTable();
    const auto found = keywords.find(name);
    return found == keywords.end() ? nullptr : &found->second;
}

bool isDestination(Kw kw)
{
    return kw <= Kw::Ud;
}

} // namespace RtfRead::Keywords
