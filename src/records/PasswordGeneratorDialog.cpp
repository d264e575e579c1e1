#include "records/PasswordGeneratorDialog.h"

#include <cmath>

#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include "crypto/PasswordStrength.h"
#include "crypto/RandomSource.h"
#include "ui/DialogLayout.h"
#include "ui/DialogUnits.h"
#include "ui/Skin.h"
#include "ui/StrengthMeter.h"

namespace {

template <class Control> Control* named(const QString& text, const QString& name, QWidget* parent)
{
    auto* control = new Control(text, parent);
    control->setObjectName(name);
    return control;
}

QSpinBox* spinBox(const QString& name, int minimum, int maximum, int value, QWidget* parent)
{
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(name);
    spin->setRange(minimum, maximum);
    spin->setValue(value);
    return spin;
}

} // namespace

PasswordGeneratorDialog::PasswordGeneratorDialog(RandomSource& random, QWidget* parent)
    : QDialog(parent), m_random(random)
{
    setWindowTitle(kTitle);
    Skin::applyDialogSkin(this);
    const DialogUnits du(font());

    auto* group = new QGroupBox(kTitle, this);
    m_charactersRadio = named<QRadioButton>(QStringLiteral("随机字符"), QStringLiteral("charactersRadio"), group);
    m_passphraseRadio = named<QRadioButton>(QStringLiteral("拼音词组"), QStringLiteral("passphraseRadio"), group);
    m_charactersRadio->setChecked(true);
    m_lengthSpin = spinBox(QStringLiteral("lengthSpin"), PasswordGenerator::kMinLength, PasswordGenerator::kMaxLength,
                           PasswordGenerator::Options{}.length, group);
    m_upperCheck = named<QCheckBox>(QStringLiteral("大写字母"), QStringLiteral("upperCheck"), group);
    m_lowerCheck = named<QCheckBox>(QStringLiteral("小写字母"), QStringLiteral("lowerCheck"), group);
    m_digitsCheck = named<QCheckBox>(QStringLiteral("数字"), QStringLiteral("digitsCheck"), group);
    m_symbolsCheck = named<QCheckBox>(QStringLiteral("符号"), QStringLiteral("symbolsCheck"), group);
    m_lookAlikeCheck =
        named<QCheckBox>(QStringLiteral("排除易混淆字符（0 O o 1 l I | 等）"), QStringLiteral("lookAlikeCheck"), group);
    for (QCheckBox* box : {m_upperCheck, m_lowerCheck, m_digitsCheck, m_symbolsCheck})
        box->setChecked(true);
    m_wordsSpin = spinBox(QStringLiteral("wordsSpin"), PasswordGenerator::kMinWords, PasswordGenerator::kMaxWords,
                          kDefaultWords, group);
    m_resultEdit = new QLineEdit(group);
    m_resultEdit->setObjectName(QStringLiteral("resultEdit"));
    m_resultEdit->setMinimumWidth(du.x(200));
    // Characters such as 1 l I and 0 O tell apart better in a fixed-pitch face.
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSizeF(m_resultEdit->font().pointSizeF());
    m_resultEdit->setFont(fixed);
    auto* again = named<QPushButton>(QStringLiteral("重新生成"), QStringLiteral("regenerateButton"), group);
    m_bitsLabel = new QLabel(group);
    m_bitsLabel->setObjectName(QStringLiteral("bitsLabel"));
    m_strength = new StrengthMeter(group);
    m_strength->setObjectName(QStringLiteral("strengthMeter"));

    const auto line = [](std::initializer_list<QWidget*> widgets) {
        auto* row = new QHBoxLayout;
        for (QWidget* widget : widgets)
            row->addWidget(widget);
        row->addStretch();
        return row;
    };
    auto* form = new QGridLayout(group);
    form->setContentsMargins(du.x(10), du.y(10), du.x(10), du.y(8));
    form->setHorizontalSpacing(du.x(4));
    form->setVerticalSpacing(du.y(5));
    form->addWidget(m_charactersRadio, 0, 0);
    form->addLayout(line({new QLabel(QStringLiteral("长度："), group), m_lengthSpin}), 0, 1);
    form->addLayout(line({m_upperCheck, m_lowerCheck, m_digitsCheck, m_symbolsCheck}), 1, 1);
    form->addLayout(line({m_lookAlikeCheck}), 2, 1);
    form->addWidget(m_passphraseRadio, 3, 0);
    form->addLayout(line({new QLabel(QStringLiteral("词数："), group), m_wordsSpin}), 3, 1);
    auto* result = new QHBoxLayout;
    result->addWidget(m_resultEdit, 1);
    result->addWidget(again);
    form->addWidget(new QLabel(QStringLiteral("密码："), group), 4, 0, Qt::AlignRight | Qt::AlignVCenter);
    form->addLayout(result, 4, 1);
    form->addWidget(m_strength, 5, 1);
    form->addWidget(m_bitsLabel, 6, 1);

    auto* ok = DialogLayout::button(QStringLiteral("确 定"), QStringLiteral("okButton"), this);
    ok->setDefault(true);
    auto* cancel = DialogLayout::button(QStringLiteral("取 消"), QStringLiteral("cancelButton"), this);
    DialogLayout::bodyOverButtons(this, group, {ok, cancel});

    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(again, &QPushButton::clicked, this, &PasswordGeneratorDialog::regenerate);
    connect(m_resultEdit, &QLineEdit::textChanged, this, &PasswordGeneratorDialog::showStrength);
    connect(m_charactersRadio, &QRadioButton::toggled, this, &PasswordGeneratorDialog::regenerate);
    connect(m_lengthSpin, &QSpinBox::valueChanged, this, &PasswordGeneratorDialog::regenerate);
    connect(m_wordsSpin, &QSpinBox::valueChanged, this, &PasswordGeneratorDialog::regenerate);
    connect(m_lookAlikeCheck, &QCheckBox::toggled, this, &PasswordGeneratorDialog::regenerate);
    for (QCheckBox* box : {m_upperCheck, m_lowerCheck, m_digitsCheck, m_symbolsCheck}) {
        connect(box, &QCheckBox::toggled, this, [this, box](bool checked) {
            if (!checked)
                keepOneClass(box);
            regenerate();
        });
    }
    regenerate();
}

