// The module trees: the build from stored rows, and adding, deleting and reordering rows.
#include <QtTest>

#include "crypto/TextCipher.h"
#include "storage/FieldConversions.h"
#include "storage/Recordset.h"
#include "support/TestState.h"
#include "tree/ModuleTree.h"
#include "tree/TreeCommands.h"

using FieldConversions::toInt;
using FieldConversions::toText;
using NodeParent = TreeCommands::NodeParent;

namespace {

const QString kOtherUser = QStringLiteral("{99999999-8888-7777-6666-555555555555}");

QString p(const char* spaced)
{
    return QString::fromLatin1(spaced).remove(QLatin1Char(' '));
}

struct Row {
    int id;
    QString caption;
    QString path;
    int type;
    int orderId;
};

// Writes a row as the program stores it and returns its id.
int seed(AppState& state, ModuleKind module, const QString& caption, const QString& path, int type, int orderId,
         const FieldValue& rank = FieldValue(0), const QString& userId = QString())
{
    CDbConnection& db = state.mainConnection;
    db.execute(QStringLiteral("INSERT INTO %1 (userId, mCaption, folderType, parentId, orderId, mRank) "
                              "VALUES (?, ?, ?, ?, ?, ?)")
                   .arg(moduleTable(module)),
               {userId.isEmpty() ? state.user.id : userId, TextCipher::EncryptText(state.user.dataKey, caption), type,
                path, orderId, rank});
    return static_cast<int>(db.lastInsertRowId());
}

std::vector<Row> rows(AppState& state, ModuleKind module)
{
    Recordset rs;
    state.mainConnection.OpenRecordset(rs, QStringLiteral("SELECT * FROM %1 ORDER BY id").arg(moduleTable(module)));
    std::vector<Row> result;
    for (; !rs.isEof(); rs.moveNext())
        result.push_back({toInt(rs.field(QStringLiteral("id"))),
                          TextCipher::DecryptText(state.user.dataKey,
                                                  FieldConversions::ReadLongBinary(rs, QStringLiteral("mCaption"))),
                          toText(rs.field(QStringLiteral("parentId"))), toInt(rs.field(QStringLiteral("folderType"))),
                          toInt(rs.field(QStringLiteral("orderId")))});
    return result;
}

// A missing row comes back with id, type and order -1, so the comparisons that follow fail.
Row rowWithId(const std::vector<Row>& all, int id)
{
    for (const Row& row : all)
        if (row.id == id)
            return row;
    return {-1, {}, {}, -1, -1};
}

int orderOf(AppState& state, ModuleKind module, int id)
{
    const std::vector<Row> all = rows(state, module);
    return rowWithId(all, id).orderId;
}

int counter(AppState& state, int level)
{
    Recordset rs;
    state.mainConnection.OpenRecordset(rs, QStringLiteral("SELECT * FROM tb_FolderMax WHERE mModule='FILE'"));
    return toInt(rs.field(QStringLiteral("folder%1").arg(level)));
}

std::vector<TreeNodeData> loadTree(AppState& state, ModuleKind module)
{
    std::vector<TreeNodeData> nodes;
    ModuleTree::load(state, module, [&](const TreeNodeData& node) { nodes.push_back(node); });
    return nodes;
}

void select(AppState& state, int id)
{
    state.selection(state.currentModule).currentRecordId = id;
}

// Makes every insert into the documents table fail, as a full disk would.
void failInserts(AppState& state)
{
    state.mainConnection.execute(QStringLiteral(
        "CREATE TRIGGER no_insert BEFORE INSERT ON tb_Article BEGIN SELECT RAISE(ABORT, 'disk full'); END"));
}

} // namespace

class TreeCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void buildFollowsPathsThenOrder()
    {
        TestState t;
        AppState& s = t.state();
        // Inserted out of order on purpose: the statement sorts them.
        const int r2 = seed(s, ModuleKind::File, "second", p("10001 99999 99999 99999 99999 9"), 10, 9);
        const int root = seed(s, ModuleKind::File, "at root", p("99999 99999 99999 99999 99999 9"), 99, 1);
        const int f2 =
            seed(s, ModuleKind::File, "folder two", p("10002 00000 00000 00000 00000 0"), 1, 2, FieldValue());
        const int r1 = seed(s, ModuleKind::File, "first", p("10001 99999 99999 99999 99999 9"), 10, 3, FieldValue(1));
        const int sub = seed(s, ModuleKind::File, "sub", p("10001 10001 00000 00000 00000 0"), 2, 8, FieldValue(1));
        const int f1 =
            seed(s, ModuleKind::File, "folder one", p("10001 00000 00000 00000 00000 0"), 1, 99, FieldValue(1));
        seed(s, ModuleKind::File, "stranger", p("10001 99999 99999 99999 99999 9"), 10, 4, FieldValue(0), kOtherUser);
        // Its level-2 folder is missing: it goes under the level-1 folder it is in.
        const int orphan = seed(s, ModuleKind::File, "orphan", p("10002 10005 99999 99999 99999 9"), 20, 5);

        const std::vector<TreeNodeData> nodes = loadTree(s, ModuleKind::File);
        QCOMPARE(nodes.size(), std::size_t(7));
        const std::vector<std::tuple<int, QString, int, int>> expected = {
            {f1, "folder one", 0 + 3, 0}, {sub, "sub", 1 + 3, f1},   {r1, "first", 2 + 3, f1}, {r2, "second", 2, f1},
            {f2, "folder two", 0, 0},     {orphan, "orphan", 2, f2}, {root, "at root", 2, 0},
        };
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const auto& [id, caption, image, parent] = expected[i];
            QCOMPARE(nodes[i].id, id);
            QCOMPARE(nodes[i].caption, caption);
            QCOMPARE(nodes[i].image, image);
            QCOMPARE(nodes[i].parentId, parent);
        }
        QVERIFY(loadTree(s, ModuleKind::Dairy).empty());
    }

    void addsInAFreshDatabase()
    {
        TestState t;
        AppState& s = t.state();
        TreeCommands commands(s, t.prompter());
        QCOMPARE(commands.AddSiblingFolder().statusText, TreeCommands::kNoModuleText);

        s.currentModule = ModuleKind::File;
        // Without a selection only a top-level folder can be added.
        QCOMPARE(commands.AddChildFolder().statusText, QString());
        QCOMPARE(commands.AddRecord().statusText, QString());
        TreeCommands::AddOutcome top = commands.AddSiblingFolder();
        QVERIFY(top.added);
        QCOMPARE(top.statusText, QStringLiteral("添加文件夹成功"));
        QCOMPARE(top.caption, QStringLiteral("新建文件夹"));
        QCOMPARE(top.image, 0);
        QCOMPARE(top.parent, NodeParent::Top);
        std::vector<Row> all = rows(s, ModuleKind::File);
        QCOMPARE(all.size(), std::size_t(1));
        QCOMPARE(all[0].path, p("10001 00000 00000 00000 00000 0"));
        QCOMPARE(all[0].type, 1);
        QCOMPARE(all[0].orderId, 1);
        QCOMPARE(all[0].caption, QStringLiteral("新建文件夹"));
        QCOMPARE(counter(s, 1), 10001);

        select(s, top.id);
        const TreeCommands::AddOutcome child = commands.AddChildFolder();
        QCOMPARE(child.parent, NodeParent::Selected);
        QCOMPARE(child.image, 1);
        const TreeCommands::AddOutcome record = commands.AddRecord();
        QCOMPARE(record.statusText, QStringLiteral("添加文件成功"));
        QCOMPARE(record.parent, NodeParent::Selected);
        QCOMPARE(record.image, 2);

        // With a record selected: a folder beside it goes one level down in its folder, a record
        // into the same folder.
        select(s, record.id);
        const TreeCommands::AddOutcome beside = commands.AddSiblingFolder();
        QCOMPARE(beside.parent, NodeParent::SelectedParent);
        const TreeCommands::AddOutcome another = commands.AddRecord();
        QCOMPARE(another.parent, NodeParent::SelectedParent);
        all = rows(s, ModuleKind::File);
        QCOMPARE(rowWithId(all, child.id).path, p("10001 10001 00000 00000 00000 0"));
        QCOMPARE(rowWithId(all, record.id).type, 10);
        QCOMPARE(rowWithId(all, beside.id).path, p("10001 10002 00000 00000 00000 0"));
        QCOMPARE(rowWithId(all, another.id).path, rowWithId(all, record.id).path);
        QCOMPARE(rowWithId(all, another.id).orderId, rowWithId(all, record.id).orderId + 2);

        s.currentModule = ModuleKind::Pwd;
        QCOMPARE(commands.AddSiblingFolder().statusText, QStringLiteral("添加密码本成功"));
    }

    void levelFiveRecordsRefuseFolders()
    {
        TestState t;
        AppState& s = t.state();
        s.currentModule = ModuleKind::File;
        TreeCommands commands(s, t.prompter());
        select(s, seed(s, ModuleKind::File, "deep", p("10001 10001 10001 10001 10001 9"), 50, 1));
        QCOMPARE(commands.AddSiblingFolder().statusText, QStringLiteral("添加文件夹失败"));
        QCOMPARE(commands.AddChildFolder().statusText, QStringLiteral("添加文件夹失败"));
        QCOMPARE(counter(s, 5), 10000);
        const TreeCommands::AddOutcome record = commands.AddRecord();
        QVERIFY(record.added);
        QCOMPARE(rowWithId(rows(s, ModuleKind::File), record.id).type, 50);

        select(s, 4242); // a selection whose row is gone adds nothing
        QCOMPARE(commands.AddRecord().statusText, QStringLiteral("添加文件失败"));
        QCOMPARE(rows(s, ModuleKind::File).size(), std::size_t(2));
    }

    void orderIdsContinueAboveEveryUsersRows()
    {
        TestState t;
        AppState& s = t.state();
        seed(s, ModuleKind::Dairy, "theirs", p("10001 99999 99999 99999 99999 9"), 10, 50, FieldValue(0), kOtherUser);
        s.currentModule = ModuleKind::Dairy;
        TreeCommands commands(s, t.prompter());
        select(s, seed(s, ModuleKind::Dairy, "mine", p("10001 00000 00000 00000 00000 0"), 1, 3));
        const int first = commands.AddRecord().id;
        const int second = commands.AddRecord().id;
        QCOMPARE(orderOf(s, ModuleKind::Dairy, first), 51);
        QCOMPARE(orderOf(s, ModuleKind::Dairy, second), 52);
        QCOMPARE(TreeCommands::NextOrderId(s.mainConnection, ModuleKind::Pwd), 1);
    }

    void exhaustedCounterAndFailedInsertWriteNothing()
    {
        TestState t;
        AppState& s = t.state();
        s.currentModule = ModuleKind::File;
        TreeCommands commands(s, t.prompter());
        s.mainConnection.execute(QStringLiteral("UPDATE tb_FolderMax SET folder1=99998 WHERE mModule='FILE'"));
        QCOMPARE(commands.AddSiblingFolder().statusText, TreeCommands::kLimitText);
        QVERIFY(rows(s, ModuleKind::File).empty());

        s.mainConnection.execute(QStringLiteral("UPDATE tb_FolderMax SET folder1=10000 WHERE mModule='FILE'"));
        failInserts(s);
        const TreeCommands::AddOutcome failed = commands.AddSiblingFolder();
        QVERIFY(!failed.added);
        QCOMPARE(failed.statusText, QStringLiteral("添加文件夹失败"));
        QCOMPARE(counter(s, 1), 10000); // the counter step went back with the row
    }

    void deletesRecordsAndWholeSubtrees()
    {
        TestState t;
        AppState& s = t.state();
        s.currentModule = ModuleKind::File;
        TreeCommands commands(s, t.prompter());
        const int folder = seed(s, ModuleKind::File, "a", p("10001 00000 00000 00000 00000 0"), 1, 1);
        const int sub = seed(s, ModuleKind::File, "b", p("10001 10001 00000 00000 00000 0"), 2, 2);
        seed(s, ModuleKind::File, "c", p("10001 10001 10001 10001 10001 0"), 5, 3);
        seed(s, ModuleKind::File, "d", p("10001 10001 10001 10001 10001 9"), 50, 4);
        const int record = seed(s, ModuleKind::File, "e", p("10001 99999 99999 99999 99999 9"), 10, 5);
        const int neighbour = seed(s, ModuleKind::File, "f", p("10002 00000 00000 00000 00000 0"), 1, 6);
        const int neighbourRecord = seed(s, ModuleKind::File, "g", p("10002 99999 99999 99999 99999 9"), 10, 7);
        const int theirs =
            seed(s, ModuleKind::File, "h", p("10001 99999 99999 99999 99999 9"), 10, 8, FieldValue(0), kOtherUser);

        select(s, record);
        QCOMPARE(commands.DeleteSelected().statusText, QStringLiteral("删除成功"));
        QVERIFY(t.prompter().confirmations.isEmpty()); // records go without asking
        QCOMPARE(rows(s, ModuleKind::File).size(), std::size_t(7));

        select(s, sub);
        t.prompter().confirmAnswers = {false};
        QCOMPARE(commands.DeleteSelected().statusText, QStringLiteral("删除失败"));
        QCOMPARE(t.prompter().confirmations.last(), TreeCommands::kConfirmFolderDeleteText);
        QCOMPARE(rows(s, ModuleKind::File).size(), std::size_t(7));

        // A failure part-way leaves every row where it was.
        s.mainConnection.execute(QStringLiteral("CREATE TRIGGER no_delete BEFORE DELETE ON tb_Article "
                                                "WHEN old.folderType = 50 BEGIN SELECT RAISE(ABORT, 'io'); END"));
        select(s, folder);
        t.prompter().confirmAnswers = {true};
        QCOMPARE(commands.DeleteSelected().statusText, QStringLiteral("删除失败"));
        QCOMPARE(rows(s, ModuleKind::File).size(), std::size_t(7));
        s.mainConnection.execute(QStringLiteral("DROP TRIGGER no_delete"));

        t.prompter().confirmAnswers = {true};
        const TreeCommands::DeleteOutcome deleted = commands.DeleteSelected();
        QVERIFY(deleted.deleted);
        std::vector<int> left;
        for (const Row& row : rows(s, ModuleKind::File))
            left.push_back(row.id);
        QCOMPARE(left, (std::vector<int>{neighbour, neighbourRecord, theirs}));

        select(s, neighbour);
        t.prompter().confirmAnswers = {true};
        QVERIFY(commands.DeleteSelected().deleted);
        select(s, 0);
        QCOMPARE(commands.DeleteSelected().statusText, QStringLiteral("删除失败"));
        QCOMPARE(rows(s, ModuleKind::File).size(), std::size_t(1)); // only the other user's row
    }

    void reorderWithinTheFolder()
    {
        TestState t;
        AppState& s = t.state();
        s.currentModule = ModuleKind::Pwd;
        TreeCommands commands(s, t.prompter());
        const QString folderA = p("10001 99999 99999 99999 99999 9");
        const QString folderB = p("10002 99999 99999 99999 99999 9");
        seed(s, ModuleKind::Pwd, "a1", folderA, 10, 1);
        const int b1 = seed(s, ModuleKind::Pwd, "b1", folderB, 10, 2);
        const int a2 = seed(s, ModuleKind::Pwd, "a2", folderA, 10, 3);
        const int a3 = seed(s, ModuleKind::Pwd, "a3", folderA, 10, 7);
        const int b2 = seed(s, ModuleKind::Pwd, "b2", folderB, 10, 8);
        seed(s, ModuleKind::Pwd, "theirs", folderA, 10, 5, FieldValue(0), kOtherUser);
        const int folder = seed(s, ModuleKind::Pwd, "A", p("10001 00000 00000 00000 00000 0"), 1, 9);
        // The order numbers of all rows, by id.
        const auto orders = [&] {
            std::vector<int> result;
            for (const Row& row : rows(s, ModuleKind::Pwd))
                result.push_back(row.orderId);
            return result;
        };

        // The neighbour of a3 is a2 (orderId 3), not b1 that holds orderId 2 in another folder.
        select(s, a3);
        QVERIFY(commands.MoveUp());
        QCOMPARE(orderOf(s, ModuleKind::Pwd, a3), 3);
        QCOMPARE(orderOf(s, ModuleKind::Pwd, a2), 7);
        QCOMPARE(orderOf(s, ModuleKind::Pwd, b1), 2);
        QVERIFY(commands.MoveUp()); // a second press moves it again
        QCOMPARE(orderOf(s, ModuleKind::Pwd, a3), 1);
        QVERIFY(!commands.MoveUp()); // first of its folder
        QVERIFY(commands.MoveDown());
        QCOMPARE(orderOf(s, ModuleKind::Pwd, a3), 3);
        select(s, b2);
        QVERIFY(!commands.MoveDown()); // last of its folder and of the table
        QVERIFY(!commands.MoveToBottom());

        // Folder A holds a1 1, a3 3, a2 7. To the top, a2 takes the folder's smallest number and each
        // record it passed the next one; folder B, the other user's row and the folder row keep theirs.
        const std::vector<int> before = orders();
        select(s, a2);
        QVERIFY(commands.MoveToTop());
        QCOMPARE(orders(), (std::vector<int>{3, 2, 1, 7, 8, 5, 9}));
        QCOMPARE(s.selection(ModuleKind::Pwd).currentOrderId, 1);
        QVERIFY(!commands.MoveToTop());

        QVERIFY(commands.MoveToBottom());
        QCOMPARE(orders(), before);
        QCOMPARE(s.selection(ModuleKind::Pwd).currentOrderId, 7);
        std::vector<QString> order;
        for (const TreeNodeData& node : loadTree(s, ModuleKind::Pwd))
            order.push_back(node.caption);
        QCOMPARE(order, (std::vector<QString>{"A", "a1", "a3", "a2", "b1", "b2"}));

        // A folder keeps its place whatever its number, so nothing is written for it.
        select(s, folder);
        QVERIFY(!commands.MoveToTop());
        QVERIFY(!commands.MoveToBottom());
        QCOMPARE(orders(), before);

        // A failure part-way leaves every number where it was.
        s.mainConnection.execute(QStringLiteral("CREATE TRIGGER no_update BEFORE UPDATE ON tb_Pwd "
                                                "WHEN old.id = %1 BEGIN SELECT RAISE(ABORT, 'io'); END")
                                     .arg(a3));
        select(s, a2);
        QVERIFY(!commands.MoveToTop());
        QCOMPARE(orders(), before);
        QCOMPARE(s.selection(ModuleKind::Pwd).currentOrderId, 7);
    }
};

QTEST_GUILESS_MAIN(TreeCommandsTest)
#include "tst_treecommands.moc"
