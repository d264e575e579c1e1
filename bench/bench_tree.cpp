// Loading a module tree of 100,000 rows: the rows read, every caption decrypted, every node made
// and handed to the tree control.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTreeWidget>

#include "crypto/TextCipher.h"
#include "SilentPrompter.h"
#include "state/AppState.h"
#include "state/RandomLetters.h"
#include "storage/Clock.h"
#include "storage/Recordset.h"
#include "storage/Schema.h"
#include "storage/Transaction.h"
#include "tree/CIndexView.h"
#include "tree/ModuleTree.h"

namespace {

constexpr int kFolders = 100;
constexpr int kRecordsPerFolder = 999; // 100 folders + 99,900 records = 100,000 rows

// One documents table of 100,000 rows with 20-character Chinese captions, made once.
struct Fixture {
    Fixture() : state(clock, letters)
    {
        QDir::setCurrent(dir.path());
        Schema::CreateDatabase(QStringLiteral("data/tiv.dat"));
        state.user.id = QStringLiteral("{BENCH-USER}");
        state.user.dataKey = QStringLiteral("e1079aa3bbfd303f");
        state.mainConnection.OpenConnection(Schema::kConnectionString);
        for (ModuleKind module : kAllModules)
            state.moduleConnection(module).ShareConnection(state.mainConnection);

        CDbConnection& db = state.mainConnection;
        Transaction transaction(db);
        const QString insert = QStringLiteral("INSERT INTO tb_Article (userId, mCaption, folderType, parentId, "
                                              "orderId, mRank) VALUES (?, ?, ?, ?, ?, ?)");
        int order = 0;
        for (int f = 0; f < kFolders; ++f) {
            const QString number = QString::number(10001 + f);
            db.execute(insert, {state.user.id, caption(f, -1), 1, number + QStringLiteral("00000").repeated(4) + "0",
                                ++order, 0});
            for (int r = 0; r < kRecordsPerFolder; ++r)
                db.execute(insert, {state.user.id, caption(f, r), 10,
                                    number + QStringLiteral("99999").repeated(4) + "9", ++order, r % 50 == 0 ? 1 : 0});
        }
        transaction.commit();
    }

    QByteArray caption(int folder, int record) const
    {
        const QString text = QStringLiteral("个人信息管理第%1夹第%2条记录的标题文字").arg(folder).arg(record).left(20);
        return TextCipher::EncryptText(state.user.dataKey, text);
    }

    QTemporaryDir dir;
    FixedClock clock{QDateTime(QDate(2026, 12, 8), QTime(9, 0))};
    FixedLetters letters{QStringLiteral("abc")};
    SilentPrompter prompter;
    AppState state;
};

Fixture& fixture()
{
    static Fixture instance;
    return instance;
}

void BM_BuildTreeNodes(benchmark::State& bench)
{
    AppState& state = fixture().state;
    for (auto _ : bench) {
        Recordset rows;
        ModuleTree::OpenModuleRows(state, ModuleKind::File, rows);
        const ModuleTree::Build build = ModuleTree::build(rows, state.user.dataKey);
        benchmark::DoNotOptimize(build.nodes.data());
    }
    bench.SetItemsProcessed(bench.iterations() * kFolders * (kRecordsPerFolder + 1));
}
BENCHMARK(BM_BuildTreeNodes)->Unit(benchmark::kMillisecond);

void BM_LoadModuleTree(benchmark::State& bench)
{
    AppState& state = fixture().state;
    CIndexView view(state, fixture().prompter);
    for (auto _ : bench) {
        view.LoadModuleTree(ModuleKind::File);
        benchmark::DoNotOptimize(view.tree(ModuleKind::File)->topLevelItemCount());
    }
    bench.SetItemsProcessed(bench.iterations() * kFolders * (kRecordsPerFolder + 1));
}
BENCHMARK(BM_LoadModuleTree)->Unit(benchmark::kMillisecond);

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
