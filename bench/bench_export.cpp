// Exports: a module of 200 documents in 10 folders to each format (rows read and decrypted, bodies read from
// RTF, laid out and written as files), and the 1 MB body of one document to PDF.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>

#include "app/RecordExport.h"
#include "crypto/TextCipher.h"
#include "records/RtfWriter.h"
#include "SampleBody.h"
#include "SilentPrompter.h"
#include "state/AppState.h"
#include "state/RandomLetters.h"
#include "storage/Clock.h"
#include "storage/Schema.h"

namespace {

constexpr int kFolders = 10;
constexpr int kDocumentsPerFolder = 20;

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

        QTextDocument shortDocument;
        QTextCursor cursor(&shortDocument);
        for (int i = 0; i < 20; ++i)
            cursor.insertText(SampleBody::kChinese + QStringLiteral("\n"));
        shortBody = RtfWriter::write(shortDocument);
        QTextDocument longDocument;
        SampleBody::fillDocument(longDocument);
        longBody = RtfWriter::write(longDocument);

        int order = 0;
        for (int folder = 0; folder < kFolders; ++folder) {
            const QString number = QString::number(10001 + folder);
            add(QStringLiteral("文件夹 %1").arg(folder), number + QString(21, u'0'), 1, {}, ++order);
            for (int document = 0; document < kDocumentsPerFolder; ++document)
                add(QStringLiteral("文档 %1-%2").arg(folder).arg(document), number + QStringLiteral("9").repeated(21),
                    10, shortBody, ++order);
        }
        longId = add(QStringLiteral("长篇日记"), QStringLiteral("9").repeated(26), 99, longBody, ++order);
    }

    int add(const QString& caption, const QString& path, int type, const QByteArray& body, int order)
    {
        const QString& key = state.user.dataKey;
        CDbConnection& db = state.moduleConnection(ModuleKind::File);
        db.execute(QStringLiteral("INSERT INTO tb_Article (userId, mCaption, mTitle, mContent, folderType, parentId, "
                                  "orderId, mRank, myKey) VALUES (?, ?, ?, ?, ?, ?, ?, 0, 0)"),
                   {state.user.id, TextCipher::EncryptText(key, caption),
                    TextCipher::EncryptText(key, body.isEmpty() ? QString() : QStringLiteral("提要")),
                    TextCipher::EncryptBytes(key, body), type, path, order});
        return static_cast<int>(db.lastInsertRowId());
    }

    // Every run writes into a new folder: the silent prompter would refuse to replace a file.
    RecordExport::Outcome exportTo(RecordExport::Request request)
    {
        request.module = ModuleKind::File;
        request.target = dir.filePath(QStringLiteral("out-%1").arg(++runs));
        QDir().mkpath(request.target);
        if (request.scope == RecordExport::Scope::Record)
            request.target += QStringLiteral("/long") + RecordExport::extension(request.format);
        return RecordExport::run(state, prompter, request);
    }

    QTemporaryDir dir;
    FixedClock clock{QDateTime(QDate(2026, 12, 8), QTime(9, 0))};
    FixedLetters letters{QStringLiteral("abc")};
    SilentPrompter prompter;
    AppState state;
    QByteArray shortBody;
    QByteArray longBody;
    int longId = 0;
    int runs = 0;
};

Fixture& fixture()
{
    static Fixture* made = new Fixture;
    return *made;
}

void BM_ExportModule(benchmark::State& state)
{
    Fixture& f = fixture();
    RecordExport::Request request;
    request.scope = RecordExport::Scope::Module;
    request.format = static_cast<RecordExport::Format>(state.range(0));
    for (auto _ : state) {
        const RecordExport::Outcome outcome = f.exportTo(request);
        if (!outcome.error.isEmpty() || outcome.written.size() < kFolders * kDocumentsPerFolder)
            state.SkipWithError("the export failed");
    }
    const int records = kFolders * kDocumentsPerFolder + 1;
    state.SetItemsProcessed(state.iterations() * records);
    state.SetBytesProcessed(state.iterations() *
                            (kFolders * kDocumentsPerFolder * f.shortBody.size() + f.longBody.size()));
    state.SetLabel(RecordExport::extension(request.format).toStdString());
}
BENCHMARK(BM_ExportModule)
    ->Arg(static_cast<int>(RecordExport::Format::Rtf))
    ->Arg(static_cast<int>(RecordExport::Format::Html))
    ->Arg(static_cast<int>(RecordExport::Format::Text))
    ->Arg(static_cast<int>(RecordExport::Format::Pdf))
    ->Unit(benchmark::kMillisecond);

void BM_ExportLongRecordToPdf(benchmark::State& state)
{
    Fixture& f = fixture();
    RecordExport::Request request;
    request.id = f.longId;
    request.recordKey = f.state.user.dataKey;
    request.format = RecordExport::Format::Pdf;
    for (auto _ : state) {
        if (f.exportTo(request).written.size() != 1)
            state.SkipWithError("the export failed");
    }
    state.SetBytesProcessed(state.iterations() * f.longBody.size());
}
BENCHMARK(BM_ExportLongRecordToPdf)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
