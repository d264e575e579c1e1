#pragma once

#include <QDialog>

#include "security/PolicyRow.h"

struct AppState;
class Prompter;
class QCheckBox;
class QLineEdit;
class QPushButton;

// The security settings dialog "系统设置": shows the policy in memory and saves the four values it
// sets. Saving does not close it; "返 回" and the close box do.
class CParamDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CParamDlg)

public:
    CParamDlg(AppState& state, Prompter& prompter, QWidget* parent = nullptr);

    static inline const QString kTitle = QStringLiteral("系统设置");

private:
    void fill(const PolicyRow::Choices& choices);
    PolicyRow::Choices choices() const;
    // The master box of the destruction rules enables both rules and the count, or disables them,
    // leaving their marks and text as they are.
    void enableRules(bool enabled);
    void onSave();
    // Turns the vault on or off after the explanation, the password typed again and the conversion.
    void switchVault(bool on);

    AppState& m_state;
    Prompter& m_prompter;
    QCheckBox* m_instanceCheckBox;
    QLineEdit* m_intervalEdit;
    QCheckBox* m_strongKeyCheckBox;
    QCheckBox* m_destroyCheckBox;
    QCheckBox* m_failuresCheckBox;
    QLineEdit* m_failureCountEdit;
    QCheckBox* m_tamperCheckBox;
    QCheckBox* m_vaultCheckBox;
    QPushButton* m_saveButton;
    QPushButton* m_closeButton;
};
