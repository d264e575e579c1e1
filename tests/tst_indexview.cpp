// The tree pane: loading the three trees, the selection, and the tree commands as the user sees
// them in the tree.
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

#include "crypto/TextCipher.h"
#include "storage/Recordset.h"
#include "support/TestState.h"
#include "tree/CIndexView.h"

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
QStringList shape(QTreeWidget* tree)
{
    QStringList lines;
    std::function<void(QTreeWidgetItem*, int)> walk = [&](QTreeWidgetItem* item, int depth) {
        lines.append(QString(depth * 2, QLatin1Char(' ')) + item->text(0));
        for (int i = 0; i < item->childCount(); ++i)
            walk(item->child(i), depth + 1);
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        walk(tree->topLevelItem(i), 0);
    return lines;
}

QTreeWidgetItem* itemWithText(QTreeWidget* tree, const QString& text)
{
    const QList<QTreeWidgetItem*> found = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
}

} // namespace

class IndexViewTest : public QObject {
    Q_OBJECT

private slots:
    void loadsEveryTreeAndFollowsTheSelection()
    {
        TestState t;
        AppState& s = t.state();
        const int folder = seed(s, ModuleKind::File, "工作", p("10001 00000 00000 00000 00000 0"), 1, 1, 1);
        seed(s, ModuleKind::File, "周报", p("10001 99999 99999 99999 99999 9"), 10, 2);
        seed(s, ModuleKind::Pwd, "银行", p("10001 00000 00000 00000 00000 0"), 1, 3);
        CIndexView view(s, t.prompter());
        view.initialUpdate();
        QCOMPARE(s.currentModule, ModuleKind::None);
        QCOMPARE(shape(view.tree(ModuleKind::File)), (QStringList{"工作", "  周报"}));
        QCOMPARE(shape(view.tree(ModuleKind::Pwd)), (QStringList{"银行"}));
        QVERIFY(shape(view.tree(ModuleKind::Dairy)).isEmpty());
        QTreeWidgetItem* marked = itemWithText(view.tree(ModuleKind::File), QStringLiteral("工作"));
        QCOMPARE(marked->icon(0).cacheKey(), view.treeImage(ModuleKind::File, 3).cacheKey());

        QSignalSpy selected(&view, &CIndexView::recordSelected);
        view.tree(ModuleKind::File)->setCurrentItem(marked);
        QCOMPARE(s.selection(ModuleKind::File).currentRecordId, folder);
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected.first().first().value<ModuleKind>(), ModuleKind::File);

