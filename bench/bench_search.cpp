// Searching 100,000 documents with 4 KiB RTF bodies: the whole search for a few Chinese characters that one
// body holds, with the bodies' plain-text copies and without them (a database that older versions wrote), the time
// until the first hit of a common phrase reaches the window, and beside them the bare cost of decrypting the same
// body bytes and of reading the rows on one thread.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <condition_variable>
#include <ctime>
#include <memory>
#include <mutex>

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

#include "app/RecordSearch.h"
#include "crypto/TextCipher.h"
#include "records/BodyText.h"
#include "storage/CDbConnection.h"
#include "storage/Schema.h"
#include "storage/Statement.h"
#include "storage/Transaction.h"

namespace {

constexpr int kRecords = 100000;
constexpr int kRareRecord = 99000; // the only body that holds kRare
const QString kUser = QStringLiteral("{BENCH-USER}");
const QString kKey = QStringLiteral("e1079aa3bbfd303f");
const QString kRare = QStringLiteral("鹦鹉螺号");
const QString kCommon = QStringLiteral("公园散步");
const QString kChinese = QStringLiteral("今天天气很好我们一起去公园散步看见许多人在湖边钓鱼孩子们放风筝老人打太极拳"
                                        "晚上回家做饭写日记记录生活中的点点滴滴希望明天也是美好的一天");

QString password()
{
    return CDbConnection::parseConnectionString(Schema::kConnectionString).password;
}

// About 4 KiB of RTF as the editor writes it: font and colour tables, bold and coloured runs, code page 936
// escapes and paragraphs.
QByteArray bodyOf(int record)
{
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fnil\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}}"
                     "{\\colortbl;\\red255\\green0\\blue0;}\\viewkind4\\uc1\\pard\\plain\\f0\\fs24 ";
    QStringEncoder gbk("GB18030");
    for (int paragraph = 0; rtf.size() < 4000; ++paragraph) {
        // Rotating phrases: the common one turns up in about every other body.
        QString text = kChinese.mid((record * 7 + paragraph * 13) % 60, 40) + QStringLiteral("，Tiv 2024。");
        if (record == kRareRecord && paragraph == 3)
            text += kRare;
        rtf += paragraph % 3 == 0 ? "{\\b\\cf1 " : "{";
        const QByteArray bytes = gbk.encode(text);
        for (const char byte : bytes) {
            const auto b = static_cast<uchar>(byte);
            rtf += b < 0x80 ? QByteArray(1, byte) : "\\'" + QByteArray::number(b, 16);
        }
        rtf += "}\\par\r\n";
    }
    return rtf + "}";
}

const QString& database()
{
    static QTemporaryDir store;
    static const QString path = [] {
        const QString file = store.filePath(QStringLiteral("search.dat"));
        Schema::CreateDatabase(file);
        CDbConnection db;
        db.openFile(file, password());
        AesCipher cipher;
        Transaction transaction(db);
        const QString folder = QStringLiteral("10001") + QStringLiteral("00000").repeated(4) + QStringLiteral("0");
        const QString inFolder = QStringLiteral("10001") + QStringLiteral("99999").repeated(4) + QStringLiteral("9");
        db.execute(QStringLiteral("INSERT INTO tb_Article (userId, mCaption, folderType, parentId, myKey) "
                                  "VALUES (?, ?, 1, ?, 0)"),
                   {kUser, TextCipher::EncryptText(cipher, kKey, QStringLiteral("日常")), folder});
        const auto firstRecord = static_cast<int>(db.lastInsertRowId()) + 1;
        std::vector<std::vector<FieldValue>> rows;
        for (int r = 0; r < kRecords; ++r) {
            rows.push_back({kUser, TextCipher::EncryptText(cipher, kKey, QStringLiteral("第%1篇文档的标题").arg(r)),
                            inFolder, TextCipher::EncryptText(cipher, kKey, QStringLiteral("提要：普通的一天")),
                            TextCipher::EncryptBytes(cipher, kKey, bodyOf(r))});
            if (rows.size() == 1000 || r == kRecords - 1) {
                db.executeEach(QStringLiteral("INSERT INTO tb_Article (userId, mCaption, folderType, parentId, "
                                              "myKey, mTitle, mContent) VALUES (?, ?, 10, ?, 0, ?, ?)"),
                               rows);
                rows.clear();
            }
        }
        // The copies a save writes beside each body.
        for (int r = 0; r < kRecords; ++r)
            BodyText::store(db, ModuleKind::File, firstRecord + r, kKey, bodyOf(r));
        transaction.commit();
        return file;
    }();
    return path;
}

// The same database without the copies, as an older version leaves it and start-up finds it.
const QString& databaseWithoutCopies()
{
    static QTemporaryDir folder;
    static const QString path = [] {
        const QString file = folder.filePath(QStringLiteral("old.dat"));
        QFile::copy(database(), file);
        CDbConnection db;
        db.openFile(file, password());
        db.execute(QStringLiteral("DELETE FROM tb_ArticleText"));
        return file;
    }();
    return path;
}

double processSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// One search to its end, through the signals the window hears; first and last in seconds.
struct Timing {
    double first = -1;
    double total = 0;
    double cpu = 0; // of every thread: on a busy machine, what the search would take on two free cores is half this
    int hits = 0;
};

Timing searchOnce(RecordSearch& search, const QString& text)
{
    Timing timing;
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    QElapsedTimer clock;
    const auto hits = QObject::connect(
        &search, &RecordSearch::hitsFound, &search,
        [&](quint64, const QList<SearchHit>& found) {
            std::lock_guard lock(mutex);
            if (timing.first < 0)
                timing.first = static_cast<double>(clock.nsecsElapsed()) / 1e9;
            timing.hits += static_cast<int>(found.size());
        },
        Qt::DirectConnection);
    const auto end = QObject::connect(
        &search, &RecordSearch::finished, &search,
        [&](quint64, bool) {
            std::lock_guard lock(mutex);
            timing.total = static_cast<double>(clock.nsecsElapsed()) / 1e9;
            finished = true;
            done.notify_all();
        },
        Qt::DirectConnection);
    const double cpuBefore = processSeconds();
    clock.start();
    search.start({text, {ModuleKind::File, ModuleKind::Dairy, ModuleKind::Pwd}, kUser, kKey, {}});
    std::unique_lock lock(mutex);
    done.wait(lock, [&] { return finished; });
    timing.cpu = processSeconds() - cpuBefore;
    QObject::disconnect(hits);
    QObject::disconnect(end);
    return timing;
}

RecordSearch& searcher(bool copies = true)
{
    static std::unique_ptr<RecordSearch> searches[2];
    std::unique_ptr<RecordSearch>& search = searches[copies];
    if (!search) {
        search = std::make_unique<RecordSearch>(copies ? database() : databaseWithoutCopies(), DatabaseKey());
        searchOnce(*search, QStringLiteral("预热")); // opens the workers' connections
    }
    return *search;
}

// Every body read for characters that one of them holds.
void BM_SearchRareWords(benchmark::State& bench, bool copies)
{
    RecordSearch& search = searcher(copies);
    Timing timing;
    double cpu = 0;
    for (auto _ : bench) {
        timing = searchOnce(search, kRare);
        cpu += timing.cpu;
        bench.SetIterationTime(timing.total);
    }
    bench.counters["hits"] = timing.hits;
    bench.counters["first_hit_ms"] = timing.first * 1000;
    bench.counters["cpu_ms"] = cpu * 1000 / static_cast<double>(bench.iterations());
    bench.SetItemsProcessed(bench.iterations() * kRecords);
}
BENCHMARK_CAPTURE(BM_SearchRareWords, with_copies, true)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_CAPTURE(BM_SearchRareWords, without_copies, false)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

// What the user sees first: the time until the first hit of a phrase that every other body holds.
void BM_FirstHitOfCommonWords(benchmark::State& bench)
{
    RecordSearch& search = searcher();
    for (auto _ : bench) {
        const Timing timing = searchOnce(search, kCommon);
        bench.SetIterationTime(timing.first);
    }
}
BENCHMARK(BM_FirstHitOfCommonWords)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// The floor: decrypting the same stored bodies, already in memory, on one thread.
void BM_DecryptBodiesOnly(benchmark::State& bench)
{
    CDbConnection db;
    db.openFile(database(), password());
    std::vector<QByteArray> stored;
    Statement rows(db.handle(), QStringLiteral("SELECT mContent FROM tb_Article WHERE mContent IS NOT NULL"));
    while (rows.step())
        stored.push_back(rows.value(0).blob());
    qint64 bytes = 0;
    AesCipher cipher;
    for (auto _ : bench) {
        for (const QByteArray& body : stored) {
            const QByteArray plain = TextCipher::DecryptBytes(cipher, kKey, body);
            bytes += plain.size();
            benchmark::DoNotOptimize(plain.data());
        }
    }
    bench.SetBytesProcessed(bytes);
    bench.SetItemsProcessed(bench.iterations() * static_cast<qint64>(stored.size()));
}
BENCHMARK(BM_DecryptBodiesOnly)->Unit(benchmark::kMillisecond)->Iterations(2);

// The other floor: the database reading the same bodies, or their copies, its pages decrypted and checked, on one
// thread.
void BM_ReadRowsOnly(benchmark::State& bench, const char* statement)
{
    CDbConnection db;
    db.openFile(database(), password());
    qint64 bytes = 0;
    for (auto _ : bench) {
        Statement rows(db.handle(), QString::fromLatin1(statement));
        while (rows.step())
            bytes += sqlite3_column_bytes(rows.handle(), 0);
    }
    bench.SetBytesProcessed(bytes);
}
BENCHMARK_CAPTURE(BM_ReadRowsOnly, bodies, "SELECT mContent FROM tb_Article")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK_CAPTURE(BM_ReadRowsOnly, copies, "SELECT mText FROM tb_ArticleText")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
