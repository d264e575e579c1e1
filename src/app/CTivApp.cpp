#include "app/CTivApp.h"

#include "app/CMainFrame.h"
#include "security/CLogin.h"

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
        if (!Startup::prepare(m_state, m_lock, m_prompter, std::move(early))) {
            m_startRefused = true;
            return false;
        }
        m_backup = DatedBackup::start(m_state.clock, m_state.databaseKey.clone());
        m_widgetPrompter.setParent(&login);
        const int result = login.run();
        m_widgetPrompter.setParent(nullptr);
        // A user who leaves the login ends the program as a user who closes the main window does.
        m_startRefused = result == CLogin::kRefused;
        if (result != QDialog::Accepted)
            return false;
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
