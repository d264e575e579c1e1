// Reading many rows with a long-binary column through a recordset, as the trees do at start-up.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>

#include "storage/CDbConnection.h"
#include "storage/FieldConversions.h"
#include "storage/Recordset.h"
#include "storage/Schema.h"
#include "storage/Transaction.h"

namespace {

// One database of `rows` documents, made once per process.
struct Fixture {
    explicit Fixture(int rows)
    {
        QDir::setCurrent(dir.path());
        Schema::CreateDatabase(QStringLiteral("data/tiv.dat"));
        db.OpenConnection(Schema::kConnectionString);
        Transaction transaction(db);
        for (int i = 0; i < rows; ++i) {
            const QByteArray caption = QByteArray::number(i).repeated(6).left(40);
            db.execute(QStringLiteral("INSERT INTO tb_Article (userId, mCaption, orderId, folderType, parentId, mRank) "
                                      "VALUES ('{U}', ?, ?, 10, ?, 0)"),
                       {caption, i, QStringLiteral("10001999999999999999999999")});
        }
        transaction.commit();
    }
    QTemporaryDir dir;
    CDbConnection db;
};

void BM_ReadRowsWithLongBinary(benchmark::State& state)
{
    const int rows = static_cast<int>(state.range(0));
    static Fixture fixture(rows);
    for (auto _ : state) {
        Recordset rs;
        fixture.db.OpenRecordset(
            rs,
            QStringLiteral("SELECT id, mCaption, userId, createTime, orderId, folderType, parentId, "
                           "mRank FROM tb_Article WHERE userId=? ORDER BY parentId, orderId"),
            {QStringLiteral("{U}")});
        qint64 bytes = 0;
        for (rs.moveFirst(); !rs.isEof(); rs.moveNext()) {
            bytes += FieldConversions::ReadLongBinary(rs, QStringLiteral("mCaption")).size();
            bytes += FieldConversions::toText(rs.field(QStringLiteral("parentId"))).size();
            bytes += FieldConversions::toInt(rs.field(QStringLiteral("id")));
        }
        benchmark::DoNotOptimize(bytes);
    }
    state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_ReadRowsWithLongBinary)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
