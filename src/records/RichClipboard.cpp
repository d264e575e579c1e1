#include "records/RichClipboard.h"

#include <algorithm>
#include <vector>

#include <QBuffer>
#include <QImage>
#include <QMimeData>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QTextList>
#include <QUrl>

#include "records/RtfReader.h"
#include "records/RtfWriter.h"

namespace RichClipboard {

namespace {

// The names other programs give RTF on the clipboard.
const QStringList kRtfFormats = {kRtfFormat, QStringLiteral("application/rtf"), QStringLiteral("text/richtext")};
const QString kPastedPicture = QStringLiteral("pasted:picture");

// A document for rich text on its way in or out. Its pictures come from the document the text was copied from, or
// from data: URLs written into the text. It never reads a file or the network: pasted HTML names whatever it
// likes, a remote address or a device that never ends.
class ScratchDocument final : public QTextDocument {
public:
    ScratchDocument(const QTextDocument& target, const QTextDocument* source) : m_source(source)
    {
        setDefaultFont(target.defaultFont());
        setUndoRedoEnabled(false);
    }

    // Takes the pictures the text shows from the source now; the source may change or go away afterwards.
    void keepPictures()
    {
        for (QTextBlock block = begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat format = it.fragment().charFormat();
                if (!format.isImageFormat())
                    continue;
                const QUrl name(format.toImageFormat().name());
                const QVariant picture = resource(ImageResource, name);
                if (picture.isValid())
                    addResource(ImageResource, name, picture);
            }
        }
        m_source = nullptr;
    }

protected:
    QVariant loadResource(int type, const QUrl& name) override
    {
        if (type != ImageResource)
            return {};
        if (m_source != nullptr) {
            const QVariant own = m_source->resource(type, name);
            if (own.isValid())
                return own;
        }
        if (name.scheme().compare(QLatin1StringView("data"), Qt::CaseInsensitive) == 0)
            return QTextDocument::loadResource(type, name); // decodes the URL itself, nothing else
        return {};
    }

private:
    const QTextDocument* m_source;
};

// A copied selection. Selecting with the mouse or the keyboard copies to the selection clipboard at every step,
// so the text is kept as it was selected and turned into plain text, HTML or RTF only when a program asks for it.
class SelectionData final : public QMimeData {
public:
    explicit SelectionData(const QTextCursor& selection) : m_copy(*selection.document(), selection.document())
    {
        QTextCursor(&m_copy).insertFragment(selection.selection());
        m_copy.keepPictures();
    }

    QStringList formats() const override
    {
        return {QStringLiteral("text/plain"), QStringLiteral("text/html"), kRtfFormat};
    }

protected:
    QVariant retrieveData(const QString& format, QMetaType type) const override
    {
        Q_UNUSED(type);
        if (format == QLatin1StringView("text/plain")) {
            QString text = m_copy.toPlainText();
            text.remove(QChar::ObjectReplacementCharacter);
            return text;
        }
        if (format == QLatin1StringView("text/html"))
            return m_copy.toHtml();
        if (format == kRtfFormat)
            return RtfWriter::write(m_copy);
        return {};
    }

private:
    mutable ScratchDocument m_copy;
};

bool isDroppedCharacter(QChar c)
{
    const char16_t u = c.unicode();
    // Control characters have no RTF form but tab and the line ends; object and frame marks belong to no text.
    if (u < 0x20)
        return u != u'\t' && u != u'\n' && u != u'\r';
    return u == QChar::ObjectReplacementCharacter || u == 0xFDD0 || u == 0xFDD1;
}

QString listMarker(const QTextList& list, const QTextBlock& block)
{
    switch (list.format().style()) {
    case QTextListFormat::ListDisc:
    case QTextListFormat::ListCircle:
    case QTextListFormat::ListSquare:
    case QTextListFormat::ListStyleUndefined:
        return QStringLiteral("•");
    default:
        break;
    }
    return list.itemText(block);
}

// The writer keeps a list item as a paragraph; its number or bullet, drawn by the list, would be lost.
void listsAsText(QTextDocument& document)
{
    struct Item {
        int blockNumber;
        QString marker;
    };
    std::vector<Item> items;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (const QTextList* list = block.textList())
            items.push_back({block.blockNumber(), listMarker(*list, block)});
    }
    // From the last item back: taking an item out of its list renumbers the items after it.
    QTextCursor cursor(&document);
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        const QTextBlock block = document.findBlockByNumber(it->blockNumber);
        block.textList()->remove(block); // keeps the list's indent as the paragraph's own
        cursor.setPosition(block.position());
        cursor.insertText(it->marker + QLatin1Char(' '));
    }
}

