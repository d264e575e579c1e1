#include "app/RecordExport.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSet>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QUrl>

#include <functional>

#include "crypto/TextCipher.h"
#include "records/RecordStore.h"
#include "records/RtfReader.h"
#include "records/RtfWriter.h"
#include "state/AppState.h"
#include "storage/DbError.h"
#include "storage/RowReader.h"
#include "tree/ModuleTree.h"
#include "ui/Prompter.h"

namespace RecordExport {

namespace {

// A name in UTF-8 stays below the 255 bytes most file systems allow, with room for " (99)" and an extension.
constexpr qsizetype kMaxNameBytes = 200;
// A report lists this many names, then only counts the rest.
constexpr qsizetype kListedNames = 20;

const std::array<QString, 4> kAccountLabels = {QStringLiteral("帐户名称："), QStringLiteral("帐户密码："),
                                               QStringLiteral("地址信息："), QStringLiteral("备注：")};
const QByteArray kUtf8Bom = QByteArrayLiteral("\xEF\xBB\xBF");

bool isUnsafe(QChar c)
{
    switch (c.category()) {
    case QChar::Other_Control:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return QStringView(u"/\\:*?\"<>|").contains(c);
    }
}

QString trimmedName(QString name)
{
    const auto trims = [](QChar c) {
        return c == u'.' || c.isSpace();
    };
    qsizetype start = 0;
    while (start < name.size() && trims(name[start]))
        ++start;
    qsizetype end = name.size();
    while (end > start && trims(name[end - 1]))
        --end;
    return name.mid(start, end - start);
}

// Names the file system may take in a folder; case does not count, as on the systems an export may go to.
class NameSet {
public:
    void reserve(const QString& name) { m_used.insert(name.toCaseFolded()); }
    QString take(const QString& stem, const QString& ext)
    {
        QString name = stem + ext;
        for (int n = 2; m_used.contains(name.toCaseFolded()); ++n)
            name = QStringLiteral("%1 (%2)%3").arg(stem).arg(n).arg(ext);
        reserve(name);
        return name;
    }

private:
    QSet<QString> m_used;
};

// One node of the module's tree, with what the export needs to know of its row.
struct Node {
    int id = 0;
    QString caption;
    bool folder = false;
    int parent = -1; // index of the parent node, -1 at the top
    std::vector<int> children;
    int level = 0;           // the row's protection level
    bool hasContent = false; // the row carries a summary, a body or account fields
};

struct Tree {
    std::vector<Node> nodes;
    std::vector<int> top;
    QHash<int, int> indexOfId;
};

bool loadTree(AppState& state, ModuleKind module, Tree& tree)
{
    const ModuleTree::LoadResult loaded = ModuleTree::load(state, module, [&](const TreeNodeData& data) {
        Node node;
        node.id = data.id;
        node.caption = data.caption;
        node.folder = ModuleTree::isFolderImage(data.image);
        node.parent = data.parentId != 0 ? tree.indexOfId.value(data.parentId, -1) : -1;
        const int index = static_cast<int>(tree.nodes.size());
        tree.indexOfId.insert(node.id, index);
        if (node.parent >= 0)
            tree.nodes[static_cast<std::size_t>(node.parent)].children.push_back(index);
        else
            tree.top.push_back(index);
        tree.nodes.push_back(std::move(node));
    });
    if (!loaded.opened || loaded.readError)
        return false;
    // The levels, and whether a folder's own row holds anything worth a file, in one pass over the table.
    const QString content = module == ModuleKind::Pwd
                                ? QStringLiteral("ifnull(length(userName),0)+ifnull(length(password),0)+"
                                                 "ifnull(length(url),0)+ifnull(length(intro),0)")
                                : QStringLiteral("ifnull(length(mTitle),0)+ifnull(length(mContent),0)");
    try {
        RowReader rows(state.moduleConnection(module),
                       QStringLiteral("SELECT id, myKey, %1 FROM %2 WHERE userId=?").arg(content, moduleTable(module)),
                       {state.user.id});
        while (rows.next()) {
            const auto found = tree.indexOfId.constFind(static_cast<int>(rows.integer(0)));
            if (found == tree.indexOfId.constEnd())
                continue;
            Node& node = tree.nodes[static_cast<std::size_t>(*found)];
            node.level = static_cast<int>(rows.integer(1));
            node.hasContent = rows.integer(2) > 0;
        }
    } catch (const DbError&) {
        return false;
    }
    return true;
}

// The captions of the folders above a node, outermost first, joined as a path.
QString folderPathOf(const Tree& tree, int index)
{
    QStringList parts;
    for (int at = tree.nodes[static_cast<std::size_t>(index)].parent; at >= 0;
         at = tree.nodes[static_cast<std::size_t>(at)].parent)
        parts.prepend(tree.nodes[static_cast<std::size_t>(at)].caption);
    return parts.join(u'/');
}

void copyImages(const QTextDocument& from, QTextDocument& to)
{
    for (QTextBlock block = to.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat())
                continue;
            const QUrl name(format.toImageFormat().name());
            const QVariant image = from.resource(QTextDocument::ImageResource, name);
            if (image.isValid())
                to.addResource(QTextDocument::ImageResource, name, image);
        }
    }
}

