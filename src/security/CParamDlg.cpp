#include "security/CParamDlg.h"

#include <array>
#include <utility>

#include <QCheckBox>
#include <QFile>
#include <QInputDialog>
#include <QMessageBox>
#include <QVBoxLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>

#include "security/SecuritySettings.h"
#include "security/VaultMode.h"
#include "state/AppState.h"
#include "ui/BusyWork.h"
#include "ui/DialogLayout.h"
#include "ui/DialogUnits.h"
#include "ui/Prompter.h"
#include "ui/Skin.h"

namespace {

QCheckBox* checkBox(const QString& text, const QString& objectName, QWidget* parent)
{
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(objectName);
    return box;
}

// Whole numbers only: the policy reads nothing else.
QLineEdit* numberEdit(const QString& objectName, int width, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    edit->setMaxLength(SecuritySettings::kMaxDigits);
    edit->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("\\d{0,%1}").arg(SecuritySettings::kMaxDigits)), edit));
    edit->setFixedWidth(width);
    return edit;
}

// A count whose 0 means the thing does not happen, shown by name; the box is as wide as that name.
QSpinBox* spinBox(const QString& objectName, int maximum, const QString& zeroText, QWidget* parent)
{
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(objectName);
    spin->setRange(0, maximum);
    spin->setSpecialValueText(zeroText);
    return spin;
}

} // namespace

