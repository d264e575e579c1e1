#include "records/RtfReader.h"

#include <algorithm>
#include <array>
#include <climits>
#include <map>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include <QBuffer>
#include <QColor>
#include <QCryptographicHash>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QList>
#include <QPainter>
#include <QStringDecoder>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>

#include "crypto/CodePage936.h"

namespace RtfReader {

namespace {

constexpr int kDefaultHalfPoints = 24; // RTF's default size: 12 points
constexpr int kMaxHalfPoints = 3276;   // 1638 points, the largest size word processors offer
constexpr int kMaxTwips = 31680;       // 22 inches, the widest page RTF describes
constexpr int kMaxUnicodeSkip = 8;     // a fallback is a few bytes at most (four for GB18030)
constexpr int kMaxControlWordLength = 32;
constexpr int kDefaultCodePage = 1252;
constexpr int kPlaceholderSide = 96; // pixels, when a picture gives no size at all
constexpr int kMaxPlaceholderSide = 2048;
constexpr double kHimetricPerPixel = 2540.0 / 96.0; // metafile sizes are in hundredths of a millimetre
constexpr char16_t kReplacement = 0xFFFD;
const QString kPictureScheme = QStringLiteral("rtfpicture:");

// ---------------------------------------------------------------------------------------------------------------
// Code pages

// \fcharsetN to the Windows code page of its bytes. Symbol faces (2) number glyphs; the Western code page shows
// them as well as any.
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

// Charset 1 means "the default"; unknown charsets fall back to it too.
int codePageForCharset(int charset, int documentCodePage)
{
    const auto found = std::find_if(kCharsetCodePages.begin(), kCharsetCodePages.end(),
                                    [charset](const auto& entry) { return entry.first == charset; });
    return found == kCharsetCodePages.end() ? documentCodePage : found->second;
}

QByteArray codecName(int codePage)
{
    const auto found = std::find_if(kCodecNames.begin(), kCodecNames.end(),
                                    [codePage](const auto& entry) { return entry.first == codePage; });
    return found == kCodecNames.end() ? "windows-" + QByteArray::number(codePage) : QByteArray(found->second);
}

bool isLeadByte(int codePage, uchar byte)
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

// One decoder per code page met in a body; opening an ICU converter costs more than a short run of text.
class Decoders {
public:
    QString decode(int codePage, QByteArrayView bytes)
    {
        if (codePage == 936)
            return CodePage936::toText(bytes);
        return decoder(codePage).decode(bytes);
    }

private:
    QStringDecoder& decoder(int codePage)
    {
        auto it = m_decoders.find(codePage);
        if (it != m_decoders.end())
            return it->second;
        QStringDecoder made(codecName(codePage).constData(), QStringConverter::Flag::Stateless);
        // A code page Qt does not know (Johab, say) still shows its ASCII and Western bytes.
        if (!made.isValid())
            made = QStringDecoder("windows-1252", QStringConverter::Flag::Stateless);
        if (!made.isValid())
            made = QStringDecoder(QStringConverter::Latin1, QStringConverter::Flag::Stateless);
        return m_decoders.emplace(codePage, std::move(made)).first->second;
    }

    std::map<int, QStringDecoder> m_decoders;
};

// ---------------------------------------------------------------------------------------------------------------
// Formatting state

enum class TextClass : quint8 { Loch, Hich, Dbch, Rtl };
enum class Alignment : quint8 { Left, Centre, Right, Justify };

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
};

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

struct ParaProps {
    Alignment alignment = Alignment::Left;
    int left = 0;
    int right = 0;
    int first = 0;
    int before = 0;
    int after = 0;
    bool breakBefore = false;
};

enum class Dest : quint8 {
    Text,       // document text
    Skip,       // ignored together with everything inside
    FontTable,  // font entries: \fN, \fcharsetN, name;
    ColorTable, // \redN\greenN\blueN;
    Picture,    // the hex data of a \pict
    Container,  // text ignored; only the destinations known to hold content inside it count (\shp, \object)
    ShapeName,  // \sn: the name of the shape property whose \sv follows
};

struct GroupState {
    CharProps chr;
    ParaProps para;
    Dest dest = Dest::Text;
    Dest uprDest = Dest::Text; // where the Unicode half of a \upr goes
    int uc = 1;
    bool star = false;
    bool pictureOwner = false;
};

struct Font {
    QString name;
    int charset = -1;
};

struct Tables {
    QHash<int, Font> fonts;
    QList<QColor> colours; // invalid: the automatic colour
    int defaultFont = -1;
    int codePage = kDefaultCodePage;
};

double twipsToPixels(int twips)
{
    return twips / kTwipsPerPixel;
}

// ---------------------------------------------------------------------------------------------------------------
// Writing into the document

// Collects text into runs of one format and inserts each run at once. A paragraph mark only ends the current
// block; the next block is opened when content for it arrives, so a closing \par leaves no empty paragraph.
class DocumentSink {
public:
    DocumentSink(QTextDocument& document, const Tables& tables)
        : m_document(document), m_cursor(&document), m_tables(tables)
    {
    }

