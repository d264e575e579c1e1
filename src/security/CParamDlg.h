#pragma once

#include <QDialog>

#include "security/PolicyRow.h"
#include "security/VaultMode.h"
#include "state/Preferences.h"

struct AppState;
class Prompter;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

// The security settings dialog "系统设置": shows the policy and the preferences in memory and saves
// them together; the vault box converts the database at once. Saving does not close it; "返 回" and
// the close box do.
class CParamDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CParamDlg)

public:
    CParamDlg(AppState& state, Prompter& prompter, QWidget* parent = nullptr);

    static inline const QString kTitle = QStringLiteral("系统设置");

private:
    void fill(const PolicyRow::Choices& choices);
    PolicyRow::Choices choices() const;
    Preferences::Values preferences() const;
    // The master box of the destruction rules enables both rules and the count, or disables them,
    // leaving their marks and text as they are.
    void enableRules(bool enabled);
    void onSave();
    // Turns the vault on or off after the explanation, the password typed again and the conversion.
    void switchVault(bool on);
    // Runs a conversion behind the busy indicator with the text.
    VaultMode::Runner busyRunner(const QString& text);

    AppState& m_state;
    Prompter& m_prompter;
    QCheckBox* m_instanceCheckBox;
    QLineEdit* m_intervalEdit;
    QCheckBox* m_strongKeyCheckBox;
    QCheckBox* m_destroyCheckBox;
    QCheckBox* m_failuresCheckBox;
    QLineEdit* m_failureCountEdit;
    QCheckBox* m_tamperCheckBox;
    QSpinBox* m_clipboardSpin;
    QCheckBox* m_hidePasswordCheckBox;
    QSpinBox* m_lockSpin;
    QCheckBox* m_vaultCheckBox;
    QPushButton* m_saveButton;
    QPushButton* m_closeButton;
};
