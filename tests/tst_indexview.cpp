// The tree pane: loading the three trees, the selection, and the tree commands as the user sees
// them in the tree.
#include <QSignalSpy>
#include <QTreeView>
#include <QtTest>

#include "crypto/TextCipher.h"
#include "storage/Recordset.h"
#include "support/TestState.h"
#include "support/SessionScript.h"
#include "tree/CIndexView.h"
#include "tree/TreeModel.h"

namespace {

QString p(const char* spaced)
{
    return QString::fromLatin1(spaced).remove(QLatin1Char(' '));
}

int seed(AppState& state, ModuleKind module, const QString& caption, const QString& path, int type, int orderId,
         int rank = 0)
{
    state.mainConnection.execute(
        QStringLiteral("INSERT INTO %1 (userId, mCaption, folderType, parentId, orderId, "
                       "mRank) VALUES (?, ?, ?, ?, ?, ?)")
            .arg(moduleTable(module)),
        {state.user.id, TextCipher::EncryptText(state.user.dataKey, caption), type, path, orderId, rank});
    return static_cast<int>(state.mainConnection.lastInsertRowId());
}

// The tree as indented captions, in the order shown.
QStringList shape(const QTreeView* tree)
{
    QStringList lines;
    for (const QString& line : SessionScript::treeShape(tree))
        lines.append(line.left(line.lastIndexOf(QStringLiteral(" #"))));
    return lines;
}

QModelIndex nodeWithText(const QTreeView* tree, const QString& text)
{
    const QModelIndexList found = tree->model()->match(tree->model()->index(0, 0), Qt::DisplayRole, text, 1,
                                                       Qt::MatchExactly | Qt::MatchRecursive);
    return found.value(0);
}

QString current(const QTreeView* tree)
{
    return tree->currentIndex().data().toString();
}

// The module made current and its tree shown, as the main window does.
void show(CIndexView& view, AppState& state, ModuleKind module)
{
    state.currentModule = module;
    view.ShowModuleTree();
}

} // namespace

class IndexViewTest : public QObject {
    Q_OBJECT

private slots:
    void loadsATreeWhenFirstShownAndFollowsTheSelection()
    {
        TestState t;
        AppState& s = t.state();
        const int folder = seed(s, ModuleKind::File, "工作", p("10001 00000 00000 00000 00000 0"), 1, 1, 1);
        seed(s, ModuleKind::File, "周报", p("10001 99999 99999 99999 99999 9"), 10, 2);
        seed(s, ModuleKind::Pwd, "银行", p("10001 00000 00000 00000 00000 0"), 1, 3);
        CIndexView view(s, t.prompter());
        view.initialUpdate();
        QCOMPARE(s.currentModule, ModuleKind::None);
        QCOMPARE(view.model(ModuleKind::File)->rowCount(), 0); // nothing read before it is shown
        show(view, s, ModuleKind::File);
        QCOMPARE(shape(view.tree(ModuleKind::File)), (QStringList{"工作", "  周报"}));
        show(view, s, ModuleKind::Pwd);
        QCOMPARE(shape(view.tree(ModuleKind::Pwd)), (QStringList{"银行"}));
        QVERIFY(shape(view.tree(ModuleKind::Dairy)).isEmpty());
        const QModelIndex marked = nodeWithText(view.tree(ModuleKind::File), QStringLiteral("工作"));
        QCOMPARE(marked.data(Qt::DecorationRole).value<QIcon>().cacheKey(),
                 view.treeImage(ModuleKind::File, 3).cacheKey());

        QSignalSpy selected(&view, &CIndexView::recordSelected);
        SessionScript::select(view.tree(ModuleKind::File), marked);
        QCOMPARE(s.selection(ModuleKind::File).currentRecordId, folder);
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected.first().first().value<ModuleKind>(), ModuleKind::File);