    template <class Text> void text(Text text, const Effective& props)
    {
        if (text.isEmpty() || props.hidden)
            return;
        openPendingBlock();
        if (!m_run.isEmpty() && props != m_runProps)
            flushRun();
        m_runProps = props;
        m_run.append(text);
        m_blockHasContent = true;
    }

    void image(const QTextImageFormat& format)
    {
        openPendingBlock();
        flushRun();
        m_cursor.insertImage(format);
        m_blockHasContent = true;
    }

    void addResource(const QString& name, const QVariant& value)
    {
        m_document.addResource(QTextDocument::ImageResource, QUrl(name), value);
    }

    void endParagraph(const ParaProps& para, const Effective& mark)
    {
        flushRun();
        openPendingBlock();
        closeBlock(para, mark);
        m_blockPending = true;
    }

    // A page break ends a paragraph with content and starts the next one on a new page.
    void pageBreak(const ParaProps& para, const Effective& mark)
    {
        if (m_blockHasContent && !m_blockPending)
            endParagraph(para, mark);
        if (m_blockPending)
            m_nextBreakBefore = true;
        else
            m_breakBefore = true;
    }

    void finish(const ParaProps& para, const Effective& mark)
    {
        flushRun();
        if (!m_blockPending)
            closeBlock(para, mark);
    }

private:
    void openPendingBlock()
    {
        if (!m_blockPending)
            return;
        m_cursor.insertBlock();
        m_blockPending = false;
        m_blockHasContent = false;
        m_breakBefore = m_nextBreakBefore;
        m_nextBreakBefore = false;
    }

    void closeBlock(const ParaProps& para, const Effective& mark)
    {
        m_cursor.setBlockFormat(blockFormat(para));
        // An empty line keeps the size of its paragraph mark.
        if (!m_blockHasContent)
            m_cursor.setBlockCharFormat(charFormat(mark));
    }

    void flushRun()
    {
        if (m_run.isEmpty())
            return;
        sanitise(m_run);
        m_cursor.insertText(m_run, charFormat(m_runProps));
        m_run.clear();
    }

    // Characters with a meaning of their own in a QTextDocument would split blocks or fake objects.
    static void sanitise(QString& text)
    {
        const auto special = [](QChar c) {
            const char16_t u = c.unicode();
            return (u < 0x20 && u != u'\t') || u == 0x2029 || u == 0xFFFC || u == 0xFDD0 || u == 0xFDD1;
        };
        if (std::none_of(text.cbegin(), text.cend(), special))
            return;
        QString clean;
        clean.reserve(text.size());
        for (QChar c : std::as_const(text)) {
            if (c.unicode() == 0x2029)
                clean.append(QChar::LineSeparator);
            else if (!special(c))
                clean.append(c);
        }
        text = clean;
    }

    QTextCharFormat charFormat(const Effective& props)
    {
        if (m_formatValid && props == m_formatProps)
            return m_format;
        QTextCharFormat format;
        const auto font = m_tables.fonts.constFind(props.font);
        if (font != m_tables.fonts.cend() && !font->name.isEmpty()) {
            // A face this machine lacks falls back the way the editor's own face does, not to whatever
            // the font system picks for it.
            QStringList families{font->name};
            for (const QString& fallback : m_document.defaultFont().families()) {
                if (!families.contains(fallback))
                    families.append(fallback);
            }
            format.setFontFamilies(families);
        }
        format.setFontPointSize(props.halfPoints / 2.0);
        format.setFontWeight(props.bold ? QFont::Bold : QFont::Normal);
        format.setFontItalic(props.italic);
        format.setFontUnderline(props.underline);
        format.setFontStrikeOut(props.strike);
        if (props.colour > 0 && props.colour < m_tables.colours.size() && m_tables.colours[props.colour].isValid())
            format.setForeground(m_tables.colours[props.colour]);
        m_format = format;
        m_formatProps = props;
        m_formatValid = true;
        return format;
    }

