// A document with a 1 MB body, from its row to the editor and back: the load (row read, key resolved,
// fields and body decrypted, RTF read into the editor and laid out) and the save (RTF written, every
// field encrypted, the row written in one transaction), through the real editor view.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTextEdit>

#include "crypto/TextCipher.h"
#include "records/CTivView.h"
#include "records/RtfWriter.h"
#include "SampleBody.h"
#include "SilentPrompter.h"
#include "state/AppState.h"
#include "state/RandomLetters.h"
#include "storage/Clock.h"
#include "storage/Schema.h"

namespace {

struct Fixture {
    Fixture() : state(clock, letters), view(state, prompter)
    {
        QDir::setCurrent(dir.path());
        Schema::CreateDatabase(QStringLiteral("data/tiv.dat"));
        state.user.id = QStringLiteral("{BENCH-USER}");
        state.user.dataKey = QStringLiteral("e1079aa3bbfd303f");
        state.mainConnection.OpenConnection(Schema::kConnectionString);
        for (ModuleKind module : kAllModules)
            state.moduleConnection(module).ShareConnection(state.mainConnection);

        QTextDocument document;
        SampleBody::fillDocument(document);
        body = RtfWriter::write(document);
        CDbConnection& db = state.moduleConnection(ModuleKind::File);
        db.execute(QStringLiteral("INSERT INTO tb_Article (userId, mCaption, mTitle, mContent, folderType, parentId, "
                                  "orderId, mRank, myKey) VALUES (?, ?, ?, ?, 10, ?, 1, 0, 0)"),
                   {state.user.id, TextCipher::EncryptText(state.user.dataKey, QStringLiteral("长篇日记")),
                    TextCipher::EncryptText(state.user.dataKey, QStringLiteral("一年的记录")),
                    TextCipher::EncryptBytes(state.user.dataKey, body), QStringLiteral("10001999999999999999999999")});
        state.selection(ModuleKind::File).currentRecordId = static_cast<int>(db.lastInsertRowId());
        state.currentModule = ModuleKind::File;
        view.resize(900, 700);
        view.show();
        view.switchModule();
    }

    QTemporaryDir dir;
    FixedClock clock{QDateTime(QDate(2026, 12, 8), QTime(9, 0))};
    FixedLetters letters{QStringLiteral("abc")};
    SilentPrompter prompter;
    AppState state;
    CTivView view;
    QByteArray body;
};

Fixture& fixture()
{
    static Fixture* made = new Fixture;
    return *made;
}

void BM_LoadDocument(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        f.view.loadRecord(ModuleKind::File);
        QApplication::processEvents(); // the editor lays the body out
    }
    state.SetBytesProcessed(state.iterations() * f.body.size());
    state.counters["rtf_bytes"] = static_cast<double>(f.body.size());
}
BENCHMARK(BM_LoadDocument)->Unit(benchmark::kMillisecond);

void BM_SaveDocument(benchmark::State& state)
{
    Fixture& f = fixture();
    f.view.loadRecord(ModuleKind::File);
    for (auto _ : state) {
        if (!f.view.saveRecord(ModuleKind::File))
            state.SkipWithError("the save failed");
    }
    state.SetBytesProcessed(state.iterations() * f.body.size());
}
BENCHMARK(BM_SaveDocument)->Unit(benchmark::kMillisecond);

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
