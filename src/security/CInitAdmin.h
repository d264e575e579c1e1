#pragma once

#include <QDialog>

struct AppState;
class Prompter;
class QButtonGroup;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The first-run dialog: creates the single account. Ends with OK once a save was attempted (whether
// it worked or not), with Cancel when the user confirms leaving.
class CInitAdmin final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CInitAdmin)

public:
    CInitAdmin(AppState& state, Prompter& prompter, QWidget* parent = nullptr);

    // The close box and Esc come here: leaving without an account ends the program, so ask first.
    void reject() override;

    static inline const QString kTitle = QStringLiteral("系统信息初始化");
    static inline const QString kQuitQuestion =
        QStringLiteral("使用本系统必须首先创建一个默认用户账号。\r\n\r\n你确定要退出本程序吗？");

private:
    void onSave();

    AppState& m_state;
    Prompter& m_prompter;
    QLineEdit* m_userNameEdit;
    QButtonGroup* m_genderGroup;
    QRadioButton* m_maleRadio;
    QRadioButton* m_femaleRadio;
    QRadioButton* m_secretRadio;
    QLineEdit* m_passwordEdit;
    QLineEdit* m_confirmEdit;
    QLineEdit* m_defaultKeyEdit;
    QPushButton* m_saveButton = nullptr;
};
