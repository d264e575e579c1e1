#include "security/CLogin.h"

#include <QApplication>
#include <QCheckBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include "security/CInitAdmin.h"
#include "state/AppState.h"
#include "state/SharedTexts.h"
#include "storage/Clock.h"
#include "ui/DialogUnits.h"
#include "ui/Prompter.h"
#include "ui/Skin.h"

namespace {

constexpr int kMaxTypedLength = 30;
constexpr QColor kLoginLabelText{31, 58, 92};

QLabel* transparentLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->setAutoFillBackground(false);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, kLoginLabelText);
    label->setPalette(palette);
    return label;
}

} // namespace

// Resources of a static library are registered only when asked. The macro must not stand inside a
// namespace, the anonymous one included.
static void registerResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(security);
        return true;
    }();
    Q_UNUSED(registered);
}

CLogin::CLogin(AppState& state, Prompter& prompter, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_state(state), m_prompter(prompter), m_policy(state),
      m_userNameEdit(new QLineEdit(this)), m_passwordEdit(new QLineEdit(this)),
      m_rememberCheckBox(new QCheckBox(QStringLiteral("记住用户"), this)),
      m_okButton(new QPushButton(QStringLiteral("确定"), this)),
      m_cancelButton(new QPushButton(QStringLiteral("取消"), this))
{
    registerResources();
    m_state.lastAttemptTime = m_state.clock.now();

    setWindowTitle(SharedTexts::kProductCaption);
    setFont(Skin::uiFont());
    const DialogUnits du(font());
    setFixedSize(du.x(226), du.y(132));

    QLabel* title = transparentLabel(SharedTexts::kProductCaption, this);
    QFont titleFont = Skin::uiFont(13);
    titleFont.setBold(true);
    title->setFont(titleFont);
    title->setGeometry(du.rect(76, 8, 144, 18));
    title->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    transparentLabel(QStringLiteral("用户:"), this)->setGeometry(du.rect(80, 41, 26, 13));
    transparentLabel(QStringLiteral("密码:"), this)->setGeometry(du.rect(80, 61, 26, 13));

    m_userNameEdit->setObjectName(QStringLiteral("userNameEdit"));
    m_userNameEdit->setMaxLength(kMaxTypedLength);
    m_userNameEdit->setGeometry(du.rect(108, 40, 104, 14));
    m_passwordEdit->setObjectName(QStringLiteral("passwordEdit"));
    m_passwordEdit->setMaxLength(kMaxTypedLength);
    m_passwordEdit->setEchoMode(QLineEdit::Password);
    m_passwordEdit->setGeometry(du.rect(108, 60, 104, 14));

    m_rememberCheckBox->setObjectName(QStringLiteral("rememberCheckBox"));
    QPalette checkPalette = m_rememberCheckBox->palette();
    checkPalette.setColor(QPalette::WindowText, kLoginLabelText);
    m_rememberCheckBox->setPalette(checkPalette);
    m_rememberCheckBox->setGeometry(du.rect(108, 79, 80, 12));

    m_okButton->setObjectName(QStringLiteral("okButton"));
    m_okButton->setDefault(true);
    m_okButton->setGeometry(du.rect(108, 100, 48, 15));
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_cancelButton->setGeometry(du.rect(164, 100, 48, 15));

    connect(m_okButton, &QPushButton::clicked, this, &CLogin::onOk);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

int CLogin::run()
{
    if (m_opener)
        fillRememberedName();
    else if (!initialise())
        return m_refused ? kRefused : QDialog::Rejected;
    return exec();
}

bool CLogin::openDatabase()
{
    const LoginPolicy::Outcome checked = m_policy.beforeVaultOpen(m_userNameEdit->text(), m_passwordEdit->text());
    if (!checked.message.isEmpty()) {
        showOutcome(checked.message, checked.caption);
        if (checked.withinInterval)
            m_policy.intervalMessageShown();
        return false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const OpenResult opened = m_opener(m_passwordEdit->text());
    QApplication::restoreOverrideCursor();
    switch (opened) {
    case OpenResult::Stay:
        m_policy.vaultOpenFailed();
        m_passwordEdit->selectAll();
        return false;
    case OpenResult::Refused:
        done(kRefused);
        return false;
    case OpenResult::Opened:
        break;
    }
    m_opener = nullptr;
    m_policy.vaultOpened();
    if (!initialise()) {
        done(m_refused ? kRefused : QDialog::Rejected);
        return false;
    }
    return true;
}

bool CLogin::initialise()
{
    for (;;) {
        const LoginPolicy::AccountCheck check = m_policy.countAccounts();
        if (check.accounts == LoginPolicy::Accounts::One)
            break;
        if (check.accounts == LoginPolicy::Accounts::Unusable) {
            showOutcome(check.message, check.caption);
            m_refused = true;
            return false;
        }
        // The first-run dialog ends with OK even when its save failed and was undone; the table is
        // then still empty and the user gets the dialog again, which its close box can always leave.
        CInitAdmin firstRun(m_state, m_prompter, parentWidget());
        if (firstRun.exec() != QDialog::Accepted)
            return false;
    }

    const LoginPolicy::Outcome policy = m_policy.checkPolicyId();
    if (policy.result == LoginPolicy::Result::Cancel) {
        showOutcome(policy.message, policy.caption);
        m_refused = true;
        return false;
    }

    if (m_userNameEdit->text().isEmpty())
        fillRememberedName();
    return true;
}

void CLogin::fillRememberedName()
{
    if (const std::optional<QString> name = m_policy.rememberedName()) {
        m_userNameEdit->setText(*name);
        m_rememberCheckBox->setChecked(true);
        m_passwordEdit->setFocus();
    } else {
        m_userNameEdit->setFocus();
    }
}

void CLogin::onOk()
{
    if (m_opener && !openDatabase())
        return;
    const LoginPolicy::Outcome outcome =
        m_policy.attempt(m_userNameEdit->text(), m_passwordEdit->text(), m_rememberCheckBox->isChecked());
    showOutcome(outcome.message, outcome.caption);
    if (outcome.withinInterval)
        m_policy.intervalMessageShown();
    switch (outcome.result) {
    case LoginPolicy::Result::LoggedIn:
        accept();
        break;
    case LoginPolicy::Result::Cancel:
        done(kRefused);
        break;
    case LoginPolicy::Result::Stay:
        break;
    }
}

void CLogin::showOutcome(const QString& message, const QString& caption)
{
    if (!message.isEmpty())
        m_prompter.showMessage(message, caption);
}

void CLogin::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_background.isNull()) {
        painter.drawImage(rect(), m_background);
        return;
    }
    // Without the picture (no image plugin for it) a plain wash in its colours stands in.
    QLinearGradient wash(0, 0, 0, height());
    wash.setColorAt(0.0, Skin::kDialogBackground);
    wash.setColorAt(1.0, QColor(199, 218, 238));
    painter.fillRect(rect(), wash);
}

void CLogin::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    // Rendered at the window's own size, so the picture stays sharp.
    QImageReader reader(QStringLiteral(":/security/login_background.svg"));
    reader.setScaledSize(size());
    m_background = reader.read();
}

void CLogin::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
        event->accept();
        return;
    }
    QDialog::mousePressEvent(event);
}

void CLogin::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton) {
        move(event->globalPosition().toPoint() - m_dragOffset);
        event->accept();
        return;
    }
    QDialog::mouseMoveEvent(event);
}
