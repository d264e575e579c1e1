#pragma once

#include <QDialog>
#include <QString>

#include <utility>
#include <vector>

#include "app/RecordExport.h"
#include "state/ModuleKind.h"

struct AppState;
class Prompter;
class QCheckBox;
class QLineEdit;
class QRadioButton;

// Asks how to export: the format, where to (a file, or the folder an export of many files goes in) and, for
// the encrypted CSV, the key (the user's default key unless "默认密钥" is cleared).
class ExportDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ExportDialog)

public:
    // name: what the export is named after (the record's or folder's caption, or the module's name).
    ExportDialog(const AppState& state, Prompter& prompter, ModuleKind module, RecordExport::Scope scope,
                 const QString& name, QWidget* parent = nullptr);

    RecordExport::Format format() const;
    QString target() const;
    QString fileKey() const;

    static QString title(RecordExport::Scope scope);

public slots:
    void accept() override;

private:
    bool targetIsFile(RecordExport::Format format) const;
    void formatChanged();
    void browse();

    const AppState& m_state;
    Prompter& m_prompter;
    RecordExport::Scope m_scope;
    QString m_stem;
    RecordExport::Format m_shownFormat;
    std::vector<std::pair<RecordExport::Format, QRadioButton*>> m_formats;
    QLineEdit* m_targetEdit;
    QCheckBox* m_defaultKeyCheckBox;
    QLineEdit* m_keyEdit;
};
