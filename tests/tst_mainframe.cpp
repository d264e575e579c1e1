// The main window with its two panes: placement, menus and bars, module switching, the status bar
// and the confirmed exit, on a real database.
#include <QAction>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QStatusTipEvent>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QTreeView>
#include <QtTest>

#include "app/AboutDialog.h"
#include "app/CMainFrame.h"
#include "app/HelpWindow.h"
#include "app/SearchPane.h"
#include "app/Startup.h"
#include "crypto/TextCipher.h"
#include "records/CTivView.h"
#include "state/AppState.h"
#include "state/RandomLetters.h"
#include "state/WindowStateFile.h"
#include "storage/Clock.h"
#include "storage/FieldConversions.h"
#include "storage/Recordset.h"
#include "storage/Schema.h"
#include "support/ModalDriver.h"
#include "support/TestSupport.h"
#include "tree/CIndexView.h"
#include "tree/TreeModel.h"

namespace {

const QDateTime kNow(QDate(2024, 3, 12), QTime(9, 41, 7));

struct Session {
    TempWorkDir work;
    FixedClock clock{kNow};
    FixedLetters letters{QStringLiteral("kq")};
    ScriptedPrompter prompter;
    AppState state{clock, letters};

    explicit Session(int width = 640, int height = 480, int left = -1, int top = -1)
    {
        if (!state.mainConnection.OpenConnection(Schema::kConnectionString))
            qFatal("the test database does not open");
        state.user.userName = QStringLiteral("张三");
        state.windowState.width = width;
        state.windowState.height = height;
        state.windowState.left = left;
        state.windowState.top = top;
    }

    void addAccount() { state.mainConnection.execute(QStringLiteral("INSERT INTO tb_User (loginTimes) VALUES (3)")); }

    FieldValue logoutTime()
    {
        Recordset rows;
        if (!state.mainConnection.OpenRecordset(rows, QStringLiteral("SELECT lastLogoutTime FROM tb_User")) ||
            rows.isEof())
            return {};
        rows.moveFirst();
        return rows.field(QStringLiteral("lastLogoutTime"));
    }
};

QAction* action(const QWidget& frame, int id)
{
    return frame.findChild<QAction*>(QStringLiteral("action%1").arg(id));
}

QString paneText(const QWidget& frame, const char* name)
{
    return frame.findChild<QLabel*>(QString::fromLatin1(name))->text();
}

// A menu or toolbar as text: one entry per action, "-" for a separator, ">" before a sub-menu.
QStringList entries(const QList<QAction*>& actions, bool byName)
{
    QStringList list;
    for (const QAction* entry : actions) {
        if (entry->isSeparator())
            list << QStringLiteral("-");
        else if (entry->menu())
            list << QStringLiteral(">") + entry->text();
        else
            list << (byName ? entry->objectName() : entry->text());
    }
    return list;
}

// Counts every show and hide below a widget, to tell an untouched pane from one laid out again.
class VisibilitySpy final : public QObject {
public:
    explicit VisibilitySpy(const QList<QWidget*>& widgets)
    {
        for (QWidget* widget : widgets)
            widget->installEventFilter(this);
    }
    int changes = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Show || event->type() == QEvent::Hide)
            ++changes;
        return false;
    }
};

} // namespace

