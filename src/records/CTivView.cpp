#include "records/CTivView.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QTextDocument>
#include <QToolButton>

#include <algorithm>
#include <memory>
#include <optional>

#include "crypto/RandomSource.h"
#include "records/AccountSummary.h"
#include "records/CMyRichEdit.h"
#include "records/FormatBar.h"
#include "records/PasswordGeneratorDialog.h"
#include "records/RecordStore.h"
#include "records/RtfReader.h"
#include "records/RtfWriter.h"
#include "records/WeatherList.h"
#include "state/AppState.h"
#include "state/SharedTexts.h"
#include "storage/Clock.h"
#include "ui/Prompter.h"
#include "ui/SecretClipboard.h"
#include "ui/Skin.h"
#include "ui/StrengthMeter.h"

namespace {

// A view this small is on its way to being shown or hidden; it keeps its last arrangement.
constexpr int kSmallestWidth = 50;
constexpr int kSmallestHeight = 30;

// Between the summary and the editor of the documents and the diary.
constexpr int kFormatBarTop = 84;
constexpr int kFormatBarHeight = 24;
constexpr int kFormatBarMargin = 3; // the bar is this much narrower than the view
constexpr int kEditorTop = 109;

constexpr QRect kDateGeometry{1, 3, 95, 25};
constexpr QRect kWeatherGeometry{98, 3, 80, 25};
constexpr int kWeatherDropDownHeight = 90;
constexpr int kDairyCaptionLeft = 178;

constexpr int kProtectionHeight = 25;

// The password box's rows, and the buttons at the right end of the account name and password.
constexpr int kPwdRowTop = 55;
constexpr int kPwdRowHeight = 30;
constexpr int kPwdButtonWidth = 44;
constexpr int kStrengthHeight = 18;

constexpr QColor kRankText{255, 69, 0};

QLabel* newLabel(const QString& text, const QString& name, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Drawn on the view's background, in the one label colour the view hands down.
    label->setAutoFillBackground(false);
    return label;
}

// A control of the given kind, named so tests can find it.
template <class Control> Control* named(const QString& name, QWidget* parent)
{
    auto* control = new Control(parent);
    control->setObjectName(name);
    return control;
}

QLineEdit* newCaptionEdit(const QString& name, QWidget* parent)
{
    auto* edit = named<QLineEdit>(name, parent);
    QFont font = Skin::uiFont(12);
    font.setBold(true);
    edit->setFont(font);
    return edit;
}

} // namespace

CTivView::CTivView(AppState& state, Prompter& prompter, QWidget* parent)
    : QWidget(parent), m_state(state), m_prompter(prompter), m_summaryLabel(new QLabel(this)),
      m_clipboard(new SecretClipboard(this))
{
    setObjectName(QStringLiteral("tivView"));
    Skin::applyDialogSkin(this);
    setMinimumWidth(100);

    m_summaryLabel->setObjectName(QStringLiteral("summaryLabel"));
    m_summaryLabel->setText(QStringLiteral("登录信息"));
    m_summaryLabel->setWordWrap(true);
    m_summaryLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_summaryLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // Each module's controls stand on a panel as large as the view, so the view's coordinates are
    // theirs and one call shows or hides a whole module.
    for (std::size_t i = 0; i < m_modulePanels.size(); ++i) {
        auto* panel = new QWidget(this);
        panel->setObjectName(moduleInfos()[i].name + QStringLiteral("Panel"));
        panel->hide();
        panel->setEnabled(false); // until a record is on show
        m_modulePanels[i] = panel;
    }
    buildFileForm(m_modulePanels[moduleIndex(ModuleKind::File)]);
    buildDairyForm(m_modulePanels[moduleIndex(ModuleKind::Dairy)]);
    buildPwdForm(m_modulePanels[moduleIndex(ModuleKind::Pwd)]);
    for (ModuleKind module : kAllModules) {
        const std::size_t i = moduleIndex(module);
        m_protection[i] = buildProtectionSet(m_modulePanels[i], moduleInfo(module).name);
    }

    // Shared by the documents and the diary, above both panels.
    m_formatBar = new FormatBar(this);
    m_formatBar->hide();
    // Narrower, the bar's two lists and its overflow button would run into each other.
    setMinimumWidth(std::max(minimumWidth(), m_formatBar->minimumSizeHint().width() + kFormatBarMargin));

    setWhatsThis(QStringLiteral("编辑区：显示并编辑在文件夹树中选中的记录；首页显示帐户的登录信息。"));
}

