#include "records/FormatBar.h"

#include <algorithm>
#include <tuple>

#include <QButtonGroup>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolButton>

#include "records/CMyRichEdit.h"
#include "ui/Skin.h"
#include "ui/TivResources.h"

namespace {

using TextFormatting::Effect;

constexpr QSize kButtonSize{24, 24};
constexpr QSize kIconSize{16, 16};
constexpr int kComboHeight = 22;
constexpr int kFontComboWidth = 150;
constexpr int kSizeComboWidth = 56;
constexpr int kSpacing = 1;
constexpr int kGroupGap = 6;
// The two lists always show; the buttons after them may move into the overflow menu.
constexpr std::size_t kFixedControls = 2;

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

// The button of the alignment group that stands for a paragraph's alignment; none for justified text, which
// none of the three makes.
int alignmentButton(Qt::Alignment alignment)
{
    const Qt::Alignment horizontal = alignment & Qt::AlignHorizontal_Mask;
    if (horizontal & Qt::AlignJustify)
        return -1;
    if (horizontal & Qt::AlignHCenter)
        return 1;
    if ((horizontal & Qt::AlignRight) && !(horizontal & Qt::AlignLeft))
        return 2;
    return 0;
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
      m_alignGroup(new QButtonGroup(this)), m_colourMenu(new QMenu(this)), m_overflowButton(new QToolButton(this)),
      m_overflowMenu(new QMenu(this))
{
    setObjectName(QStringLiteral("formatBar"));

    for (QComboBox* combo : {m_fontCombo, m_sizeCombo}) {
        combo->setFont(Skin::uiFont(10));
        addControl(combo, false);
    }
    m_fontCombo->setObjectName(QStringLiteral("fontCombo"));
    m_fontCombo->setFixedSize(kFontComboWidth, kComboHeight);
    fillFontList();
    m_sizeCombo->setObjectName(QStringLiteral("sizeCombo"));
    m_sizeCombo->setFixedSize(kSizeComboWidth, kComboHeight);
    m_sizeCombo->addItems(kSizes);
    m_sizeCombo->setCurrentIndex(kPresetSizeIndex);
    // Only a choice of the user applies; the bar's own updates of the selection must not.
    connect(m_fontCombo, &QComboBox::activated, this, [this](int index) {
        if (m_editor)
            m_editor->setFace(m_fontCombo->itemText(index));
    });
    connect(m_sizeCombo, &QComboBox::activated, this, [this](int index) {
        if (m_editor)
            m_editor->setPointSize(m_sizeCombo->itemText(index).toInt());
    });

    const std::array<std::tuple<const char*, const char*, QString, Effect>, 3> effects = {{
        {"boldButton", "fmt-bold", QStringLiteral("加粗"), Effect::Bold},
        {"italicButton", "fmt-italic", QStringLiteral("倾斜"), Effect::Italic},
        {"underlineButton", "fmt-underline", QStringLiteral("下划线"), Effect::Underline},
    }};
    for (std::size_t i = 0; i < effects.size(); ++i) {
        const auto& [name, icon, tip, effect] = effects[i];
        m_effectButtons[i] = addButton(name, icon, tip, true, i == 0);
        connect(m_effectButtons[i], &QToolButton::clicked, this,
                [this, effect = effect](bool on) { setEffect(effect, on); });
    }

    const std::array<std::tuple<const char*, const char*, QString, Qt::Alignment>, 3> alignments = {{
        {"alignLeftButton", "fmt-align-left", QStringLiteral("两端对齐"), Qt::AlignLeft},
        {"alignCenterButton", "fmt-align-center", QStringLiteral("居中"), Qt::AlignHCenter},
        {"alignRightButton", "fmt-align-right", QStringLiteral("右对齐"), Qt::AlignRight},
    }};
    m_alignGroup->setExclusive(true);
    for (std::size_t i = 0; i < alignments.size(); ++i) {
        const auto& [name, icon, tip, alignment] = alignments[i];
        QToolButton* button = addButton(name, icon, tip, true, i == 0);
        m_alignGroup->addButton(button, static_cast<int>(i));
        connect(button, &QToolButton::clicked, this, [this, alignment = alignment] { setAlignment(alignment); });
    }
    m_alignGroup->button(0)->setChecked(true);

    m_colorButton = addButton("colorButton", "fmt-color", QStringLiteral("颜色"), false, true);
    connect(m_colorButton, &QToolButton::clicked, this, &FormatBar::showColourMenu);
    QToolButton* font = addButton("fontDialogButton", "fmt-font", QStringLiteral("字体设置"), false);
    connect(font, &QToolButton::clicked, this, [this] { runEditCommand(&CMyRichEdit::chooseFont); });

    const std::array<std::tuple<const char*, const char*, QString, void (CMyRichEdit::*)()>, 5> edits = {{
        {"undoButton", "fmt-undo", QStringLiteral("撤销"), &QTextEdit::undo},
        {"redoButton", "fmt-redo", QStringLiteral("恢复"), &QTextEdit::redo},
        {"copyButton", "fmt-copy", QStringLiteral("复制"), &QTextEdit::copy},
        {"cutButton", "fmt-cut", QStringLiteral("剪切"), &QTextEdit::cut},
        {"pasteButton", "fmt-paste", QStringLiteral("粘贴"), &QTextEdit::paste},
    }};
    for (const auto& [name, icon, tip, command] : edits) {
        const bool startsGroup = command == &QTextEdit::undo || command == &QTextEdit::copy;
        QToolButton* button = addButton(name, icon, tip, false, startsGroup);
        connect(button, &QToolButton::clicked, this, [this, command = command] { runEditCommand(command); });
    }

    m_colourMenu->setObjectName(QStringLiteral("colorMenu"));
    m_colourMenu->setTitle(QStringLiteral("颜色"));
    m_colourMenu->setIcon(TivResources::icon(QStringLiteral("fmt-color")));
    m_colourMenu->setFont(Skin::uiFont(10));
    for (const MenuColour& entry : menuColours()) {
        QAction* action =
            m_colourMenu->addAction(swatch(entry.colour.isValid() ? entry.colour : automaticColour()), entry.name);
        action->setObjectName(QStringLiteral("colorAction%1").arg(entry.id));
        connect(action, &QAction::triggered, this, [this, colour = entry.colour] {
            // The automatic colour is fixed at the moment of the choice: later changes of the system
            // colours leave the text as it is.
            if (m_editor)
                m_editor->setTextColour(colour.isValid() ? colour : automaticColour());
        });
    }
    // Opened from its button or from the overflow menu, the swatch of "自动" shows the colour of the moment.
    connect(m_colourMenu, &QMenu::aboutToShow, this,
            [this] { m_colourMenu->actions().constLast()->setIcon(swatch(automaticColour())); });

    m_overflowButton->setObjectName(QStringLiteral("overflowButton"));
    m_overflowButton->setIcon(TivResources::icon(QStringLiteral("fmt-more")));
    m_overflowButton->setIconSize(kIconSize);
    m_overflowButton->setFixedSize(kButtonSize);
    m_overflowButton->setToolTip(QStringLiteral("更多"));
    m_overflowButton->setAutoRaise(true);
    m_overflowButton->setFocusPolicy(Qt::NoFocus);
    m_overflowButton->setPopupMode(QToolButton::InstantPopup);
    m_overflowButton->setMenu(m_overflowMenu);
    m_overflowButton->hide();
    m_overflowMenu->setObjectName(QStringLiteral("overflowMenu"));
    m_overflowMenu->setFont(Skin::uiFont(10));
    connect(m_overflowMenu, &QMenu::aboutToShow, this, &FormatBar::fillOverflowMenu);

    setFixedHeight(kButtonSize.height());
}

QToolButton* FormatBar::addButton(const char* name, const char* icon, const QString& toolTip, bool checkable,
                                  bool startsGroup)
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
    addControl(button, startsGroup);
    return button;
}

void FormatBar::addControl(QWidget* control, bool startsGroup)
{
    m_controls.push_back({control, startsGroup});
}

void FormatBar::fillFontList()
{
    QStringList families = QFontDatabase::families();
    families.sort(Qt::CaseInsensitive);
    families.removeDuplicates();
    m_fontCombo->addItems(families);
    // Where the preset face is missing, the face it falls back to stands in for it until an editor is set.
    int index = m_fontCombo->findText(kPresetFace);
    if (index < 0) {
        const QString fallback = QFontInfo(Skin::uiFont(10)).family();
        index = m_fontCombo->findText(fallback, Qt::MatchStartsWith);
    }
    m_fontCombo->setCurrentIndex(std::max(index, 0));
}

QSize FormatBar::sizeHint() const
{
    int width = 0;
    for (const Control& control : m_controls)
        width += control.widget->width() + (control.startsGroup ? kGroupGap : 0) + kSpacing;
    return {width, kButtonSize.height()};
}

QSize FormatBar::minimumSizeHint() const
{
    int width = 0;
    for (std::size_t i = 0; i < kFixedControls; ++i)
        width += m_controls[i].widget->width() + kSpacing;
    return {width + kGroupGap + kButtonSize.width(), kButtonSize.height()};
}

void FormatBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    arrange();
}