    QTextBlockFormat blockFormat(const ParaProps& para) const
    {
        QTextBlockFormat format;
        static constexpr std::array<Qt::Alignment, 4> alignments = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight,
                                                                    Qt::AlignJustify};
        format.setAlignment(alignments[static_cast<int>(para.alignment)]);
        if (para.left != 0)
            format.setLeftMargin(twipsToPixels(para.left));
        if (para.right != 0)
            format.setRightMargin(twipsToPixels(para.right));
        if (para.first != 0)
            format.setTextIndent(twipsToPixels(para.first));
        if (para.before != 0)
            format.setTopMargin(twipsToPixels(para.before));
        if (para.after != 0)
            format.setBottomMargin(twipsToPixels(para.after));
        if (m_breakBefore || para.breakBefore)
            format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        return format;
    }

    QTextDocument& m_document;
    QTextCursor m_cursor;
    const Tables& m_tables;
    QString m_run;
    Effective m_runProps;
    QTextCharFormat m_format;
    Effective m_formatProps;
    bool m_formatValid = false;
    bool m_blockPending = false;
    bool m_blockHasContent = false;
    bool m_breakBefore = false;
    bool m_nextBreakBefore = false;
};

// ---------------------------------------------------------------------------------------------------------------
// Control words

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
    char16_t symbol = 0;
};

const std::unordered_map<std::string_view, Keyword>& keywords()
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