QString dataUri(const QVariant& resource)
{
    QByteArray bytes;
    QByteArray type = "image/png";
    if (resource.userType() == QMetaType::QByteArray) {
        bytes = resource.toByteArray();
        if (bytes.startsWith("\xff\xd8\xff"))
            type = "image/jpeg";
        else if (!bytes.startsWith("\x89PNG\r\n\x1a\n"))
            bytes.clear();
    }
    if (bytes.isEmpty()) {
        const QImage image = resource.userType() == QMetaType::QImage ? resource.value<QImage>()
                                                                      : QImage::fromData(resource.toByteArray());
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
    }
    return QStringLiteral("data:%1;base64,%2").arg(QString::fromLatin1(type), QString::fromLatin1(bytes.toBase64()));
}

// One self-contained page: the pictures go inline, so the file can be moved or mailed on its own.
QByteArray htmlOf(const QTextDocument& document)
{
    QString html = document.toHtml();
    QSet<QString> done;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat())
                continue;
            const QString name = format.toImageFormat().name();
            if (done.contains(name))
                continue;
            done.insert(name);
            const QVariant image = document.resource(QTextDocument::ImageResource, QUrl(name));
            if (image.isValid())
                html.replace(QStringLiteral("src=\"%1\"").arg(name), QStringLiteral("src=\"%1\"").arg(dataUri(image)));
        }
    }
    return html.toUtf8();
}

QByteArray textOf(const QTextDocument& document)
{
    QString text = document.toPlainText();
    text.remove(QChar::ObjectReplacementCharacter); // pictures have no text
    return text.toUtf8() + '\n';
}

QByteArray pdfOf(const QTextDocument& document)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setTitle(document.metaInformation(QTextDocument::DocumentTitle));
        writer.setCreator(QStringLiteral("Tiv"));
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        document.print(&writer);
    }
    return bytes;
}