void FormatBar::arrange()
{
    const int available = width();
    const bool overflowing = sizeHint().width() > available;
    // Room for the overflow button at the right edge when not every control fits.
    const int limit = overflowing ? available - kButtonSize.width() - kGroupGap : available;
    int x = 0;
    bool hiding = false;
    for (std::size_t i = 0; i < m_controls.size(); ++i) {
        QWidget* widget = m_controls[i].widget;
        const int left = x + (m_controls[i].startsGroup ? kGroupGap : 0);
        // Once one control has moved into the menu, all after it follow, so the bar keeps its order.
        hiding = hiding || (i >= kFixedControls && left + widget->width() > limit);
        widget->setVisible(!hiding);
        if (hiding)
            continue;
        widget->move(left, (height() - widget->height()) / 2);
        x = left + widget->width() + kSpacing;
    }
    m_overflowButton->setVisible(overflowing);
    m_overflowButton->move(std::max(x + kGroupGap, available - kButtonSize.width()), 0);
}

void FormatBar::fillOverflowMenu()
{
    m_overflowMenu->clear();
    for (const Control& control : m_controls) {
        auto* button = qobject_cast<QToolButton*>(control.widget);
        if (button == nullptr || !button->isHidden())
            continue;
        if (control.startsGroup && !m_overflowMenu->isEmpty())
            m_overflowMenu->addSeparator();
        if (button == m_colorButton) {
            m_overflowMenu->addMenu(m_colourMenu);
            continue;
        }
        QAction* action = m_overflowMenu->addAction(button->icon(), button->toolTip());
        action->setObjectName(button->objectName() + QStringLiteral("Action"));
        action->setCheckable(button->isCheckable());
        action->setChecked(button->isChecked());
        action->setEnabled(button->isEnabled());
        // The button does what it does on the bar, its state included.
        connect(action, &QAction::triggered, button, &QToolButton::click);
    }
}

