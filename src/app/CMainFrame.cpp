#include "app/CMainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWhatsThis>
#include <QWindow>

#include <algorithm>
#include <array>

#include "app/AboutDialog.h"
#include "app/BackupDialog.h"
#include "app/CEnDeCrypt.h"
#include "app/ExportDialog.h"
#include "app/HelpWindow.h"
#include "app/SearchPane.h"
#include "app/SessionEnd.h"
#include "app/WindowPlacement.h"
#include "records/CTivView.h"
#include "security/CParamDlg.h"
#include "security/CUserDlg.h"
#include "state/AppState.h"
#include "storage/FieldConversions.h"
#include "tree/CIndexView.h"
#include "tree/TreeModel.h"
#include "ui/Prompter.h"
#include "ui/Skin.h"
#include "ui/TivResources.h"

namespace {

constexpr QSize kNavigationButton{82, 50};
constexpr QSize kNavigationImage{30, 25};
constexpr QSize kEditImage{21, 18};
constexpr int kMessagePaneWidth = 150;

// Shows the wait cursor while an export writes, and the ordinary one while it asks something.
class WaitingPrompter final : public Prompter {
public:
    explicit WaitingPrompter(Prompter& prompter) : m_prompter(prompter)
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~WaitingPrompter() override { QApplication::restoreOverrideCursor(); }
    WaitingPrompter(const WaitingPrompter&) = delete;
    WaitingPrompter& operator=(const WaitingPrompter&) = delete;

    bool confirm(const QString& message, const QString& acceptCaption, const QString& rejectCaption) override
    {
        const Unwait unwait;
        return m_prompter.confirm(message, acceptCaption, rejectCaption);
    }
    std::optional<QString> askText(const QString& message, const QString& acceptCaption,
                                   const QString& rejectCaption) override
    {
        const Unwait unwait;
        return m_prompter.askText(message, acceptCaption, rejectCaption);
    }
    void showMessage(const QString& text, const QString& caption) override
    {
        const Unwait unwait;
        m_prompter.showMessage(text, caption);
    }
    SaveChoice askSave(const QString& message) override
    {
        const Unwait unwait;
        return m_prompter.askSave(message);
    }

private:
    struct Unwait {
        Unwait() { QApplication::setOverrideCursor(Qt::ArrowCursor); }
        ~Unwait() { QApplication::restoreOverrideCursor(); }
        Unwait(const Unwait&) = delete;
        Unwait& operator=(const Unwait&) = delete;
    };
    Prompter& m_prompter;
};

const QString kNoModuleText = QStringLiteral("请先选择文档管理、日记本或密码箱。");
const QString kNoFolderText = QStringLiteral("请先在左侧选择一个文件夹。");
const QString kNoRecordToExportText = QStringLiteral("请先在左侧选择要导出的记录。");
const QString kNoRecordToPrintText = QStringLiteral("请先在左侧选择要打印的记录。");

QString actionName(CMainFrame::Command command)
{
    return QStringLiteral("action") + QString::number(static_cast<int>(command));
}

} // namespace

