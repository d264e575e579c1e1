// Search: what counts as a match, and the search over the database's encrypted rows.
#include <QtTest>

#include <atomic>

#include "app/RecordSearch.h"
#include "crypto/TextCipher.h"
#include "records/RecordStore.h"
#include "records/RtfPlainText.h"
#include "records/SearchFolding.h"
#include "storage/CDbConnection.h"
#include "storage/Schema.h"
#include "storage/Statement.h"
#include "storage/Transaction.h"
#include "support/TestState.h"
#include "tree/TreeCommands.h"

namespace {

const QString kUser = QStringLiteral("{11111111-2222-3333-4444-555555555555}");
const QString kDataKey = QStringLiteral("data-key");
const QString kFolderPath = QStringLiteral("10001") + QStringLiteral("00000").repeated(4) + QStringLiteral("0");
const QString kRecordPath = QStringLiteral("10001") + QStringLiteral("99999").repeated(4) + QStringLiteral("9");

// A body as the editor writes one: a font and a colour table, and the text as code page 936 escapes.
QByteArray rtfOf(const QString& text)
{
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}}"
                     "{\\colortbl;\\red255\\green0\\blue0;}\\pard\\plain\\f0\\fs24\\cf1 ";
    QStringEncoder gbk("GB18030");
    const QByteArray bytes = gbk.encode(text);
    for (const char byte : bytes) {
        const auto b = static_cast<uchar>(byte);
        if (b == '\n')
            rtf += "\\par ";
        else if (b < 0x80)
            rtf += byte;
        else
            rtf += "\\'" + QByteArray::number(b, 16);
    }
    return rtf + "\\par}";
}

struct Row {
    ModuleKind module = ModuleKind::File;
    QString path = kRecordPath;
    QString caption{};
    QString summary{};
    QString body{};
    int level = 0;
    QString key = kDataKey;
    std::array<QString, 3> account{}; // name, password, remarks
};

int insert(CDbConnection& db, const Row& row)
{
    AesCipher cipher;
    const QByteArray caption = TextCipher::EncryptText(cipher, kDataKey, row.caption);
    const int type = row.path.endsWith(u'0') ? 1 : 10;
    if (row.module == ModuleKind::Pwd) {
        db.execute(QStringLiteral("INSERT INTO tb_Pwd (userId, mCaption, folderType, parentId, myKey, userName, "
                                  "password, intro) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
                   {kUser, caption, type, row.path, row.level, TextCipher::EncryptText(cipher, row.key, row.account[0]),
                    TextCipher::EncryptText(cipher, row.key, row.account[1]),
                    TextCipher::EncryptText(cipher, row.key, row.account[2])});
    } else {
        db.execute(QStringLiteral("INSERT INTO %1 (userId, mCaption, folderType, parentId, myKey, mTitle, mContent) "
                                  "VALUES (?, ?, ?, ?, ?, ?, ?)")
                       .arg(moduleTable(row.module)),
                   {kUser, caption, type, row.path, row.level, TextCipher::EncryptText(cipher, row.key, row.summary),
                    row.body.isEmpty() ? QByteArray() : TextCipher::EncryptBytes(cipher, row.key, rtfOf(row.body))});
    }
    return static_cast<int>(db.lastInsertRowId());
}

SearchQuery query(const QString& text)
{
    return {text, {ModuleKind::File, ModuleKind::Dairy, ModuleKind::Pwd}, kUser, kDataKey, {}};
}

using Hits = std::map<std::pair<ModuleKind, int>, SearchHit>;

// The ends of the searches, received on the test's thread. The workers send them, and QSignalSpy's wait can
// miss a signal sent from another thread.
class Finishes final {
public:
    explicit Finishes(RecordSearch& search)
    {
        QObject::connect(
            &search, &RecordSearch::finished, &m_context,
            [this](quint64 generation, bool complete) {
                m_seen.push_back({generation, complete});
                m_loop.quit();
            },
            Qt::QueuedConnection);
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, &m_loop, &QEventLoop::quit);
    }
    // Whether another search ended within the time.
    bool wait(int ms)
    {
        const std::size_t before = m_seen.size();
        m_timer.start(ms);
        while (m_seen.size() == before && m_timer.isActive())
            m_loop.exec();
        m_timer.stop();
        return m_seen.size() > before;
    }
    // The end seen last; the ends of searchAll's searches reach every Finishes of their search.
    std::pair<quint64, bool> last() const { return m_seen.empty() ? std::pair<quint64, bool>() : m_seen.back(); }
    std::size_t count() const { return m_seen.size(); }

private:
    QObject m_context;
    QEventLoop m_loop;
    QTimer m_timer;
    std::vector<std::pair<quint64, bool>> m_seen;
};

