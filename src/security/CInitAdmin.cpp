#include "security/CInitAdmin.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "security/DefaultKeySuggestion.h"
#include "security/FirstRunSetup.h"
#include "state/AccountText.h"
#include "ui/DialogLayout.h"
#include "ui/DialogUnits.h"
#include "ui/Prompter.h"
#include "ui/Skin.h"
#include "ui/StrengthMeter.h"

namespace {

// The login box holds no more, so a longer name or password could never be typed there.
constexpr int kMaxTypedLength = 30;

QLabel* requiredMark(QWidget* parent)
{
    auto* mark = new QLabel(QStringLiteral("*"), parent);
    QPalette palette = mark->palette();
    palette.setColor(QPalette::WindowText, Qt::red);
    mark->setPalette(palette);
    return mark;
}

QLineEdit* lineEdit(const QString& objectName, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    return edit;
}

} // namespace

CInitAdmin::CInitAdmin(AppState& state, Prompter& prompter, QWidget* parent)
    : QDialog(parent), m_state(state), m_prompter(prompter),
      m_userNameEdit(lineEdit(QStringLiteral("userNameEdit"), this)), m_genderGroup(new QButtonGroup(this)),
      m_maleRadio(new QRadioButton(QStringLiteral("男"), this)),
      m_femaleRadio(new QRadioButton(QStringLiteral("女"), this)),
      m_secretRadio(new QRadioButton(QStringLiteral("保密"), this)),
      m_passwordEdit(lineEdit(QStringLiteral("passwordEdit"), this)),
      m_confirmEdit(lineEdit(QStringLiteral("confirmEdit"), this)),
      m_defaultKeyEdit(lineEdit(QStringLiteral("defaultKeyEdit"), this))
{
    setWindowTitle(kTitle);
    Skin::applyDialogSkin(this);
    const DialogUnits du(font());

    m_userNameEdit->setMaxLength(kMaxTypedLength);
    m_passwordEdit->setMaxLength(kMaxTypedLength);
    m_confirmEdit->setMaxLength(kMaxTypedLength);
    m_passwordEdit->setEchoMode(QLineEdit::Password);
    m_confirmEdit->setEchoMode(QLineEdit::Password);
    m_defaultKeyEdit->setText(DefaultKeySuggestion::rootFileSystemId());

    m_maleRadio->setObjectName(QStringLiteral("maleRadio"));
    m_femaleRadio->setObjectName(QStringLiteral("femaleRadio"));
    m_secretRadio->setObjectName(QStringLiteral("secretRadio"));
    m_genderGroup->addButton(m_maleRadio, 0);
    m_genderGroup->addButton(m_femaleRadio, 1);
    m_genderGroup->addButton(m_secretRadio, 2);
    m_secretRadio->setChecked(true);

    auto* genders = new QHBoxLayout;
    genders->addWidget(m_maleRadio);
    genders->addWidget(m_femaleRadio);
    genders->addWidget(m_secretRadio);
    genders->addStretch();

    auto* form = new QGridLayout;
    form->setHorizontalSpacing(du.x(4));
    form->setVerticalSpacing(du.y(5));
    int row = 0;
    auto addRow = [&](const QString& label, QWidget* field, QLayout* fields, bool required) {
        form->addWidget(new QLabel(label, this), row, 0, Qt::AlignRight);
        if (field)
            form->addWidget(field, row, 1);
        else
            form->addLayout(fields, row, 1);
        if (required)
            form->addWidget(requiredMark(this), row, 2);
        ++row;
    };
    addRow(QStringLiteral("用户名:"), m_userNameEdit, nullptr, true);
    addRow(QStringLiteral("性  别:"), nullptr, genders, false);
    addRow(QStringLiteral("密  码:"), m_passwordEdit, nullptr, true);
    auto* strength = new StrengthMeter(this);
    strength->setObjectName(QStringLiteral("strengthMeter"));
    form->addWidget(strength, row++, 1);
    addRow(QStringLiteral("确认密码:"), m_confirmEdit, nullptr, true);
    addRow(QStringLiteral("默认密钥:"), m_defaultKeyEdit, nullptr, true);
    form->setColumnMinimumWidth(1, du.x(120));

    m_saveButton = DialogLayout::button(QStringLiteral("保 存"), QStringLiteral("saveButton"), this);
    m_saveButton->setDefault(true);
    DialogLayout::bodyOverButtons(this, form, {m_saveButton});

    connect(m_saveButton, &QPushButton::clicked, this, &CInitAdmin::onSave);
    const auto estimate = [this, strength] {
        strength->setUserWords({m_userNameEdit->text()});
        // The password is stored, and later compared, without the characters the account texts drop.
        strength->setPassword(AccountText::StripUnsafe(m_passwordEdit->text()));
    };
    connect(m_userNameEdit, &QLineEdit::textChanged, strength, estimate);
    connect(m_passwordEdit, &QLineEdit::textChanged, strength, estimate);
    m_userNameEdit->setFocus();
}

void CInitAdmin::reject()
{
    if (m_prompter.confirm(kQuitQuestion, QStringLiteral("退出"), QStringLiteral("返回")))
        QDialog::reject();
}

void CInitAdmin::onSave()
{
    FirstRunSetup::Input input;
    input.userName = m_userNameEdit->text();
    input.gender = m_genderGroup->checkedId();
    input.password = m_passwordEdit->text();
    input.confirmation = m_confirmEdit->text();
    input.defaultKey = m_defaultKeyEdit->text();

    const FirstRunSetup::Outcome outcome = FirstRunSetup(m_state).save(input);
    if (!outcome.message.isEmpty())
        m_prompter.showMessage(outcome.message, outcome.caption);
    if (outcome.endsDialog())
        accept();
}
