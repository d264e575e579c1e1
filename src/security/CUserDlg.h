#pragma once

#include <QDialog>

struct AppState;
class Prompter;
class QButtonGroup;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The user profile dialog "用户资料": changes the account's name, gender and password. A change
// does not close it; "返 回" (the default button) and the close box do.
class CUserDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CUserDlg)

public:
    CUserDlg(AppState& state, Prompter& prompter, QWidget* parent = nullptr);

    static inline const QString kTitle = QStringLiteral("用户资料");

private:
    void onApply();

    AppState& m_state;
    Prompter& m_prompter;
    QLineEdit* m_userNameEdit;
    QButtonGroup* m_genderGroup;
    QRadioButton* m_maleRadio;
    QRadioButton* m_femaleRadio;
    QRadioButton* m_secretRadio;
    QLineEdit* m_oldPasswordEdit;
    QLineEdit* m_newPasswordEdit;
    QLineEdit* m_confirmEdit;
    QPushButton* m_applyButton;
    QPushButton* m_closeButton;
};
