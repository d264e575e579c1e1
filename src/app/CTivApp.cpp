#include "app/CTivApp.h"

#include "app/CMainFrame.h"
#include "security/CLogin.h"
#include "state/SystemKey.h"
#include "state/WindowStateFile.h"

CTivApp::CTivApp(const Clock& clock, RandomLetters& letters, Prompter* prompter, QObject* parent)
    : QObject(parent), m_state(clock, letters), m_prompter(prompter ? *prompter : m_widgetPrompter)
{
}

CTivApp::~CTivApp()
{
    ExitInstance();
}

bool CTivApp::InitInstance(Startup::EarlyOpen early)
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
            m_backup = DatedBackup::start(m_state.clock, m_state.databaseKey.clone());
        }
        m_widgetPrompter.setParent(&login);
        const int result = login.run();
        m_widgetPrompter.setParent(nullptr);
        // A user who leaves the login ends the program as a user who closes the main window does.
        m_startRefused = result == CLogin::kRefused;
        if (result != QDialog::Accepted)
            return false;
        if (vault)
            m_backup = DatedBackup::start(m_state.clock, m_state.databaseKey.clone());
    }
    m_frame = std::make_unique<CMainFrame>(m_state, m_prompter);
    m_widgetPrompter.setParent(m_frame.get());
    m_frame->show();
    m_frame->repaint();
    return true;
}

int CTivApp::ExitInstance()
{
    if (m_exited)
        return 0;
    m_exited = true;
    m_widgetPrompter.setParent(nullptr);
    m_frame.reset();
    // A self-destruct deletes the backups too, so the copy must be complete before.
    if (m_backup.valid())
        m_backup.wait();
    Startup::finish(m_state, m_lock);
    return m_startRefused ? 1 : 0;
}
