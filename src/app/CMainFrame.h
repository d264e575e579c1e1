#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <QSize>
#include <QString>

#include <map>
#include <optional>

#include "app/RecordExport.h"
#include "records/RecordValues.h"
#include "state/ModuleKind.h"
#include "state/SharedTexts.h"

class QAction;
class QLabel;
class QSplitter;
class QTimer;
class QToolBar;
class CIndexView;
class CTivView;
class HelpWindow;
class SearchPane;
class Prompter;
struct AppState;

// The single top-level window: menu, navigation bar, edit toolbar, status bar and the splitter with
// the tree pane on the left and the editor on the right. It owns the choice of the current module
// and ends the program through a confirmed exit.
class CMainFrame final : public QMainWindow {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CMainFrame)

public:
    // The command ids; each command's action is named "action" + its id.
    enum class Command : int {
        Home = 32800,
        FileModule = 6132,
        DairyModule = 6133,
        PwdModule = 6134,
        AddSiblingFolder = 6135,
        AddChildFolder = 6136,
        AddRecord = 6137,
        Save = 6138,
        Delete = 6139,
        MoveFolder = 6140,
        MoveToTop = 6141,
        MoveUp = 6142,
        MoveDown = 6143,
        MoveToBottom = 6144,
        Profile = 6145,
        FileCipher = 6146,
        Settings = 6147,
        ExportRecord = 6150,
        ExportFolder = 6151,
        ExportModule = 6152,
        Print = 6153,
        PrintPreview = 6154,
        Backup = 6155,
        Lock = 6156,
        About = 57664,
        Exit = 57665,
        HelpTopics = 57667,
        ContextHelp = 57669,
        Help = 57670,
        HelpContents = 57671,
        NextPane = 57680,
        PreviousPane = 57681,
    };

    CMainFrame(AppState& state, Prompter& prompter, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CIndexView* indexView() const { return m_indexView; }
    CTivView* tivView() const { return m_tivView; }
    SearchPane* searchPane() const { return m_searchPane; }
    QAction* commandAction(Command command) const;

    // Makes the module current: the tree pane's caption and tree, then the editor's layout. Both
    // panes ignore a request for what they show already.
    void switchModule(ModuleKind module);

    static QString moduleCaption(ModuleKind module);

    static inline const QString kTitle = SharedTexts::kProductCaption;
    static inline const QString kIdleText =
        QStringLiteral("欢迎使用") + SharedTexts::kProductCaption + QStringLiteral("。若要获取帮助，请按 F1");
    static inline const QString kExitQuestion = QStringLiteral("你选择了退出本程序。\r\n\r\n你确定要退出本程序吗？");
    static constexpr int kIndexWidth = 180;

signals:
    // The user chose a backup in "备份与恢复" and confirmed its restore. The receiver closes the session,
    // restores (BackupRestore::restore) and logs in again; a receiver that deletes this window connects
    // queued.
    void restoreRequested(const QString& backup);
    // "锁定": the receiver ends the session once saveForLock() has kept every change, and shows the
    // login; it connects queued.
    void lockRequested();

public:
    // Saves the changes of every module's form before a lock takes the window down; false when a save
    // was refused (the user was told why), and the window stays.
    bool saveForLock();

public slots:
    // Writes the message pane of the status bar, where the panes report their outcomes.
    void setStatusText(const QString& text);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private slots:
    void updateClock();

private:
    void applyPlacement();
    void fitOuterSize();
    void createActions();
    void createMenus();
    void createToolBars();
    void createStatusBar();
    QAction* addCommand(Command command, const QString& text, const QString& statusTip, const QString& toolTip = {});

    // Asks, and on a yes records the logout time and the placement; false keeps the program running.
    bool confirmExit();
    void refreshUserPane();
    void showHelp(const QString& anchor);
    void showAbout();
    void activatePane(int step);
    // The search box over the tree, and what choosing one of its hits does.
    QWidget* createSearchPane();

    // Export and print work on what the window shows: the record on screen (its unsaved changes offered for
    // saving first), the folder selected in the tree, or the module on show.
    void exportRecords(RecordExport::Scope scope);
    void printRecord(bool preview);
    std::optional<RecordValues> recordOnScreen(const QString& missingText);

    // The tool dialogs, each modal; they report their own outcomes.
    void openProfileDialog();
    void openFileCipherDialog();
    void openSettingsDialog();
    void openBackupDialog();

    AppState& m_state;
    Prompter& m_prompter;
    QSplitter* m_splitter = nullptr;
    CIndexView* m_indexView = nullptr;
    CTivView* m_tivView = nullptr;
    SearchPane* m_searchPane = nullptr;
    std::map<Command, QAction*> m_actions;
    QToolBar* m_navigationBar = nullptr;
    QToolBar* m_editToolBar = nullptr;
    QLabel* m_datePane = nullptr;
    QLabel* m_clockPane = nullptr;
    QLabel* m_userPane = nullptr;
    QLabel* m_messagePane = nullptr;
    QTimer* m_clockTimer = nullptr;
    QPointer<HelpWindow> m_helpWindow;
    QSet<QObject*> m_buttonsWithoutTip;
    QSize m_outerSize;
    bool m_fitOuterSize = true;
    bool m_exitConfirmed = false;
    QString m_outcomeText; // the last outcome of a command, shown again after a tip
};
