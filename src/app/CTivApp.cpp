#include "app/CTivApp.h"

#include <QApplication>
#include <QDBusConnection>
#include <QFileInfo>

#include "app/BackupDialog.h"
#include "app/BackupRestore.h"
#include "app/CMainFrame.h"
#include "security/CLogin.h"
#include "state/SystemKey.h"
#include "storage/Clock.h"
#include "state/WindowStateFile.h"

CTivApp::CTivApp(const Clock& clock, RandomLetters& letters, Prompter* prompter, QObject* parent)
    : QObject(parent), m_state(clock, letters), m_prompter(prompter ? *prompter : m_widgetPrompter),
      m_idleLock([this] { return m_state.preferences.lockMinutes; })
{
    connect(&m_idleLock, &IdleLock::idle, this, &CTivApp::lockSession);
    // Where the desktop reports its screen lock or a suspend, the program locks with it. Only a bus that
    // is there is asked: without one (a bare X server, the tests) nothing would try to start one.
    if (qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"))
        QDBusConnection::sessionBus().connect(QString(), QStringLiteral("/org/freedesktop/ScreenSaver"),
                                              QStringLiteral("org.freedesktop.ScreenSaver"),
                                              QStringLiteral("ActiveChanged"), this, SLOT(desktopLocking(bool)));
    if (QFileInfo::exists(QStringLiteral("/run/dbus/system_bus_socket")))
        QDBusConnection::systemBus().connect(QStringLiteral("org.freedesktop.login1"),
                                             QStringLiteral("/org/freedesktop/login1"),
                                             QStringLiteral("org.freedesktop.login1.Manager"),
                                             QStringLiteral("PrepareForSleep"), this, SLOT(desktopLocking(bool)));
}

void CTivApp::desktopLocking(bool locking)
{
    if (locking && m_frame)
        QMetaObject::invokeMethod(this, &CTivApp::lockSession, Qt::QueuedConnection);
}

CTivApp::~CTivApp()
{
    ExitInstance();
}

bool CTivApp::InitInstance(Startup::EarlyOpen early)
{
    return startSession(std::move(early));
}

bool CTivApp::startSession(Startup::EarlyOpen early)
{
    {
        // Built while the early open derives the database key: the first look at the fonts takes
        // about as long. Nothing of it reads the database before run().
        CLogin login(m_state, m_prompter);
        const bool vault = Startup::databaseIsVault();
        if (vault) {
            // A vault is opened by the login's password: what start-up does with the open database
            // waits for it, and so does the backup, which needs the vault's key.
            m_state.systemKey = SystemKey::build();
            m_state.windowState = WindowStateFile::read();
            login.setDatabaseOpener([this](const QString& password) {
                switch (Startup::openVault(m_state, m_lock, m_prompter, password)) {
                case Startup::VaultOpen::Opened:
                    return CLogin::OpenResult::Opened;
                case Startup::VaultOpen::Stay:
                    return CLogin::OpenResult::Stay;
                case Startup::VaultOpen::Refused:
                    break;
                }
                return CLogin::OpenResult::Refused;
            });
        } else {
            if (!Startup::prepare(m_state, m_lock, m_prompter, std::move(early))) {
                m_startRefused = true;
                return false;
            }
            m_backup = DatedBackup::start(m_state.clock, m_state.databaseKey.clone(), m_state.preferences.keepBackups);
        }
        m_widgetPrompter.setParent(&login);
        const int result = login.run();
        m_widgetPrompter.setParent(nullptr);
        // A user who leaves the login ends the program as a user who closes the main window does.
        m_startRefused = result == CLogin::kRefused;
        if (result != QDialog::Accepted)
            return false;
        if (vault)
            m_backup = DatedBackup::start(m_state.clock, m_state.databaseKey.clone(), m_state.preferences.keepBackups);
    }
    m_frame = std::make_unique<CMainFrame>(m_state, m_prompter);
    // Queued: the restore takes the window down, and the signal comes from inside it.
    connect(m_frame.get(), &CMainFrame::restoreRequested, this, &CTivApp::restoreBackup, Qt::QueuedConnection);
    connect(m_frame.get(), &CMainFrame::lockRequested, this, &CTivApp::lockSession, Qt::QueuedConnection);
    m_idleLock.start();
    m_widgetPrompter.setParent(m_frame.get());
    m_frame->show();
    m_frame->repaint();
    return true;
}

void CTivApp::restoreBackup(const QString& backup)
{
    // The session ends as it does at exit, but the program goes on: the restored database starts a new
    // one at the login, with the name and password it holds.
    restartSession([&] {
        const BackupRestore::Result result =
            BackupRestore::restore(backup, m_state.databaseKey, m_state.clock.now());
        m_prompter.showMessage(result.message, BackupDialog::kTitle);
    });
}

void CTivApp::lockSession()
{
    // A dialog the user left open holds its own loop inside the window: the lock waits for the next
    // idle time after it.
    if (QApplication::activeModalWidget()) {
        m_idleLock.start();
        return;
    }
    // Nothing typed is lost: the forms' changes are saved first, encrypted as every record is.
    if (!m_frame || !m_frame->saveForLock()) {
        m_idleLock.start();
        return;
    }
    restartSession([] {});
}

void CTivApp::restartSession(const std::function<void()>& betweenSessions)
{
    m_idleLock.stop();
    const bool quitOnClose = QApplication::quitOnLastWindowClosed();
    QApplication::setQuitOnLastWindowClosed(false);
    m_widgetPrompter.setParent(nullptr);
    // The window goes with everything it showed and the custom keys it held; the clipboard forgets
    // what it copied.
    m_frame.reset();
    if (m_backup.valid())
        m_backup.wait();
    m_state.closeConnections();
    betweenSessions();
    // The keys, the password and the account go; a vault stays closed until its password is typed again.
    m_state.resetSession();
    const bool started = startSession();
    QApplication::setQuitOnLastWindowClosed(quitOnClose);
    if (!started)
        QApplication::exit(m_startRefused ? 1 : 0);
}

int CTivApp::ExitInstance()
{
    if (m_exited)
        return 0;
    m_exited = true;
    m_idleLock.stop();
    m_widgetPrompter.setParent(nullptr);
    m_frame.reset();
    // A self-destruct deletes the backups too, so the copy must be complete before.
    if (m_backup.valid())
        m_backup.wait();
    Startup::finish(m_state, m_lock);
    return m_startRefused ? 1 : 0;
}
