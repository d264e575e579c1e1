// Loading and saving records on a real database: the protection levels and their keys, the stored
// form of every field, the NULL rules, and that a save writes all of the record or nothing.
#include <QtTest>

#include "crypto/TextCipher.h"
#include "records/RecordStore.h"
#include "storage/FieldConversions.h"
#include "storage/Recordset.h"
#include "support/TestState.h"

using Controls = RecordProtection::Controls;
Q_DECLARE_METATYPE(Controls)

namespace {

const QString kDataKey = QStringLiteral("data-key");
const QByteArray kBody = QByteArrayLiteral("{\\rtf1\\ansi\\ansicpg936 \\'d5\\'fd\\'ce\\'c4\\par}");

struct Records {
    TestState test;
    RecordStore store{test.state(), test.prompter()};

    // A new row of the module, selected as the tree would select it.
    int add(ModuleKind module)
    {
        CDbConnection& db = test.state().moduleConnection(module);
        db.execute(QStringLiteral("INSERT INTO %1 (userId, folderType, parentId, orderId) VALUES (?, 10, ?, 7)")
                       .arg(moduleTable(module)),
                   {test.state().user.id, QStringLiteral("10001999999999999999999999")});
        const int id = static_cast<int>(db.lastInsertRowId());
        test.state().selection(module).currentRecordId = id;
        return id;
    }
    RecordStore::SaveOutcome save(ModuleKind module, const Controls& controls = {})
    {
        RecordValues values;
        values.caption = QStringLiteral("标题 caption");
        values.summary = QStringLiteral("提要 summary");
        values.dairyDate = QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5));
        values.weather = QStringLiteral("晴转多云");
        values.account = {QStringLiteral("帐户"), QStringLiteral("pass'word"), QStringLiteral("https://例子.cn"),
                          QStringLiteral("备注\n第二行")};
        return store.save(module, values, controls, kBody);
    }
    Recordset row(ModuleKind module, int id)
    {
        Recordset rs;
        test.state().moduleConnection(module).OpenRecordset(
            rs, QStringLiteral("SELECT * FROM %1 WHERE id=?").arg(moduleTable(module)), {id});
        return rs;
    }
    QByteArray stored(ModuleKind module, int id, const QString& column)
    {
        return FieldConversions::ReadLongBinary(row(module, id), column);
    }
};

} // namespace

class RecordsTest : public QObject {
    Q_OBJECT

private slots:
    void protectionLevelsAndKeys_data()
    {
        QTest::addColumn<Controls>("saved");
        QTest::addColumn<QVariant>("typed"); // the answer at the key prompt: a text, or none for 取消
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("loaded");
        QTest::addColumn<bool>("summaryReadable");
        const Controls none;
        const Controls checked{false, true, QStringLiteral("自设key"), false};
        const Controls strengthened{true, true, QStringLiteral("自设key"), true};
        const Controls dataKeyAsCustom{false, true, kDataKey, false};
        QTest::newRow("no custom key") << none << QVariant() << false << true << true;
        QTest::newRow("checked, right key") << checked << QVariant(QStringLiteral("自设key")) << true << true << true;
        QTest::newRow("checked, wrong key") << checked << QVariant(QStringLiteral("other")) << true << false << false;
        QTest::newRow("checked, cancelled") << checked << QVariant() << true << false << false;
        QTest::newRow("custom key equal to the data key, another text")
            << dataKeyAsCustom << QVariant(QStringLiteral("anything")) << true << false << false;
        QTest::newRow("custom key equal to the data key, typed")
            << dataKeyAsCustom << QVariant(kDataKey) << true << true << true;
        QTest::newRow("custom key equal to the data key, cancelled")
            << dataKeyAsCustom << QVariant() << true << true << true;
        // Keys that differ only outside the code page are two keys; one kept with '?' by an earlier
        // version still opens with the key as it was typed.
        QTest::newRow("checked, other key outside the code page")
            << Controls{false, true, QStringLiteral("Käy"), false} << QVariant(QStringLiteral("Köy")) << true << false
            << false;
        QTest::newRow("checked, kept with '?' earlier") << Controls{false, true, QStringLiteral("K?y"), false}
                                                        << QVariant(QStringLiteral("Käy")) << true << true << true;
        QTest::newRow("strengthened, right key")
            << strengthened << QVariant(QStringLiteral("自设key")) << true << true << true;
        QTest::newRow("strengthened, wrong key")
            << strengthened << QVariant(QStringLiteral("x")) << true << true << false;
        QTest::newRow("strengthened, cancelled") << strengthened << QVariant() << true << true << false;
    }