void CTivView::buildFileForm(QWidget* panel)
{
    m_file.caption = newCaptionEdit(QStringLiteral("fileCaptionEdit"), panel);
    m_file.summaryLabel = newLabel(QStringLiteral(" 提要:"), QStringLiteral("fileSummaryLabel"), panel);
    m_file.summary = named<QPlainTextEdit>(QStringLiteral("fileSummaryEdit"), panel);
    m_file.content = named<CMyRichEdit>(QStringLiteral("fileContentEdit"), panel);
}

void CTivView::buildDairyForm(QWidget* panel)
{
    m_dairy.date = new QDateEdit(m_state.clock.now().date(), panel);
    m_dairy.date->setObjectName(QStringLiteral("dairyDateEdit"));
    m_dairy.date->setCalendarPopup(true);
    m_dairy.date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_dairy.date->setGeometry(kDateGeometry);

    m_dairy.weather = new QComboBox(panel);
    m_dairy.weather->setObjectName(QStringLiteral("weatherCombo"));
    m_dairy.weather->setEditable(true);
    // A weather typed by the user is the entry's weather, not a new word of the list.
    m_dairy.weather->setInsertPolicy(QComboBox::NoInsert);
    m_dairy.weather->setGeometry(kWeatherGeometry);

    m_dairy.caption = newCaptionEdit(QStringLiteral("dairyCaptionEdit"), panel);
    m_dairy.summaryLabel = newLabel(QStringLiteral(" 提要;"), QStringLiteral("dairySummaryLabel"), panel);
    m_dairy.summary = named<QPlainTextEdit>(QStringLiteral("dairySummaryEdit"), panel);
    m_dairy.content = named<CMyRichEdit>(QStringLiteral("dairyContentEdit"), panel);
}

void CTivView::buildPwdForm(QWidget* panel)
{
    m_pwd.caption = newCaptionEdit(QStringLiteral("pwdCaptionEdit"), panel);
    const std::array<std::pair<QString, QString>, 4> labels = {{
        {QStringLiteral("帐户名称："), QStringLiteral("pwdUserNameLabel")},
        {QStringLiteral("帐户密码："), QStringLiteral("pwdPasswordLabel")},
        {QStringLiteral("地址信息："), QStringLiteral("pwdUrlLabel")},
        {QStringLiteral("备注："), QStringLiteral("pwdIntroLabel")},
    }};
    for (std::size_t i = 0; i < labels.size(); ++i)
        m_pwd.labels[i] = newLabel(labels[i].first, labels[i].second, panel);
    m_pwd.userName = named<QLineEdit>(QStringLiteral("pwdUserNameEdit"), panel);
    // The password box is there to show the password: the edit masks it only when the user asked for it.
    m_pwd.password = named<QLineEdit>(QStringLiteral("pwdPasswordEdit"), panel);
    m_pwd.url = named<QLineEdit>(QStringLiteral("pwdUrlEdit"), panel);
    m_pwd.intro = named<QPlainTextEdit>(QStringLiteral("pwdIntroEdit"), panel);

    m_pwd.copyUserName = pwdButton(QStringLiteral("复制"), QStringLiteral("pwdCopyUserNameButton"),
                                   QStringLiteral("复制帐户名称，稍后自动从剪贴板清除"));
    m_pwd.showPassword =
        pwdButton(QStringLiteral("显示"), QStringLiteral("pwdShowPasswordButton"), QStringLiteral("显示帐户密码"));
    m_pwd.showPassword->setCheckable(true);
    m_pwd.copyPassword = pwdButton(QStringLiteral("复制"), QStringLiteral("pwdCopyPasswordButton"),
                                   QStringLiteral("复制帐户密码，稍后自动从剪贴板清除"));
    m_pwd.generate =
        pwdButton(QStringLiteral("生成"), QStringLiteral("pwdGenerateButton"), QStringLiteral("生成新的帐户密码"));
    m_pwd.strength = new StrengthMeter(panel);
    m_pwd.strength->setObjectName(QStringLiteral("pwdStrengthMeter"));

    connect(m_pwd.copyUserName, &QToolButton::clicked, this,
            [this] { copySecret(m_pwd.userName, m_pwd.userName->text()); });
    connect(m_pwd.copyPassword, &QToolButton::clicked, this,
            [this] { copySecret(m_pwd.password, m_pwd.password->text()); });
    connect(m_pwd.showPassword, &QToolButton::toggled, this, &CTivView::updatePasswordEcho);
    connect(m_pwd.generate, &QToolButton::clicked, this, &CTivView::openGenerator);
    connect(m_pwd.password, &QLineEdit::textChanged, this, [this](const QString& password) {
        m_pwd.strength->setUserWords({m_pwd.userName->text(), m_pwd.caption->text()});
        m_pwd.strength->setPassword(password);
    });
    m_pwd.userName->installEventFilter(this);
    m_pwd.password->installEventFilter(this);
    updatePasswordEcho();
}

