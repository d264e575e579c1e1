#include "records/CMyRichEdit.h"

#include <array>
#include <memory>
#include <optional>

#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QTextBlockFormat>
#include <QTextCursor>

#include "records/RichClipboard.h"

namespace {

using TextFormatting::Effect;

// The shortcuts of the three effects. The context menu's key names are text only; these are the keys users of
// any word processor press.
std::optional<Effect> effectShortcut(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Bold))
        return Effect::Bold;
    if (event->matches(QKeySequence::Italic))
        return Effect::Italic;
    if (event->matches(QKeySequence::Underline))
        return Effect::Underline;
    return std::nullopt;
}

} // namespace

CMyRichEdit::CMyRichEdit(QWidget* parent) : QTextEdit(parent)
{
    // Only the size is set: the face stays the one the editor inherits from the view. The editor hands
    // its font on to the document as the default character format.
    QFont sized;
    sized.setPointSize(kDefaultPointSize);
    setFont(sized);
}

bool CMyRichEdit::canChange() const
{
    return isEnabled() && !isReadOnly();
}

void CMyRichEdit::takeFocus()
{
    setFocus(Qt::OtherFocusReason);
}

QTextCharFormat CMyRichEdit::referenceFormat() const
{
    return TextFormatting::referenceFormat(textCursor());
}

void CMyRichEdit::applyToTarget(const QTextCharFormat& attributes, TextFormatting::Scope scope)
{
    if (canChange()) {
        QTextCursor cursor = textCursor();
        TextFormatting::apply(cursor, attributes, scope);
        // Handing the cursor back carries the format of what is typed next when there was nothing to change.
        setTextCursor(cursor);
    }
    takeFocus();
}

void CMyRichEdit::setEffect(Effect effect, bool on)
{
    QTextCharFormat format = referenceFormat();
    TextFormatting::setEffect(format, effect, on);
    applyToTarget(format, TextFormatting::Scope::All);
}

void CMyRichEdit::toggleEffect(Effect effect)
{
    setEffect(effect, !TextFormatting::hasEffect(referenceFormat(), effect));
}

void CMyRichEdit::setTextColour(const QColor& colour)
{
    QTextCharFormat format = referenceFormat();
    format.setForeground(colour);
    applyToTarget(format, TextFormatting::Scope::All);
}

void CMyRichEdit::setFace(const QString& face)
{
    if (face.isEmpty())
        return;
    QTextCharFormat format;
    format.setFontFamilies(TextFormatting::faceWithFallbacks(face, *document()));
    applyToTarget(format, TextFormatting::Scope::Face);
}

void CMyRichEdit::setPointSize(double points)
{
    if (points <= 0)
        return;
    QTextCharFormat format;
    format.setFontPointSize(points);
    applyToTarget(format, TextFormatting::Scope::Size);
}

void CMyRichEdit::setParagraphAlignment(Qt::Alignment alignment)
{
    if (canChange()) {
        // Only the alignment: the paragraphs keep their own indents and spacing.
        QTextBlockFormat format;
        format.setAlignment(alignment);
        QTextCursor cursor = textCursor();
        cursor.mergeBlockFormat(format);
    }
    takeFocus();
}

void CMyRichEdit::chooseFont()
{
    if (!canChange()) {
        takeFocus();
        return;
    }
    const QTextCharFormat reference = referenceFormat();
    QFontDialog dialog(TextFormatting::dialogFont(reference), this);
    dialog.setObjectName(QStringLiteral("fontDialog"));
    const QFont shown = dialog.currentFont();
    const QPointer<CMyRichEdit> alive(this);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (!alive)
        return;
    if (accepted)
        applyToTarget(TextFormatting::fromDialog(dialog.selectedFont(), shown, reference, *document()),
                      TextFormatting::Scope::All);
    takeFocus();
}

void CMyRichEdit::removeSelection()
{
    QTextCursor cursor = textCursor();
    cursor.removeSelectedText();
    setTextCursor(cursor);
}

QMenu* CMyRichEdit::createContextMenu()
{
    const bool changeable = canChange();
    const bool selected = textCursor().hasSelection();
    struct Entry {
        int id;
        QString label;
        bool enabled;
        void (CMyRichEdit::*action)();
    };
    // Nine spaces stand between each label and its key name.
    const std::array<Entry, 8> entries = {{
        {10901, QStringLiteral("撤消(&U)         Ctrl+Shift+Z"), changeable && document()->isUndoAvailable(),
         &QTextEdit::undo},
        {10908, QStringLiteral("重做(&R)         Ctrl+Y"), changeable && document()->isRedoAvailable(),
         &QTextEdit::redo},
        {10903, QStringLiteral("复制(&C)         Ctrl+Shift+C"), selected, &QTextEdit::copy},
        {10902, QStringLiteral("剪切(&T)         Ctrl+Shift+X"), changeable && selected, &QTextEdit::cut},
        {10904, QStringLiteral("粘贴(&P)         Ctrl+Shift+V"),
         changeable && canInsertFromMimeData(QGuiApplication::clipboard()->mimeData()), &QTextEdit::paste},
        {10905, QStringLiteral("清除(&A)"), changeable && selected, &CMyRichEdit::removeSelection},
        {10906, QStringLiteral("全选(&L)         Ctrl+A"), true, &QTextEdit::selectAll},
        {10907, QStringLiteral("字体(&F)"), changeable, &CMyRichEdit::chooseFont},
    }};
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("editorContextMenu"));
    for (const Entry& entry : entries) {
        if (entry.id == 10903 || entry.id == 10906 || entry.id == 10907)
            menu->addSeparator();
        QAction* action = menu->addAction(entry.label);
        action->setObjectName(QStringLiteral("contextAction%1").arg(entry.id));
        action->setEnabled(entry.enabled);
        connect(action, &QAction::triggered, this, [this, command = entry.action] {
            (this->*command)();
            takeFocus();
        });
    }
    return menu;
}

bool CMyRichEdit::event(QEvent* event)
{
    // The effect keys belong to the editor while it has the focus, whatever a window around it binds them to.
    if (event->type() == QEvent::ShortcutOverride && effectShortcut(static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QTextEdit::event(event);
}

void CMyRichEdit::keyPressEvent(QKeyEvent* event)
{
    if (const std::optional<Effect> effect = effectShortcut(event)) {
        if (canChange())
            toggleEffect(*effect);
        event->accept();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

void CMyRichEdit::mousePressEvent(QMouseEvent* event)
{
    // The context menu acts on this editor, so the editor takes the focus before it opens.
    if (event->button() == Qt::RightButton)
        setFocus(Qt::MouseFocusReason);
    QTextEdit::mousePressEvent(event);
}

void CMyRichEdit::contextMenuEvent(QContextMenuEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    const QPoint at = event->reason() == QContextMenuEvent::Mouse ? event->globalPos()
                                                                  : viewport()->mapToGlobal(cursorRect().bottomLeft());
    const std::unique_ptr<QMenu> menu(createContextMenu());
    menu->exec(at);
    event->accept();
}

bool CMyRichEdit::canInsertFromMimeData(const QMimeData* source) const
{
    return source != nullptr && RichClipboard::canPaste(*source);
}

void CMyRichEdit::insertFromMimeData(const QMimeData* source)
{
    if (source == nullptr || !canChange())
        return;
    QTextCursor cursor = textCursor();
    if (RichClipboard::paste(*source, cursor)) {
        setTextCursor(cursor);
        ensureCursorVisible();
    }
}

QMimeData* CMyRichEdit::createMimeDataFromSelection() const
{
    return RichClipboard::mimeData(textCursor());
}