CMainFrame::CMainFrame(AppState& state, Prompter& prompter, QWidget* parent)
    : QMainWindow(parent), m_state(state), m_prompter(prompter)
{
    TivResources::init();
    setObjectName(QStringLiteral("mainFrame"));
    setWindowTitle(kTitle);
    setWindowIcon(TivResources::icon(QStringLiteral("tiv")));
    setFont(Skin::uiFont(10));
    applyPlacement();

    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setObjectName(QStringLiteral("splitter"));
    m_splitter->setChildrenCollapsible(false);
    m_indexView = new CIndexView(state, prompter); // goes under the search pane
    m_tivView = new CTivView(state, prompter, m_splitter);
    m_splitter->addWidget(createSearchPane());
    m_splitter->addWidget(m_tivView);
    // The tree pane keeps its width when the window grows; the editor takes the rest.
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({kIndexWidth, std::max(1, width() - kIndexWidth)});
    setCentralWidget(m_splitter);

    createActions();
    createMenus();
    createToolBars();
    createStatusBar();

    connect(m_indexView, &CIndexView::statusMessage, this, &CMainFrame::setStatusText);
    connect(m_tivView, &CTivView::statusMessage, this, &CMainFrame::setStatusText);
    // A selection in a tree shows its record in the editor; the editor's unsaved changes are offered
    // for saving before another record replaces them.
    m_indexView->setLeaveGuard([this](ModuleKind module) { return m_tivView->offerToSave(module); });
    connect(m_indexView, &CIndexView::recordSelected, m_tivView, &CTivView::loadRecord);
    connect(m_indexView, &CIndexView::recordDeleted, m_tivView, &CTivView::discardChanges);
    connect(m_indexView, &CIndexView::captionRenamed, m_tivView, &CTivView::captionRenamed);
    connect(m_tivView, &CTivView::recordSaved, m_indexView, &CIndexView::showSavedNode);
    m_indexView->initialUpdate();
    m_tivView->initialUpdate();

    m_clockTimer = new QTimer(this);
    m_clockTimer->setObjectName(QStringLiteral("clockTimer"));
    m_clockTimer->setInterval(1000);
    connect(m_clockTimer, &QTimer::timeout, this, &CMainFrame::updateClock);
    m_clockTimer->start();
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::applyPlacement()
{
    QList<QRect> screens;
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        screens.append(primary->availableGeometry());
    for (const QScreen* other : QGuiApplication::screens()) {
        if (other != QGuiApplication::primaryScreen())
            screens.append(other->availableGeometry());
    }
    const WindowPlacement::Request request = WindowPlacement::fromRecord(m_state.windowState, screens);
    setMinimumSize(WindowPlacement::kMinimumSize);
    resize(request.size); // a request below the minimum size is raised to it here
    m_outerSize = size();
    if (request.position)
        move(*request.position); // else the window system places the window
}

void CMainFrame::fitOuterSize()
{
    // tiv.ini keeps the outer rectangle, but the size given at creation is that of the window
    // without its frame, which the window system adds only once the window is on screen. Taking the
    // frame off once keeps the window from growing by its frame at every run.
    const QWindow* window = windowHandle();
    if (!m_fitOuterSize || window == nullptr)
        return;
    const QMargins frame = window->frameMargins();
    if (frame.isNull())
        return;
    m_fitOuterSize = false;
    const QSize frameSize(frame.left() + frame.right(), frame.top() + frame.bottom());
    setMinimumSize(WindowPlacement::kMinimumSize - frameSize); // the minimum is an outer size too
    if (windowState() == Qt::WindowNoState)
        resize(m_outerSize - frameSize);
}

QAction* CMainFrame::addCommand(Command command, const QString& text, const QString& statusTip, const QString& toolTip)
{
    auto* action = new QAction(text, this);
    action->setObjectName(actionName(command));
    action->setStatusTip(statusTip);
    action->setWhatsThis(statusTip);
    if (!toolTip.isEmpty())
        action->setToolTip(toolTip);
    m_actions[command] = action;
    return action;
}

QAction* CMainFrame::commandAction(Command command) const
{
    const auto found = m_actions.find(command);
    return found == m_actions.end() ? nullptr : found->second;
}

void CMainFrame::createActions()
{
    using TivResources::hotIcon;
    using TivResources::icon;

    QAction* home = addCommand(Command::Home, QStringLiteral("首页"), QString());
    QFont bold = font();
    bold.setBold(true);
    home->setFont(bold);
    connect(home, &QAction::triggered, this, [this] { switchModule(ModuleKind::None); });

    const std::array<Command, 3> moduleCommands = {Command::FileModule, Command::DairyModule, Command::PwdModule};
    for (const ModuleInfo& info : moduleInfos()) {
        QAction* action = addCommand(moduleCommands[moduleIndex(info.kind)], info.menuText, info.statusTip);
        action->setIconText(info.barText);
        action->setIcon(icon(info.barImage));
        connect(action, &QAction::triggered, this, [this, module = info.kind] { switchModule(module); });
    }

    QAction* exit =
        addCommand(Command::Exit, QStringLiteral("退出(&X)"), QStringLiteral("退出应用程序"), QStringLiteral("退出"));
    exit->setIconText(QStringLiteral("退出系统"));
    exit->setIcon(icon(QStringLiteral("nav-exit")));
    connect(exit, &QAction::triggered, this, [this] { close(); });
    QAction* lock = addCommand(Command::Lock, QStringLiteral("锁定(&L)"), QStringLiteral("清除内存中的密钥，重新登录后才能继续"));
    lock->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    lock->setIconText(QStringLiteral("锁定"));
    lock->setIcon(icon(QStringLiteral("nav-lock")));
    connect(lock, &QAction::triggered, this, &CMainFrame::lockRequested);

    // The edit commands go to the pane that carries them: the folder and order commands to the
    // tree pane, the save to the editor.
    const std::array<std::tuple<Command, QString, QString, QString, void (CIndexView::*)()>, 9> treeCommands = {{
        {Command::AddSiblingFolder, QStringLiteral("同级文件夹"), QStringLiteral("添加同级文件夹"),
         QStringLiteral("tb-sibling-folder"), &CIndexView::addSiblingFolder},
        {Command::AddChildFolder, QStringLiteral("下级文件夹"), QStringLiteral("添加子文件夹"),
         QStringLiteral("tb-child-folder"), &CIndexView::addChildFolder},
        {Command::AddRecord, QStringLiteral("新建文档"), QStringLiteral("添加文档/日记/计划/密码"),
         QStringLiteral("tb-new-record"), &CIndexView::addRecord},
        {Command::Delete, QStringLiteral("删除(&D)"), QStringLiteral("删除文档/目录"), QStringLiteral("tb-delete"),
         &CIndexView::deleteSelected},
        {Command::MoveToTop, QStringLiteral("文件移至顶部"), QStringLiteral("文件移至顶部"),
         QStringLiteral("tb-move-top"), &CIndexView::moveToTop},
        {Command::MoveUp, QStringLiteral("文件上移一位"), QStringLiteral("文件上移一位"), QStringLiteral("tb-move-up"),
         &CIndexView::moveUp},
        {Command::MoveDown, QStringLiteral("文件下移一位"), QStringLiteral("文件下移一位"),
         QStringLiteral("tb-move-down"), &CIndexView::moveDown},
        {Command::MoveToBottom, QStringLiteral("文件移至底部"), QStringLiteral("文件移至底部"),
         QStringLiteral("tb-move-bottom"), &CIndexView::moveToBottom},
        {Command::MoveFolder, QStringLiteral("移动文件夹到..."), QStringLiteral("移动文件夹到..."),
         QStringLiteral("tb-move-folder"), nullptr},
    }};
    for (const auto& [command, text, tip, image, slot] : treeCommands) {
        QAction* action = addCommand(command, text, tip);
        action->setIcon(hotIcon(image));
        if (slot)
            connect(action, &QAction::triggered, m_indexView, slot);
    }
    // Nothing carries the folder move, so it stays disabled for good.
    commandAction(Command::MoveFolder)->setEnabled(false);

    QAction* save = addCommand(Command::Save, QStringLiteral("修改(&S)        ALt+S"), QStringLiteral("确认修改结果"));
    save->setIcon(hotIcon(QStringLiteral("tb-save")));
    connect(save, &QAction::triggered, m_tivView, qOverload<>(&CTivView::saveRecord));
    // The label names Alt+S, but the accelerator has always been Ctrl+S. A separate shortcut keeps
    // the menu showing the label alone.
    auto* saveKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), this);
    saveKey->setObjectName(QStringLiteral("saveShortcut"));
    connect(saveKey, &QShortcut::activated, save, &QAction::trigger);

    QAction* profile = addCommand(Command::Profile, QStringLiteral("资料修改..."), QStringLiteral("用户资料修改"));
    profile->setIconText(QStringLiteral("资料修改"));
    profile->setIcon(icon(QStringLiteral("nav-profile")));
    connect(profile, &QAction::triggered, this, [this] {
        openProfileDialog();
        // The dialog may have renamed the user: the status bar and the home page show the name.
        refreshUserPane();
        m_tivView->refreshSummary();
    });
    QAction* cipher =
        addCommand(Command::FileCipher, QStringLiteral("加密解密..."), QStringLiteral("用AES对文件加解密"));
    cipher->setIconText(QStringLiteral("加密解密"));
    cipher->setIcon(icon(QStringLiteral("nav-crypt")));
    connect(cipher, &QAction::triggered, this, &CMainFrame::openFileCipherDialog);
    QAction* settings =
        addCommand(Command::Settings, QStringLiteral("首选项(&O)..."), QStringLiteral("系统初始参数设置"));
    connect(settings, &QAction::triggered, this, &CMainFrame::openSettingsDialog);
    connect(addCommand(Command::Backup, BackupDialog::kTitle, QStringLiteral("查看、制作和恢复数据库的备份")),
            &QAction::triggered, this, &CMainFrame::openBackupDialog);

    using RecordExport::Scope;
    const std::array<std::tuple<Command, QString, QString, Scope>, 3> exports = {{
        {Command::ExportRecord, QStringLiteral("导出当前记录…"), QStringLiteral("把当前显示的记录导出为文件"),
         Scope::Record},
        {Command::ExportFolder, QStringLiteral("导出当前文件夹…"),
         QStringLiteral("把选中的文件夹和其下的全部记录导出为文件"), Scope::Folder},
        {Command::ExportModule, QStringLiteral("导出整个模块…"), QStringLiteral("把当前模块的全部记录导出为文件"),
         Scope::Module},
    }};
    for (const auto& [command, text, tip, scope] : exports)
        connect(addCommand(command, text, tip), &QAction::triggered, this, [this, scope] { exportRecords(scope); });
    QAction* print = addCommand(Command::Print, QStringLiteral("打印…"), QStringLiteral("打印当前显示的记录"));
    print->setShortcut(QKeySequence::Print);
    connect(print, &QAction::triggered, this, [this] { printRecord(false); });
    QAction* preview =
        addCommand(Command::PrintPreview, QStringLiteral("打印预览…"), QStringLiteral("预览当前记录打印出来的样子"));
    connect(preview, &QAction::triggered, this, [this] { printRecord(true); });

    QAction* topics = addCommand(Command::HelpTopics, QStringLiteral("帮助主题(&H)        F1"),
                                 QStringLiteral("列出帮助主题"), QStringLiteral("帮助主题"));
    topics->setIcon(icon(QStringLiteral("help")));
    connect(topics, &QAction::triggered, this, [this] { showHelp(QStringLiteral("top")); });
    QAction* contents = addCommand(Command::HelpContents, QStringLiteral("帮助"), QString());
    connect(contents, &QAction::triggered, this, [this] { showHelp(QStringLiteral("top")); });
    QAction* about = addCommand(Command::About, QStringLiteral("关于本软件(&A)..."),
                                QStringLiteral("显示程序信息、版本号和版权"), QStringLiteral("关于"));
    about->setIcon(icon(QStringLiteral("tiv")));
    connect(about, &QAction::triggered, this, &CMainFrame::showAbout);

    // Commands reached only by their keys.
    QAction* help = addCommand(Command::Help, QStringLiteral("帮助"), QString());
    help->setShortcut(QKeySequence(Qt::Key_F1));
    connect(help, &QAction::triggered, this, [this] {
        // Help for the current context: the part of the page about the module on show.
        const ModuleKind module = m_state.currentModule;
        showHelp(module == ModuleKind::None ? QStringLiteral("top") : moduleInfo(module).name);
    });
    QAction* contextHelp = addCommand(Command::ContextHelp, QStringLiteral("上下文帮助"), QString());
    contextHelp->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F1));
    connect(contextHelp, &QAction::triggered, this, [] { QWhatsThis::enterWhatsThisMode(); });
    QAction* nextPane = addCommand(Command::NextPane, QStringLiteral("下一窗格"), QString());
    nextPane->setShortcut(QKeySequence(Qt::Key_F6));
    connect(nextPane, &QAction::triggered, this, [this] { activatePane(1); });
    QAction* previousPane = addCommand(Command::PreviousPane, QStringLiteral("上一窗格"), QString());
    previousPane->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6));
    connect(previousPane, &QAction::triggered, this, [this] { activatePane(-1); });
    addActions({help, contextHelp, nextPane, previousPane});
}