QToolButton* CTivView::pwdButton(const QString& text, const QString& name, const QString& tip)
{
    auto* button = new QToolButton(m_modulePanels[moduleIndex(ModuleKind::Pwd)]);
    button->setObjectName(name);
    button->setText(text);
    button->setToolTip(tip);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

void CTivView::applyPreferences()
{
    updatePasswordEcho();
    arrange(size());
}

void CTivView::updatePasswordEcho()
{
    const bool hide = m_state.preferences.hidePassword;
    // Hidden as a whole: the "显示" the user pressed for one record does not carry over.
    if (!hide && m_pwd.showPassword->isChecked())
        m_pwd.showPassword->setChecked(false);
    m_pwd.showPassword->setVisible(hide);
    const bool shown = !hide || m_pwd.showPassword->isChecked();
    m_pwd.showPassword->setText(shown ? QStringLiteral("隐藏") : QStringLiteral("显示"));
    m_pwd.showPassword->setToolTip(shown ? QStringLiteral("隐藏帐户密码") : QStringLiteral("显示帐户密码"));
    m_pwd.password->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
}

void CTivView::copySecret(QLineEdit* field, const QString& value)
{
    if (value.isEmpty())
        return;
    const int seconds = m_state.preferences.clipboardSeconds;
    m_clipboard->copy(value, seconds);
    const QString what = field == m_pwd.password ? QStringLiteral("帐户密码") : QStringLiteral("帐户名称");
    Q_EMIT statusMessage(seconds > 0 ? QStringLiteral("%1已复制，%2 秒后从剪贴板清除").arg(what).arg(seconds)
                                     : QStringLiteral("%1已复制，退出程序时从剪贴板清除").arg(what));
}

bool CTivView::eventFilter(QObject* watched, QEvent* event)
{
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (!field || (field != m_pwd.userName && field != m_pwd.password))
        return QWidget::eventFilter(watched, event);
    const bool password = field == m_pwd.password;
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Without a selection the whole value; a selection of the name is copied as any text is.
        if (key->matches(QKeySequence::Copy) && (password || !field->hasSelectedText())) {
            copySecret(field, field->hasSelectedText() ? field->selectedText() : field->text());
            return true;
        }
        if (password && key->matches(QKeySequence::Cut) && field->hasSelectedText() && !field->isReadOnly()) {
            copySecret(field, field->selectedText());
            field->del();
            return true;
        }
    } else if (password && event->type() == QEvent::ContextMenu) {
        showPasswordMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CTivView::showPasswordMenu(const QPoint& globalPos)
{
    QLineEdit* field = m_pwd.password;
    const std::unique_ptr<QMenu> menu(field->createStandardContextMenu());
    for (QAction* action : menu->actions()) {
        // The menu's actions carry no names; their texts are the edit's own, with the shortcut after a tab.
        const QString text = action->text().section(u'\t', 0, 0);
        const bool copy = text == QLineEdit::tr("&Copy");
        if (!copy && text != QLineEdit::tr("Cu&t"))
            continue;
        // Also while the password is hidden, when the edit itself offers neither.
        action->setEnabled(field->hasSelectedText() && (copy || !field->isReadOnly()));
        QObject::disconnect(action, &QAction::triggered, nullptr, nullptr);
        connect(action, &QAction::triggered, this, [this, field, copy] {
            copySecret(field, field->selectedText());
            if (!copy)
                field->del();
        });
    }
    menu->exec(globalPos);
}

void CTivView::openGenerator()
{
    SystemRandom random;
    PasswordGeneratorDialog dialog(random, this);
    if (dialog.exec() != QDialog::Accepted || dialog.password().isEmpty())
        return;
    // Typed over the old password, so Ctrl+Z brings it back.
    m_pwd.password->selectAll();
    m_pwd.password->insert(dialog.password());
    m_pwd.password->setFocus();
}

CTivView::ProtectionSet CTivView::buildProtectionSet(QWidget* panel, const QString& prefix)
{
    ProtectionSet set;
    set.rank = new QCheckBox(QStringLiteral("重要"), panel);
    set.rank->setObjectName(prefix + QStringLiteral("RankCheck"));
    QPalette rankPalette = set.rank->palette();
    rankPalette.setColor(QPalette::WindowText, kRankText);
    set.rank->setPalette(rankPalette);

    set.customKey = new QCheckBox(QStringLiteral("自设密钥值："), panel);
    set.customKey->setObjectName(prefix + QStringLiteral("KeyCheck"));
    set.keyEdit = named<QLineEdit>(prefix + QStringLiteral("KeyEdit"), panel);
    set.keyEdit->setEnabled(false);
    set.strengthen = new QCheckBox(QStringLiteral("强化密钥安全性"), panel);
    set.strengthen->setObjectName(prefix + QStringLiteral("StrengthenCheck"));
    set.strengthen->setEnabled(false);

    // Clicks only: a record load sets the boxes without these reactions. Strengthening belongs to a
    // custom key; without one it is cleared, so a record is never stored as strengthened under the
    // DataKey (it would then ask for a key at every load).
    QLineEdit* keyEdit = set.keyEdit;
    QCheckBox* strengthen = set.strengthen;
    connect(set.customKey, &QCheckBox::clicked, this, [keyEdit, strengthen](bool checked) {
        keyEdit->setEnabled(checked);
        strengthen->setEnabled(checked);
        if (!checked)
            strengthen->setChecked(false);
    });
    connect(set.strengthen, &QCheckBox::clicked, this, [this](bool checked) {
        if (checked)
            m_prompter.showMessage(RecordProtection::kStrengthenWarning, QString());
    });
    return set;
}

void CTivView::initialUpdate()
{
    fillWeatherList();
    refreshSummary();
}

void CTivView::fillWeatherList()
{
    const std::optional<QStringList> words = WeatherList::load(m_state.mainConnection);
    if (!words) {
        // The user can still type a weather.
        Q_EMIT statusMessage(WeatherList::kLoadFailedText);
        return;
    }
    m_dairy.weather->addItems(*words);
    // The list offers the words; it chooses none of them.
    m_dairy.weather->setCurrentIndex(-1);
    fitWeatherDropDown();
}

void CTivView::fitWeatherDropDown()
{
    QComboBox* weather = m_dairy.weather;
    int rowHeight = weather->count() > 0 ? weather->view()->sizeHintForRow(0) : 0;
    if (rowHeight <= 0)
        rowHeight = weather->fontMetrics().height() + 4;
    weather->setMaxVisibleItems(std::max(1, kWeatherDropDownHeight / rowHeight));
}

void CTivView::refreshSummary()
{
    m_summaryLabel->setText(AccountSummary::text(m_state.user));
}

CMyRichEdit* CTivView::contentEditor(ModuleKind module) const
{
    switch (module) {
    case ModuleKind::File:
        return m_file.content;
    case ModuleKind::Dairy:
        return m_dairy.content;
    case ModuleKind::Pwd:
    case ModuleKind::None:
        break;
    }
    return nullptr;
}

void CTivView::switchModule()
{
    if (m_state.currentModule == m_laidOut)
        return;
    m_laidOut = m_state.currentModule;
    applyLayout();
}

void CTivView::updateFormatBar()
{
    CMyRichEdit* editor = contentEditor(m_laidOut);
    m_formatBar->setVisible(editor != nullptr);
    m_formatBar->setEditor(editor);
    // Formatting needs a body it can change.
    m_formatBar->setEnabled(editor && m_loaded[moduleIndex(m_laidOut)].present && !editor->isReadOnly());
}

void CTivView::applyLayout()
{
    updateFormatBar();
    m_summaryLabel->setVisible(m_laidOut == ModuleKind::None);
    // The new panel shows before the others hide, so the focus of a hidden control can move on to it.
    for (ModuleKind module : kAllModules) {
        if (module == m_laidOut)
            m_modulePanels[moduleIndex(module)]->show();
    }
    for (ModuleKind module : kAllModules) {
        if (module != m_laidOut)
            m_modulePanels[moduleIndex(module)]->hide();
    }
    // A hidden control must not keep the focus: keys typed into an editor no one sees would change a body
    // unseen, Ctrl+B in the password box included.
    QWidget* focus = QApplication::focusWidget();
    if (focus && isAncestorOf(focus) && !focus->isVisible())
        focus->clearFocus();
    if (m_laidOut == ModuleKind::Dairy)
        fitWeatherDropDown();
    arrange(size());
}

void CTivView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    arrange(event->size());
}

void CTivView::arrange(const QSize& size)
{
    const int w = size.width();
    const int h = size.height();
    if (w <= kSmallestWidth && h <= kSmallestHeight)
        return;
    // Every module is arranged, shown or not, so a module switch finds its controls in place.
    m_summaryLabel->setGeometry(10, 20, w - 20, 80);
    for (QWidget* panel : m_modulePanels)
        panel->setGeometry(0, 0, w, h);
    m_formatBar->setGeometry(1, kFormatBarTop, w - kFormatBarMargin, kFormatBarHeight);

    m_file.caption->setGeometry(1, 2, w - 2, 29);
    m_file.summaryLabel->setGeometry(1, 33, 50, 25);
    m_file.summary->setGeometry(55, 33, w - 56, 50);
    m_file.content->setGeometry(1, kEditorTop, w - 3, h - 138);

    m_dairy.caption->setGeometry(kDairyCaptionLeft, 2, w - 179, 28);
    m_dairy.summaryLabel->setGeometry(1, 33, 50, 30);
    m_dairy.summary->setGeometry(60, 33, w - 61, 50);
    m_dairy.content->setGeometry(1, kEditorTop, w - 2, h - 138);

    m_pwd.caption->setGeometry(1, 2, w - 2, 30);
    // Each row: its label, its edit, and the row's buttons from the right edge leftwards; the strength of
    // the password stands under it.
    const auto pwdRow = [&](std::size_t index, int y, QWidget* field, std::initializer_list<QToolButton*> buttons) {
        m_pwd.labels[index]->setGeometry(1, y, 80, kPwdRowHeight);
        int right = w - 2;
        for (QToolButton* button : buttons) {
            if (button->isHidden())
                continue;
            button->setGeometry(right - kPwdButtonWidth, y, kPwdButtonWidth, kPwdRowHeight);
            right -= kPwdButtonWidth + 2;
        }
        field->setGeometry(81, y, right - 81, kPwdRowHeight);
    };
    pwdRow(0, kPwdRowTop, m_pwd.userName, {m_pwd.copyUserName});
    pwdRow(1, kPwdRowTop + 35, m_pwd.password, {m_pwd.generate, m_pwd.copyPassword, m_pwd.showPassword});
    m_pwd.strength->setGeometry(81, kPwdRowTop + 35 + kPwdRowHeight + 2, m_pwd.password->width(), kStrengthHeight);
    pwdRow(2, kPwdRowTop + 90, m_pwd.url, {});
    pwdRow(3, kPwdRowTop + 125, m_pwd.intro, {});
    m_pwd.intro->resize(m_pwd.intro->width(), h - 210);

    const int row = h - kProtectionHeight;
    for (const ProtectionSet& set : m_protection) {
        set.rank->setGeometry(10, row, 55, kProtectionHeight);
        set.customKey->setGeometry(71, row, 100, kProtectionHeight);
        // A narrow view gives the key box less room rather than cutting off "强化密钥安全性".
        const int keyWidth = std::clamp(w - 175 - 5 - 120 - 5, 60, 200);
        set.keyEdit->setGeometry(175, row, keyWidth, kProtectionHeight);
        set.strengthen->setGeometry(175 + keyWidth + 5, row, 120, kProtectionHeight);
    }
}

QLineEdit* CTivView::captionEdit(ModuleKind module) const
{
    switch (module) {
    case ModuleKind::File:
        return m_file.caption;
    case ModuleKind::Dairy:
        return m_dairy.caption;
    case ModuleKind::Pwd:
        return m_pwd.caption;
    case ModuleKind::None:
        break;
    }
    return nullptr;
}

QPlainTextEdit* CTivView::summaryEdit(ModuleKind module) const
{
    switch (module) {
    case ModuleKind::File:
        return m_file.summary;
    case ModuleKind::Dairy:
        return m_dairy.summary;
    case ModuleKind::Pwd:
    case ModuleKind::None:
        break;
    }
    return nullptr;
}

CTivView::FormValues CTivView::formValues(ModuleKind module) const
{
    FormValues values;
    values.caption = captionEdit(module)->text();
    if (const QPlainTextEdit* summary = summaryEdit(module))
        values.summary = summary->toPlainText();
    if (module == ModuleKind::Dairy) {
        values.date = m_dairy.date->date();
        values.weather = m_dairy.weather->currentText();
    }
    if (module == ModuleKind::Pwd)
        values.account = {m_pwd.userName->text(), m_pwd.password->text(), m_pwd.url->text(),
                          m_pwd.intro->toPlainText()};
    const ProtectionSet& set = m_protection[moduleIndex(module)];
    values.protection = {set.rank->isChecked(), set.customKey->isChecked(), set.keyEdit->text(),
                         set.strengthen->isChecked()};
    return values;
}

void CTivView::showValues(ModuleKind module, const FormValues& values)
{
    captionEdit(module)->setText(values.caption);
    if (QPlainTextEdit* summary = summaryEdit(module))
        summary->setPlainText(values.summary);
    if (module == ModuleKind::Dairy) {
        m_dairy.date->setDate(values.date.isValid() ? values.date : m_state.clock.now().date());
        // A weather typed by the user, in the list or not, is shown as it was stored.
        m_dairy.weather->setCurrentIndex(-1);
        m_dairy.weather->setEditText(values.weather);
    }
    if (module == ModuleKind::Pwd) {
        m_pwd.userName->setText(values.account[0]);
        // Another record, or the same one again: a hidden password is hidden again.
        m_pwd.showPassword->setChecked(false);
        m_pwd.password->setText(values.account[1]);
        m_pwd.url->setText(values.account[2]);
        m_pwd.intro->setPlainText(values.account[3]);
    }
    const ProtectionSet& set = m_protection[moduleIndex(module)];
    const RecordProtection::Controls& protection = values.protection;
    set.rank->setChecked(protection.important);
    set.customKey->setChecked(protection.customKey);
    set.keyEdit->setText(protection.keyText);
    set.keyEdit->setEnabled(protection.customKey);
    set.strengthen->setEnabled(protection.customKey);
    set.strengthen->setChecked(protection.customKey && protection.strengthen);
}

bool CTivView::showBody(CMyRichEdit* editor, const QByteArray& body)
{
    QTextDocument* document = editor->document();
    // The load is no step the user could undo.
    document->setUndoRedoEnabled(false);
    const bool readable = body.isEmpty() || RtfReader::read(body, *document);
    if (body.isEmpty() || !readable)
        editor->clear();
    editor->setReadOnly(!readable);
    editor->setPlaceholderText(readable ? QString() : kUnreadableBodyText);
    // A record opens at its beginning, and the formatting bar shows the format there.
    editor->moveCursor(QTextCursor::Start);
    document->setUndoRedoEnabled(true);
    document->setModified(false);
    return readable;
}

void CTivView::clearForm(ModuleKind module)
{
    showValues(module, {});
    if (CMyRichEdit* editor = contentEditor(module))
        showBody(editor, {});
    m_loaded[moduleIndex(module)] = {};
    m_modulePanels[moduleIndex(module)]->setEnabled(false);
    updateFormatBar();
}

void CTivView::loadRecord(ModuleKind module)
{
    if (module == ModuleKind::None)
        return;
    const std::size_t i = moduleIndex(module);
    m_loaded[i] = {};
    if (m_state.selection(module).currentRecordId < 1) {
        clearForm(module);
        return;
    }
    const RecordStore::LoadOutcome outcome = RecordStore(m_state, m_prompter).load(module);
    if (!outcome.loaded) {
        // The form shows nothing rather than the record it showed before, which is not the one selected.
        clearForm(module);
        Q_EMIT statusMessage(outcome.statusText);
        return;
    }
    const RecordValues& values = outcome.values;
    FormValues shown;
    shown.caption = values.caption;
    shown.summary = values.summary;
    shown.date = values.dairyDate.date();
    shown.weather = values.weather;
    shown.account = values.account;
    const RecordProtection::Display display =
        RecordProtection::display(values.level, values.rank, values.recordKey, m_state.user.dataKey);
    shown.protection = {display.important, display.customKey, display.keyText, display.strengthen};
    showValues(module, shown);
    bool bodyReadable = true;
    if (CMyRichEdit* editor = contentEditor(module))
        bodyReadable = showBody(editor, outcome.body);

    Loaded& loaded = m_loaded[i];
    loaded.present = true;
    loaded.values = values;
    loaded.bodyReadable = bodyReadable;
    loaded.shown = formValues(module);
    m_modulePanels[i]->setEnabled(true);
    updateFormatBar();
    Q_EMIT statusMessage(bodyReadable ? outcome.statusText : moduleInfo(module).readErrorText);
}

void CTivView::saveRecord()
{
    if (m_state.currentModule != ModuleKind::None)
        saveRecord(m_state.currentModule);
}

bool CTivView::saveRecord(ModuleKind module)
{
    const Loaded& loaded = m_loaded[moduleIndex(module)];
    if (!loaded.present) {
        // Nothing the form shows belongs to a record, so nothing may be written over one.
        Q_EMIT statusMessage(moduleInfo(module).saveErrorText);
        return false;
    }
    const FormValues current = formValues(module);
    RecordValues values = loaded.values;
    values.caption = current.caption;
    values.summary = current.summary;
    values.dairyDate = QDateTime(current.date, loaded.values.dairyDate.time());
    values.weather = current.weather;
    values.account = current.account;
    std::optional<QByteArray> body;
    CMyRichEdit* editor = contentEditor(module);
    if (editor && loaded.bodyReadable)
        body = RtfWriter::write(*editor->document());

    const RecordStore::SaveOutcome outcome =
        RecordStore(m_state, m_prompter).save(module, values, current.protection, body);
    if (!outcome.message.isEmpty())
        m_prompter.showMessage(outcome.message, SharedTexts::kAppCaption);
    if (!outcome.statusText.isEmpty())
        Q_EMIT statusMessage(outcome.statusText);
    if (!outcome.saved)
        return false;
    m_loaded[moduleIndex(module)].values = outcome.values;
    markSaved(module);
    Q_EMIT recordSaved(module, outcome.values.id, outcome.values.caption, outcome.values.rank != 0);
    return true;
}

std::optional<RecordValues> CTivView::shownRecord(ModuleKind module) const
{
    if (module == ModuleKind::None || !m_loaded[moduleIndex(module)].present)
        return std::nullopt;
    return m_loaded[moduleIndex(module)].values;
}

void CTivView::markSaved(ModuleKind module)
{
    m_loaded[moduleIndex(module)].shown = formValues(module);
    if (CMyRichEdit* editor = contentEditor(module))
        editor->document()->setModified(false);
}

bool CTivView::hasUnsavedChanges(ModuleKind module) const
{
    const Loaded& loaded = m_loaded[moduleIndex(module)];
    if (!loaded.present)
        return false;
    const CMyRichEdit* editor = contentEditor(module);
    return formValues(module) != loaded.shown || (editor && loaded.bodyReadable && editor->document()->isModified());
}

QString CTivView::unsavedChangesText(const QString& caption)
{
    return QStringLiteral("“%1”的修改尚未保存。\r\n\r\n是否保存修改？").arg(caption);
}

bool CTivView::offerToSave(ModuleKind module)
{
    if (module == ModuleKind::None || !hasUnsavedChanges(module))
        return true;
    switch (m_prompter.askSave(unsavedChangesText(m_loaded[moduleIndex(module)].values.caption))) {
    case Prompter::SaveChoice::Save:
        return saveRecord(module);
    case Prompter::SaveChoice::Discard:
        return true;
    case Prompter::SaveChoice::Cancel:
        break;
    }
    return false;
}

bool CTivView::offerToSaveAll()
{
    for (ModuleKind module : kAllModules) {
        if (!offerToSave(module))
            return false;
    }
    return true;
}

void CTivView::discardChanges(ModuleKind module)
{
    if (module != ModuleKind::None)
        m_loaded[moduleIndex(module)].present = false;
}

void CTivView::captionRenamed(ModuleKind module, int id, const QString& caption)
{
    if (module == ModuleKind::None)
        return;
    Loaded& loaded = m_loaded[moduleIndex(module)];
    if (!loaded.present || loaded.values.id != id)
        return;
    // A caption the user is changing in the form is theirs to save; an untouched one follows the tree.
    QLineEdit* edit = captionEdit(module);
    if (edit->text() == loaded.shown.caption) {
        edit->setText(caption);
        loaded.shown.caption = caption;
    }
    loaded.values.caption = caption;
}