bool isDestination(Kw kw)
{
    return kw <= Kw::Ud;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// ---------------------------------------------------------------------------------------------------------------
// Pictures

struct Picture {
    enum class Kind : quint8 { Unknown, Png, Jpeg, Metafile, Bitmap };
    Kind kind = Kind::Unknown;
    int picw = 0;
    int pich = 0;
    int goalw = 0;
    int goalh = 0;
    int scalex = 100;
    int scaley = 100;
    QByteArray data;
    QByteArray words;    // the control words of the group, to rebuild it when its bytes cannot be kept as they are
    qsizetype start = 0; // of the \pict control word
    int highNibble = -1;
    bool binary = false;
};

QImage placeholderImage(QSize size)
{
    QImage image(size.boundedTo(QSize(kMaxPlaceholderSide, kMaxPlaceholderSide)), QImage::Format_RGB32);
    image.fill(QColor(240, 240, 240));
    QPainter painter(&image);
    painter.setPen(QColor(160, 160, 160));
    const QRect frame = image.rect().adjusted(0, 0, -1, -1);
    painter.drawRect(frame);
    painter.drawLine(frame.topLeft(), frame.bottomRight());
    painter.drawLine(frame.topRight(), frame.bottomLeft());
    return image;
}

// ---------------------------------------------------------------------------------------------------------------
// The reader

class Reader {
public:
    Reader(QByteArrayView rtf, qsizetype start, QTextDocument& document)
        : m_in(rtf), m_pos(start), m_sink(document, m_tables)
    {
    }

    bool run()
    {
        while (m_pos < m_in.size() && !m_done && !m_failed) {
            switch (m_in[m_pos]) {
            case '{':
                openGroup();
                break;
            case '}':
                ++m_pos;
                closeGroup(true);
                break;
            case '\\':
                controlSequence();
                break;
            case '\r':
            case '\n':
                ++m_pos;
                break;
            default:
                literal();
                break;
            }
        }
        if (m_failed)
            return false;
        flushBytes();
        const ParaProps para = m_state.para;
        const Effective mark = effective();
        // Truncated input: close what is open so that a picture or a font entry in progress still counts.
        while (!m_done && !m_failed)
            closeGroup(false);
        if (m_failed)
            return false;
        flushBytes();
        dropLoneSurrogate();
        m_sink.finish(para, mark);
        return true;
    }

private:
    // -- groups ----------------------------------------------------------------------------------------------------

    void openGroup()
    {
        if (m_depth >= kMaxGroupDepth) {
            m_failed = true;
            return;
        }
        // The root group is the reader's initial state; every other one saves its parent's.
        if (m_depth > 0)
            m_stack.push_back(m_state);
        ++m_depth;
        m_state.star = false;
        m_state.pictureOwner = false;
        if (m_state.dest == Dest::Picture)
            m_state.dest = Dest::Skip;
        m_skip = 0;
        ++m_pos;
    }

    void closeGroup(bool closed)
    {
        m_skip = 0;
        if (m_state.pictureOwner)
            finishPicture(closed);
        if (m_state.dest == Dest::FontTable) {
            flushBytes();
            finishFontEntry();
        }
        if (m_depth <= 1) {
            m_done = true;
            return;
        }
        --m_depth;
        m_state = m_stack.back();
        m_stack.pop_back();
    }

    void setDest(Dest dest)
    {
        if (m_state.dest != Dest::Skip)
            m_state.dest = dest;
    }

    // -- lexing ----------------------------------------------------------------------------------------------------

    void controlSequence()
    {
        m_wordStart = m_pos;
        ++m_pos;
        if (m_pos >= m_in.size())
            return;
        const char c = m_in[m_pos];
        if (isLetter(c)) {
            controlWord();
            return;
        }
        ++m_pos;
        if (c == '*') {
            m_state.star = true;
            return;
        }
        if (c == '\'') {
            const int high = m_pos < m_in.size() ? hexValue(m_in[m_pos]) : -1;
            if (high < 0)
                return;
            ++m_pos;
            const int low = m_pos < m_in.size() ? hexValue(m_in[m_pos]) : -1;
            if (low < 0)
                return; // a broken escape goes with its one digit
            ++m_pos;
            if (consumeSkip())
                return;
            if (m_state.dest == Dest::Text || m_state.dest == Dest::FontTable)
                byte(static_cast<uchar>(high * 16 + low));
            return;
        }
        if (consumeSkip())
            return;
        switch (c) {
        case '\\':
        case '{':
        case '}':
            character(QChar::fromLatin1(c));
            break;
        case '~':
            character(QChar(0x00A0));
            break;
        case '-':
            character(QChar(0x00AD));
            break;
        case '_':
            character(QChar(0x2011));
            break;
        case '\t':
            character(QChar(u'\t'));
            break;
        case '\r':
        case '\n':
            paragraph();
            break;
        default:
            break;
        }
    }

    void controlWord()
    {
        const qsizetype nameStart = m_pos;
        while (m_pos < m_in.size() && isLetter(m_in[m_pos]))
            ++m_pos;
        const std::string_view name(m_in.data() + nameStart, static_cast<size_t>(m_pos - nameStart));
        bool hasParam = false;
        long long value = 0;
        const bool negative = m_pos + 1 < m_in.size() && m_in[m_pos] == '-' && isDigit(m_in[m_pos + 1]);
        if (negative)
            ++m_pos;
        while (m_pos < m_in.size() && isDigit(m_in[m_pos])) {
            hasParam = true;
            if (value <= INT_MAX)
                value = value * 10 + (m_in[m_pos] - '0');
            ++m_pos;
        }
        if (m_pos < m_in.size() && m_in[m_pos] == ' ')
            ++m_pos;
        const int clampedParam = static_cast<int>(std::clamp<long long>(negative ? -value : value, -INT_MAX, INT_MAX));

        // \bin is followed by raw bytes, which no state may read as RTF.
        if (name == "bin") {
            binary(hasParam ? std::max(clampedParam, 0) : 0);
            return;
        }
        if (m_state.dest == Dest::Skip)
            return;
        const bool star = m_state.star;
        m_state.star = false;
        const auto& table = keywords();
        const auto found = name.size() <= kMaxControlWordLength ? table.find(name) : table.end();
        if (found == table.end()) {
            if (star)
                m_state.dest = Dest::Skip;
            else if (m_state.dest == Dest::Picture)
                recordPictureWord(name, hasParam, clampedParam);
            else
                consumeSkip();
            return;
        }
        const Keyword keyword = found->second;
        if (star && !isDestination(keyword.kw)) {
            m_state.dest = Dest::Skip;
            return;
        }
        if (m_state.dest == Dest::Picture) {
            recordPictureWord(name, hasParam, clampedParam);
            pictureWord(keyword.kw, clampedParam);
            return;
        }
        if (keyword.kw != Kw::U && keyword.kw != Kw::Uc && consumeSkip())
            return;
        word(keyword, hasParam, clampedParam);
    }

    void literal()
    {
        const qsizetype start = m_pos;
        while (m_pos < m_in.size()) {
            const char c = m_in[m_pos];
            if (c == '\\' || c == '{' || c == '}' || c == '\r' || c == '\n')
                break;
            ++m_pos;
        }
        const QByteArrayView bytes = m_in.sliced(start, m_pos - start);
        switch (m_state.dest) {
        case Dest::Skip:
        case Dest::Container:
            return;
        case Dest::Picture:
            pictureHex(bytes);
            return;
        case Dest::ShapeName:
            m_shapeName.append(bytes.first(std::min<qsizetype>(bytes.size(), kMaxControlWordLength)));
            return;
        case Dest::ColorTable:
            for (char c : bytes) {
                if (c == ';')
                    finishColour();
            }
            return;
        case Dest::Text:
        case Dest::FontTable:
            break;
        }
        qsizetype i = 0;
        while (i < bytes.size()) {
            if (consumeSkip()) {
                ++i;
                continue;
            }
            const auto b = static_cast<uchar>(bytes[i]);
            // A lead byte's trail may be written as a plain character: "\'81@".
            if (b >= 0x80 || (m_leadOpen && b >= 0x40 && b <= 0x7E)) {
                byte(b);
                ++i;
                continue;
            }
            if (b < 0x20) {
                if (b == '\t')
                    character(QChar(u'\t'));
                ++i;
                continue;
            }
            qsizetype j = i;
            while (j < bytes.size() && static_cast<uchar>(bytes[j]) >= 0x20 && static_cast<uchar>(bytes[j]) < 0x80)
                ++j;
            // Inside a \uN fallback only the first characters are skipped.
            text(QLatin1StringView(bytes.sliced(i, j - i)));
            i = j;
        }
    }

    void binary(int count)
    {
        const qsizetype n = std::min<qsizetype>(count, m_in.size() - m_pos);
        if (m_state.dest == Dest::Picture) {
            if (m_picture.data.size() + n > kMaxPictureBytes) {
                m_failed = true;
                return;
            }
            m_picture.data.append(m_in.sliced(m_pos, n));
            m_picture.binary = true;
        } else if (m_state.dest != Dest::Skip) {
            consumeSkip();
        }
        m_pos += n;
    }

    bool consumeSkip()
    {
        if (m_skip <= 0)
            return false;
        --m_skip;
        return true;
    }

    // -- control words ---------------------------------------------------------------------------------------------

    void word(Keyword keyword, bool hasParam, int param)
    {
        CharProps& chr = m_state.chr;
        ParaProps& para = m_state.para;
        const bool on = !hasParam || param != 0;
        const Dest dest = m_state.dest;
        switch (keyword.kw) {
        case Kw::FontTable:
            setDest(Dest::FontTable);
            m_fontId = INT_MIN;
            break;
        case Kw::ColorTable:
            setDest(Dest::ColorTable);
            m_colourSet = false;
            m_red = m_green = m_blue = 0;
            break;
        case Kw::Pict:
            beginPicture();
            break;
        case Kw::FieldInstruction:
        case Kw::SkipDestination:
            m_state.dest = Dest::Skip;
            break;
        case Kw::TextDestination:
            setDest(Dest::Text);
            break;
        case Kw::Content:
            break;
        case Kw::Container:
            setDest(Dest::Container);
            break;
        case Kw::ShapeName:
            setDest(Dest::ShapeName);
            m_shapeName.clear();
            break;
        case Kw::ShapeValue:
            // Of a shape's properties only its picture is content.
            setDest(m_shapeName == "pib" ? Dest::Container : Dest::Skip);
            break;
        case Kw::Upr:
            m_state.uprDest = dest;
            setDest(Dest::Container);
            break;
        case Kw::Ud:
            setDest(m_state.uprDest);
            break;
        case Kw::Ansi:
            m_tables.codePage = kDefaultCodePage;
            break;
        case Kw::Mac:
            m_tables.codePage = 10000;
            break;
        case Kw::Pc:
            m_tables.codePage = 437;
            break;
        case Kw::Pca:
            m_tables.codePage = 850;
            break;
        case Kw::AnsiCodePage:
            if (hasParam && param > 0)
                m_tables.codePage = param;
            break;
        case Kw::DefaultFont:
            m_tables.defaultFont = param;
            break;
        case Kw::Uc:
            m_state.uc = std::clamp(param, 0, kMaxUnicodeSkip);
            break;
        case Kw::U:
            unicode(param);
            break;
        case Kw::Par:
        case Kw::Cell:
            paragraph();
            break;
        case Kw::Page:
            if (dest == Dest::Text) {
                flushBytes();
                dropLoneSurrogate();
                m_sink.pageBreak(para, effective());
            }
            break;
        case Kw::Symbol:
            character(QChar(keyword.symbol));
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
        case Kw::F:
            if (dest == Dest::FontTable) {
                flushBytes();
                finishFontEntry();
                m_fontId = param;
                m_fontCharset = -1;
            } else {
                chr.font = param;
            }
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
        case Kw::FCharset:
            if (dest == Dest::FontTable)
                m_fontCharset = param;
            break;
        case Kw::Red:
        case Kw::Green:
        case Kw::Blue:
            if (dest == Dest::ColorTable) {
                int& component = keyword.kw == Kw::Red ? m_red : keyword.kw == Kw::Green ? m_green : m_blue;
                component = std::clamp(param, 0, 255);
                m_colourSet = true;
            }
            break;
        default:
            break;
        }
    }

    // -- text ------------------------------------------------------------------------------------------------------

    Effective effective() const
    {
        const CharProps& chr = m_state.chr;
        const bool db = chr.textClass == TextClass::Dbch;
        Effective e;
        e.font = db && chr.dbFont >= 0 ? chr.dbFont : chr.font;
        if (e.font < 0)
            e.font = m_tables.defaultFont;
        e.halfPoints = db && chr.dbHalfPoints > 0 ? chr.dbHalfPoints : chr.halfPoints;
        e.bold = db && chr.dbBold >= 0 ? chr.dbBold != 0 : chr.bold;
        e.italic = db && chr.dbItalic >= 0 ? chr.dbItalic != 0 : chr.italic;
        e.underline = chr.underline;
        e.strike = chr.strike;
        e.colour = chr.colour;
        e.hidden = chr.hidden;
        return e;
    }

    int codePage(const Effective& props) const
    {
        if (m_state.dest == Dest::FontTable)
            return codePageForCharset(m_fontCharset, m_tables.codePage);
        const auto font = m_tables.fonts.constFind(props.font);
        return codePageForCharset(font == m_tables.fonts.cend() ? -1 : font->charset, m_tables.codePage);
    }

    template <class Text> void text(Text text)
    {
        flushBytes();
        dropLoneSurrogate();
        deliver(text);
    }

    void character(QChar c) { text(QStringView(&c, 1)); }

    template <class Text> void deliver(Text text)
    {
        if (m_state.dest == Dest::Text) {
            m_sink.text(text, effective());
        } else if (m_state.dest == Dest::FontTable) {
            if constexpr (std::is_same_v<Text, QLatin1StringView>)
                fontNameText(QString(text));
            else
                fontNameText(text);
        }
    }

    void fontNameText(QStringView text)
    {
        for (QChar c : text) {
            if (c == u';')
                finishFontEntry();
            else
                m_fontName.append(c);
        }
    }

    // A code-page byte; the bytes of one character may come in separate \'hh, even in separate groups.
    void byte(uchar b)
    {
        dropLoneSurrogate();
        const Effective props = effective();
        const int page = codePage(props);
        if (!m_bytes.isEmpty() && !m_leadOpen) {
            const bool sameText = m_bytesDest == m_state.dest && (m_bytesDest != Dest::Text || props == m_bytesProps);
            if (!sameText || page != m_bytesCodePage)
                flushBytes();
        }
        if (m_bytes.isEmpty()) {
            m_bytesDest = m_state.dest;
            m_bytesProps = props;
            m_bytesCodePage = page;
        }
        m_bytes.append(static_cast<char>(b));
        m_leadOpen = !m_leadOpen && isLeadByte(m_bytesCodePage, b);
    }

    void flushBytes()
    {
        if (m_bytes.isEmpty())
            return;
        const QString decoded = m_decoders.decode(m_bytesCodePage, m_bytes);
        m_bytes.clear();
        m_leadOpen = false;
        if (m_bytesDest == Dest::Text)
            m_sink.text(QStringView(decoded), m_bytesProps);
        else if (m_bytesDest == Dest::FontTable)
            m_fontName.append(decoded);
    }

    void unicode(int value)
    {
        flushBytes();
        m_skip = m_state.uc;
        if (value < 0)
            value += 0x10000;
        if (value >= 0xD800 && value <= 0xDBFF) {
            dropLoneSurrogate();
            m_highSurrogate = static_cast<char16_t>(value);
            return;
        }
        if (value >= 0xDC00 && value <= 0xDFFF) {
            if (m_highSurrogate) {
                const char16_t pair[2] = {m_highSurrogate, static_cast<char16_t>(value)};
                m_highSurrogate = 0;
                deliver(QStringView(pair, 2));
            } else {
                deliver(QStringView(&kReplacement, 1));
            }
            return;
        }
        dropLoneSurrogate();
        if (value > 0xFFFF && value <= 0x10FFFF) {
            const char32_t codePoint = static_cast<char32_t>(value);
            deliver(QStringView(QChar::fromUcs4(codePoint)));
        } else if (value < 0 || value > 0x10FFFF) {
            deliver(QStringView(&kReplacement, 1));
        } else if (value != 0) {
            const QChar c(static_cast<char16_t>(value));
            deliver(QStringView(&c, 1));
        }
    }

    void dropLoneSurrogate()
    {
        if (!m_highSurrogate)
            return;
        m_highSurrogate = 0;
        deliver(QStringView(&kReplacement, 1));
    }

    void paragraph()
    {
        if (m_state.dest != Dest::Text)
            return;
        flushBytes();
        dropLoneSurrogate();
        m_sink.endParagraph(m_state.para, effective());
    }

    // -- tables ----------------------------------------------------------------------------------------------------

    void finishFontEntry()
    {
        if (m_fontId != INT_MIN) {
            Font& font = m_tables.fonts[m_fontId];
            font.name = m_fontName.trimmed();
            font.charset = m_fontCharset;
        }
        m_fontId = INT_MIN;
        m_fontName.clear();
    }

    void finishColour()
    {
        m_tables.colours.append(m_colourSet ? QColor(m_red, m_green, m_blue) : QColor());
        m_colourSet = false;
        m_red = m_green = m_blue = 0;
    }

    // -- pictures --------------------------------------------------------------------------------------------------

    void beginPicture()
    {
        if (m_state.dest != Dest::Text && m_state.dest != Dest::Container) {
            m_state.dest = Dest::Skip;
            return;
        }
        // Text whose code-page bytes are still pending comes before the picture, not after it.
        flushBytes();
        dropLoneSurrogate();
        m_picture = Picture{};
        m_picture.start = m_wordStart;
        m_state.dest = Dest::Picture;
        m_state.pictureOwner = true;
    }

    void recordPictureWord(std::string_view name, bool hasParam, int param)
    {
        if (name == "bin")
            return;
        m_picture.words.append('\\');
        m_picture.words.append(name.data(), static_cast<qsizetype>(name.size()));
        if (hasParam)
            m_picture.words.append(QByteArray::number(param));
    }

    void pictureWord(Kw kw, int param)
    {
        switch (kw) {
        case Kw::PngBlip:
            m_picture.kind = Picture::Kind::Png;
            break;
        case Kw::JpegBlip:
            m_picture.kind = Picture::Kind::Jpeg;
            break;
        case Kw::MetafileBlip:
            m_picture.kind = Picture::Kind::Metafile;
            break;
        case Kw::BitmapBlip:
            m_picture.kind = Picture::Kind::Bitmap;
            break;
        case Kw::Picw:
            m_picture.picw = std::max(param, 0);
            break;
        case Kw::Pich:
            m_picture.pich = std::max(param, 0);
            break;
        case Kw::PicwGoal:
            m_picture.goalw = std::clamp(param, 0, kMaxTwips * 10);
            break;
        case Kw::PichGoal:
            m_picture.goalh = std::clamp(param, 0, kMaxTwips * 10);
            break;
        case Kw::PicScaleX:
            m_picture.scalex = std::clamp(param, 1, 1000);
            break;
        case Kw::PicScaleY:
            m_picture.scaley = std::clamp(param, 1, 1000);
            break;
        default:
            break;
        }
    }

    void pictureHex(QByteArrayView bytes)
    {
        QByteArray& data = m_picture.data;
        for (char c : bytes) {
            const int v = hexValue(c);
            if (v < 0)
                continue;
            if (m_picture.highNibble < 0) {
                m_picture.highNibble = v;
                continue;
            }
            if (data.size() >= kMaxPictureBytes) {
                m_failed = true;
                return;
            }
            data.append(static_cast<char>(m_picture.highNibble * 16 + v));
            m_picture.highNibble = -1;
        }
    }

    // The group as it stands in the input when it closed properly and is plain 7-bit RTF; otherwise rebuilt from
    // its control words and data, so that a writer can always put it back.
    QByteArray pictureGroup(bool closed) const
    {
        if (closed && !m_picture.binary) {
            const QByteArrayView group = m_in.sliced(m_picture.start, m_pos - m_picture.start);
            if (std::all_of(group.begin(), group.end(), [](char c) { return c > 0 && c < 0x7F; }))
                return '{' + group.toByteArray();
        }
        return "{\\pict" + m_picture.words + '\n' + m_picture.data.toHex() + '}';
    }

    QSizeF displaySize(QSize natural) const
    {
        const Picture& p = m_picture;
        QSizeF size;
        if (p.goalw > 0 && p.goalh > 0)
            size = QSizeF(twipsToPixels(p.goalw), twipsToPixels(p.goalh));
        else if (p.kind == Picture::Kind::Metafile && p.picw > 0 && p.pich > 0)
            size = QSizeF(p.picw / kHimetricPerPixel, p.pich / kHimetricPerPixel);
        else if (natural.isValid())
            size = natural;
        else if (p.picw > 0 && p.pich > 0)
            size = QSizeF(p.picw, p.pich);
        else
            return {};
        return QSizeF(size.width() * p.scalex / 100.0, size.height() * p.scaley / 100.0);
    }

    void finishPicture(bool closed)
    {
        const Picture& p = m_picture;
        QSize natural;
        if (p.kind == Picture::Kind::Png || p.kind == Picture::Kind::Jpeg) {
            QBuffer buffer;
            buffer.setData(p.data);
            buffer.open(QIODevice::ReadOnly);
            QImageReader reader(&buffer, p.kind == Picture::Kind::Png ? "png" : "jpeg");
            natural = reader.size();
        }
        QTextImageFormat format;
        if (natural.isValid()) {
            const QString name = kPictureScheme + QCryptographicHash::hash(p.data, QCryptographicHash::Sha1).toHex();
            m_sink.addResource(name, p.data);
            format.setName(name);
            const QSizeF size = displaySize(natural);
            if (size.isValid() && size != QSizeF(natural)) {
                format.setWidth(size.width());
                format.setHeight(size.height());
            }
        } else {
            const QByteArray group = pictureGroup(closed);
            QSizeF size = displaySize({});
            if (!size.isValid())
                size = QSizeF(kPlaceholderSide, kPlaceholderSide);
            const QSize pixels = size.toSize().expandedTo(QSize(1, 1));
            const QString name = kPictureScheme + QCryptographicHash::hash(group, QCryptographicHash::Sha1).toHex();
            m_sink.addResource(name, placeholderImage(pixels));
            format.setName(name);
            format.setWidth(size.width());
            format.setHeight(size.height());
            format.setProperty(kOriginalPictureProperty, group);
        }
        m_sink.image(format);
    }

    QByteArrayView m_in;
    qsizetype m_pos;
    qsizetype m_wordStart = 0;
    Tables m_tables;
    DocumentSink m_sink;
    Decoders m_decoders;
    GroupState m_state;
    std::vector<GroupState> m_stack;
    int m_depth = 0;
    bool m_done = false;
    bool m_failed = false;

    int m_skip = 0; // characters of a \uN fallback still to skip
    char16_t m_highSurrogate = 0;

    QByteArray m_bytes; // code-page bytes not yet decoded
    Dest m_bytesDest = Dest::Text;
    Effective m_bytesProps;
    int m_bytesCodePage = kDefaultCodePage;
    bool m_leadOpen = false;

    int m_fontId = INT_MIN;
    int m_fontCharset = -1;
    QString m_fontName;
    int m_red = 0;
    int m_green = 0;
    int m_blue = 0;
    bool m_colourSet = false;
    QByteArray m_shapeName;
    Picture m_picture;
};

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
        ok = Reader(rtf, start, document).run();
        batch.endEditBlock();
        if (!ok)
            document.clear();
    }
    document.setUndoRedoEnabled(undo);
    document.setModified(false);
    return ok;
}

} // namespace RtfReader