        s.currentModule = ModuleKind::File;
        QSignalSpy renamed(&view, &CIndexView::captionRenamed);
        view.RenameSelectedNode(QStringLiteral("工作日志"));
        QCOMPARE(marked->text(0), QStringLiteral("工作日志"));
        QCOMPARE(renamed.size(), 0); // the program's change of a node writes nothing
    }

    void renamingInPlaceWritesTheCaption()
    {
        TestState t;
        AppState& s = t.state();
        const int id = seed(s, ModuleKind::Dairy, "新建日记本", p("10001 00000 00000 00000 00000 0"), 1, 1);
        CIndexView view(s, t.prompter());
        view.initialUpdate();
        QSignalSpy renamed(&view, &CIndexView::captionRenamed);
        QSignalSpy status(&view, &CIndexView::statusMessage);
        QTreeWidgetItem* item = view.tree(ModuleKind::Dairy)->topLevelItem(0);
        QVERIFY(item->flags() & Qt::ItemIsEditable);
        const auto stored = [&] {
            Recordset rs;
            s.mainConnection.OpenRecordset(rs, QStringLiteral("SELECT mCaption FROM tb_Dairy WHERE id=?"), {id});
            return TextCipher::DecryptText(s.user.dataKey, rs.field(QStringLiteral("mCaption")).blob());
        };

        item->setText(0, QStringLiteral("二〇二六年")); // what the tree's editor does when the user is done
        QCOMPARE(stored(), QStringLiteral("二〇二六年"));
        QCOMPARE(renamed.size(), 1);
        QCOMPARE(renamed.first().at(1).toInt(), id);
        QCOMPARE(status.last().first().toString(), QStringLiteral("修改名称成功"));

        item->setText(0, QStringLiteral("  ")); // refused: the node shows the stored caption again
        QCOMPARE(item->text(0), QStringLiteral("二〇二六年"));
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
        QCOMPARE(t.prompter().lastMessage(), QStringLiteral("读取密码箱数据失败,请检查程序的完整性!"));
    }

    void addsAppearWhereTheyBelong()
    {
        TestState t;
        AppState& s = t.state();
        CIndexView view(s, t.prompter());
        view.initialUpdate();
        QSignalSpy status(&view, &CIndexView::statusMessage);
        s.currentModule = ModuleKind::Dairy;
        QTreeWidget* tree = view.tree(ModuleKind::Dairy);

        view.addSiblingFolder();
        QCOMPARE(status.last().first().toString(), QStringLiteral("添加日记本成功"));
        QCOMPARE(tree->currentItem()->text(0), QStringLiteral("新建日记本"));
        QCOMPARE(tree->currentItem()->icon(0).cacheKey(), view.treeImage(ModuleKind::Dairy, 0).cacheKey());
        view.addRecord();
        view.addChildFolder(); // with a record selected: beside it in the same folder, before the records
        view.addRecord();      // inside the new folder
        QCOMPARE(status.last().first().toString(), QStringLiteral("添加日记成功"));
        QCOMPARE(shape(tree), (QStringList{"新建日记本", "  新建日记本", "    新建日记", "  新建日记"}));
        QCOMPARE(s.selection(ModuleKind::Dairy).currentRecordId, tree->currentItem()->data(0, Qt::UserRole).toInt());

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
        view.initialUpdate();
        s.currentModule = ModuleKind::File;
        QTreeWidget* tree = view.tree(ModuleKind::File);

        tree->setCurrentItem(itemWithText(tree, QStringLiteral("a1")));
        view.deleteSelected();
        QCOMPARE(tree->currentItem()->text(0), QStringLiteral("A")); // its folder
        QCOMPARE(s.selection(ModuleKind::File).currentRecordId, tree->currentItem()->data(0, Qt::UserRole).toInt());

        t.prompter().confirmAnswers = {false};
        view.deleteSelected();
        QCOMPARE(shape(tree), (QStringList{"A", "B"}));
        QCOMPARE(tree->currentItem()->text(0), QStringLiteral("A"));

        t.prompter().confirmAnswers = {true};
        view.deleteSelected();
        QCOMPARE(shape(tree), QStringList{"B"});
        QCOMPARE(tree->currentItem()->text(0), QStringLiteral("B")); // the first top-level node left
        t.prompter().confirmAnswers = {true};
        view.deleteSelected();
        QCOMPARE(tree->topLevelItemCount(), 0);
        QCOMPARE(s.selection(ModuleKind::File).currentRecordId, 0);
    }

    void reorderKeepsOpenFoldersAndTheMovedRecord()
    {
        TestState t;
        AppState& s = t.state();
        seed(s, ModuleKind::Pwd, "F", p("10001 00000 00000 00000 00000 0"), 1, 1);
        seed(s, ModuleKind::Pwd, "one", p("10001 99999 99999 99999 99999 9"), 10, 2);
        seed(s, ModuleKind::Pwd, "two", p("10001 99999 99999 99999 99999 9"), 10, 3);
        seed(s, ModuleKind::Pwd, "three", p("10001 99999 99999 99999 99999 9"), 10, 4);
        CIndexView view(s, t.prompter());
        view.initialUpdate();
        s.currentModule = ModuleKind::Pwd;
        QTreeWidget* tree = view.tree(ModuleKind::Pwd);
        tree->topLevelItem(0)->setExpanded(true);
        tree->setCurrentItem(itemWithText(tree, QStringLiteral("three")));

        view.moveUp();
        QCOMPARE(shape(tree), (QStringList{"F", "  one", "  three", "  two"}));
        QVERIFY(tree->topLevelItem(0)->isExpanded());
        QCOMPARE(tree->currentItem()->text(0), QStringLiteral("three"));
        view.moveToTop();
        QCOMPARE(shape(tree), (QStringList{"F", "  three", "  one", "  two"}));
        view.moveUp(); // already first: nothing moves
        QCOMPARE(shape(tree), (QStringList{"F", "  three", "  one", "  two"}));
        view.moveToBottom();
        QCOMPARE(shape(tree), (QStringList{"F", "  one", "  two", "  three"}));
        view.moveDown();
        QCOMPARE(shape(tree), (QStringList{"F", "  one", "  two", "  three"}));
    }
};

QTEST_MAIN(IndexViewTest)
#include "tst_indexview.moc"
