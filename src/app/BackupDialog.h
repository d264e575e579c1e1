#pragma once

#include <QDialog>
#include <QString>

struct AppState;
class Prompter;
class QLabel;
class QPushButton;
class QSpinBox;
class QTreeWidget;

// "备份与恢复": the backups in ./backup with their dates and sizes, a backup made now, the number of dated
// backups kept, and the choice of a backup to restore. The restore itself replaces the database under the
// session's connections, so the dialog only checks the backup, asks, and hands it back (chosenBackup()).
class BackupDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BackupDialog)

public:
    BackupDialog(AppState& state, Prompter& prompter, QWidget* parent = nullptr);

    // The backup the user confirmed to restore; empty when none was.
    QString chosenBackup() const { return m_chosen; }

    static inline const QString kTitle = QStringLiteral("备份与恢复");

public slots:
    void done(int result) override;

private:
    void refresh(const QString& selectPath = {});
    void backUpNow();
    void restoreSelected();
    // Stores the number kept when it changed; a failure is told and keeps the old number.
    void saveRetention();

    AppState& m_state;
    Prompter& m_prompter;
    QTreeWidget* m_list;
    QPushButton* m_restoreButton;
    QSpinBox* m_keepSpinBox;
    QLabel* m_statusLabel;
    QString m_chosen;
};
