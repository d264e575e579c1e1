// A user writes a document, a diary entry and a password entry through the real windows, leaves
// changes unsaved in the ways a user does, quits, comes back, finds everything as they left it, and
// exports the entry on screen.
#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTreeView>
#include <QtTest>

#include "app/CMainFrame.h"
#include "app/CTivApp.h"
#include "records/CTivView.h"
#include "state/RandomLetters.h"
#include "storage/Clock.h"
#include "support/ModalDriver.h"
#include "support/SessionScript.h"
#include "support/TestSupport.h"
#include "tree/CIndexView.h"
#include "tree/ModuleTree.h"
#include "tree/TreeModel.h"

namespace {

using Command = CMainFrame::Command;
using SaveChoice = Prompter::SaveChoice;

const QString kName = QStringLiteral("王五");
const QString kPassword = QStringLiteral("pass-word");

struct Window {
    CMainFrame* frame;

    void run(Command command) const { frame->commandAction(command)->trigger(); }
    template <class T = QWidget> T* find(const char* name) const
    {
        T* widget = frame->findChild<T*>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }
    QTreeView* tree(ModuleKind module) const { return frame->indexView()->tree(module); }
    void select(ModuleKind module, const QModelIndex& node) const { SessionScript::select(tree(module), node); }
    QString status() const { return find<QLabel>("messagePane")->text(); }
};

QTextCharFormat formatAt(QTextEdit* editor, int position)
{
    QTextCursor cursor(editor->document());
    cursor.setPosition(position);
    return cursor.charFormat();
}

} // namespace

