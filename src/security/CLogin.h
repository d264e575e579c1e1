#pragma once

#include <QDialog>
#include <QImage>
#include <QPoint>

#include <functional>

#include "security/LoginPolicy.h"

struct AppState;
class Prompter;
class QCheckBox;
class QLineEdit;
class QPushButton;

// The login window between start-up and the main window. run() first makes sure the database holds
// one account (running the first-run dialog while it holds none) and a usable policy row, then shows
// the window until a login succeeds or the user gives up.
class CLogin final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CLogin)

public:
    // Takes the time of creation as the last attempt time.
    CLogin(AppState& state, Prompter& prompter, QWidget* parent = nullptr);

    // Accepted only after a successful login; Rejected when the user leaves (cancel, Esc, leaving the
    // first run); kRefused on an unusable database and after a self-destruct (state.dataDestroyed is
    // then true).
    int run();

    static constexpr int kRefused = 2;

    // A vault's login: the database is opened by the password of the first press that passes the
    // checks, and the account checks follow in the same press. Set before run().
    enum class OpenResult { Opened, Stay, Refused };
    using DatabaseOpener = std::function<OpenResult(const QString& typedPassword)>;
    void setDatabaseOpener(DatabaseOpener opener) { m_opener = std::move(opener); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // The account count (with the first run) and the policy id; false ends the dialog with Cancel.
    bool initialise();
    void fillRememberedName();
    // False when the press ends here (the dialog may have ended too).
    bool openDatabase();
    void onOk();
    void showOutcome(const QString& message, const QString& caption);

    AppState& m_state;
    Prompter& m_prompter;
    LoginPolicy m_policy;
    QLineEdit* m_userNameEdit;
    QLineEdit* m_passwordEdit;
    QCheckBox* m_rememberCheckBox;
    QPushButton* m_okButton;
    QPushButton* m_cancelButton;
    QImage m_background;
    QPoint m_dragOffset;
    bool m_refused = false;
    DatabaseOpener m_opener;
};