class MainFrameTest : public QObject {
    Q_OBJECT

private slots:
    void placementFollowsTheRecordWithinTheMinimumSize_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("top");
        QTest::addColumn<QSize>("recorded");
        QTest::addColumn<QSize>("window");
        QTest::addColumn<bool>("moved");
        // The offscreen platform's one screen is 800 × 600.
        // clang-format off
        QTest::newRow("first run: no size, -1 edges") << 0 << 0 << -1 << -1 << QSize(300, 200) << QSize(500, 430) << false;
        QTest::newRow("below the minimum") << 450 << 420 << 0 << 0 << QSize(450, 420) << QSize(500, 430) << false;
        QTest::newRow("remembered") << 720 << 520 << 60 << 40 << QSize(720, 520) << QSize(720, 520) << true;
        QTest::newRow("left edge only") << 700 << 500 << 75 << -1 << QSize(700, 500) << QSize(700, 500) << true;
        QTest::newRow("larger than the screen") << 100000 << 100000 << 10 << 10 << QSize(600, 530) << QSize(600, 530)
                                                << false;
        // clang-format on
    }

    void placementFollowsTheRecordWithinTheMinimumSize()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, left);
        QFETCH(int, top);
        QFETCH(QSize, recorded);
        QFETCH(QSize, window);
        QFETCH(bool, moved);
        Session session(width, height, left, top);
        CMainFrame frame(session.state, session.prompter);
        frame.show();
        QCOMPARE(QSize(session.state.windowState.width, session.state.windowState.height), recorded);
        QCOMPARE(frame.frameGeometry().size(), window);
        QCOMPARE(frame.testAttribute(Qt::WA_Moved), moved);
        if (moved && left > 0)
            QCOMPARE(frame.pos().x(), left);
        if (moved && top > 0)
            QCOMPARE(frame.pos().y(), top);
        QCOMPARE(frame.indexView()->width(), 180);

        frame.resize(200, 100); // any later size change keeps the minimum as well
        QCOMPARE(frame.frameGeometry().size(), QSize(500, 430));
        QCOMPARE(frame.windowTitle(), QStringLiteral("澄岳个人信息管理安全版"));
    }

    void menusAndBarsHaveTheirCommandsInOrder()
    {
        Session session;
        CMainFrame frame(session.state, session.prompter);
        const QStringList menus = entries(frame.menuBar()->actions(), false);
        QCOMPARE(menus, QStringList({">开始(&B)", ">编辑(&M)", ">工具(&T)", ">帮助(&H)"}));

        const auto menu = [&](const char* name) {
            return frame.findChild<QMenu*>(QString::fromLatin1(name));
        };
        QCOMPARE(entries(menu("startMenu")->actions(), false),
                 QStringList({"首页", "文档管理(&F)", "日记本(&D)", "密码箱(&P)", "-", ">导出", "打印…", "打印预览…",
                              "-", "锁定(&L)", "退出(&X)"}));
        QCOMPARE(action(frame, 6156)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
        QCOMPARE(entries(menu("exportMenu")->actions(), true), QStringList({"action6150", "action6151", "action6152"}));
        QCOMPARE(action(frame, 6153)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
        QCOMPARE(entries(menu("editMenu")->actions(), false),
                 QStringList({">添加", "-", "修改(&S)        ALt+S", "删除(&D)", "-", "移动文件夹到...", "-",
                              "文件移至顶部", "文件上移一位", "文件下移一位", "文件移至底部"}));
        QCOMPARE(entries(menu("addMenu")->actions(), false), QStringList({"同级文件夹", "下级文件夹", "新建文档"}));
        QCOMPARE(entries(menu("toolsMenu")->actions(), false),
                 QStringList({"资料修改...", "加密解密...", "-", "首选项(&O)...", "备份与恢复"}));
        const QStringList help = entries(menu("helpMenu")->actions(), true);
        QCOMPARE(help, QStringList({"action57667", "-", "action57664"}));
        QCOMPARE(action(frame, 57667)->text(), QStringLiteral("帮助主题(&H)        F1"));

        QCOMPARE(menu("startMenu")->defaultAction(), action(frame, 32800));
        QVERIFY(action(frame, 32800)->font().bold());

        const auto* navigation = frame.findChild<QToolBar*>(QStringLiteral("navigationBar"));
        QCOMPARE(entries(navigation->actions(), true), QStringList({"action6132", "action6133", "action6134", "-",
                                                                    "action6146", "action6145", "-", "action57665"}));
        QStringList labels;
        for (QAction* entry : navigation->actions()) {
            if (entry->isSeparator())
                continue;
            labels << entry->iconText();
            QCOMPARE(navigation->widgetForAction(entry)->size(), QSize(82, 50));
        }
        QCOMPARE(labels, QStringList({"文档管理", "日记本", "密码箱", "加密解密", "资料修改", "退出系统"}));
        QVERIFY(navigation->isMovable());
        QCOMPARE(navigation->allowedAreas(), Qt::AllToolBarAreas);

        const auto* edit = frame.findChild<QToolBar*>(QStringLiteral("editToolBar"));
        QStringList expected;
        for (int id = 6135; id <= 6144; ++id)
            expected << QStringLiteral("action%1").arg(id);
        QCOMPARE(entries(edit->actions(), true), expected);
        QCOMPARE(edit->iconSize(), QSize(21, 18));

        // The folder move has no handler anywhere, in the menu or on the bar.
        QVERIFY(!action(frame, 6140)->isEnabled());
        QVERIFY(!edit->widgetForAction(action(frame, 6140))->isEnabled());
        for (int id : {6135, 6137, 6138, 6139, 6141, 6144, 6145, 6146, 6147})
            QVERIFY2(action(frame, id)->isEnabled(), qPrintable(QString::number(id)));
    }

    void statusTextsGoToTheMessagePaneOnly()
    {
        Session session;
        CMainFrame frame(session.state, session.prompter);
        frame.show();
        // clang-format off
        const QMap<int, QString> tips = {
            {6132, "文档管理"},       {6133, "日记管理"},       {6134, "密码管理"},
            {57665, "退出应用程序"},  {6135, "添加同级文件夹"}, {6136, "添加子文件夹"},
            {6137, "添加文档/日记/计划/密码"}, {6138, "确认修改结果"}, {6139, "删除文档/目录"},
            {6140, "移动文件夹到..."}, {6141, "文件移至顶部"},   {6142, "文件上移一位"},
            {6143, "文件下移一位"},   {6144, "文件移至底部"},   {6145, "用户资料修改"},
            {6146, "用AES对文件加解密"}, {6147, "系统初始参数设置"}, {57667, "列出帮助主题"},
            {57664, "显示程序信息、版本号和版权"}};
        // clang-format on
        for (auto tip = tips.begin(); tip != tips.end(); ++tip)
            QCOMPARE(action(frame, tip.key())->statusTip(), tip.value());

        QCOMPARE(paneText(frame, "messagePane"), CMainFrame::kIdleText);
        auto* edit = frame.findChild<QToolBar*>(QStringLiteral("editToolBar"));
        action(frame, 6139)->showStatusText(edit->widgetForAction(action(frame, 6139)));
        QCOMPARE(paneText(frame, "messagePane"), QStringLiteral("删除文档/目录"));
        QVERIFY(frame.findChild<QLabel*>(QStringLiteral("datePane"))->isVisible());
        QStatusTipEvent leave{QString()};
        QApplication::sendEvent(&frame, &leave);
        QCOMPARE(paneText(frame, "messagePane"), CMainFrame::kIdleText);

        // Outcome texts of the panes land in the same place.
        emit frame.indexView()->statusMessage(QStringLiteral("添加文件夹失败"));
        QCOMPARE(paneText(frame, "messagePane"), QStringLiteral("添加文件夹失败"));
        // A tip shows while the pointer is on a button; the outcome comes back when it leaves.
        action(frame, 6139)->showStatusText(edit->widgetForAction(action(frame, 6139)));
        QCOMPARE(paneText(frame, "messagePane"), QStringLiteral("删除文档/目录"));
        QApplication::sendEvent(&frame, &leave);
        QCOMPARE(paneText(frame, "messagePane"), QStringLiteral("添加文件夹失败"));

        // Only the exit button of the two bars shows a tooltip.
        auto* navigation = frame.findChild<QToolBar*>(QStringLiteral("navigationBar"));
        for (const auto& [bar, id, shown] : {std::tuple{navigation, 6132, false}, std::tuple{edit, 6138, false},
                                             std::tuple{navigation, 57665, true}}) {
            QToolTip::hideText();
            QWidget* button = bar->widgetForAction(action(frame, id));
            QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), button->mapToGlobal(QPoint(5, 5)));
            QApplication::sendEvent(button, &help);
            QCOMPARE(QToolTip::isVisible(), shown);
        }
        QCOMPARE(QToolTip::text(), QStringLiteral("退出"));
        QToolTip::hideText();
    }

    void switchingModuleShowsItsTreeAndLayout_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("module");
        QTest::addColumn<QString>("caption");
        QTest::newRow("documents") << 6132 << int(ModuleKind::File) << " 文档管理";
        QTest::newRow("diary") << 6133 << int(ModuleKind::Dairy) << " 日记本";
        QTest::newRow("password box") << 6134 << int(ModuleKind::Pwd) << " 密码箱";
        QTest::newRow("home") << 32800 << int(ModuleKind::None) << " 管理中心";
    }

    void switchingModuleShowsItsTreeAndLayout()
    {
        QFETCH(int, command);
        QFETCH(int, module);
        QFETCH(QString, caption);
        Session session;
        CMainFrame frame(session.state, session.prompter);
        frame.show();
        CIndexView* index = frame.indexView();
        QCOMPARE(index->caption(), QStringLiteral(" 管理中心"));
        action(frame, 6133)->trigger(); // start from another module than any of the rows
        action(frame, command)->trigger();

        const auto current = static_cast<ModuleKind>(module);
        QCOMPARE(session.state.currentModule, current);
        QCOMPARE(index->caption(), caption);
        QCOMPARE(frame.tivView()->laidOutModule(), current);
        for (ModuleKind each : kAllModules)
            QCOMPARE(index->tree(each)->isVisible(), each == current);
        QCOMPARE(frame.findChild<QLabel*>(QStringLiteral("summaryLabel"))->isVisible(), current == ModuleKind::None);
    }

    void choosingTheCurrentModuleAgainTouchesNothing()
    {
        Session session;
        CMainFrame frame(session.state, session.prompter);
        frame.show();
        action(frame, 6132)->trigger();
        QTreeView* files = frame.indexView()->tree(ModuleKind::File);
        const QModelIndex node = frame.indexView()->model(ModuleKind::File)->insertNode({}, 0, 1, "工作", 0);
        files->setCurrentIndex(node);

        QList<QWidget*> watched = frame.indexView()->findChildren<QWidget*>();
        watched += frame.tivView()->findChildren<QWidget*>();
        VisibilitySpy spy(watched);
        action(frame, 6132)->trigger();
        QCOMPARE(spy.changes, 0);
        QCOMPARE(files->currentIndex(), node);
        QVERIFY(files->isVisible());

        action(frame, 32800)->trigger();
        const int afterHome = spy.changes;
        QVERIFY(afterHome > 0); // the spy does see a real switch
        action(frame, 32800)->trigger();
        QCOMPARE(spy.changes, afterHome);
        for (ModuleKind each : kAllModules)
            QVERIFY(frame.indexView()->tree(each)->isHidden());
    }

    void statusPanesShowDateClockAndUser()
    {
        Session session;
        CMainFrame frame(session.state, session.prompter);
        QCOMPARE(paneText(frame, "datePane"), QStringLiteral("当前时间: 2024-03-12"));
        QCOMPARE(paneText(frame, "clockPane"), QStringLiteral("09:41:07"));
        QCOMPARE(paneText(frame, "userPane"), QStringLiteral("用户：张三"));
        const auto* timer = frame.findChild<QTimer*>(QStringLiteral("clockTimer"));
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 1000);

        // Past midnight the clock moves on and the date stays that of the window's creation.
        session.clock.set(QDateTime(QDate(2024, 3, 13), QTime(0, 0, 5)));
        QVERIFY(QMetaObject::invokeMethod(&frame, "updateClock"));
        QCOMPARE(paneText(frame, "clockPane"), QStringLiteral("00:00:05"));
        QCOMPARE(paneText(frame, "datePane"), QStringLiteral("当前时间: 2024-03-12"));

        // The profile command rebuilds the user pane from the account once its dialog returns.
        ModalDriver driver;
        driver.expect("CUserDlg", [&](QWidget* dialog) {
            session.state.user.userName = QStringLiteral("李四"); // as a change in the dialog leaves it
            ModalDriver::click(dialog, "closeButton");
        });
        action(frame, 6145)->trigger();
        QVERIFY(driver.finished());
        QCOMPARE(paneText(frame, "userPane"), QStringLiteral("用户：李四"));
        QCOMPARE(frame.findChild<QLabel*>(QStringLiteral("summaryLabel"))->text(),
                 QStringLiteral("当前用户：李四，上次登录时间：，上次退出时间：，总登录次数：0"));
    }

    void toolCommandsOpenTheirDialogs_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QByteArray>("dialogClass");
        QTest::addColumn<QString>("title");
        QTest::newRow("资料修改") << 6145 << QByteArray("CUserDlg") << "用户资料";
        QTest::newRow("加密解密") << 6146 << QByteArray("CEnDeCrypt") << "加密解密";
        QTest::newRow("首选项") << 6147 << QByteArray("CParamDlg") << "系统设置";
    }

    void toolCommandsOpenTheirDialogs()
    {
        QFETCH(int, command);
        QFETCH(QByteArray, dialogClass);
        QFETCH(QString, title);
        Session session;
        CMainFrame frame(session.state, session.prompter);
        QString shown;
        ModalDriver driver;
        driver.expect(dialogClass.constData(), [&](QWidget* dialog) {
            shown = dialog->windowTitle();
            ModalDriver::click(dialog, "closeButton");
        });
        action(frame, command)->trigger();
        QVERIFY(driver.finished());
        QCOMPARE(shown, title);
    }

    void cancellingTheExitWritesNothing_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("close box") << "close";
        QTest::newRow("menu 退出") << "menu";
        QTest::newRow("bar button 退出系统") << "button";
    }

    void cancellingTheExitWritesNothing()
    {
        QFETCH(QString, way);
        Session session;
        session.addAccount();
        session.prompter.confirmAnswers = {false};
        CMainFrame frame(session.state, session.prompter);
        frame.show();
        leave(frame, way);
        QCOMPARE(session.prompter.confirmations, QStringList({CMainFrame::kExitQuestion}));
        QVERIFY(frame.isVisible());
        QVERIFY(!QFile::exists(session.work.filePath(QStringLiteral("tiv.ini"))));
        QVERIFY(session.logoutTime().isNull());
    }

    void confirmedExitRecordsWhatItCanAndCloses_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("database");
        // clang-format off
        QTest::newRow("close box, account") << "close" << "account";
        QTest::newRow("menu, account") << "menu" << "account";
        QTest::newRow("button, account") << "button" << "account";
        QTest::newRow("empty account table") << "close" << "empty";
        QTest::newRow("account table gone") << "close" << "dropped";
        QTest::newRow("connection closed") << "menu" << "closed";
        // clang-format on
    }

    void confirmedExitRecordsWhatItCanAndCloses()
    {
        QFETCH(QString, way);
        QFETCH(QString, database);
        Session session(760, 540, 50, 40);
        if (database != QLatin1String("empty"))
            session.addAccount();
        if (database == QLatin1String("dropped"))
            session.state.mainConnection.execute(QStringLiteral("DROP TABLE tb_User"));
        if (database == QLatin1String("closed"))
            session.state.mainConnection.CloseConnection();
        if (database == QLatin1String("dropped") || database == QLatin1String("closed"))
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("logout time")));
        session.prompter.confirmAnswers = {true};
        CMainFrame frame(session.state, session.prompter);
        frame.show();
        const QRect outer = frame.frameGeometry();
        leave(frame, way);

        QCOMPARE(session.prompter.confirmations.size(), 1);
        QVERIFY(!frame.isVisible());
        const WindowStateRecord saved = WindowStateFile::read();
        QCOMPARE(QRect(saved.left, saved.top, saved.width, saved.height), outer);
        QCOMPARE(outer, QRect(50, 40, 760, 540));
        if (database == QLatin1String("account"))
            QCOMPARE(session.logoutTime(), FieldValue(QStringLiteral("2024-03-12 09:41:07")));
        if (database == QLatin1String("empty"))
            QVERIFY(session.logoutTime().isNull());
    }

    void helpIsTheProgramsOwnPageInAWindowOfItsOwn()
    {
        Session session;
        CMainFrame frame(session.state, session.prompter);
        frame.show();
        action(frame, 6133)->trigger();
        action(frame, 57670)->trigger(); // F1: the part about the module on show
        auto* help = frame.findChild<HelpWindow*>();
        QVERIFY(help);
        QVERIFY(help->isVisible());
        QVERIFY(help->isWindow());
        QVERIFY(!help->isModal());
        QCOMPARE(help->currentAnchor(), QStringLiteral("dairy"));
        const QString page = help->findChild<QTextBrowser*>(QStringLiteral("helpBrowser"))->toPlainText();
        QVERIFY(page.contains(QStringLiteral("自动备份")));
        action(frame, 57667)->trigger(); // the menu item opens the same window at the top
        QCOMPARE(frame.findChildren<HelpWindow*>().size(), 1);
        QCOMPARE(help->currentAnchor(), QStringLiteral("top"));
    }

    void iconsAndAboutBoxComeFromTheResources()
    {
        Session session;
        CMainFrame frame(session.state, session.prompter);
        QVERIFY(!frame.windowIcon().pixmap(32, 32).isNull());
        for (int id : {6132, 6133, 6134, 6145, 6146, 57665})
            QVERIFY2(!action(frame, id)->icon().pixmap(QSize(30, 25)).isNull(), qPrintable(QString::number(id)));
        for (int id = 6135; id <= 6144; ++id) {
            const QIcon icon = action(frame, id)->icon();
            const QImage normal = icon.pixmap(QSize(21, 18), QIcon::Normal).toImage();
            QVERIFY2(!normal.isNull(), qPrintable(QString::number(id)));
            QVERIFY2(normal != icon.pixmap(QSize(21, 18), QIcon::Active).toImage(), qPrintable(QString::number(id)));
        }
        for (ModuleKind module : kAllModules) {
            for (int index = 0; index < CIndexView::kImageCount; ++index)
                QVERIFY(!frame.indexView()->treeImage(module, index).pixmap(QSize(20, 20)).isNull());
            // The marked images differ from their plain ones.
            QVERIFY(frame.indexView()->treeImage(module, 2).pixmap(20, 20).toImage() !=
                    frame.indexView()->treeImage(module, 5).pixmap(20, 20).toImage());
        }

        AboutDialog about(&frame);
        QCOMPARE(about.windowTitle(), QStringLiteral("关于本软件"));
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("productLabel"))->text(),
                 QStringLiteral("澄岳个人信息管理安全版"));
        QVERIFY(about.findChild<QLabel*>(QStringLiteral("versionLabel"))->text().startsWith(QStringLiteral("版本 ")));
        QVERIFY(!about.findChild<QLabel*>(QStringLiteral("iconLabel"))->pixmap().isNull());
    }

    // Ctrl+F to the box, a few characters of a diary body, Enter: the entry is selected in its tree and on show.
    void searchOpensWhatItFinds()
    {
        Session session;
        Startup::openConnections(session.state, session.prompter); // the trees read through their own
        session.state.user.id = QStringLiteral("{U}");
        session.state.user.dataKey = QStringLiteral("k");
        const QString insert = QStringLiteral("INSERT INTO tb_Dairy (userId, mCaption, folderType, parentId, myKey, "
                                              "mContent) VALUES ('{U}', ?, ?, ?, 0, ?)");
        const QByteArray body =
            TextCipher::EncryptBytes(QStringLiteral("k"), "{\\rtf1\\ansi\\ansicpg936 \\'b9\\'ab\\'d4\\'b0}");
        session.state.mainConnection.execute(
            insert,
            {TextCipher::EncryptText(QStringLiteral("k"), QStringLiteral("夹")), 1,
             QStringLiteral("10001") + QStringLiteral("00000").repeated(4) + QStringLiteral("0"), QByteArray()});
        session.state.mainConnection.execute(
            insert, {TextCipher::EncryptText(QStringLiteral("k"), QStringLiteral("三月")), 10,
                     QStringLiteral("10001") + QStringLiteral("99999").repeated(4) + QStringLiteral("9"), body});
        const int id = static_cast<int>(session.state.mainConnection.lastInsertRowId());
        CMainFrame frame(session.state, session.prompter);
        frame.show();
        QVERIFY(QTest::qWaitForWindowActive(&frame));

        QTest::keyClick(&frame, Qt::Key_F, Qt::ControlModifier);
        QLineEdit* box = frame.searchPane()->searchEdit();
        QCOMPARE(QApplication::focusWidget(), box);
        box->setText(QStringLiteral("公園")); // traditional characters find the simplified body
        QTRY_COMPARE_WITH_TIMEOUT(frame.searchPane()->resultsView()->count(), 1, 120000);
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(session.state.currentModule, ModuleKind::Dairy);
        QCOMPARE(session.state.selection(ModuleKind::Dairy).currentRecordId, id);

        QTest::keyClick(box, Qt::Key_Escape);
        QCOMPARE(QApplication::focusWidget(), frame.indexView()->tree(ModuleKind::Dairy));
    }

private:
    // Leaves the window the way a user would: the close box, the menu item or the bar button.
    static void leave(CMainFrame& frame, const QString& way)
    {
        if (way == QLatin1String("close")) {
            frame.close();
        } else if (way == QLatin1String("menu")) {
            action(frame, 57665)->trigger();
        } else {
            auto* bar = frame.findChild<QToolBar*>(QStringLiteral("navigationBar"));
            auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action(frame, 57665)));
            QTest::mouseClick(button, Qt::LeftButton);
        }
    }
};

QTEST_MAIN(MainFrameTest)
#include "tst_mainframe.moc"