void removePictures(QTextDocument& document)
{
    QTextCursor cursor(&document);
    for (QTextBlock block = document.lastBlock(); block.isValid(); block = block.previous()) {
        std::vector<QTextFragment> pictures;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().isImageFormat())
                pictures.push_back(it.fragment());
        }
        for (auto picture = pictures.rbegin(); picture != pictures.rend(); ++picture) {
            cursor.setPosition(picture->position());
            cursor.setPosition(picture->position() + picture->length(), QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        }
    }
}

// Fills the scratch document from the richest form the data offers; false when it offers none.
bool readRich(const QMimeData& source, ScratchDocument& scratch)
{
    for (const QString& format : kRtfFormats) {
        if (source.hasFormat(format) && RtfReader::read(source.data(format), scratch))
            return true;
    }
    if (source.hasHtml()) {
        scratch.setHtml(source.html());
        listsAsText(scratch);
        return true;
    }
    if (source.hasImage()) {
        const QImage image = qvariant_cast<QImage>(source.imageData());
        if (image.isNull())
            return false;
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "PNG"))
            return false;
        scratch.addResource(QTextDocument::ImageResource, QUrl(kPastedPicture), png);
        QTextImageFormat picture;
        picture.setName(kPastedPicture);
        QTextCursor(&scratch).insertImage(picture);
        return true;
    }
    return false;
}

// The scratch document as a save keeps it. A picture the reader refuses (too large) goes, and the text with it
// would be lost, so the text comes back without the pictures instead.
bool asStored(ScratchDocument& scratch, QTextDocument& stored)
{
    if (RtfReader::read(RtfWriter::write(scratch), stored))
        return true;
    removePictures(scratch);
    return RtfReader::read(RtfWriter::write(scratch), stored);
}

void insertStored(const QTextDocument& stored, QTextCursor& cursor)
{
    QTextDocument* target = cursor.document();
    for (QTextBlock block = stored.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat())
                continue;
            // The reader names a picture after its bytes (a placeholder after its size, a picture it scaled after
            // both), so a name already in the target holds the same image.
            const QUrl name(format.toImageFormat().name());
            target->addResource(QTextDocument::ImageResource, name,
                                stored.resource(QTextDocument::ImageResource, name));
        }
    }
    cursor.insertFragment(QTextDocumentFragment(&stored));
}

} // namespace

QMimeData* mimeData(const QTextCursor& selection)
{
    return new SelectionData(selection);
}

bool canPaste(const QMimeData& source)
{
    return std::any_of(kRtfFormats.begin(), kRtfFormats.end(),
                       [&source](const QString& format) { return source.hasFormat(format); }) ||
           source.hasHtml() || source.hasImage() || !source.text().isEmpty();
}

bool paste(const QMimeData& source, QTextCursor& cursor)
{
    QTextDocument* target = cursor.document();
    ScratchDocument scratch(*target, nullptr);
    if (readRich(source, scratch)) {
        QTextDocument stored;
        stored.setDefaultFont(target->defaultFont());
        if (!asStored(scratch, stored) || stored.isEmpty())
            return false;
        cursor.beginEditBlock();
        insertStored(stored, cursor);
        cursor.endEditBlock();
        return true;
    }
    QString text = source.text();
    text.removeIf(isDroppedCharacter);
    if (text.isEmpty())
        return false;
    cursor.insertText(text);
    return true;
}

} // namespace RichClipboard
