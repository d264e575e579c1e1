// The three folder trees built through the real windows survive an exit and a restart.
#include <QAction>
#include <QTreeView>
#include <QtTest>

#include "app/CMainFrame.h"
#include "app/CTivApp.h"
#include "state/RandomLetters.h"
#include "storage/Clock.h"
#include "support/ModalDriver.h"
#include "support/SessionScript.h"
#include "support/TestSupport.h"
#include "tree/CIndexView.h"

namespace {

using Command = CMainFrame::Command;

const QString kName = QStringLiteral("李四");
const QString kPassword = QStringLiteral("pass-word");

void run(CMainFrame* frame, Command command)
{
    frame->commandAction(command)->trigger();
}

// Builds a small tree in the module through the menu commands: two top-level folders, a sub-folder
// with three records of which the last moves up and the middle one is deleted, and the second
// top-level folder deleted with everything in it.
void buildTree(CMainFrame* frame, ModuleKind module, ScriptedPrompter& prompter)
{
    using SessionScript::node;
    QTreeView* tree = frame->indexView()->tree(module);
    run(frame, Command::AddSiblingFolder);
    run(frame, Command::AddSiblingFolder);
    run(frame, Command::AddRecord); // in the second folder
    SessionScript::select(tree, node(tree, {0}));
    run(frame, Command::AddChildFolder);
    for (int i = 0; i < 3; ++i)
        run(frame, Command::AddRecord);
    QCOMPARE(tree->model()->rowCount(node(tree, {0, 0})), 3);
    const QVariant last = node(tree, {0, 0, 2}).data(Qt::UserRole);
    run(frame, Command::MoveUp); // the third record becomes the second
    QCOMPARE(node(tree, {0, 0, 1}).data(Qt::UserRole), last);
    SessionScript::select(tree, node(tree, {0, 0, 2}));
    run(frame, Command::Delete);
    QCOMPARE(tree->model()->rowCount(node(tree, {0, 0})), 2);

    SessionScript::select(tree, node(tree, {1}));
    prompter.confirmAnswers = {true};
    run(frame, Command::Delete);
    QCOMPARE(tree->model()->rowCount(), 1);
}

} // namespace

class TreeSessionTest : public QObject {
    Q_OBJECT

private slots:
    void treesComeBackAfterARestart()
    {
        TempWorkDir work;
        qputenv("XDG_RUNTIME_DIR", work.path().toLocal8Bit());
        FixedClock clock(QDateTime(QDate(2026, 12, 8), QTime(9, 0)));
        SystemRandomLetters letters;
        ScriptedPrompter prompter;
        const std::array<std::pair<Command, ModuleKind>, 3> modules = {{{Command::FileModule, ModuleKind::File},
                                                                        {Command::DairyModule, ModuleKind::Dairy},
                                                                        {Command::PwdModule, ModuleKind::Pwd}}};
        std::map<ModuleKind, QStringList> built;
        {
            ModalDriver driver;
            SessionScript::expectFirstRun(driver, kName, kPassword);
            SessionScript::expectLogin(driver, kName, kPassword, clock);
            CTivApp app(clock, letters, &prompter);
            QVERIFY(app.InitInstance());
            CMainFrame* frame = app.mainFrame();
            for (const auto& [command, module] : modules) {
                run(frame, command);
                buildTree(frame, module, prompter);
                built[module] = SessionScript::treeShape(frame->indexView()->tree(module));
            }
            QCOMPARE(built[ModuleKind::Pwd].first().left(5), QStringLiteral("新建密码本"));
            QCOMPARE(built[ModuleKind::File].size(), 4); // folder, sub-folder, two records
            prompter.confirmAnswers = {true};
            frame->close();
            app.ExitInstance();
        }
        {
            ModalDriver driver;
            SessionScript::expectLogin(driver, kName, kPassword, clock);
            CTivApp app(clock, letters, &prompter);
            QVERIFY(app.InitInstance());
            CMainFrame* frame = app.mainFrame();
            for (const auto& [command, module] : modules) {
                run(frame, command);
                QCOMPARE(SessionScript::treeShape(frame->indexView()->tree(module)), built[module]);
            }
            prompter.confirmAnswers = {true};
            frame->close();
            app.ExitInstance();
        }
    }
};

QTEST_MAIN(TreeSessionTest)
#include "tst_treesession.moc"