void CMainFrame::createMenus()
{
    const auto newMenu = [this](QMenu* menu, const QString& name) {
        menu->setObjectName(name);
        menu->setFont(font());
        return menu;
    };
    menuBar()->setFont(font());

    QMenu* start = newMenu(menuBar()->addMenu(QStringLiteral("开始(&B)")), QStringLiteral("startMenu"));
    start->addAction(commandAction(Command::Home));
    start->setDefaultAction(commandAction(Command::Home));
    start->addAction(commandAction(Command::FileModule));
    start->addAction(commandAction(Command::DairyModule));
    start->addAction(commandAction(Command::PwdModule));
    start->addSeparator();
    QMenu* exports = newMenu(start->addMenu(QStringLiteral("导出")), QStringLiteral("exportMenu"));
    exports->addAction(commandAction(Command::ExportRecord));
    exports->addAction(commandAction(Command::ExportFolder));
    exports->addAction(commandAction(Command::ExportModule));
    start->addAction(commandAction(Command::Print));
    start->addAction(commandAction(Command::PrintPreview));
    start->addSeparator();
    start->addAction(commandAction(Command::Lock));
    start->addAction(commandAction(Command::Exit));

    QMenu* edit = newMenu(menuBar()->addMenu(QStringLiteral("编辑(&M)")), QStringLiteral("editMenu"));
    QMenu* add = newMenu(edit->addMenu(QStringLiteral("添加")), QStringLiteral("addMenu"));
    add->addAction(commandAction(Command::AddSiblingFolder));
    add->addAction(commandAction(Command::AddChildFolder));
    add->addAction(commandAction(Command::AddRecord));
    edit->addSeparator();
    edit->addAction(commandAction(Command::Save));
    edit->addAction(commandAction(Command::Delete));
    edit->addSeparator();
    edit->addAction(commandAction(Command::MoveFolder));
    edit->addSeparator();
    edit->addAction(commandAction(Command::MoveToTop));
    edit->addAction(commandAction(Command::MoveUp));
    edit->addAction(commandAction(Command::MoveDown));
    edit->addAction(commandAction(Command::MoveToBottom));

    QMenu* tools = newMenu(menuBar()->addMenu(QStringLiteral("工具(&T)")), QStringLiteral("toolsMenu"));
    tools->addAction(commandAction(Command::Profile));
    tools->addAction(commandAction(Command::FileCipher));
    tools->addSeparator();
    tools->addAction(commandAction(Command::Settings));
    tools->addAction(commandAction(Command::Backup));

    QMenu* help = newMenu(menuBar()->addMenu(QStringLiteral("帮助(&H)")), QStringLiteral("helpMenu"));
    help->addAction(commandAction(Command::HelpTopics));
    help->addSeparator();
    help->addAction(commandAction(Command::About));
}