// Runs a search to its end and returns its hits by module and id.
Hits searchAll(RecordSearch& search, const SearchQuery& q)
{
    Hits hits;
    Finishes finished(search);
    // Received on this thread too, ahead of the end that follows them: two workers never fill the map at once.
    QObject receiver;
    QObject::connect(
        &search, &RecordSearch::hitsFound, &receiver,
        [&](quint64, const QList<SearchHit>& found) {
            for (const SearchHit& hit : found)
                hits[{hit.module, hit.id}] = hit;
        },
        Qt::QueuedConnection);
    const quint64 generation = search.start(q);
    // The limit only catches a search that never ends: the sanitizers and a busy machine slow it many times.
    const bool ended = finished.wait(120000);
    [&] {
        QVERIFY(ended);
        QCOMPARE(finished.last().first, generation);
    }();
    return hits;
}

} // namespace

class SearchTest : public QObject {
    Q_OBJECT

private slots:
    void matching_data();
    void matching();
    void bodyTextWithoutMarkup();
    void searchesEveryFieldOfTheUser();
    void cancelledMidway();
    void bodyTextCopies();
};

void SearchTest::matching_data()
{
    QTest::addColumn<QString>("needle");
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("at");
    QTest::newRow("Chinese substring") << "公园散步"
                                       << "今天我们去公园散步了" << qsizetype(5);
    QTest::newRow("Latin case") << "TiV 2024"
                                << "写于 tiv 2024 年" << qsizetype(3);
    QTest::newRow("full-width letters and digits") << "ABC123"
                                                   << "编号ＡＢＣ１２３" << qsizetype(2);
    QTest::newRow("full-width needle, half-width text") << "ｐａｓｓ，１"
                                                        << "pass,1" << qsizetype(0);
    QTest::newRow("traditional finds simplified") << "個人資料"
                                                  << "我的个人资料" << qsizetype(2);
    QTest::newRow("simplified finds traditional") << "记录"
                                                  << "日記記錄" << qsizetype(2);
    QTest::newRow("no match") << "公园"
                              << "公元前" << qsizetype(-1);
    QTest::newRow("empty needle matches nothing") << ""
                                                  << "任何文字" << qsizetype(-1);
}

void SearchTest::matching()
{
    QFETCH(QString, needle);
    QFETCH(QString, text);
    QFETCH(qsizetype, at);
    QString buffer;
    QCOMPARE(SearchFolding::Matcher(needle).find(text, buffer), at);
}

void SearchTest::bodyTextWithoutMarkup()
{
    RtfPlainText pass;
    const QByteArray rtf = rtfOf(QStringLiteral("第一段 Tiv\n第二段"));
    QCOMPARE(pass.text(rtf), QStringLiteral("第一段 Tiv\n第二段\n"));
    // Tables, pictures, unknown destinations and field instructions are no text; \uN and its stand-in are one
    // character; \upr's ANSI half repeats its Unicode half.
    const QByteArray mixed = "{\\rtf1\\ansi\\ansicpg936{\\fonttbl{\\f0 Arial;}}{\\*\\generator par;}"
                             "{\\pict\\pngblip 89504e47}{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}}"
                             "\\uc1\\u25991?\\'d7\\'d6 {\\upr{ansi}{\\*\\ud{uni}}}\\tab end\\line x}";
    QCOMPARE(pass.text(mixed), QStringLiteral("link文字 uni end\nx"));
}

