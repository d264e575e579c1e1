#include "ui/StrengthMeter.h"

#include <algorithm>
#include <cmath>

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

namespace {

// Passwords past 10^20 guesses fill the bar.
constexpr int kFullBar = 20;

QColor levelColour(PasswordStrength::Level level)
{
    using Level = PasswordStrength::Level;
    switch (level) {
    case Level::None:
    case Level::VeryWeak:
        break;
    case Level::Weak:
        return QColor(230, 120, 30);
    case Level::Fair:
        return QColor(215, 175, 20);
    case Level::Strong:
        return QColor(120, 180, 60);
    case Level::VeryStrong:
        return QColor(40, 150, 60);
    }
    return QColor(210, 50, 40);
}

} // namespace

StrengthMeter::StrengthMeter(QWidget* parent) : QWidget(parent), m_bar(new QProgressBar(this)), m_text(new QLabel(this))
{
    m_bar->setObjectName(QStringLiteral("strengthBar"));
    m_bar->setRange(0, kFullBar);
    m_bar->setTextVisible(false);
    m_bar->setFixedHeight(8);
    m_text->setObjectName(QStringLiteral("strengthLabel"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_bar, 1);
    layout->addWidget(m_text);
    fitText();
    setPassword({});
}

void StrengthMeter::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fitText();
}

void StrengthMeter::fitText()
{
    m_bar->setMinimumWidth(fontMetrics().averageCharWidth() * 6);
    m_text->setMinimumWidth(m_text->fontMetrics().horizontalAdvance(QStringLiteral("强度：很强（约 10^999 次猜测）")));
}

void StrengthMeter::setPassword(const QString& password)
{
    showEstimate(PasswordStrength::estimate(password, m_userWords));
}

void StrengthMeter::showEstimate(const PasswordStrength::Estimate& estimate)
{
    m_bar->setValue(std::clamp(static_cast<int>(std::lround(estimate.log10Guesses())), 0, kFullBar));
    QPalette palette = m_bar->palette();
    palette.setColor(QPalette::Highlight, levelColour(estimate.level));
    m_bar->setPalette(palette);
    m_text->setText(PasswordStrength::text(estimate));
}