void CMainFrame::createToolBars()
{
    m_navigationBar = addToolBar(QStringLiteral("导航栏"));
    m_navigationBar->setObjectName(QStringLiteral("navigationBar"));
    m_navigationBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_navigationBar->setMovable(true);
    m_navigationBar->setIconSize(kNavigationImage);
    m_navigationBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_navigationBar->setWhatsThis(QStringLiteral("导航栏：切换模块、打开工具和退出程序。可拖动到窗口的任意一边。"));
    // 锁定 stays in the menu: a seventh button would push 退出系统 off the bar at the default width.
    const std::array<Command, 6> navigation = {Command::FileModule, Command::DairyModule, Command::PwdModule,
                                               Command::FileCipher, Command::Profile,     Command::Exit};
    for (Command command : navigation) {
        if (command == Command::FileCipher || command == Command::Exit)
            m_navigationBar->addSeparator();
        QAction* action = commandAction(command);
        m_navigationBar->addAction(action);
        QWidget* button = m_navigationBar->widgetForAction(action);
        button->setFixedSize(kNavigationButton);
        if (command != Command::Exit)
            m_buttonsWithoutTip.insert(button);
    }

    addToolBarBreak();
    m_editToolBar = addToolBar(QStringLiteral("编辑工具栏"));
    m_editToolBar->setObjectName(QStringLiteral("editToolBar"));
    m_editToolBar->setMovable(true);
    m_editToolBar->setIconSize(kEditImage);
    m_editToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_editToolBar->setWhatsThis(QStringLiteral("编辑工具栏：添加文件夹和记录、保存、删除和调整记录的顺序。"));
    for (int id = static_cast<int>(Command::AddSiblingFolder); id <= static_cast<int>(Command::MoveToBottom); ++id) {
        QAction* action = commandAction(static_cast<Command>(id));
        m_editToolBar->addAction(action);
        m_buttonsWithoutTip.insert(m_editToolBar->widgetForAction(action));
    }
    // These commands explain themselves in the message pane only; their buttons show no tooltip.
    for (QObject* button : std::as_const(m_buttonsWithoutTip))
        button->installEventFilter(this);
}

