// The program at 10,000, 100,000 and 1,000,000 rows of one module: from the login to the main window,
// the first look at the module's tree, the next order number of an add and a move to the top, with
// the memory each leaves in use.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <map>
#include <memory>
#include <utility>

#include <unistd.h>

#include "app/CMainFrame.h"
#include "app/Startup.h"
#include "crypto/TextCipher.h"
#include "SilentPrompter.h"
#include "state/AppState.h"
#include "state/RandomLetters.h"
#include "storage/Clock.h"
#include "storage/Schema.h"
#include "storage/Transaction.h"
#include "tree/CIndexView.h"
#include "tree/TreeCommands.h"

namespace {

constexpr int kFolders = 100;

// Resident memory of the process in MB.
double residentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

// Records in folder `f` of a table of `rows` rows: the last folder holds `lastFolder` of them (0: an
// even share) and the others share the rest evenly.
int recordsIn(int f, int rows, int lastFolder)
{
    if (lastFolder == 0)
        return rows / kFolders - 1;
    if (f == kFolders - 1)
        return lastFolder;
    const int others = rows - kFolders - lastFolder;
    return others / (kFolders - 1) + (f < others % (kFolders - 1) ? 1 : 0);
}

// A database whose documents table holds `rows` rows of one user: 100 folders and their records, with
// 20-character Chinese captions; the last record of the last folder has the highest id. Made once per
// layout and copied for each use.
const QString& databaseOf(int rows, int lastFolder = 0)
{
    static QTemporaryDir store;
    static std::map<std::pair<int, int>, QString> made;
    if (const auto found = made.find({rows, lastFolder}); found != made.end())
        return found->second;
    const QString path = store.filePath(QStringLiteral("rows-%1-%2.dat").arg(rows).arg(lastFolder));
    Schema::CreateDatabase(path);
    CDbConnection db;
    db.openFile(path, CDbConnection::parseConnectionString(Schema::kConnectionString).password);
    const QString key = QStringLiteral("e1079aa3bbfd303f");
    AesCipher cipher;
    Transaction transaction(db);
    const QString insert = QStringLiteral("INSERT INTO tb_Article (userId, mCaption, folderType, parentId, orderId, "
                                          "mRank) VALUES ('{BENCH-USER}', ?, ?, ?, ?, ?)");
    int order = 0;
    for (int f = 0; f < kFolders; ++f) {
        const QString number = QString::number(10001 + f);
        const auto caption = [&](int record) {
            return TextCipher::EncryptText(
                cipher, key, QStringLiteral("个人信息管理第%1夹第%2条记录的标题文字").arg(f).arg(record).left(20));
        };
        db.execute(insert, {caption(-1), 1, number + QStringLiteral("00000").repeated(4) + "0", ++order, 0});
        const int records = recordsIn(f, rows, lastFolder);
        for (int r = 0; r < records; ++r)
            db.execute(insert, {caption(r), 10, number + QStringLiteral("99999").repeated(4) + "9", ++order,
                                r % 50 == 0 ? 1 : 0});
    }
    transaction.commit();
    return made.emplace(std::pair{rows, lastFolder}, path).first->second;
}

// A working directory holding a copy of the database, and the state of a logged-in run on it.
struct Run {
    explicit Run(int rows, int lastFolder = 0) : state(clock, letters)
    {
        QDir::setCurrent(dir.path());
        QDir().mkpath(QStringLiteral("data"));
        QFile::copy(databaseOf(rows, lastFolder), QStringLiteral("data/tiv.dat"));
        // On disk before anything is timed: else the first commit waits for the whole copy.
        QFile copy(QStringLiteral("data/tiv.dat"));
        if (copy.open(QIODevice::ReadWrite))
            ::fsync(copy.handle());
        Startup::openConnections(state, prompter);
        Schema::EnsureIndexes(state.mainConnection);
        state.user.id = QStringLiteral("{BENCH-USER}");
        state.user.dataKey = QStringLiteral("e1079aa3bbfd303f");
    }

    QTemporaryDir dir;
    FixedClock clock{QDateTime(QDate(2026, 12, 8), QTime(9, 0))};
    FixedLetters letters{QStringLiteral("abc")};
    SilentPrompter prompter;
    AppState state;
};

void BM_OpenConnections(benchmark::State& bench)
{
    Run run(10000);
    for (auto _ : bench) {
        Startup::openConnections(run.state, run.prompter);
        benchmark::DoNotOptimize(run.state.mainConnection.handle());
    }
}
BENCHMARK(BM_OpenConnections)->Unit(benchmark::kMillisecond);

// What the user waits for after the login: the main window made and shown.
void BM_LoginToMainWindow(benchmark::State& bench)
{
    Run run(static_cast<int>(bench.range(0)));
    double memory = -1;
    for (auto _ : bench) {
        const double before = residentMb();
        auto frame = std::make_unique<CMainFrame>(run.state, run.prompter);
        frame->show();
        QApplication::processEvents();
        if (memory < 0) // the first time only: later ones reuse what the first freed
            memory = residentMb() - before;
        bench.PauseTiming();
        frame.reset();
        QApplication::processEvents();
        bench.ResumeTiming();
    }
    bench.counters["memory_mb"] = memory;
}
BENCHMARK(BM_LoginToMainWindow)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);

// The first look at the module: its tree read, decrypted and shown.
void BM_ShowModuleTree(benchmark::State& bench)
{
    Run run(static_cast<int>(bench.range(0)));
    double memory = -1;
    for (auto _ : bench) {
        bench.PauseTiming();
        auto frame = std::make_unique<CMainFrame>(run.state, run.prompter);
        frame->show();
        QApplication::processEvents();
        const double before = residentMb();
        bench.ResumeTiming();
        frame->switchModule(ModuleKind::File);
        QApplication::processEvents();
        if (memory < 0)
            memory = residentMb() - before;
        bench.PauseTiming();
        frame.reset();
        QApplication::processEvents();
        bench.ResumeTiming();
    }
    bench.counters["memory_mb"] = memory;
}
BENCHMARK(BM_ShowModuleTree)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_NextOrderId(benchmark::State& bench)
{
    Run run(static_cast<int>(bench.range(0)));
    for (auto _ : bench)
        benchmark::DoNotOptimize(TreeCommands::NextOrderId(run.state.mainConnection, ModuleKind::File));
}
BENCHMARK(BM_NextOrderId)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// The last record of the last folder moved to the top, its tree updated: every record of the folder
// takes a new number. Arguments: the table's rows, the folder's records (0: a hundredth of the table).
// The cost follows the folder: compare a folder of 10,000 records in 100,000 and in 1,000,000 rows, and
// one of about 100 in 10,000 and in 1,000,000 rows.
void BM_MoveToTop(benchmark::State& bench)
{
    const int rows = static_cast<int>(bench.range(0));
    Run run(rows, static_cast<int>(bench.range(1)));
    CMainFrame frame(run.state, run.prompter);
    frame.switchModule(ModuleKind::File);
    int record = rows; // the last record, then the one that has become last
    for (auto _ : bench) {
        bench.PauseTiming();
        run.state.selection(ModuleKind::File).currentRecordId = record--;
        bench.ResumeTiming();
        frame.indexView()->moveToTop();
    }
}
BENCHMARK(BM_MoveToTop)
    ->Args({10000, 0})
    ->Args({100000, 0})
    ->Args({1000000, 0})
    ->Args({100000, 10000})
    ->Args({1000000, 10000})
    ->Args({1000000, 100})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
