#include "security/CUserDlg.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "security/ProfileChange.h"
#include "state/AccountText.h"
#include "state/AppState.h"
#include "ui/DialogLayout.h"
#include "ui/DialogUnits.h"
#include "ui/Prompter.h"
#include "ui/Skin.h"
#include "ui/StrengthMeter.h"

namespace {

// The login box holds no more, so a longer name or password could never be typed there.
constexpr int kMaxTypedLength = 30;

QLineEdit* lineEdit(const QString& objectName, bool masked, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    edit->setMaxLength(kMaxTypedLength);
    if (masked)
        edit->setEchoMode(QLineEdit::Password);
    return edit;
}

QRadioButton* radio(const QString& text, const QString& objectName, QWidget* parent)
{
    auto* button = new QRadioButton(text, parent);
    button->setObjectName(objectName);
    return button;
}

} // namespace

CUserDlg::CUserDlg(AppState& state, Prompter& prompter, QWidget* parent)
    : QDialog(parent), m_state(state), m_prompter(prompter)
{
    setWindowTitle(kTitle);
    Skin::applyDialogSkin(this);
    const DialogUnits du(font());

    auto* group = new QGroupBox(QStringLiteral("用户资料修改"), this);
    m_userNameEdit = lineEdit(QStringLiteral("userNameEdit"), false, group);
    m_userNameEdit->setText(m_state.user.userName);
    m_genderGroup = new QButtonGroup(this);
    m_maleRadio = radio(QStringLiteral("男"), QStringLiteral("maleRadio"), group);
    m_femaleRadio = radio(QStringLiteral("女"), QStringLiteral("femaleRadio"), group);
    m_secretRadio = radio(QStringLiteral("保密"), QStringLiteral("secretRadio"), group);
    m_genderGroup->addButton(m_maleRadio, 0);
    m_genderGroup->addButton(m_femaleRadio, 1);
    m_genderGroup->addButton(m_secretRadio, 2);
    // A gender outside the three, which only a foreign row could hold, shows as 保密.
    QAbstractButton* gender = m_genderGroup->button(m_state.user.gender);
    (gender ? gender : m_secretRadio)->setChecked(true);
    m_oldPasswordEdit = lineEdit(QStringLiteral("oldPasswordEdit"), true, group);
    m_newPasswordEdit = lineEdit(QStringLiteral("newPasswordEdit"), true, group);
    m_confirmEdit = lineEdit(QStringLiteral("confirmEdit"), true, group);

    auto* genders = new QHBoxLayout;
    genders->addWidget(m_maleRadio);
    genders->addWidget(m_femaleRadio);
    genders->addWidget(m_secretRadio);
    genders->addStretch();

    auto* form = new QGridLayout(group);
    form->setContentsMargins(du.x(10), du.y(10), du.x(10), du.y(8));
    form->setHorizontalSpacing(du.x(4));
    form->setVerticalSpacing(du.y(5));
    int row = 0;
    const auto addRow = [&](const QString& label, QWidget* field, QLayout* fields) {
        form->addWidget(new QLabel(label, group), row, 0, Qt::AlignRight | Qt::AlignVCenter);
        if (field)
            form->addWidget(field, row, 1);
        else
            form->addLayout(fields, row, 1);
        ++row;
    };
    addRow(QStringLiteral("用户名:"), m_userNameEdit, nullptr);
    addRow(QStringLiteral("性别:"), nullptr, genders);
    addRow(QStringLiteral("原密码:"), m_oldPasswordEdit, nullptr);
    addRow(QStringLiteral("新密码:"), m_newPasswordEdit, nullptr);
    auto* strength = new StrengthMeter(group);
    strength->setObjectName(QStringLiteral("strengthMeter"));
    form->addWidget(strength, row++, 1);
    addRow(QStringLiteral("确认新密码:"), m_confirmEdit, nullptr);
    form->setColumnMinimumWidth(1, du.x(120));

    m_applyButton = DialogLayout::button(QStringLiteral("修 改"), QStringLiteral("applyButton"), this);
    m_applyButton->setAutoDefault(false);
    m_closeButton = DialogLayout::button(QStringLiteral("返 回"), QStringLiteral("closeButton"), this);
    m_closeButton->setDefault(true);
    DialogLayout::bodyOverButtons(this, group, {m_applyButton, m_closeButton});

    connect(m_applyButton, &QPushButton::clicked, this, &CUserDlg::onApply);
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::reject);
    const auto estimate = [this, strength] {
        strength->setUserWords({m_userNameEdit->text()});
        // The password is stored, and later compared, without the characters the account texts drop.
        strength->setPassword(AccountText::StripUnsafe(m_newPasswordEdit->text()));
    };
    connect(m_userNameEdit, &QLineEdit::textChanged, strength, estimate);
    connect(m_newPasswordEdit, &QLineEdit::textChanged, strength, estimate);
    m_oldPasswordEdit->setFocus();
}

void CUserDlg::onApply()
{
    ProfileChange::Input input;
    input.userName = m_userNameEdit->text();
    input.gender = m_genderGroup->checkedId();
    input.oldPassword = m_oldPasswordEdit->text();
    input.newPassword = m_newPasswordEdit->text();
    input.confirmation = m_confirmEdit->text();
    const ProfileChange::Outcome outcome = ProfileChange(m_state).apply(input);
    m_prompter.showMessage(outcome.message, outcome.caption);
    // After a change the name box shows the name as stored, without the characters removed from it,
    // and the password boxes are emptied: the old password they hold is no longer the current one.
    if (outcome.result == ProfileChange::Result::Changed) {
        m_userNameEdit->setText(m_state.user.userName);
        for (QLineEdit* edit : {m_oldPasswordEdit, m_newPasswordEdit, m_confirmEdit})
            edit->clear();
    }
}
