#pragma once

#include <QDate>
#include <QString>
#include <QWidget>

#include <array>
#include <optional>

#include "records/RecordProtection.h"
#include "records/RecordValues.h"
#include "state/ModuleKind.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;
class CMyRichEdit;
class FormatBar;
class Prompter;
class SecretClipboard;
class StrengthMeter;
struct AppState;

// The right pane of the main window: one form for the record on show in every module, and the home
// page with the account summary. The current module decides which controls are visible. A module's
// form is enabled only while it shows a record, and it knows whether the user changed that record
// since it was loaded or saved.
class CTivView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CTivView)

public:
    CTivView(AppState& state, Prompter& prompter, QWidget* parent = nullptr);

    // Runs once when the main window is ready to hear the view's status texts: fills the weather list
    // and the account summary.
    void initialUpdate();

    // Lays the view out for the current module; nothing when it is the module laid out last, so
    // the controls of a module keep what they show.
    void switchModule();
    // The module of the last layout; the view starts on the home page.
    ModuleKind laidOutModule() const { return m_laidOut; }

    // Rebuilds the account summary (control 7006) from the logged-in account.
    void refreshSummary();
    // Follows the preferences in AppState after they changed: whether the account password is hidden.
    void applyPreferences();

    // The rich-text editor of the documents or the diary; none for the password box and home page.
    CMyRichEdit* contentEditor(ModuleKind module) const;

    // The record the module's form shows, as loaded or last saved (with the key it was opened with);
    // nothing while the form shows none.
    std::optional<RecordValues> shownRecord(ModuleKind module) const;

    // Saves the module's record from its form; false when nothing was written (the user was told why).
    bool saveRecord(ModuleKind module);
    // Whether the module's form holds changes to its record that are not saved.
    bool hasUnsavedChanges(ModuleKind module) const;
    // Before the module's record leaves the form: asks whether to save unsaved changes. False when the
    // user chose to stay (取消) or the save failed, so the record must stay on show.
    bool offerToSave(ModuleKind module);
    // The same for every module, before the program ends.
    bool offerToSaveAll();

    static QString unsavedChangesText(const QString& caption);
    static inline const QString kUnreadableBodyText =
        QStringLiteral("正文无法读取（可能是密钥不正确），保存时将保留原有正文不变。");

public slots:
    // Shows the record of the module's CurrentRecordId (the tree's selection); with none, or when the
    // load fails, the form is emptied and disabled.
    void loadRecord(ModuleKind module);
    // Saves the record on show in the current module (command 6138); nothing on the home page.
    void saveRecord();
    // The record on show was deleted: its changes go with it.
    void discardChanges(ModuleKind module);
    // The tree renamed a row; the form follows where it shows that row and its caption is unchanged.
    void captionRenamed(ModuleKind module, int id, const QString& caption);

signals:
    // An outcome text for the message pane of the main window's status bar.
    void statusMessage(const QString& text);
    // A record was saved under this caption and mark; its tree node shows them from now on.
    void recordSaved(ModuleKind module, int id, const QString& caption, bool important);

protected:
    void resizeEvent(QResizeEvent* event) override;
    // Ctrl+C (and, in the password, Ctrl+X and the context menu) on the account fields copy through
    // the clipboard that forgets.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The controls with which the user protects one module's record.
    struct ProtectionSet {
        QCheckBox* rank = nullptr;       // "重要"
        QCheckBox* customKey = nullptr;  // "自设密钥值："
        QLineEdit* keyEdit = nullptr;    // the custom key
        QCheckBox* strengthen = nullptr; // "强化密钥安全性"
    };
    struct FileForm {
        QLineEdit* caption = nullptr;
        QLabel* summaryLabel = nullptr;
        QPlainTextEdit* summary = nullptr;
        CMyRichEdit* content = nullptr;
    };
    struct DairyForm {
        QDateEdit* date = nullptr;
        QComboBox* weather = nullptr;
        QLineEdit* caption = nullptr;
        QLabel* summaryLabel = nullptr;
        QPlainTextEdit* summary = nullptr;
        CMyRichEdit* content = nullptr;
    };
    struct PwdForm {
        QLineEdit* caption = nullptr;
        std::array<QLabel*, 4> labels{}; // account name, password, address, remarks
        QLineEdit* userName = nullptr;
        QLineEdit* password = nullptr;
        QLineEdit* url = nullptr;
        QPlainTextEdit* intro = nullptr;
        QToolButton* copyUserName = nullptr;
        QToolButton* showPassword = nullptr; // only while the preferences hide the password
        QToolButton* copyPassword = nullptr;
        QToolButton* generate = nullptr;
        StrengthMeter* strength = nullptr;
    };

    // What the user can change in a module's form.
    struct FormValues {
        QString caption;
        QString summary;
        QDate date;
        QString weather;
        std::array<QString, 4> account;
        RecordProtection::Controls protection;

        bool operator==(const FormValues&) const = default;
    };
    // The record a module's form shows, and what the form showed when it was loaded or last saved.
    struct Loaded {
        bool present = false;
        RecordValues values;
        FormValues shown;
        bool bodyReadable = true;
    };

    QLineEdit* captionEdit(ModuleKind module) const;
    QPlainTextEdit* summaryEdit(ModuleKind module) const;
    FormValues formValues(ModuleKind module) const;
    void showValues(ModuleKind module, const FormValues& values);
    // Loads the body into the editor; false when it is no RTF the editor can read.
    bool showBody(CMyRichEdit* editor, const QByteArray& body);
    void clearForm(ModuleKind module);
    void markSaved(ModuleKind module);
    void updateFormatBar();

    void buildFileForm(QWidget* panel);
    void buildDairyForm(QWidget* panel);
    void buildPwdForm(QWidget* panel);
    QToolButton* pwdButton(const QString& text, const QString& name, const QString& tip);
    void copySecret(QLineEdit* field, const QString& value);
    void showPasswordMenu(const QPoint& globalPos);
    void updatePasswordEcho();
    void openGenerator();
    ProtectionSet buildProtectionSet(QWidget* panel, const QString& prefix);
    void fillWeatherList();
    void fitWeatherDropDown();
    void applyLayout();
    void arrange(const QSize& size);

    AppState& m_state;
    Prompter& m_prompter;
    ModuleKind m_laidOut = ModuleKind::None;
    QLabel* m_summaryLabel;
    std::array<QWidget*, 3> m_modulePanels{};
    FileForm m_file;
    DairyForm m_dairy;
    PwdForm m_pwd;
    std::array<ProtectionSet, 3> m_protection{};
    std::array<Loaded, 3> m_loaded{};
    FormatBar* m_formatBar = nullptr;
    SecretClipboard* m_clipboard;
};