CParamDlg::CParamDlg(AppState& state, Prompter& prompter, QWidget* parent)
    : QDialog(parent), m_state(state), m_prompter(prompter)
{
    setWindowTitle(kTitle);
    Skin::applyDialogSkin(this);
    const DialogUnits du(font());

    auto* group = new QGroupBox(QStringLiteral("安全设置"), this);
    m_instanceCheckBox = checkBox(QStringLiteral("启用"), QStringLiteral("instanceCheckBox"), group);
    m_intervalEdit = numberEdit(QStringLiteral("intervalEdit"), du.x(30), group);
    m_strongKeyCheckBox = checkBox(QStringLiteral("启用"), QStringLiteral("strongKeyCheckBox"), group);
    m_destroyCheckBox = checkBox(QStringLiteral("启用"), QStringLiteral("destroyCheckBox"), group);
    m_failuresCheckBox = checkBox(QStringLiteral("连续登录失败"), QStringLiteral("failuresCheckBox"), group);
    m_failureCountEdit = numberEdit(QStringLiteral("failureCountEdit"), du.x(30), group);
    m_tamperCheckBox = checkBox(QStringLiteral("数据库记录被非法篡改后"), QStringLiteral("tamperCheckBox"), group);

    auto* note = new QLabel(QStringLiteral("注：密钥遗失数据将无法恢复"), group);
    note->setObjectName(QStringLiteral("noteLabel"));
    QPalette notePalette = note->palette();
    notePalette.setColor(QPalette::WindowText, Qt::red);
    note->setPalette(notePalette);

    const auto row = [](QWidget* first, QWidget* second = nullptr, QWidget* third = nullptr) {
        auto* line = new QHBoxLayout;
        line->setSpacing(4);
        for (QWidget* widget : {first, second, third}) {
            if (widget)
                line->addWidget(widget);
        }
        line->addStretch();
        return line;
    };
    auto* form = new QGridLayout(group);
    form->setContentsMargins(du.x(10), du.y(10), du.x(10), du.y(8));
    form->setHorizontalSpacing(du.x(4));
    form->setVerticalSpacing(du.y(5));
    int line = 0;
    const auto addRow = [&](const QString& label, QLayout* fields) {
        form->addWidget(new QLabel(label, group), line, 0, Qt::AlignRight | Qt::AlignVCenter);
        form->addLayout(fields, line, 1);
        ++line;
    };
    addRow(QStringLiteral("单一实例："), row(m_instanceCheckBox));
    addRow(QStringLiteral("重登录间隔："), row(m_intervalEdit, new QLabel(QStringLiteral("秒"), group)));
    addRow(QStringLiteral("加强密钥："), row(m_strongKeyCheckBox, note));
    addRow(QStringLiteral("自动销毁数据："), row(m_destroyCheckBox));
    form->addLayout(row(m_failuresCheckBox, m_failureCountEdit, new QLabel(QStringLiteral("次后"), group)), line++, 1);
    form->addLayout(row(m_tamperCheckBox), line++, 1);
    form->setColumnMinimumWidth(1, du.x(150));

    // How the open program guards what it shows.
    auto* habits = new QGroupBox(QStringLiteral("使用习惯"), this);
    m_clipboardSpin =
        spinBox(QStringLiteral("clipboardSpin"), Preferences::kMaxClipboardSeconds, QStringLiteral("仅退出时"), habits);
    m_hidePasswordCheckBox = checkBox(QStringLiteral("启用"), QStringLiteral("hidePasswordCheckBox"), habits);
    m_lockSpin = spinBox(QStringLiteral("lockSpin"), Preferences::kMaxLockMinutes, QStringLiteral("关闭"), habits);
    auto* habitForm = new QGridLayout(habits);
    habitForm->setContentsMargins(du.x(10), du.y(10), du.x(10), du.y(8));
    habitForm->setHorizontalSpacing(du.x(4));
    habitForm->setVerticalSpacing(du.y(5));
    const std::array<std::pair<QString, QLayout*>, 3> habitRows = {{
        {QStringLiteral("剪贴板清除时间："), row(m_clipboardSpin, new QLabel(QStringLiteral("秒"), habits))},
        {QStringLiteral("隐藏账号密码："), row(m_hidePasswordCheckBox)},
        {QStringLiteral("自动锁定："), row(m_lockSpin, new QLabel(QStringLiteral("分钟无操作后"), habits))},
    }};
    int habitLine = 0;
    for (const auto& [label, fields] : habitRows) {
        habitForm->addWidget(new QLabel(label, habits), habitLine, 0, Qt::AlignRight | Qt::AlignVCenter);
        habitForm->addLayout(fields, habitLine++, 1);
    }
    habitForm->setColumnMinimumWidth(1, du.x(150));

    // The vault is switched by its own box, at once: a conversion is no value the save button writes.
    auto* vaultGroup = new QGroupBox(QStringLiteral("数据库加密"), this);
    m_vaultCheckBox = checkBox(VaultMode::kChoiceText, QStringLiteral("vaultCheckBox"), vaultGroup);
    m_vaultCheckBox->setChecked(m_state.databaseKey.isVault());
    auto* vaultNote = new QLabel(QStringLiteral("开启后，数据库文件及其备份只能用登录密码打开；忘记密码，数据无法找回。"),
                                 vaultGroup);
    vaultNote->setObjectName(QStringLiteral("vaultNoteLabel"));
    vaultNote->setWordWrap(true);
    auto* vaultLayout = new QVBoxLayout(vaultGroup);
    vaultLayout->setContentsMargins(du.x(10), du.y(8), du.x(10), du.y(8));
    vaultLayout->addWidget(m_vaultCheckBox);
    vaultLayout->addWidget(vaultNote);

    auto* body = new QVBoxLayout;
    body->addWidget(group);
    body->addWidget(habits);
    body->addWidget(vaultGroup);

    m_saveButton = DialogLayout::button(QStringLiteral("保 存"), QStringLiteral("saveButton"), this);
    m_saveButton->setDefault(true);
    m_closeButton = DialogLayout::button(QStringLiteral("返 回"), QStringLiteral("closeButton"), this);
    DialogLayout::bodyOverButtons(this, body, {m_saveButton, m_closeButton});
    connect(m_vaultCheckBox, &QCheckBox::clicked, this, &CParamDlg::switchVault);

    connect(m_destroyCheckBox, &QCheckBox::clicked, this, &CParamDlg::enableRules);
    connect(m_saveButton, &QPushButton::clicked, this, &CParamDlg::onSave);
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::reject);

    fill(SecuritySettings(m_state).current());
    m_clipboardSpin->setValue(m_state.preferences.clipboardSeconds);
    m_hidePasswordCheckBox->setChecked(m_state.preferences.hidePassword);
    m_lockSpin->setValue(m_state.preferences.lockMinutes);
}

void CParamDlg::fill(const PolicyRow::Choices& choices)
{
    m_instanceCheckBox->setChecked(choices.singleInstance);
    m_intervalEdit->setText(choices.interval);
    m_strongKeyCheckBox->setChecked(choices.strongKey);
    m_destroyCheckBox->setChecked(choices.destroy);
    m_failuresCheckBox->setChecked(choices.afterFailures);
    m_failureCountEdit->setText(choices.failureLimit);
    m_tamperCheckBox->setChecked(choices.whenTampered);
    m_failuresCheckBox->setEnabled(choices.destroy);
    m_tamperCheckBox->setEnabled(choices.destroy);
    m_failureCountEdit->setEnabled(choices.destroy && choices.afterFailures);
}