        s.currentModule = ModuleKind::File;
        QSignalSpy renamed(&view, &CIndexView::captionRenamed);
        view.RenameSelectedNode(QStringLiteral("工作日志"));
        QCOMPARE(marked.data().toString(), QStringLiteral("工作日志"));
        QCOMPARE(renamed.size(), 0); // the program's change of a node writes nothing
    }

    void renamingInPlaceWritesTheCaption()
    {
        TestState t;
        AppState& s = t.state();
        const int id = seed(s, ModuleKind::Dairy, "新建日记本", p("10001 00000 00000 00000 00000 0"), 1, 1);
        CIndexView view(s, t.prompter());
        show(view, s, ModuleKind::Dairy);
        QSignalSpy renamed(&view, &CIndexView::captionRenamed);
        QSignalSpy status(&view, &CIndexView::statusMessage);
        QAbstractItemModel* model = view.tree(ModuleKind::Dairy)->model();
        const QModelIndex node = model->index(0, 0);
        QVERIFY(node.flags() & Qt::ItemIsEditable);
        const auto stored = [&] {
            Recordset rs;
            s.mainConnection.OpenRecordset(rs, QStringLiteral("SELECT mCaption FROM tb_Dairy WHERE id=?"), {id});
            return TextCipher::DecryptText(s.user.dataKey, rs.field(QStringLiteral("mCaption")).blob());
        };

        model->setData(node, QStringLiteral("二〇二六年")); // what the tree's editor does when the user is done
        QCOMPARE(stored(), QStringLiteral("二〇二六年"));
        QCOMPARE(node.data().toString(), QStringLiteral("二〇二六年"));
        QCOMPARE(renamed.size(), 1);
        QCOMPARE(renamed.first().at(1).toInt(), id);
        QCOMPARE(status.last().first().toString(), QStringLiteral("修改名称成功"));

        model->setData(node, QStringLiteral("  ")); // refused: the node shows the stored caption
        QCOMPARE(node.data().toString(), QStringLiteral("二〇二六年"));
        QCOMPARE(stored(), QStringLiteral("二〇二六年"));
        QCOMPARE(status.last().first().toString(), QStringLiteral("名称不能为空"));
        QCOMPARE(renamed.size(), 1);
    }

    void unreadableTableIsReported()
    {
        TestState t;
        t.db().execute(QStringLiteral("DROP TABLE tb_Pwd"));
        CIndexView view(t.state(), t.prompter());
        view.initialUpdate();
        show(view, t.state(), ModuleKind::File);
        QVERIFY(t.prompter().messages.empty());
        show(view, t.state(), ModuleKind::Pwd);
        QCOMPARE(t.prompter().lastMessage(), QStringLiteral("读取密码箱数据失败,请检查程序的完整性!"));
    }

    void addsAppearWhereTheyBelong()
    {
        TestState t;
        AppState& s = t.state();
        CIndexView view(s, t.prompter());
        show(view, s, ModuleKind::Dairy);
        QSignalSpy status(&view, &CIndexView::statusMessage);
        QTreeView* tree = view.tree(ModuleKind::Dairy);

        view.addSiblingFolder();
        QCOMPARE(status.last().first().toString(), QStringLiteral("添加日记本成功"));
        QCOMPARE(current(tree), QStringLiteral("新建日记本"));
        QCOMPARE(tree->currentIndex().data(Qt::DecorationRole).value<QIcon>().cacheKey(),
                 view.treeImage(ModuleKind::Dairy, 0).cacheKey());
        view.addRecord();
        view.addChildFolder(); // with a record selected: beside it in the same folder, before the records
        view.addRecord();      // inside the new folder
        QCOMPARE(status.last().first().toString(), QStringLiteral("添加日记成功"));
        QCOMPARE(shape(tree), (QStringList{"新建日记本", "  新建日记本", "    新建日记", "  新建日记"}));
        QCOMPARE(s.selection(ModuleKind::Dairy).currentRecordId, TreeModel::idOf(tree->currentIndex()));

        // What was added is what the next load finds.
        const QStringList before = shape(tree);
        view.LoadModuleTree(ModuleKind::Dairy);
        QCOMPARE(shape(tree), before);
    }

    void deletesSelectTheNodeThatIsLeft()
    {
        TestState t;
        AppState& s = t.state();
        seed(s, ModuleKind::File, "A", p("10001 00000 00000 00000 00000 0"), 1, 1);
        seed(s, ModuleKind::File, "a1", p("10001 99999 99999 99999 99999 9"), 10, 2);
        seed(s, ModuleKind::File, "B", p("10002 00000 00000 00000 00000 0"), 1, 3);
        CIndexView view(s, t.prompter());
        show(view, s, ModuleKind::File);
        QTreeView* tree = view.tree(ModuleKind::File);

        SessionScript::select(tree, nodeWithText(tree, QStringLiteral("a1")));
        view.deleteSelected();
        QCOMPARE(current(tree), QStringLiteral("A")); // its folder
        QCOMPARE(s.selection(ModuleKind::File).currentRecordId, TreeModel::idOf(tree->currentIndex()));

        t.prompter().confirmAnswers = {false};
        view.deleteSelected();
        QCOMPARE(shape(tree), (QStringList{"A", "B"}));
        QCOMPARE(current(tree), QStringLiteral("A"));

        t.prompter().confirmAnswers = {true};
        view.deleteSelected();
        QCOMPARE(shape(tree), QStringList{"B"});
        QCOMPARE(current(tree), QStringLiteral("B")); // the first top-level node left
        t.prompter().confirmAnswers = {true};
        view.deleteSelected();
        QCOMPARE(tree->model()->rowCount(), 0);
        QCOMPARE(s.selection(ModuleKind::File).currentRecordId, 0);
    }

    void reorderMovesTheRecordInPlace()
    {
        TestState t;
        AppState& s = t.state();
        seed(s, ModuleKind::Pwd, "F", p("10001 00000 00000 00000 00000 0"), 1, 1);
        seed(s, ModuleKind::Pwd, "one", p("10001 99999 99999 99999 99999 9"), 10, 2);
        seed(s, ModuleKind::Pwd, "two", p("10001 99999 99999 99999 99999 9"), 10, 3);
        seed(s, ModuleKind::Pwd, "three", p("10001 99999 99999 99999 99999 9"), 10, 4);
        CIndexView view(s, t.prompter());
        show(view, s, ModuleKind::Pwd);
        QTreeView* tree = view.tree(ModuleKind::Pwd);
        tree->expand(tree->model()->index(0, 0));
        SessionScript::select(tree, nodeWithText(tree, QStringLiteral("three")));
        // A row written behind the pane's back shows only if the tree were read again.
        seed(s, ModuleKind::Pwd, "unseen", p("10001 99999 99999 99999 99999 9"), 10, 5);

        view.moveUp();
        QCOMPARE(shape(tree), (QStringList{"F", "  one", "  three", "  two"}));
        QVERIFY(tree->isExpanded(tree->model()->index(0, 0)));
        QCOMPARE(current(tree), QStringLiteral("three"));
        view.moveToTop();
        QCOMPARE(shape(tree), (QStringList{"F", "  three", "  one", "  two"}));
        view.moveUp(); // already first: nothing moves
        QCOMPARE(shape(tree), (QStringList{"F", "  three", "  one", "  two"}));
        view.moveToBottom();
        QCOMPARE(shape(tree), (QStringList{"F", "  one", "  two", "  three"}));
        QCOMPARE(current(tree), QStringLiteral("three"));
        // The tree and the rows agree once it is read again (the unseen row comes last: it holds the
        // highest order number but the moved one's).
        view.LoadModuleTree(ModuleKind::Pwd);
        QCOMPARE(shape(tree), (QStringList{"F", "  one", "  two", "  unseen", "  three"}));
    }
};

QTEST_MAIN(IndexViewTest)
#include "tst_indexview.moc"