void CMainFrame::createStatusBar()
{
    const auto newPane = [this](const QString& name, const QString& text) {
        auto* pane = new QLabel(text, statusBar());
        pane->setObjectName(name);
        pane->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        pane->setContentsMargins(3, 0, 3, 0);
        return pane;
    };
    m_datePane =
        newPane(QStringLiteral("datePane"), QStringLiteral("当前时间: ") + FieldConversions::todayText(m_state.clock));
    m_clockPane = newPane(QStringLiteral("clockPane"), FieldConversions::currentTimeText(m_state.clock));
    m_userPane = newPane(QStringLiteral("userPane"), QString());
    m_messagePane = newPane(QStringLiteral("messagePane"), kIdleText);
    m_messagePane->setMinimumWidth(kMessagePaneWidth);
    refreshUserPane();

    statusBar()->setFont(font());
    statusBar()->addWidget(m_datePane);
    statusBar()->addWidget(m_clockPane);
    statusBar()->addWidget(m_userPane);
    statusBar()->addWidget(m_messagePane, 1);
}

void CMainFrame::updateClock()
{
    m_clockPane->setText(FieldConversions::currentTimeText(m_state.clock));
}

void CMainFrame::refreshUserPane()
{
    m_userPane->setText(QStringLiteral("用户：") + m_state.user.userName);
}