QString csvField(const QString& text)
{
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString csvRow(const QStringList& fields)
{
    QStringList quoted;
    for (const QString& field : fields)
        quoted << csvField(field);
    return quoted.join(u',') + QStringLiteral("\r\n");
}

bool writeFile(const QString& path, const QByteArray& bytes, QString& error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = QStringLiteral("无法写入文件“%1”：%2。").arg(path, file.errorString());
        return false;
    }
    // The file holds what the database keeps encrypted: for the owner's eyes only.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        error = QStringLiteral("无法写入文件“%1”：%2。").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool makeFolder(const QString& path, QString& error)
{
    if (QFileInfo(path).isDir())
        return true;
    if (!QDir().mkpath(path)) {
        error = QStringLiteral("无法建立文件夹“%1”。").arg(path);
        return false;
    }
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return true;
}

QString listed(const QStringList& names)
{
    QStringList lines;
    for (qsizetype i = 0; i < names.size() && i < kListedNames; ++i)
        lines << QStringLiteral("  ") + names[i];
    if (names.size() > kListedNames)
        lines << QStringLiteral("  ……（共 %1 项）").arg(names.size());
    return lines.join(QStringLiteral("\r\n"));
}

// What the export will write, decided before anything is written, so that one question covers every file
// it would replace.
struct Plan {
    struct File {
        QString path;
        int node = -1; // -1: the record of the request
    };
    QStringList folders;
    std::vector<File> files;
    QString indexPath;
    QString indexHtml;
};

class Exporter {
public:
    Exporter(AppState& state, Prompter& prompter, const Request& request)
        : m_state(state), m_prompter(prompter), m_store(state, prompter), m_request(request)
    {
    }

    Outcome run();

private:
    void planRecordFile(int index, const QString& folder, NameSet& names, Plan& plan);
    void planFolder(int index, const std::vector<int>& children, const QString& folder, const QString& relative,
                    Plan& plan, QString& html);
    std::vector<int> scopeChildren(int root) const;
    bool readRecord(int node, RecordStore::LoadOutcome& loaded);
    QByteArray render(const RecordValues& values, const QByteArray& body) const;
    QByteArray csvOf(const std::vector<int>& records);

    AppState& m_state;
    Prompter& m_prompter;
    RecordStore m_store;
    const Request& m_request;
    Tree m_tree;
    Outcome m_outcome;
    QHash<int, QString> m_relative; // node index -> the path of its file below the export's folder
};

void Exporter::planRecordFile(int index, const QString& folder, NameSet& names, Plan& plan)
{
    const Node& node = m_tree.nodes[static_cast<std::size_t>(index)];
    if (node.level != 0) {
        m_outcome.skipped.push_back({node.caption, kCustomKeyReason});
        return;
    }
    const QString name = names.take(safeFileName(node.caption), extension(m_request.format));
    plan.files.push_back({folder + u'/' + name, index});
}

// The folder's own text (when it has any) and everything below it; the index page follows the same walk.
void Exporter::planFolder(int index, const std::vector<int>& children, const QString& folder, const QString& relative,
                          Plan& plan, QString& html)
{
    NameSet names;
    if (relative.isEmpty() && m_request.format == Format::Html)
        names.reserve(QStringLiteral("index.html"));
    const auto link = [&](int at) {
        const QString caption = m_tree.nodes[static_cast<std::size_t>(at)].caption.toHtmlEscaped();
        const auto path = m_relative.constFind(at);
        if (path == m_relative.constEnd())
            return caption;
        QStringList segments;
        for (const QString& segment : path->split(u'/'))
            segments << QString::fromLatin1(QUrl::toPercentEncoding(segment));
        return QStringLiteral("<a href=\"%1\">%2</a>").arg(segments.join(u'/'), caption);
    };
    const auto fileOf = [&](int at) {
        const std::size_t before = plan.files.size();
        planRecordFile(at, folder, names, plan);
        if (plan.files.size() > before)
            m_relative.insert(at, relative + QFileInfo(plan.files.back().path).fileName());
    };
    if (index >= 0 && m_tree.nodes[static_cast<std::size_t>(index)].hasContent)
        fileOf(index);
    html += QStringLiteral("<ul>\n");
    for (int child : children) {
        const Node& node = m_tree.nodes[static_cast<std::size_t>(child)];
        if (node.folder) {
            const QString sub = names.take(safeFileName(node.caption), {});
            plan.folders << folder + u'/' + sub;
            QString inner;
            planFolder(child, node.children, folder + u'/' + sub, relative + sub + u'/', plan, inner);
            html += QStringLiteral("<li>%1\n%2</li>\n").arg(link(child), inner);
        } else {
            fileOf(child);
            QString entry = link(child);
            if (node.level != 0)
                entry += QStringLiteral("（%1，未导出）").arg(kCustomKeyReason);
            html += QStringLiteral("<li>%1</li>\n").arg(entry);
        }
    }
    html += QStringLiteral("</ul>\n");
}

bool Exporter::readRecord(int node, RecordStore::LoadOutcome& loaded)
{
    if (node < 0) {
        loaded = m_store.read(m_request.module, m_request.id, m_request.recordKey);
    } else {
        const Node& entry = m_tree.nodes[static_cast<std::size_t>(node)];
        loaded = m_store.read(m_request.module, entry.id, std::nullopt);
        if (!loaded.loaded && loaded.values.level != 0) {
            // Its key was set after the tree was read.
            m_outcome.skipped.push_back({entry.caption, kCustomKeyReason});
            return false;
        }
    }
    if (!loaded.loaded) {
        const QString caption = node < 0 ? loaded.values.caption : m_tree.nodes[static_cast<std::size_t>(node)].caption;
        m_outcome.skipped.push_back({caption, kReadErrorReason});
        return false;
    }
    return true;
}

QByteArray Exporter::render(const RecordValues& values, const QByteArray& body) const
{
    const ModuleKind module = m_request.module;
    // The body as stored is RTF already; a password entry has none, so its fields are written as one.
    if (m_request.format == Format::Rtf && module != ModuleKind::Pwd)
        return body.isEmpty() ? RtfWriter::write(QTextDocument()) : body;
    const std::unique_ptr<QTextDocument> document = printableDocument(module, values, body);
    switch (m_request.format) {
    case Format::Rtf:
        return RtfWriter::write(*document);
    case Format::Html:
        return htmlOf(*document);
    case Format::Text:
        return textOf(*document);
    case Format::Pdf:
        return pdfOf(*document);
    case Format::Csv:
    case Format::EncryptedCsv:
        break;
    }
    return {};
}

QByteArray Exporter::csvOf(const std::vector<int>& records)
{
    QString text = csvRow({QStringLiteral("标题"), QStringLiteral("帐户名称"), QStringLiteral("帐户密码"),
                           QStringLiteral("地址信息"), QStringLiteral("备注"), QStringLiteral("文件夹")});
    for (int node : records) {
        RecordStore::LoadOutcome loaded;
        if (!readRecord(node, loaded))
            continue;
        const RecordValues& values = loaded.values;
        const auto at = m_tree.indexOfId.constFind(values.id);
        const QString folder = at == m_tree.indexOfId.constEnd() ? QString() : folderPathOf(m_tree, *at);
        text += csvRow(
            {values.caption, values.account[0], values.account[1], values.account[2], values.account[3], folder});
    }
    return kUtf8Bom + text.toUtf8();
}

std::vector<int> Exporter::scopeChildren(int root) const
{
    return root < 0 ? m_tree.top : m_tree.nodes[static_cast<std::size_t>(root)].children;
}

Outcome Exporter::run()
{
    Prompter& prompter = m_prompter;
    const Request& request = m_request;
    const ModuleKind module = request.module;
    if (module == ModuleKind::None)
        return m_outcome;
    const bool csv = request.format == Format::Csv || request.format == Format::EncryptedCsv;
    if (csv && module != ModuleKind::Pwd) {
        m_outcome.error = QStringLiteral("只有密码箱可以导出为 CSV。");
        return m_outcome;
    }
    if (request.target.isEmpty()) {
        m_outcome.error = QStringLiteral("请先选择导出到的位置。");
        return m_outcome;
    }
    if (module == ModuleKind::Pwd && request.format != Format::EncryptedCsv &&
        !prompter.confirm(kPlainPasswordsWarning, kCaption, QStringLiteral("取消"))) {
        m_outcome.declined = true;
        return m_outcome;
    }
    const bool wholeTree = request.scope != Scope::Record;
    if ((wholeTree || csv) && !loadTree(m_state, module, m_tree)) {
        m_outcome.error = moduleInfo(module).rowsOpenFailedText;
        return m_outcome;
    }
    int root = -1;
    if (request.scope == Scope::Folder) {
        root = m_tree.indexOfId.value(request.id, -1);
        if (root >= 0 && !m_tree.nodes[static_cast<std::size_t>(root)].folder)
            root = m_tree.nodes[static_cast<std::size_t>(root)].parent;
        if (root < 0) {
            m_outcome.error = QStringLiteral("请先在左侧选择一个文件夹。");
            return m_outcome;
        }
    }

    Plan plan;
    std::vector<int> csvRecords;
    if (!wholeTree || csv) {
        plan.files.push_back({QFileInfo(request.target).absoluteFilePath(), -1});
        m_outcome.root = plan.files.back().path;
        if (wholeTree) {
            // Every record below the scope's root, in the tree's order.
            std::function<void(const std::vector<int>&)> collect = [&](const std::vector<int>& children) {
                for (int child : children) {
                    const Node& node = m_tree.nodes[static_cast<std::size_t>(child)];
                    if (node.folder)
                        collect(node.children);
                    else if (node.level != 0)
                        m_outcome.skipped.push_back({node.caption, kCustomKeyReason});
                    else
                        csvRecords.push_back(child);
                }
            };
            collect(scopeChildren(root));
        } else {
            csvRecords.push_back(-1);
        }
    } else {
        const QString name =
            root >= 0 ? m_tree.nodes[static_cast<std::size_t>(root)].caption : moduleInfo(module).barText;
        m_outcome.root = QDir(QFileInfo(request.target).absoluteFilePath()).filePath(safeFileName(name));
        plan.folders << m_outcome.root;
        QString list;
        planFolder(root, scopeChildren(root), m_outcome.root, QString(), plan, list);
        if (request.format == Format::Html) {
            plan.indexPath = m_outcome.root + QStringLiteral("/index.html");
            plan.indexHtml = QStringLiteral("<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n"
                                            "<title>%1</title>\n</head>\n<body>\n<h1>%1</h1>\n%2</body>\n</html>\n")
                                 .arg(name.toHtmlEscaped(), list);
        }
    }

    QStringList existing;
    for (const Plan::File& file : plan.files) {
        if (QFileInfo::exists(file.path))
            existing << file.path;
    }
    if (!plan.indexPath.isEmpty() && QFileInfo::exists(plan.indexPath))
        existing << plan.indexPath;
    if (!existing.isEmpty() &&
        !prompter.confirm(
            QStringLiteral("以下文件已经存在：\r\n%1\r\n\r\n你确定要用导出的文件替换它们吗？").arg(listed(existing)),
            QStringLiteral("替换"), QStringLiteral("取消"))) {
        m_outcome.declined = true;
        m_outcome.skipped.clear();
        return m_outcome;
    }

    for (const QString& folder : std::as_const(plan.folders)) {
        if (!makeFolder(folder, m_outcome.error))
            return m_outcome;
    }
    if (csv) {
        QByteArray bytes = csvOf(csvRecords);
        if (request.format == Format::EncryptedCsv)
            bytes = TextCipher::EncryptBytes(request.fileKey, bytes); // what the file tool makes of the CSV
        if (writeFile(plan.files.front().path, bytes, m_outcome.error))
            m_outcome.written << plan.files.front().path;
        return m_outcome;
    }
    for (const Plan::File& file : plan.files) {
        RecordStore::LoadOutcome loaded;
        if (!readRecord(file.node, loaded))
            continue;
        if (!writeFile(file.path, render(loaded.values, loaded.body), m_outcome.error))
            return m_outcome;
        m_outcome.written << file.path;
    }
    if (!plan.indexPath.isEmpty() && writeFile(plan.indexPath, plan.indexHtml.toUtf8(), m_outcome.error))
        m_outcome.written << plan.indexPath;
    return m_outcome;
}

} // namespace