void SearchTest::searchesEveryFieldOfTheUser()
{
    TestState test(kUser, kDataKey);
    CDbConnection& db = test.db();
    insert(db, {.path = kFolderPath, .caption = QStringLiteral("旅行")});
    const int byCaption = insert(db, {.caption = QStringLiteral("西湖游记")});
    const int bySummary = insert(db, {.caption = QStringLiteral("a"), .summary = QStringLiteral("游西湖")});
    const int byBody = insert(db, {.module = ModuleKind::Dairy,
                                   .caption = QStringLiteral("b"),
                                   .body = QStringLiteral("今天去了西湖，paragraph")});
    const int customCaption = insert(db, {.caption = QStringLiteral("西湖密"), .level = 1, .key = "own"});
    const int customBody = insert(
        db, {.caption = QStringLiteral("c"), .body = QStringLiteral("西湖"), .level = 2, .key = QStringLiteral("own")});
    const int byRemarks =
        insert(db, {.module = ModuleKind::Pwd,
                    .caption = QStringLiteral("d"),
                    .account = {QStringLiteral("me"), QStringLiteral("西湖"), QStringLiteral("西湖边")}});
    insert(db, {.module = ModuleKind::Pwd, .caption = QStringLiteral("e"), .account = {"x", QStringLiteral("西湖")}});
    db.execute(QStringLiteral("UPDATE tb_Article SET userId='{other}' WHERE id=?"),
               {insert(db, {.caption = QStringLiteral("西湖 of another user")})});

    RecordSearch search(test.state().mainConnection.filePath(), DatabaseKey());
    Hits hits = searchAll(search, query(QStringLiteral("西湖")));
    const auto file = [](int id) {
        return std::pair{ModuleKind::File, id};
    };
    QCOMPARE(hits.size(), std::size_t(5));
    QVERIFY(hits.contains(file(bySummary)));
    QCOMPARE(hits.at(file(byCaption)).folderPath, QStringLiteral("旅行"));
    const SearchHit& body = hits.at({ModuleKind::Dairy, byBody});
    QCOMPARE(body.snippet, QStringLiteral("今天去了西湖，paragraph "));
    QCOMPARE(body.matchStart, 4);
    QVERIFY(hits.at(file(customCaption)).captionOnly);
    QVERIFY(!hits.contains(file(customBody)));
    QCOMPARE(hits.at({ModuleKind::Pwd, byRemarks}).snippet, QStringLiteral("西湖边"));

    // The markup around a body is never matched; a custom key in memory opens its record to the search.
    QVERIFY(!searchAll(search, query(QStringLiteral("fonttbl"))).contains({ModuleKind::Dairy, byBody}));
    QVERIFY(searchAll(search, query(QStringLiteral("par"))).contains({ModuleKind::Dairy, byBody}));
    SearchQuery withKey = query(QStringLiteral("西湖"));
    withKey.knownKeys[file(customBody)] = QStringLiteral("own");
    hits = searchAll(search, withKey);
    QVERIFY(hits.contains(file(customBody)) && !hits.at(file(customBody)).captionOnly);
}

void SearchTest::cancelledMidway()
{
    TestState test(kUser, kDataKey);
    const QString filler = QStringLiteral("平常的一天。").repeated(100);
    {
        std::vector<std::vector<FieldValue>> rows;
        AesCipher cipher;
        for (int i = 0; i < 1000; ++i)
            rows.push_back({kUser, TextCipher::EncryptText(cipher, kDataKey, QStringLiteral("记录")),
                            TextCipher::EncryptBytes(cipher, kDataKey, rtfOf(filler + QStringLiteral("心情"))),
                            kRecordPath});
        Transaction transaction(test.db());
        test.db().executeEach(QStringLiteral("INSERT INTO tb_Dairy (userId, mCaption, mContent, parentId, myKey) "
                                             "VALUES (?, ?, ?, ?, 0)"),
                              rows);
        transaction.commit();
    }
    RecordSearch search(test.state().mainConnection.filePath(), DatabaseKey());
    Finishes finished(search);
    std::atomic<int> delivered = 0;
    // Cancelled on the worker, at its first hit: no row after that may be read.
    QObject::connect(
        &search, &RecordSearch::hitsFound, &search,
        [&](quint64, const QList<SearchHit>& hits) {
            delivered += static_cast<int>(hits.size());
            search.cancel();
        },
        Qt::DirectConnection);
    search.start(query(QStringLiteral("心情")));
    QVERIFY(!finished.wait(500));
    QVERIFY2(delivered < 10, qPrintable(QString::number(delivered)));

    // The next search runs to its end.
    QObject::disconnect(&search, &RecordSearch::hitsFound, nullptr, nullptr);
    const Hits hits = searchAll(search, query(QStringLiteral("记录")));
    QCOMPARE(hits.size(), std::size_t(RecordSearch::kMaxHits));
    QCOMPARE(finished.count(), std::size_t(1));
    QCOMPARE(finished.last().second, false); // stopped at the limit, not complete
}

