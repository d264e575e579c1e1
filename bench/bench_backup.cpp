// The dated backup of a large database, as a start on a backup day makes it: open, copy, rename; and the
// restore of such a backup: copy beside the database, check, save the database, rename.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "app/BackupRestore.h"
#include "app/DatedBackup.h"
#include "storage/CDbConnection.h"
#include "storage/Clock.h"
#include "storage/Schema.h"
#include "storage/Transaction.h"

namespace {

// A working directory with a database of `megabytes` of document bodies, made once per size.
struct Fixture {
    explicit Fixture(int megabytes)
    {
        QDir::setCurrent(dir.path());
        QDir().mkdir(QStringLiteral("backup"));
        Schema::CreateDatabase(QStringLiteral("data/tiv.dat"));
        CDbConnection db;
        db.OpenConnection(Schema::kConnectionString);
        Transaction transaction(db);
        for (int i = 0; i < megabytes * 16; ++i) {
            db.execute(QStringLiteral("INSERT INTO tb_Article (userId, mContent, orderId) VALUES ('{U}', ?, ?)"),
                       {QByteArray(64 * 1024, static_cast<char>('a' + i % 26)), i});
        }
        transaction.commit();
        bytes = QFileInfo(QStringLiteral("data/tiv.dat")).size();
    }
    QTemporaryDir dir;
    qint64 bytes = 0;
};

Fixture& fixtureFor(const benchmark::State& state)
{
    static std::map<int, std::unique_ptr<Fixture>> fixtures;
    auto& fixture = fixtures[static_cast<int>(state.range(0))];
    if (!fixture)
        fixture = std::make_unique<Fixture>(static_cast<int>(state.range(0)));
    QDir::setCurrent(fixture->dir.path());
    return *fixture;
}

void BM_DatedBackup(benchmark::State& state)
{
    const Fixture& fixture = fixtureFor(state);
    const FixedClock clock(QDateTime(QDate(2026, 12, 12), QTime(9, 0)));
    const QString made = DatedBackup::backupPath(clock.now().date());
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(made);
        state.ResumeTiming();
        if (DatedBackup::run(clock) != DatedBackup::Result::Made)
            state.SkipWithError("no backup was made");
    }
    state.SetBytesProcessed(state.iterations() * fixture.bytes);
}
BENCHMARK(BM_DatedBackup)->Arg(1)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Restore(benchmark::State& state)
{
    const Fixture& fixture = fixtureFor(state);
    {
        // The restore checks for an account.
        CDbConnection db;
        db.OpenConnection(Schema::kConnectionString);
        db.execute(
            QStringLiteral("INSERT INTO tb_User (loginTimes) SELECT 1 WHERE NOT EXISTS (SELECT 1 FROM tb_User)"));
    }
    const FixedClock clock(QDateTime(QDate(2026, 12, 13), QTime(9, 0)));
    DatedBackup::makeNow(clock, {}, DatedBackup::kKeepAll);
    const QString backup = DatedBackup::backupPath(clock.now().date());
    for (auto _ : state) {
        const BackupRestore::Result result = BackupRestore::restore(backup, {}, clock.now());
        state.PauseTiming();
        if (result.outcome != BackupRestore::Outcome::Done)
            state.SkipWithError("the backup was not restored");
        QFile::remove(result.savedPath);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * fixture.bytes);
}
BENCHMARK(BM_Restore)->Arg(1)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