QString Outcome::reportText() const
{
    if (declined)
        return {};
    QStringList parts;
    if (written.size() == 1 && written.front() == root) {
        parts << QStringLiteral("已导出到“%1”。").arg(root);
    } else if (!written.isEmpty()) {
        QStringList names;
        for (const QString& path : written)
            names << QDir(root).relativeFilePath(path);
        parts << QStringLiteral("已导出 %1 个文件到“%2”：\r\n%3").arg(written.size()).arg(root, listed(names));
    } else if (error.isEmpty()) {
        parts << QStringLiteral("没有导出任何文件。");
    }
    // Grouped by reason, in the order the reasons first came up.
    QStringList reasons;
    for (const Skipped& entry : skipped) {
        if (!reasons.contains(entry.reason))
            reasons << entry.reason;
    }
    for (const QString& reason : std::as_const(reasons)) {
        QStringList captions;
        for (const Skipped& entry : skipped) {
            if (entry.reason == reason)
                captions << entry.caption;
        }
        QString text =
            QStringLiteral("以下 %1 条记录%2，没有导出：\r\n%3").arg(captions.size()).arg(reason, listed(captions));
        if (reason == kCustomKeyReason)
            text += QStringLiteral("\r\n请逐条打开这些记录，再用“导出当前记录”导出。");
        parts << text;
    }
    if (!error.isEmpty())
        parts << QStringLiteral("导出没有完成：") + error;
    return parts.join(QStringLiteral("\r\n\r\n"));
}

