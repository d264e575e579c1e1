#pragma once

#include <QStringList>
#include <QWidget>

#include "crypto/PasswordStrength.h"

class QLabel;
class QProgressBar;

// The strength estimate of a password as it is typed: a bar and "强度：…（约 10^n 次猜测）". It only
// informs; nothing is refused because of it.
class StrengthMeter final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StrengthMeter)

public:
    explicit StrengthMeter(QWidget* parent = nullptr);

    // Words the estimate treats as the first guesses: the account name, the caption.
    void setUserWords(const QStringList& words) { m_userWords = words; }

    void showEstimate(const PasswordStrength::Estimate& estimate);

public slots:
    void setPassword(const QString& password);

protected:
    void changeEvent(QEvent* event) override;

private:
    // Room for the longest text, so that the dialog around it keeps its size while the user types.
    void fitText();

    QProgressBar* m_bar;
    QLabel* m_text;
    QStringList m_userWords;
};