void CMainFrame::setStatusText(const QString& text)
{
    m_outcomeText = text;
    m_messagePane->setText(text);
}

QString CMainFrame::moduleCaption(ModuleKind module)
{
    return module == ModuleKind::None ? CIndexView::kHomeCaption : moduleInfo(module).paneCaption;
}

void CMainFrame::switchModule(ModuleKind module)
{
    m_state.currentModule = module;
    m_indexView->setCaption(moduleCaption(module));
    m_indexView->ShowModuleTree();
    m_tivView->switchModule();
}

bool CMainFrame::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::StatusTip: {
        // Menu items and buttons explain themselves in the message pane, not across the whole bar.
        // An item's tip shows while the pointer is on it; the last outcome comes back afterwards.
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        if (!tip.isEmpty())
            m_messagePane->setText(tip);
        else
            m_messagePane->setText(m_outcomeText.isEmpty() ? kIdleText : m_outcomeText);
        return true;
    }
    case QEvent::Show:
        if (m_fitOuterSize && windowHandle())
            windowHandle()->installEventFilter(this);
        fitOuterSize();
        break;
    case QEvent::Move:
    case QEvent::Resize:
        fitOuterSize();
        break;
    default:
        break;
    }
    return QMainWindow::event(event);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ToolTip && m_buttonsWithoutTip.contains(watched))
        return true;
    if (event->type() == QEvent::Expose && watched == windowHandle())
        fitOuterSize();
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (!m_exitConfirmed && !confirmExit()) {
        event->ignore();
        return;
    }
    m_exitConfirmed = true;
    if (m_helpWindow)
        m_helpWindow->close();
    QMainWindow::closeEvent(event);
}