void FormatBar::setEditor(CMyRichEdit* editor)
{
    if (m_editor != editor) {
        if (m_editor)
            disconnect(m_editor, nullptr, this, nullptr);
        m_editor = editor;
        if (editor) {
            for (const auto signal :
                 {&QTextEdit::cursorPositionChanged, &QTextEdit::selectionChanged, &QTextEdit::textChanged})
                connect(editor, signal, this, &FormatBar::showFormatAtCaret);
            // The format of what is typed next changes without any move of the caret.
            connect(editor, &QTextEdit::currentCharFormatChanged, this, &FormatBar::showFormatAtCaret);
        }
    }
    showFormatAtCaret();
}

void FormatBar::showFormatAtCaret()
{
    if (!m_editor)
        return;
    const QTextCharFormat format = m_editor->referenceFormat();
    showFace(TextFormatting::faceOf(format));
    showSize(format.fontPointSize());
    for (Effect effect : {Effect::Bold, Effect::Italic, Effect::Underline})
        m_effectButtons[static_cast<std::size_t>(effect)]->setChecked(TextFormatting::hasEffect(format, effect));
    QTextCursor first = m_editor->textCursor();
    first.setPosition(first.selectionStart());
    showAlignment(first.blockFormat().alignment());
}

void FormatBar::showFace(const QString& face)
{
    if (face == m_shownFace)
        return;
    m_shownFace = face;
    int index = m_fontCombo->findText(face, Qt::MatchFixedString);
    if (index < 0)
        index = m_fontCombo->findText(face, Qt::MatchStartsWith);
    // A face this machine lacks is still the text's face: the list shows its name without choosing an entry.
    m_fontCombo->setPlaceholderText(index < 0 ? face : QString());
    m_fontCombo->setCurrentIndex(index);
}

void FormatBar::showSize(double points)
{
    const QString text = QString::number(points);
    const int index = m_sizeCombo->findText(text);
    // A size the list does not offer (10.5 from another program) is shown as it is, not as a neighbour.
    m_sizeCombo->setPlaceholderText(index < 0 ? text : QString());
    m_sizeCombo->setCurrentIndex(index);
}

void FormatBar::showAlignment(Qt::Alignment alignment)
{
    const int shown = alignmentButton(alignment);
    if (shown >= 0) {
        m_alignGroup->button(shown)->setChecked(true);
        return;
    }
    // No button stands for the paragraph's alignment: none shows pressed.
    m_alignGroup->setExclusive(false);
    for (QAbstractButton* button : m_alignGroup->buttons())
        button->setChecked(false);
    m_alignGroup->setExclusive(true);
}

void FormatBar::setEffect(Effect effect, bool on)
{
    if (m_editor)
        m_editor->setEffect(effect, on);
}

void FormatBar::setAlignment(Qt::Alignment alignment)
{
    if (m_editor)
        m_editor->setParagraphAlignment(alignment);
}

void FormatBar::showColourMenu()
{
    if (!m_editor)
        return;
    m_colourMenu->popup(m_colorButton->mapToGlobal(QPoint(0, m_colorButton->height())));
}

void FormatBar::runEditCommand(void (CMyRichEdit::*command)())
{
    if (!m_editor)
        return;
    (m_editor->*command)();
    m_editor->setFocus(Qt::OtherFocusReason);
}