QString PasswordGeneratorDialog::password() const
{
    return m_resultEdit->text();
}

PasswordGenerator::Options PasswordGeneratorDialog::options() const
{
    PasswordGenerator::Options options;
    options.length = m_lengthSpin->value();
    options.upper = m_upperCheck->isChecked();
    options.lower = m_lowerCheck->isChecked();
    options.digits = m_digitsCheck->isChecked();
    options.symbols = m_symbolsCheck->isChecked();
    options.excludeLookAlikes = m_lookAlikeCheck->isChecked();
    return options;
}

void PasswordGeneratorDialog::keepOneClass(QCheckBox* cleared)
{
    const PasswordGenerator::Options chosen = options();
    if (!chosen.upper && !chosen.lower && !chosen.digits && !chosen.symbols) {
        const QSignalBlocker quiet(cleared);
        cleared->setChecked(true);
    }
}

void PasswordGeneratorDialog::regenerate()
{
    const bool words = m_passphraseRadio->isChecked();
    for (QWidget* control : std::initializer_list<QWidget*>{m_lengthSpin, m_upperCheck, m_lowerCheck, m_digitsCheck,
                                                            m_symbolsCheck, m_lookAlikeCheck})
        control->setEnabled(!words);
    m_wordsSpin->setEnabled(words);
    m_generatedBits =
        words ? PasswordGenerator::passphraseBits(m_wordsSpin->value()) : PasswordGenerator::bits(options());
    m_generated = words ? PasswordGenerator::passphrase(m_wordsSpin->value(), m_random)
                        : PasswordGenerator::generate(options(), m_random);
    m_bitsLabel->setText(QStringLiteral("熵：约 %1 比特").arg(std::lround(m_generatedBits)));
    m_resultEdit->setText(m_generated);
}

void PasswordGeneratorDialog::showStrength(const QString& password)
{
    PasswordStrength::Estimate estimate = PasswordStrength::estimate(password);
    // Someone who knows how it was made needs no more guesses than it had choices: the estimate takes a
    // string of syllables for rarer than it is.
    if (password == m_generated && m_generatedBits < estimate.bits)
        estimate = PasswordStrength::fromBits(m_generatedBits);
    m_strength->showEstimate(estimate);
}