bool CMainFrame::confirmExit()
{
    // Unsaved changes first: 取消 there keeps the program running with them on show.
    if (!m_tivView->offerToSaveAll())
        return false;
    if (!m_prompter.confirm(kExitQuestion, QStringLiteral("退出"), QStringLiteral("取消")))
        return false;
    const SessionEnd::Outcome outcome = SessionEnd::finish(m_state, frameGeometry());
    // Leaving is never refused over the logout stamp; the failure is only worth a line on stderr.
    if (outcome.stamp == SessionEnd::LogoutStamp::Failed)
        qWarning("The logout time was not recorded: %s", qPrintable(outcome.error));
    return true;
}

void CMainFrame::showHelp(const QString& anchor)
{
    if (!m_helpWindow)
        m_helpWindow = new HelpWindow(this);
    m_helpWindow->showTopic(anchor);
}

void CMainFrame::showAbout()
{
    AboutDialog dialog(this);
    dialog.exec();
}

QWidget* CMainFrame::createSearchPane()
{
    auto* left = new QWidget(m_splitter);
    auto* layout = new QVBoxLayout(left);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_searchPane = new SearchPane(m_state, left);
    m_indexView->setParent(left);
    // While hits are listed they get more of the height than the tree.
    layout->addWidget(m_searchPane, 3);
    layout->addWidget(m_indexView, 2);
    m_searchPane->setKnownKeys([this] {
        SearchPane::KnownKeys keys;
        for (ModuleKind module : kAllModules) {
            if (const std::optional<RecordValues> shown = m_tivView->shownRecord(module); shown && shown->level != 0)
                keys[{module, shown->id}] = shown->recordKey;
        }
        return keys;
    });
    connect(m_searchPane, &SearchPane::openRequested, this, [this](ModuleKind module, int id) {
        if (module != m_state.currentModule)
            switchModule(module);
        m_indexView->selectRecord(module, id);
    });
    connect(m_searchPane, &SearchPane::leaveRequested, this, [this] {
        if (QTreeView* tree =
                m_state.currentModule == ModuleKind::None ? nullptr : m_indexView->tree(m_state.currentModule))
            tree->setFocus(Qt::ShortcutFocusReason);
        else
            m_indexView->setFocus(Qt::ShortcutFocusReason);
    });
    auto* find = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    find->setObjectName(QStringLiteral("searchShortcut"));
    connect(find, &QShortcut::activated, m_searchPane, &SearchPane::focusSearch);
    return left;
}