Outcome run(AppState& state, Prompter& prompter, const Request& request)
{
    return Exporter(state, prompter, request).run();
}

std::unique_ptr<QTextDocument> printableDocument(ModuleKind module, const RecordValues& values, const QByteArray& body)
{
    auto document = std::make_unique<QTextDocument>();
    document->setMetaInformation(QTextDocument::DocumentTitle, values.caption);
    // The header reads at the size of a letter; the body keeps the sizes it was written in.
    QFont font = document->defaultFont();
    font.setPointSize(11);
    document->setDefaultFont(font);
    QTextCursor cursor(document.get());
    QTextBlockFormat heading;
    heading.setHeadingLevel(1);
    heading.setBottomMargin(6);
    QTextCharFormat headingText;
    headingText.setFontPointSize(18);
    headingText.setFontWeight(QFont::Bold);
    cursor.setBlockFormat(heading);
    cursor.setBlockCharFormat(headingText);
    cursor.insertText(values.caption, headingText);

    QTextCharFormat label;
    label.setFontWeight(QFont::Bold);
    const QTextCharFormat plain;
    const auto line = [&](const QString& name, const QString& text) {
        cursor.insertBlock(QTextBlockFormat(), plain);
        if (!name.isEmpty())
            cursor.insertText(name, label);
        cursor.insertText(text, plain);
    };
    line({}, RecordStore::statusText(module, values));
    if (module == ModuleKind::Dairy) {
        line(QStringLiteral("日期："), values.dairyDate.date().toString(Qt::ISODate));
        if (!values.weather.isEmpty())
            line(QStringLiteral("天气："), values.weather);
    }
    if (module == ModuleKind::Pwd) {
        for (std::size_t i = 0; i < kAccountLabels.size(); ++i)
            line(kAccountLabels[i], values.account[i]);
    } else if (!values.summary.isEmpty()) {
        line(QStringLiteral("提要："), values.summary);
    }
    if (module == ModuleKind::Pwd)
        return document;

    QTextBlockFormat rule;
    rule.setProperty(QTextFormat::BlockTrailingHorizontalRulerWidth, QTextLength(QTextLength::PercentageLength, 100));
    cursor.insertBlock(rule, plain);
    if (body.isEmpty())
        return document;
    cursor.insertBlock(QTextBlockFormat(), plain);
    QTextDocument source;
    if (!RtfReader::read(body, source)) {
        cursor.insertText(QStringLiteral("（正文无法读取）"), plain);
        return document;
    }
    cursor.insertFragment(QTextDocumentFragment(&source));
    copyImages(source, *document);
    return document;
}

