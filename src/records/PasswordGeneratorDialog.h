#pragma once

#include <QDialog>

#include "crypto/PasswordGenerator.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class RandomSource;
class StrengthMeter;

// "生成密码": a new account password of random characters or of pinyin words, drawn again whenever a
// choice changes, with its strength. 确定 hands it to the password box's editor.
class PasswordGeneratorDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PasswordGeneratorDialog)

public:
    explicit PasswordGeneratorDialog(RandomSource& random, QWidget* parent = nullptr);

    // The password in the result box, as drawn or as the user changed it.
    QString password() const;

    static inline const QString kTitle = QStringLiteral("生成密码");
    static constexpr int kDefaultWords = 7;

public slots:
    void regenerate();

private:
    PasswordGenerator::Options options() const;
    // A password needs at least one class: the box last cleared comes back when it was the only one.
    void keepOneClass(QCheckBox* cleared);

    void showStrength(const QString& password);

    RandomSource& m_random;
    QString m_generated;
    double m_generatedBits = 0;
    QRadioButton* m_charactersRadio;
    QRadioButton* m_passphraseRadio;
    QSpinBox* m_lengthSpin;
    QCheckBox* m_upperCheck;
    QCheckBox* m_lowerCheck;
    QCheckBox* m_digitsCheck;
    QCheckBox* m_symbolsCheck;
    QCheckBox* m_lookAlikeCheck;
    QSpinBox* m_wordsSpin;
    QLineEdit* m_resultEdit;
    QLabel* m_bitsLabel;
    StrengthMeter* m_strength;
};