void CMainFrame::activatePane(int step)
{
    const std::array<QWidget*, 2> panes = {m_indexView, m_tivView};
    const QWidget* focus = QApplication::focusWidget();
    int current = -1;
    for (int i = 0; i < static_cast<int>(panes.size()); ++i) {
        if (focus && (focus == panes[i] || panes[i]->isAncestorOf(focus)))
            current = i;
    }
    const int count = static_cast<int>(panes.size());
    QWidget* pane = panes[current < 0 ? 0 : (current + step + count) % count];
    for (QWidget* child : pane->findChildren<QWidget*>()) {
        if (child->isVisible() && child->isEnabled() && (child->focusPolicy() & Qt::TabFocus)) {
            child->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
    pane->setFocus(Qt::OtherFocusReason);
}

std::optional<RecordValues> CMainFrame::recordOnScreen(const QString& missingText)
{
    const ModuleKind module = m_state.currentModule;
    if (module == ModuleKind::None) {
        m_prompter.showMessage(kNoModuleText, RecordExport::kCaption);
        return std::nullopt;
    }
    // What is written or printed is the record as stored: changes not yet saved are offered first.
    if (!m_tivView->offerToSave(module))
        return std::nullopt;
    std::optional<RecordValues> shown = m_tivView->shownRecord(module);
    if (!shown)
        m_prompter.showMessage(missingText, RecordExport::kCaption);
    return shown;
}

void CMainFrame::exportRecords(RecordExport::Scope scope)
{
    const ModuleKind module = m_state.currentModule;
    RecordExport::Request request;
    request.module = module;
    request.scope = scope;
    QString name;
    if (scope == RecordExport::Scope::Record) {
        const std::optional<RecordValues> shown = recordOnScreen(kNoRecordToExportText);
        if (!shown)
            return;
        request.id = shown->id;
        request.recordKey = shown->recordKey;
        name = shown->caption;
    } else if (module == ModuleKind::None) {
        m_prompter.showMessage(kNoModuleText, RecordExport::kCaption);
        return;
    } else if (scope == RecordExport::Scope::Folder) {
        // A record selected in the tree means the folder it is in.
        const TreeModel* model = m_indexView->model(module);
        QModelIndex folder = model->indexOfId(m_state.selection(module).currentRecordId);
        if (folder.isValid() && !TreeModel::isFolder(folder))
            folder = folder.parent();
        if (!folder.isValid()) {
            m_prompter.showMessage(kNoFolderText, RecordExport::kCaption);
            return;
        }
        request.id = TreeModel::idOf(folder);
        name = model->captionOf(folder);
    } else {
        name = moduleInfo(module).barText;
    }

    ExportDialog dialog(m_state, m_prompter, module, scope, name, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    request.format = dialog.format();
    request.target = dialog.target();
    request.fileKey = dialog.fileKey();
    RecordExport::Outcome outcome;
    {
        WaitingPrompter waiting(m_prompter);
        outcome = RecordExport::run(m_state, waiting, request);
    }
    if (!outcome.written.isEmpty())
        setStatusText(QStringLiteral("导出了 %1 个文件").arg(outcome.written.size()));
    const QString report = outcome.reportText();
    if (!report.isEmpty())
        m_prompter.showMessage(report, RecordExport::kCaption);
}

void CMainFrame::printRecord(bool preview)
{
    const std::optional<RecordValues> shown = recordOnScreen(kNoRecordToPrintText);
    if (!shown)
        return;
    const RecordExport::Printable printable =
        RecordExport::printable(m_state, m_prompter, m_state.currentModule, shown->id, shown->recordKey);
    if (!printable.document) {
        setStatusText(printable.error);
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(shown->caption);
    if (preview) {
        QPrintPreviewDialog dialog(&printer, this);
        dialog.setObjectName(QStringLiteral("printPreviewDialog"));
        connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
                [&printable](QPrinter* target) { printable.document->print(target); });
        dialog.exec();
        return;
    }
    QPrintDialog dialog(&printer, this);
    dialog.setObjectName(QStringLiteral("printDialog"));
    if (dialog.exec() == QDialog::Accepted)
        printable.document->print(&printer);
}

void CMainFrame::openProfileDialog()
{
    CUserDlg dialog(m_state, m_prompter, this);
    dialog.exec();
}

void CMainFrame::openFileCipherDialog()
{
    CEnDeCrypt dialog(m_state, m_prompter, this);
    dialog.exec();
}

bool CMainFrame::saveForLock()
{
    for (ModuleKind module : kAllModules) {
        if (m_tivView->hasUnsavedChanges(module) && !m_tivView->saveRecord(module))
            return false;
    }
    return true;
}

void CMainFrame::openSettingsDialog()
{
    CParamDlg dialog(m_state, m_prompter, this);
    dialog.exec();
    m_tivView->applyPreferences();
}

void CMainFrame::openBackupDialog()
{
    // Changes on screen belong in a backup made now, and in the copy a restore saves first.
    if (!m_tivView->offerToSaveAll())
        return;
    BackupDialog dialog(m_state, m_prompter, this);
    if (dialog.exec() == QDialog::Accepted && !dialog.chosenBackup().isEmpty())
        emit restoreRequested(dialog.chosenBackup());
}
