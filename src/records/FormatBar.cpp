#include "records/FormatBar.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolButton>

#include "ui/Skin.h"
#include "ui/TivResources.h"

namespace {

constexpr QSize kButtonSize{24, 24};
constexpr QSize kIconSize{16, 16};
constexpr int kComboHeight = 22;
constexpr int kFontComboWidth = 150;
constexpr int kSizeComboWidth = 56;
constexpr int kGroupGap = 6;

QIcon swatch(const QColor& colour)
{
    QPixmap pixmap(14, 14);
    pixmap.fill(colour);
    QPainter painter(&pixmap);
    painter.setPen(QColor(128, 128, 128));
    painter.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
    return QIcon(pixmap);
}

QColor automaticColour()
{
    return QGuiApplication::palette().color(QPalette::WindowText);
}

} // namespace

const std::array<FormatBar::MenuColour, 17>& FormatBar::menuColours()
{
    static const std::array<MenuColour, 17> colours = {{
        {32782, QStringLiteral("黑色"), QColor(0, 0, 0)},
        {32783, QStringLiteral("深红色"), QColor(128, 0, 0)},
        {32784, QStringLiteral("绿色"), QColor(0, 128, 0)},
        {32785, QStringLiteral("橄榄色"), QColor(128, 128, 0)},
        {32786, QStringLiteral("藏青色"), QColor(0, 0, 128)},
        {32787, QStringLiteral("紫色"), QColor(128, 0, 128)},
        {32788, QStringLiteral("青色"), QColor(0, 128, 128)},
        {32789, QStringLiteral("灰色"), QColor(128, 128, 128)},
        {32790, QStringLiteral("银色"), QColor(192, 192, 192)},
        {32791, QStringLiteral("红色"), QColor(255, 0, 0)},
        {32792, QStringLiteral("浅绿色"), QColor(0, 255, 0)},
        {32793, QStringLiteral("黄色"), QColor(255, 255, 0)},
        {32794, QStringLiteral("蓝色"), QColor(0, 0, 255)},
        {32795, QStringLiteral("艳粉色"), QColor(255, 0, 255)},
        {32796, QStringLiteral("湖蓝"), QColor(0, 255, 255)},
        {32797, QStringLiteral("白色"), QColor(255, 255, 255)},
        {32798, QStringLiteral("自动"), QColor()},
    }};
    return colours;
}

