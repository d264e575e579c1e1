#pragma once

#include <QString>
#include <QWidget>

#include <array>

#include "state/ModuleKind.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class CMyRichEdit;
class FormatBar;
class Prompter;
struct AppState;

// The right pane of the main window: one form for the record on show in every module, and the home
// page with the account summary. The current module decides which controls are visible.
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

    // The rich-text editor of the documents or the diary; none for the password box and home page.
    CMyRichEdit* contentEditor(ModuleKind module) const;

    static inline const QString kStrengthenWarning = QStringLiteral(
        "你选择了加强密钥安全性\r\n注意：密码遗失无法找回，输入密钥不正确则数据无法正常显示，数据可能被覆盖");

public slots:
    // Saves the record on screen; the record forms arrive with the record load and save.
    void saveRecord();

signals:
    // An outcome text for the message pane of the main window's status bar.
    void statusMessage(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;

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
    };

    void buildFileForm(QWidget* panel);
    void buildDairyForm(QWidget* panel);
    void buildPwdForm(QWidget* panel);
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
    FormatBar* m_formatBar = nullptr;
};
