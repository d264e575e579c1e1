// The vault with its default parameters: the key derivation, an open against a bare open of the plain format,
// and the conversion of a database of 100,000 records.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "storage/CDbConnection.h"
#include "storage/Schema.h"
#include "storage/Transaction.h"
#include "storage/Vault.h"

namespace {

const QString kPassword = QStringLiteral("一个不短的主密码 correct horse");

// A plain database of `rows` documents (a caption, a summary and a short body each), kept aside as
// plain.dat, and a vault of it at vault.dat; made once per process.
struct Fixture {
    explicit Fixture(int rows)
    {
        QDir::setCurrent(dir.path());
        Schema::CreateDatabase(QStringLiteral("data/tiv.dat"));
        {
            CDbConnection db;
            db.OpenConnection(Schema::kConnectionString);
            Transaction transaction(db);
            for (int i = 0; i < rows; ++i) {
                const QByteArray caption = QByteArray::number(i).repeated(6).left(40);
                db.execute(
                    QStringLiteral("INSERT INTO tb_Article (userId, mCaption, mTitle, mContent, orderId, "
                                   "folderType, parentId, mRank) VALUES ('{U}', ?, ?, ?, ?, 10, ?, 0)"),
                    {caption, caption + caption, caption.repeated(8), i, QStringLiteral("10001999999999999999999999")});
            }
            transaction.commit();
        }
        QFile::copy(QStringLiteral("data/tiv.dat"), QStringLiteral("plain.dat"));
        bytes = QFileInfo(QStringLiteral("plain.dat")).size();
        Vault::toVault(QStringLiteral("data/tiv.dat"), kPassword);
        QFile::rename(QStringLiteral("data/tiv.dat"), QStringLiteral("vault.dat"));
    }
    QTemporaryDir dir;
    qint64 bytes = 0;
};

Fixture& fixture()
{
    static Fixture made(100000);
    QDir::setCurrent(made.dir.path());
    return made;
}

void BM_DeriveKey(benchmark::State& state)
{
    const auto salt = VaultKey::newSalt(VaultKey::defaultParams());
    for (auto _ : state) {
        const SecretBytes key = VaultKey::derive(kPassword, *salt);
        if (key.empty())
            state.SkipWithError("no key");
    }
}
BENCHMARK(BM_DeriveKey)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OpenVault(benchmark::State& state)
{
    fixture();
    for (auto _ : state) {
        CDbConnection db;
        if (Vault::open(db, QStringLiteral("vault.dat"), kPassword) != Vault::Outcome::Done)
            state.SkipWithError("the vault did not open");
    }
}
BENCHMARK(BM_OpenVault)->Unit(benchmark::kMillisecond)->UseRealTime();

// The plain format's open: the engine's own key derivation from the built-in password.
void BM_OpenPlain(benchmark::State& state)
{
    fixture();
    const QString password = CDbConnection::parseConnectionString(Schema::kConnectionString).password;
    for (auto _ : state) {
        CDbConnection db;
        if (!db.openFile(QStringLiteral("plain.dat"), password))
            state.SkipWithError("the database did not open");
    }
}
BENCHMARK(BM_OpenPlain)->Unit(benchmark::kMillisecond)->UseRealTime();

// Each way, one derivation included: to a vault from the plain copy, and back.
void BM_Convert(benchmark::State& state)
{
    Fixture& made = fixture();
    const bool toVault = state.range(0) == 1;
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(QStringLiteral("data/tiv.dat"));
        QFile::copy(toVault ? QStringLiteral("plain.dat") : QStringLiteral("vault.dat"),
                    QStringLiteral("data/tiv.dat"));
        state.ResumeTiming();
        const Vault::Outcome outcome = toVault ? Vault::toVault(QStringLiteral("data/tiv.dat"), kPassword)
                                               : Vault::toPlain(QStringLiteral("data/tiv.dat"), kPassword);
        if (outcome != Vault::Outcome::Done)
            state.SkipWithError("the conversion failed");
    }
    state.SetItemsProcessed(state.iterations() * 100000);
    state.SetBytesProcessed(state.iterations() * made.bytes);
}
BENCHMARK(BM_Convert)->ArgName("toVault")->Arg(1)->Arg(0)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