FormatBar::FormatBar(QWidget* parent)
    : QWidget(parent), m_fontCombo(new QComboBox(this)), m_sizeCombo(new QComboBox(this)),
      m_alignGroup(new QButtonGroup(this)), m_colourMenu(new QMenu(this))
{
    setObjectName(QStringLiteral("formatBar"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(1);

    for (QComboBox* combo : {m_fontCombo, m_sizeCombo}) {
        combo->setFont(Skin::uiFont(10));
        combo->setFixedHeight(kComboHeight);
        row->addWidget(combo);
    }
    m_fontCombo->setObjectName(QStringLiteral("fontCombo"));
    m_fontCombo->setFixedWidth(kFontComboWidth);
    fillFontList();
    m_sizeCombo->setObjectName(QStringLiteral("sizeCombo"));
    m_sizeCombo->setFixedWidth(kSizeComboWidth);
    m_sizeCombo->addItems(kSizes);
    m_sizeCombo->setCurrentIndex(kPresetSizeIndex);
    // Only a choice of the user applies; the bar's own updates of the selection must not.
    connect(m_fontCombo, &QComboBox::activated, this, [this](int index) { applyFace(m_fontCombo->itemText(index)); });
    connect(m_sizeCombo, &QComboBox::activated, this, [this](int index) { applySize(m_sizeCombo->itemText(index)); });
    row->addSpacing(kGroupGap);

    QToolButton* bold = addButton("boldButton", "fmt-bold", QStringLiteral("加粗"), true);
    QToolButton* italic = addButton("italicButton", "fmt-italic", QStringLiteral("倾斜"), true);
    QToolButton* underline = addButton("underlineButton", "fmt-underline", QStringLiteral("下划线"), true);
    connect(bold, &QToolButton::clicked, this, &FormatBar::setBold);
    connect(italic, &QToolButton::clicked, this, [this](bool on) { setEffect(&QTextCharFormat::setFontItalic, on); });
    connect(underline, &QToolButton::clicked, this,
            [this](bool on) { setEffect(&QTextCharFormat::setFontUnderline, on); });
    row->addSpacing(kGroupGap);

    const std::array<std::tuple<const char*, const char*, QString, Qt::Alignment>, 3> alignments = {{
        {"alignLeftButton", "fmt-align-left", QStringLiteral("两端对齐"), Qt::AlignLeft},
        {"alignCenterButton", "fmt-align-center", QStringLiteral("居中"), Qt::AlignHCenter},
        {"alignRightButton", "fmt-align-right", QStringLiteral("右对齐"), Qt::AlignRight},
    }};
    m_alignGroup->setExclusive(true);
    for (const auto& [name, icon, tip, alignment] : alignments) {
        QToolButton* button = addButton(name, icon, tip, true);
        m_alignGroup->addButton(button);
        connect(button, &QToolButton::clicked, this, [this, alignment = alignment] { setAlignment(alignment); });
    }
    m_alignGroup->buttons().constFirst()->setChecked(true);
    row->addSpacing(kGroupGap);

    m_colorButton = addButton("colorButton", "fmt-color", QStringLiteral("颜色"), false);
    connect(m_colorButton, &QToolButton::clicked, this, &FormatBar::showColourMenu);
    QToolButton* font = addButton("fontDialogButton", "fmt-font", QStringLiteral("字体设置"), false);
    connect(font, &QToolButton::clicked, this, &FormatBar::openFontDialog);
    row->addSpacing(kGroupGap);

    const std::array<std::tuple<const char*, const char*, QString, void (QTextEdit::*)()>, 5> edits = {{
        {"undoButton", "fmt-undo", QStringLiteral("撤销"), &QTextEdit::undo},
        {"redoButton", "fmt-redo", QStringLiteral("恢复"), &QTextEdit::redo},
        {"copyButton", "fmt-copy", QStringLiteral("复制"), &QTextEdit::copy},
        {"cutButton", "fmt-cut", QStringLiteral("剪切"), &QTextEdit::cut},
        {"pasteButton", "fmt-paste", QStringLiteral("粘贴"), &QTextEdit::paste},
    }};
    for (const auto& [name, icon, tip, command] : edits) {
        if (command == &QTextEdit::copy)
            row->addSpacing(kGroupGap);
        QToolButton* button = addButton(name, icon, tip, false);
        connect(button, &QToolButton::clicked, this, [this, command = command] { runEditCommand(command); });
    }
    row->addStretch(1);

    m_colourMenu->setObjectName(QStringLiteral("colorMenu"));
    m_colourMenu->setFont(Skin::uiFont(10));
    for (const MenuColour& entry : menuColours()) {
        QAction* action =
            m_colourMenu->addAction(swatch(entry.colour.isValid() ? entry.colour : automaticColour()), entry.name);
        action->setObjectName(QStringLiteral("colorAction%1").arg(entry.id));
        connect(action, &QAction::triggered, this, [this, colour = entry.colour] {
            // The automatic colour is fixed at the moment of the choice: later changes of the system
            // colours leave the text as it is.
            applyColour(colour.isValid() ? colour : automaticColour());
        });
    }
}

QToolButton* FormatBar::addButton(const char* name, const char* icon, const QString& toolTip, bool checkable)
{
    auto* button = new QToolButton(this);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(TivResources::icon(QString::fromLatin1(icon)));
    button->setIconSize(kIconSize);
    button->setFixedSize(kButtonSize);
    button->setToolTip(toolTip);
    button->setAutoRaise(true);
    button->setCheckable(checkable);
    // The bar never takes the focus from the editor it works on.
    button->setFocusPolicy(Qt::NoFocus);
    layout()->addWidget(button);
    return button;
}

void FormatBar::fillFontList()
{
    QStringList families = QFontDatabase::families();
    families.sort(Qt::CaseInsensitive);
    families.removeDuplicates();
    m_fontCombo->addItems(families);
    // Where the preset face is missing, the face it falls back to stands in for it.
    int index = m_fontCombo->findText(kPresetFace);
    if (index < 0) {
        const QString fallback = QFontInfo(Skin::uiFont(10)).family();
        index = m_fontCombo->findText(fallback, Qt::MatchStartsWith);
    }
    m_fontCombo->setCurrentIndex(std::max(index, 0));
}

void FormatBar::setEditor(QTextEdit* editor)
{
    m_editor = editor;
}

void FormatBar::giveFocusBack()
{
    if (m_editor)
        m_editor->setFocus(Qt::OtherFocusReason);
}

QTextCharFormat FormatBar::referenceFormat() const
{
    // The first character of the selection, else the character before the caret.
    const QTextCursor cursor = m_editor->textCursor();
    if (!cursor.hasSelection())
        return cursor.charFormat();
    QTextCursor first(m_editor->document());
    first.setPosition(cursor.selectionStart() + 1);
    return first.charFormat();
}

void FormatBar::mergeOnWordOrSelection(const QTextCharFormat& format)
{
    // The editor merges into its selection itself; one merge keeps the change one step of undo.
    if (!m_editor->textCursor().hasSelection()) {
        QTextCursor word = m_editor->textCursor();
        word.select(QTextCursor::WordUnderCursor);
        if (word.hasSelection())
            word.mergeCharFormat(format);
    }
    // Without a selection this is the format of what is typed next at the caret.
    m_editor->mergeCurrentCharFormat(format);
}

void FormatBar::setBold(bool on)
{
    if (!m_editor)
        return;
    QTextCharFormat format;
    format.setFontWeight(on ? QFont::Bold : QFont::Normal);
    mergeOnWordOrSelection(format);
    giveFocusBack();
}

void FormatBar::setEffect(void (QTextCharFormat::*set)(bool), bool on)
{
    if (!m_editor)
        return;
    QTextCharFormat format;
    (format.*set)(on);
    mergeOnWordOrSelection(format);
    giveFocusBack();
}

void FormatBar::setAlignment(Qt::Alignment alignment)
{
    if (!m_editor)
        return;
    m_editor->setAlignment(alignment);
    giveFocusBack();
}

void FormatBar::applyFace(const QString& face)
{
    if (!m_editor || face.isEmpty())
        return;
    QTextCharFormat format;
    format.setFontFamilies(QStringList{face});
    mergeOnWordOrSelection(format);
    giveFocusBack();
}

void FormatBar::applySize(const QString& text)
{
    const int points = text.toInt();
    if (!m_editor || points <= 0)
        return;
    QTextCharFormat format;
    format.setFontPointSize(points);
    mergeOnWordOrSelection(format);
    giveFocusBack();
}

void FormatBar::showColourMenu()
{
    if (!m_editor)
        return;
    const QList<QAction*> actions = m_colourMenu->actions();
    actions.constLast()->setIcon(swatch(automaticColour()));
    m_colourMenu->popup(m_colorButton->mapToGlobal(QPoint(0, m_colorButton->height())));
}

void FormatBar::applyColour(const QColor& colour)
{
    if (!m_editor)
        return;
    QTextCharFormat format;
    format.setForeground(colour);
    mergeOnWordOrSelection(format);
    giveFocusBack();
}

void FormatBar::openFontDialog()
{
    if (!m_editor)
        return;
    const QTextCharFormat reference = referenceFormat();
    QFontDialog dialog(reference.font().resolve(m_editor->document()->defaultFont()), m_editor);
    dialog.setObjectName(QStringLiteral("fontDialog"));
    if (dialog.exec() == QDialog::Accepted && m_editor) {
        // The dialog chooses no colour; the reference character's colour goes with the chosen font.
        QTextCharFormat format;
        format.setFont(dialog.selectedFont());
        if (reference.hasProperty(QTextFormat::ForegroundBrush))
            format.setForeground(reference.foreground());
        mergeOnWordOrSelection(format);
    }
    giveFocusBack();
}

void FormatBar::runEditCommand(void (QTextEdit::*command)())
{
    if (!m_editor)
        return;
    (m_editor->*command)();
    giveFocusBack();
}