    void protectionLevelsAndKeys()
    {
        QFETCH(Controls, saved);
        QFETCH(QVariant, typed);
        QFETCH(bool, asked);
        QFETCH(bool, loaded);
        QFETCH(bool, summaryReadable);
        for (ModuleKind module : kAllModules) {
            Records r;
            const int id = r.add(module);
            QVERIFY(r.save(module, saved).saved);
            ScriptedPrompter& prompter = r.test.prompter();
            prompter.textAnswers = {typed.isValid() ? std::optional<QString>(typed.toString()) : std::nullopt};

            const RecordStore::LoadOutcome outcome = r.store.load(module);
            QCOMPARE(prompter.confirmations.size(), asked ? 1 : 0);
            QCOMPARE(outcome.loaded, loaded);
            if (!loaded) {
                QCOMPARE(prompter.lastMessage(), QStringLiteral("你输入的自设密钥不正确！"));
                QCOMPARE(outcome.statusText, moduleInfo(module).readErrorText);
                QCOMPARE(r.test.state().selection(module).currentRecordId, -1);
                // A save after a refused key writes nothing.
                const QByteArray before = r.stored(module, id, QStringLiteral("mCaption"));
                const RecordStore::SaveOutcome refused = r.save(module);
                QVERIFY(!refused.saved);
                QCOMPARE(refused.statusText, moduleInfo(module).saveErrorText);
                QCOMPARE(r.stored(module, id, QStringLiteral("mCaption")), before);
                continue;
            }
            QVERIFY(prompter.messages.empty());
            const RecordValues& values = outcome.values;
            QCOMPARE(values.caption, QStringLiteral("标题 caption")); // always under the data key
            QCOMPARE(values.level, saved.customKey ? (saved.strengthen ? 2 : 1) : 0);
            QCOMPARE(values.rank, saved.important ? 1 : 0);
            const QString readable = module == ModuleKind::Pwd ? values.account[1] : values.summary;
            const QString expected =
                module == ModuleKind::Pwd ? QStringLiteral("pass'word") : QStringLiteral("提要 summary");
            QCOMPARE(readable == expected, summaryReadable);
            if (module != ModuleKind::Pwd)
                QCOMPARE(outcome.body == kBody, summaryReadable);
        }
    }

    void storedFormsAreTheTextHelpers()
    {
        for (ModuleKind module : kAllModules) {
            Records r;
            const int id = r.add(module);
            r.test.clock().set(QDateTime(QDate(2026, 12, 8), QTime(11, 22, 33)));
            const QString key = QStringLiteral("自设key");
            const RecordStore::SaveOutcome outcome = r.save(module, {true, true, key, false});
            QVERIFY(outcome.saved);
            QCOMPARE(outcome.statusText, moduleInfo(module).savedText);
            const Recordset row = r.row(module, id);
            const auto bytes = [&](const char* column) {
                return FieldConversions::ReadLongBinary(row, QString::fromLatin1(column));
            };
            QCOMPARE(bytes("mCaption"), TextCipher::EncryptText(kDataKey, QStringLiteral("标题 caption")));
            QCOMPARE(bytes("keyValue"), TextCipher::EncryptText(kDataKey, key));
            QCOMPARE(row.field(QStringLiteral("myKey")), FieldValue(1));
            QCOMPARE(row.field(QStringLiteral("mRank")), FieldValue(1));
            QCOMPARE(row.field(QStringLiteral("updateTime")), FieldValue(QStringLiteral("2026-12-08 11:22:33")));
            if (module == ModuleKind::Pwd) {
                QCOMPARE(bytes("password"), TextCipher::EncryptText(key, QStringLiteral("pass'word")));
                QCOMPARE(bytes("intro"), TextCipher::EncryptText(key, QStringLiteral("备注\n第二行")));
                continue;
            }
            QCOMPARE(bytes("mTitle"), TextCipher::EncryptText(key, QStringLiteral("提要 summary")));
            QCOMPARE(bytes("mContent"), TextCipher::EncryptBytes(key, kBody));
            if (module == ModuleKind::Dairy) {
                QCOMPARE(row.field(QStringLiteral("dairyDate")), FieldValue(QStringLiteral("2026-01-02 03:04:05")));
                QCOMPARE(row.field(QStringLiteral("mWeather")), FieldValue(QStringLiteral("晴转多云")));
            }
        }
    }