Printable printable(AppState& state, Prompter& prompter, ModuleKind module, int id, const QString& recordKey)
{
    const RecordStore::LoadOutcome loaded = RecordStore(state, prompter).read(module, id, recordKey);
    if (!loaded.loaded)
        return {nullptr, loaded.statusText};
    return {printableDocument(module, loaded.values, loaded.body), {}};
}

QString safeFileName(const QString& caption)
{
    QString name;
    for (const QChar c : caption) {
        if (!isUnsafe(c))
            name += c;
    }
    name = trimmedName(name);
    if (name.size() > kMaxNameLength || name.toUtf8().size() > kMaxNameBytes) {
        name.truncate(kMaxNameLength);
        while (name.toUtf8().size() > kMaxNameBytes)
            name.chop(1);
        if (!name.isEmpty() && name.back().isHighSurrogate())
            name.chop(1);
        name = trimmedName(name);
    }
    // Names Windows keeps for its devices, with or without an extension.
    static const QStringList devices = {QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                        QStringLiteral("NUL")};
    const QString stem = name.section(u'.', 0, 0).toUpper();
    const bool numberedDevice = stem.size() == 4 &&
                                (stem.startsWith(QStringLiteral("COM")) || stem.startsWith(QStringLiteral("LPT"))) &&
                                stem[3] >= u'1' && stem[3] <= u'9';
    if (devices.contains(stem) || numberedDevice)
        name.prepend(u'_');
    return name.isEmpty() ? kUnnamed : name;
}

QString extension(Format format)
{
    switch (format) {
    case Format::Rtf:
        return QStringLiteral(".rtf");
    case Format::Html:
        return QStringLiteral(".html");
    case Format::Text:
        return QStringLiteral(".txt");
    case Format::Pdf:
        return QStringLiteral(".pdf");
    case Format::Csv:
        return QStringLiteral(".csv");
    case Format::EncryptedCsv:
        return QStringLiteral(".csv.enc");
    }
    return {};
}

bool isSingleFile(Format format)
{
    return format == Format::Csv || format == Format::EncryptedCsv;
}

std::vector<Format> formatsFor(ModuleKind module)
{
    std::vector<Format> formats;
    if (module == ModuleKind::Pwd)
        formats = {Format::EncryptedCsv, Format::Csv};
    for (Format format : {Format::Html, Format::Pdf, Format::Rtf, Format::Text})
        formats.push_back(format);
    return formats;
}

QString formatName(Format format)
{
    switch (format) {
    case Format::Rtf:
        return QStringLiteral("RTF 文档（可用文字处理软件打开）");
    case Format::Html:
        return QStringLiteral("HTML 网页（图片在网页中）");
    case Format::Text:
        return QStringLiteral("纯文本");
    case Format::Pdf:
        return QStringLiteral("PDF 文档");
    case Format::Csv:
        return QStringLiteral("CSV 表格（不加密）");
    case Format::EncryptedCsv:
        return QStringLiteral("加密的 CSV 表格（用“加密解密”工具解密）");
    }
    return {};
}

} // namespace RecordExport