void SearchTest::bodyTextCopies()
{
    TestState test(kUser, kDataKey);
    AppState& state = test.state();
    CDbConnection& db = test.db();
    RecordStore store(state, test.prompter());
    const int folder = insert(db, {.path = kFolderPath, .caption = QStringLiteral("游记")});
    const int record = insert(db, {.caption = QStringLiteral("杭州")});
    const int other = insert(db, {.caption = QStringLiteral("苏州")});
    const auto save = [&](int id, const QString& body, const RecordProtection::Controls& protection = {}) {
        state.selection(ModuleKind::File).currentRecordId = id;
        RecordValues values;
        values.caption = QStringLiteral("标题");
        QVERIFY(store.save(ModuleKind::File, values, protection, rtfOf(body)).saved);
    };
    RecordSearch search(state.mainConnection.filePath(), DatabaseKey());
    const auto found = [&](const QString& text) {
        return searchAll(search, query(text)).contains({ModuleKind::File, record});
    };
    const auto copies = [&] {
        Statement count(db.handle(), QStringLiteral("SELECT count(*) FROM tb_ArticleText"));
        count.step();
        return count.value(0).integer();
    };
    const auto setBody = [&](const QString& body) {
        db.execute(QStringLiteral("UPDATE tb_Article SET mContent=? WHERE id=?"),
                   {TextCipher::EncryptBytes(kDataKey, rtfOf(body)), record});
    };

    // The clock stands still: both saves write the same updateTime.
    save(record, QStringLiteral("西湖的柳树"));
    save(record, QStringLiteral("断桥残雪"));
    save(other, QStringLiteral("寒山寺"));
    QVERIFY(found(QStringLiteral("断桥残雪")));
    QVERIFY(!found(QStringLiteral("西湖")));
    // The copy is what the search reads while it belongs to the body.
    db.execute(QStringLiteral("UPDATE tb_Article SET mContent=zeroblob(length(mContent)) WHERE id=?"), {record});
    QVERIFY(found(QStringLiteral("断桥残雪")));

    // Bodies changed behind the store's back: of another length, or of the same length with another updateTime.
    setBody(QStringLiteral("三潭印月和雷峰塔"));
    QVERIFY(found(QStringLiteral("雷峰塔")));
    QVERIFY(!found(QStringLiteral("断桥残雪")));
    save(record, QStringLiteral("断桥残雪"));
    setBody(QStringLiteral("平湖秋月"));
    db.execute(QStringLiteral("UPDATE tb_Article SET updateTime='2027-01-01 00:00:00' WHERE id=?"), {record});
    QVERIFY(found(QStringLiteral("平湖秋月")));
    QVERIFY(!found(QStringLiteral("断桥残雪")));

    // Without its copy, or without the table, a body is read as its RTF.
    save(record, QStringLiteral("断桥残雪"));
    db.execute(QStringLiteral("DELETE FROM tb_ArticleText WHERE id=?"), {record});
    QVERIFY(found(QStringLiteral("断桥残雪")));

    // A body under a custom key keeps no copy the data key would open.
    save(record, QStringLiteral("断桥残雪"));
    save(record, QStringLiteral("断桥残雪"), {false, true, QStringLiteral("own"), false});
    QCOMPARE(copies(), 1);

    // Deleting a record, or the folder it is in, deletes its copy.
    TreeCommands commands(state, test.prompter());
    state.currentModule = ModuleKind::File;
    state.selection(ModuleKind::File).currentRecordId = other;
    QVERIFY(commands.DeleteSelected().deleted);
    QCOMPARE(copies(), 0);
    save(record, QStringLiteral("断桥残雪"));
    state.selection(ModuleKind::File).currentRecordId = folder;
    test.prompter().confirmAnswers = {true};
    QVERIFY(commands.DeleteSelected().deleted);
    QCOMPARE(copies(), 0);

    db.execute(QStringLiteral("DROP TABLE tb_ArticleText"));
    const int kept = insert(db, {.body = QStringLiteral("断桥残雪")});
    QVERIFY(searchAll(search, query(QStringLiteral("断桥残雪"))).contains({ModuleKind::File, kept}));
}

QTEST_GUILESS_MAIN(SearchTest)
#include "tst_search.moc"