class RecordSessionTest : public QObject {
    Q_OBJECT

private slots:
    void recordsComeBackAsTheyWereLeft()
    {
        TempWorkDir work;
        qputenv("XDG_RUNTIME_DIR", work.path().toLocal8Bit());
        FixedClock clock(QDateTime(QDate(2026, 12, 8), QTime(9, 0)));
        SystemRandomLetters letters;
        ScriptedPrompter prompter;
        {
            ModalDriver driver;
            SessionScript::expectFirstRun(driver, kName, kPassword);
            SessionScript::expectLogin(driver, kName, kPassword, clock);
            CTivApp app(clock, letters, &prompter);
            QVERIFY(app.InitInstance());
            const Window w{app.mainFrame()};

            // A document with formatted Chinese text.
            w.run(Command::FileModule);
            w.run(Command::AddSiblingFolder);
            w.run(Command::AddRecord);
            const QPersistentModelIndex document = w.tree(ModuleKind::File)->currentIndex();
            w.find<QLineEdit>("fileCaptionEdit")->setText(QStringLiteral("旅行计划"));
            w.find<QPlainTextEdit>("fileSummaryEdit")->setPlainText(QStringLiteral("春节的安排"));
            auto* body = w.find<QTextEdit>("fileContentEdit");
            QTextCursor cursor(body->document());
            cursor.insertText(QStringLiteral("第一天：北京。"));
            QTextCharFormat bold;
            bold.setFontWeight(QFont::Bold);
            bold.setForeground(QColor(255, 0, 0));
            cursor.insertText(QStringLiteral("故宫 😀"), bold);
            cursor.insertBlock();
            QTextBlockFormat centred;
            centred.setAlignment(Qt::AlignHCenter);
            cursor.setBlockFormat(centred);
            cursor.insertText(QStringLiteral("第二天：上海"), QTextCharFormat());
            w.find<QAbstractButton>("fileRankCheck")->click();
            w.run(Command::Save);
            QCOMPARE(w.status(), QStringLiteral("修改文档成功"));
            QCOMPARE(document.data().toString(), QStringLiteral("旅行计划"));
            QCOMPARE(document.data(TreeModel::ImageRole).toInt(), ModuleTree::kRecord + ModuleTree::kMarked);

            // A diary entry under a custom key, with a weather that is not in the list.
            w.run(Command::DairyModule);
            w.run(Command::AddSiblingFolder);
            w.run(Command::AddRecord);
            w.find<QLineEdit>("dairyCaptionEdit")->setText(QStringLiteral("冬至"));
            w.find<QDateEdit>("dairyDateEdit")->setDate(QDate(2026, 12, 21));
            w.find<QComboBox>("weatherCombo")->setEditText(QStringLiteral("晴转小雪"));
            w.find<QTextEdit>("dairyContentEdit")->setPlainText(QStringLiteral("吃饺子。"));
            w.find<QAbstractButton>("dairyKeyCheck")->click();
            w.find<QLineEdit>("dairyKeyEdit")->setText(QStringLiteral("秘密key"));
            w.run(Command::Save);
            QCOMPARE(w.status(), QStringLiteral("修改日记成功"));

            // A password entry, with every choice at the question about unsaved changes.
            w.run(Command::PwdModule);
            w.run(Command::AddSiblingFolder);
            const QPersistentModelIndex folder = w.tree(ModuleKind::Pwd)->currentIndex();
            w.run(Command::AddRecord);
            const QPersistentModelIndex entry = w.tree(ModuleKind::Pwd)->currentIndex();
            auto* caption = w.find<QLineEdit>("pwdCaptionEdit");
            caption->setText(QStringLiteral("邮箱"));
            prompter.saveAnswers = {SaveChoice::Cancel};
            w.select(ModuleKind::Pwd, folder);
            QCOMPARE(w.tree(ModuleKind::Pwd)->currentIndex(), QModelIndex(entry)); // 取消: nothing moves
            QCOMPARE(caption->text(), QStringLiteral("邮箱"));
            prompter.saveAnswers = {SaveChoice::Discard};
            w.select(ModuleKind::Pwd, folder);
            QCOMPARE(caption->text(), QStringLiteral("新建密码本"));
            w.select(ModuleKind::Pwd, entry);
            QCOMPARE(caption->text(), QStringLiteral("新建密码")); // the change was not kept
            caption->setText(QStringLiteral("邮箱"));
            w.find<QLineEdit>("pwdUserNameEdit")->setText(QStringLiteral("wang@例子.cn"));
            w.find<QLineEdit>("pwdPasswordEdit")->setText(QStringLiteral("s3cret'\"<>"));
            prompter.saveAnswers = {SaveChoice::Save};
            w.select(ModuleKind::Pwd, folder);
            QCOMPARE(entry.data().toString(), QStringLiteral("邮箱"));
            w.select(ModuleKind::Pwd, entry);
            w.find<QPlainTextEdit>("pwdIntroEdit")->setPlainText(QStringLiteral("备注"));

            // Leaving the program asks about the change still open, then the usual question.
            QCOMPARE(prompter.saveQuestions.size(), 3);
            prompter.saveAnswers = {SaveChoice::Save};
            prompter.confirmAnswers = {true};
            w.frame->close();
            QCOMPARE(prompter.saveQuestions.size(), 4);
            app.ExitInstance();
        }
        {
            ModalDriver driver;
            SessionScript::expectLogin(driver, kName, kPassword, clock);
            CTivApp app(clock, letters, &prompter);
            QVERIFY(app.InitInstance());
            const Window w{app.mainFrame()};

            w.run(Command::FileModule);
            w.select(ModuleKind::File, SessionScript::node(w.tree(ModuleKind::File), {0, 0}));
            QCOMPARE(w.find<QLineEdit>("fileCaptionEdit")->text(), QStringLiteral("旅行计划"));
            QCOMPARE(w.find<QPlainTextEdit>("fileSummaryEdit")->toPlainText(), QStringLiteral("春节的安排"));
            auto* body = w.find<QTextEdit>("fileContentEdit");
            QCOMPARE(body->toPlainText(), QStringLiteral("第一天：北京。故宫 😀\n第二天：上海"));
            QCOMPARE(formatAt(body, 9).fontWeight(), int(QFont::Bold));
            QCOMPARE(formatAt(body, 9).foreground().color(), QColor(255, 0, 0));
            QCOMPARE(formatAt(body, 3).fontWeight(), int(QFont::Normal));
            QCOMPARE(body->document()->lastBlock().blockFormat().alignment() & Qt::AlignHorizontal_Mask,
                     Qt::AlignHCenter);
            QVERIFY(!w.frame->tivView()->hasUnsavedChanges(ModuleKind::File));

            w.run(Command::DairyModule);
            prompter.textAnswers = {QStringLiteral("秘密key")};
            w.select(ModuleKind::Dairy, SessionScript::node(w.tree(ModuleKind::Dairy), {0, 0}));
            QCOMPARE(prompter.confirmations.last(), QStringLiteral("此文档采用自设密钥加密。\r\n请输入自设密钥值："));
            QCOMPARE(w.find<QLineEdit>("dairyCaptionEdit")->text(), QStringLiteral("冬至"));
            QCOMPARE(w.find<QDateEdit>("dairyDateEdit")->date(), QDate(2026, 12, 21));
            QCOMPARE(w.find<QComboBox>("weatherCombo")->currentText(), QStringLiteral("晴转小雪"));
            QCOMPARE(w.find<QTextEdit>("dairyContentEdit")->toPlainText(), QStringLiteral("吃饺子。"));
            QCOMPARE(w.find<QLineEdit>("dairyKeyEdit")->text(), QStringLiteral("秘密key"));

            // The entry on screen goes out with the key it was opened with.
            const QString exported = work.filePath(QStringLiteral("out/冬至.txt"));
            QVERIFY(QDir(work.path()).mkdir(QStringLiteral("out")));
            driver.expect("ExportDialog", [&](QWidget* dialog) {
                ModalDriver::click(dialog, "textRadio");
                ModalDriver::setText(dialog, "targetEdit", exported);
                ModalDriver::click(dialog, "exportButton");
            });
            w.run(Command::ExportRecord);
            QVERIFY(driver.finished());
            QCOMPARE(prompter.lastMessage(), QStringLiteral("已导出到“%1”。").arg(exported));
            QFile text(exported);
            QVERIFY(text.open(QIODevice::ReadOnly));
            QVERIFY(QString::fromUtf8(text.readAll()).contains(QStringLiteral("\n吃饺子。\n")));

            w.run(Command::PwdModule);
            w.select(ModuleKind::Pwd, SessionScript::node(w.tree(ModuleKind::Pwd), {0, 0}));
            QCOMPARE(w.find<QLineEdit>("pwdCaptionEdit")->text(), QStringLiteral("邮箱"));
            QCOMPARE(w.find<QLineEdit>("pwdUserNameEdit")->text(), QStringLiteral("wang@例子.cn"));
            QCOMPARE(w.find<QLineEdit>("pwdPasswordEdit")->text(), QStringLiteral("s3cret'\"<>"));
            QCOMPARE(w.find<QPlainTextEdit>("pwdIntroEdit")->toPlainText(), QStringLiteral("备注"));

            prompter.confirmAnswers = {true};
            w.frame->close();
            app.ExitInstance();
        }
        // Nothing decrypted was ever written beside the database.
        QStringList files = QDir(work.path()).entryList(QDir::Files);
        files.removeOne(QStringLiteral("vantaTivSec")); // the instance lock lives here in this test
        QCOMPARE(files, QStringList{QStringLiteral("tiv.ini")});
    }
};

QTEST_MAIN(RecordSessionTest)
#include "tst_recordsession.moc"