    void onlyACheckedKeyWritesItsCheckValue()
    {
        Records r;
        const int id = r.add(ModuleKind::File);
        QVERIFY(r.save(ModuleKind::File, {false, true, QStringLiteral("first"), false}).saved);
        const QByteArray check = r.stored(ModuleKind::File, id, QStringLiteral("keyValue"));
        QVERIFY(!check.isEmpty());
        QVERIFY(r.save(ModuleKind::File, {false, true, QStringLiteral("second"), true}).saved);
        QVERIFY(r.save(ModuleKind::File, {}).saved);
        QCOMPARE(r.stored(ModuleKind::File, id, QStringLiteral("keyValue")), check);
        QCOMPARE(r.row(ModuleKind::File, id).field(QStringLiteral("myKey")), FieldValue(0));

        // Strengthening without a custom key stays under the data key at level 0.
        QVERIFY(r.save(ModuleKind::File, {false, false, QString(), true}).saved);
        QCOMPARE(r.row(ModuleKind::File, id).field(QStringLiteral("myKey")), FieldValue(0));
    }

    void aCustomKeyMustBeTyped()
    {
        Records r;
        const int id = r.add(ModuleKind::Pwd);
        const RecordStore::SaveOutcome outcome = r.save(ModuleKind::Pwd, {false, true, QString(), false});
        QVERIFY(!outcome.saved);
        QCOMPARE(outcome.message, QStringLiteral("您选择了自设密钥，但未输入自设密钥。"));
        QVERIFY(outcome.statusText.isEmpty());
        QVERIFY(r.row(ModuleKind::Pwd, id).field(QStringLiteral("updateTime")).isNull());
    }