PolicyRow::Choices CParamDlg::choices() const
{
    PolicyRow::Choices choices;
    choices.singleInstance = m_instanceCheckBox->isChecked();
    choices.interval = m_intervalEdit->text();
    choices.strongKey = m_strongKeyCheckBox->isChecked();
    choices.destroy = m_destroyCheckBox->isChecked();
    choices.afterFailures = m_failuresCheckBox->isChecked();
    choices.failureLimit = m_failureCountEdit->text();
    choices.whenTampered = m_tamperCheckBox->isChecked();
    return choices;
}

Preferences::Values CParamDlg::preferences() const
{
    Preferences::Values values = m_state.preferences;
    values.clipboardSeconds = m_clipboardSpin->value();
    values.hidePassword = m_hidePasswordCheckBox->isChecked();
    values.lockMinutes = m_lockSpin->value();
    return values;
}

void CParamDlg::enableRules(bool enabled)
{
    m_failuresCheckBox->setEnabled(enabled);
    m_failureCountEdit->setEnabled(enabled);
    m_tamperCheckBox->setEnabled(enabled);
}

VaultMode::Runner CParamDlg::busyRunner(const QString& text)
{
    return [this, text](const VaultMode::Work& work) {
        return static_cast<Vault::Outcome>(BusyWork::run(this, text, [&] { return static_cast<int>(work()); }));
    };
}

void CParamDlg::switchVault(bool on)
{
    // The box shows the database as it is until a conversion has changed it.
    m_vaultCheckBox->setChecked(!on);
    const QString question = on ? VaultMode::kExplanationText : VaultMode::kTurnOffText;
    if (QMessageBox::question(this, VaultMode::kChoiceText, question) != QMessageBox::Yes)
        return;
    bool typed = false;
    const QString password = QInputDialog::getText(this, VaultMode::kChoiceText, VaultMode::kPasswordPromptText,
                                                   QLineEdit::Password, QString(), &typed);
    if (!typed)
        return;
    const VaultMode::Runner busy =
        busyRunner(on ? QStringLiteral("正在把数据库转换为保险库…") : QStringLiteral("正在把数据库转换为普通格式…"));
    const VaultMode::Outcome outcome =
        on ? VaultMode::turnOn(m_state, password, busy) : VaultMode::turnOff(m_state, password, busy);
    m_vaultCheckBox->setChecked(m_state.databaseKey.isVault());
    m_prompter.showMessage(outcome.message, VaultMode::kChoiceText);
    if (!outcome.done || !on)
        return;

    // Backups made before stay readable by anyone with the program: the user decides what becomes of them.
    const QStringList plain = VaultMode::plainBackups();
    if (plain.isEmpty())
        return;
    QMessageBox ask(QMessageBox::Question, VaultMode::kChoiceText,
                    VaultMode::kPlainBackupsText.arg(plain.size()), QMessageBox::NoButton, this);
    QPushButton* convert = ask.addButton(QStringLiteral("转换"), QMessageBox::AcceptRole);
    QPushButton* remove = ask.addButton(QStringLiteral("删除"), QMessageBox::DestructiveRole);
    ask.addButton(QStringLiteral("保留"), QMessageBox::RejectRole);
    ask.exec();
    if (ask.clickedButton() == convert) {
        const int converted =
            VaultMode::convertBackups(plain, m_state.databaseKey, busyRunner(QStringLiteral("正在转换备份…")));
        m_prompter.showMessage(QStringLiteral("已转换 %1 个备份，共 %2 个。").arg(converted).arg(plain.size()),
                               VaultMode::kChoiceText);
    } else if (ask.clickedButton() == remove) {
        int removed = 0;
        for (const QString& path : plain)
            removed += QFile::remove(path) ? 1 : 0;
        m_prompter.showMessage(QStringLiteral("已删除 %1 个备份，共 %2 个。").arg(removed).arg(plain.size()),
                               VaultMode::kChoiceText);
    }
}

void CParamDlg::onSave()
{
    const SecuritySettings::Outcome outcome = SecuritySettings(m_state).save(choices(), preferences());
    m_prompter.showMessage(outcome.message, outcome.caption);
}
