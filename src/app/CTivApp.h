#pragma once

#include <QObject>

#include <functional>
#include <future>
#include <memory>

#include "app/DatedBackup.h"
#include "app/IdleLock.h"
#include "app/InstanceLock.h"
#include "app/Startup.h"
#include "state/AppState.h"
#include "ui/WidgetPrompter.h"

class CMainFrame;
class Clock;
class Prompter;
class RandomLetters;

// The application object: owns everything shared for the whole run, starts the program up to the
// main window and takes it down again.
class CTivApp final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CTivApp)

public:
    // The prompter is how the program talks to the user; the real dialogs when none is given.
    CTivApp(const Clock& clock, RandomLetters& letters, Prompter* prompter = nullptr, QObject* parent = nullptr);
    ~CTivApp() override;

    // Keys, connections (the early open's when one is given), policy, lock, window state; the dated
    // backup started beside the login; then the main window is shown. False ends the program
    // (ExitInstance still runs).
    bool InitInstance(Startup::EarlyOpen early = {});
    // Releases the lock, closes the connections and, after a self-destruct, deletes the database.
    // Runs once. Gives the program's exit status: 1 when the program refused to start (the user has
    // been told why), else 0.
    int ExitInstance();

    AppState& state() { return m_state; }
    CMainFrame* mainFrame() const { return m_frame.get(); }

private slots:
    // The desktop's screen saver became active, or the machine is about to sleep.
    void desktopLocking(bool locking);

private:
    // The login up to the main window; InitInstance's, and again after a restore.
    bool startSession(Startup::EarlyOpen early = {});
    // Ends the session, puts the backup in the database's place and starts a new session at the login.
    void restoreBackup(const QString& backup);
    // "锁定", or the idle time ran out: the session ends with its keys and starts again at the login.
    void lockSession();
    void restartSession(const std::function<void()>& betweenSessions);

    AppState m_state;
    InstanceLock m_lock;
    WidgetPrompter m_widgetPrompter;
    Prompter& m_prompter;
    std::unique_ptr<CMainFrame> m_frame;
    std::future<DatedBackup::Result> m_backup;
    IdleLock m_idleLock;
    bool m_startRefused = false;
    bool m_exited = false;
};