    void aFailedSaveLeavesTheRowAsItWas()
    {
        Records r;
        const int id = r.add(ModuleKind::Dairy);
        QVERIFY(r.save(ModuleKind::Dairy).saved);
        const Recordset before = r.row(ModuleKind::Dairy, id);
        // The body is the last value the save sets; refusing it must undo everything else.
        r.test.state()
            .moduleConnection(ModuleKind::Dairy)
            .execute(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE OF mContent ON tb_Dairy "
                                    "BEGIN SELECT RAISE(ABORT, 'disk full'); END"));
        r.test.clock().advanceMs(60000);
        RecordValues changed;
        changed.caption = QStringLiteral("changed");
        const RecordStore::SaveOutcome outcome = r.store.save(
            ModuleKind::Dairy, changed, {true, true, QStringLiteral("k"), false}, QByteArray("{\\rtf1 x}"));
        QVERIFY(!outcome.saved);
        QCOMPARE(outcome.statusText, QStringLiteral("修改日记出错"));
        const Recordset after = r.row(ModuleKind::Dairy, id);
        for (const QString& column : before.columnNames())
            QCOMPARE(after.field(column), before.field(column));
    }

    // Every field comes back exactly as typed, whatever the code page lacks; a value that cannot be
    // stored at all is refused by name before anything is written.
    void everyFieldKeepsWhatWasTyped()
    {
        const QString typed = QStringLiteral("Pässwörd ß ñ ç 한국 😀");
        for (ModuleKind module : kAllModules) {
            Records r;
            const int id = r.add(module);
            RecordValues values;
            values.caption = typed + QStringLiteral(" 标题");
            values.summary = typed;
            values.weather = typed;
            values.account = {typed, typed + QStringLiteral("1"), typed + QStringLiteral("2"), typed};
            QVERIFY(r.store.save(module, values, {false, true, typed, false}, kBody).saved);
            r.test.prompter().textAnswers = {typed};
            const RecordStore::LoadOutcome outcome = r.store.load(module);
            QVERIFY(outcome.loaded);
            QCOMPARE(outcome.values.caption, values.caption);
            if (module == ModuleKind::Pwd)
                QCOMPARE(outcome.values.account, values.account);
            else
                QCOMPARE(outcome.values.summary, typed);
            if (module == ModuleKind::Dairy)
                QCOMPARE(outcome.values.weather, typed);

            const QByteArray before = r.stored(module, id, QStringLiteral("mCaption"));
            values.account[2] = QStringLiteral("ab") + QChar(0xD83D);
            values.summary = values.account[2];
            const RecordStore::SaveOutcome refused = r.store.save(module, values, {}, kBody);
            QVERIFY(!refused.saved);
            QVERIFY(refused.message.contains(module == ModuleKind::Pwd ? QStringLiteral("“地址信息”的第 3 个字符")
                                                                       : QStringLiteral("“提要”的第 3 个字符")));
            QCOMPARE(r.stored(module, id, QStringLiteral("mCaption")), before);
        }
    }

    // A body that could not be read is written back unchanged, so its record keeps the key it is under.
    void anUnreadBodyKeepsItsKey()
    {
        for (ModuleKind module : {ModuleKind::File, ModuleKind::Dairy}) {
            Records r;
            const int id = r.add(module);
            QVERIFY(r.save(module, {false, true, QStringLiteral("old"), false}).saved);
            RecordValues values;
            values.recordKey = QStringLiteral("old");
            values.level = RecordProtection::kCheckedKey;
            for (const Controls& other : {Controls{}, Controls{false, true, QStringLiteral("new"), false},
                                          Controls{false, true, QStringLiteral("old"), true}}) {
                const RecordStore::SaveOutcome refused = r.store.save(module, values, other, std::nullopt);
                QVERIFY(!refused.saved);
                QCOMPARE(refused.message, RecordStore::kBodyKeepsKeyText);
            }
            QCOMPARE(r.stored(module, id, QStringLiteral("mContent")), TextCipher::EncryptBytes("old", kBody));
            values.caption = QStringLiteral("renamed");
            QVERIFY(r.store.save(module, values, {true, true, QStringLiteral("old"), false}, std::nullopt).saved);
            QCOMPARE(r.stored(module, id, QStringLiteral("mContent")), TextCipher::EncryptBytes("old", kBody));
        }
    }

    void nullColumnsReadAsTheirDefaults()
    {
        Records r;
        r.add(ModuleKind::Dairy);
        r.test.clock().set(QDateTime(QDate(2026, 12, 8), QTime(8, 0)));
        const RecordStore::LoadOutcome outcome = r.store.load(ModuleKind::Dairy);
        QVERIFY(outcome.loaded);
        const RecordValues& values = outcome.values;
        QVERIFY(values.caption.isEmpty() && values.summary.isEmpty() && values.weather.isEmpty());
        QVERIFY(outcome.body.isEmpty());
        QCOMPARE(values.created, r.test.clock().now());
        QCOMPARE(values.dairyDate, r.test.clock().now());
        QCOMPARE(values.orderId, 7);
        QCOMPARE(r.test.state().selection(ModuleKind::Dairy).currentOrderId, 7);
        QVERIFY(outcome.statusText.startsWith(QStringLiteral("日记创建于：")));
        QVERIFY(outcome.statusText.contains(QStringLiteral(" 更新于：")));

        // A row that is gone reads as the module's read error.
        r.test.state().selection(ModuleKind::Dairy).currentRecordId = 999;
        QCOMPARE(r.store.load(ModuleKind::Dairy).statusText, QStringLiteral("读取日记出错"));
    }
};

QTEST_GUILESS_MAIN(RecordsTest)
#include "tst_records.moc"
