// The RTF writer and reader on a rich-text body of about 1 MB of RTF, and the editor's clipboard on it: a copy of
// the whole body (made at every step of a selection) and a paste of it (written and read once more on the way in).
#include <benchmark/benchmark.h>

#include <memory>

#include <QGuiApplication>
#include <QMimeData>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include "records/RichClipboard.h"
#include "records/RtfReader.h"
#include "records/RtfWriter.h"
#include "SampleBody.h"

namespace {

const QTextDocument& sampleDocument()
{
    static QTextDocument* document = [] {
        auto* made = new QTextDocument;
        SampleBody::fillDocument(*made);
        return made;
    }();
    return *document;
}

const QByteArray& sampleRtf()
{
    static const QByteArray rtf = RtfWriter::write(sampleDocument());
    return rtf;
}

void BM_RtfWrite(benchmark::State& state)
{
    const QTextDocument& document = sampleDocument();
    for (auto _ : state) {
        const QByteArray rtf = RtfWriter::write(document);
        benchmark::DoNotOptimize(rtf.constData());
    }
    state.SetBytesProcessed(state.iterations() * sampleRtf().size());
    state.counters["rtf_bytes"] = static_cast<double>(sampleRtf().size());
    state.counters["characters"] = static_cast<double>(document.characterCount());
}
BENCHMARK(BM_RtfWrite)->Unit(benchmark::kMillisecond);

void BM_RtfRead(benchmark::State& state)
{
    const QByteArray& rtf = sampleRtf();
    for (auto _ : state) {
        QTextDocument document;
        const bool read = RtfReader::read(rtf, document);
        benchmark::DoNotOptimize(read);
    }
    state.SetBytesProcessed(state.iterations() * rtf.size());
}
BENCHMARK(BM_RtfRead)->Unit(benchmark::kMillisecond);

void BM_CopyWholeBody(benchmark::State& state)
{
    QTextDocument& document = const_cast<QTextDocument&>(sampleDocument());
    QTextCursor selection(&document);
    selection.select(QTextCursor::Document);
    for (auto _ : state) {
        const std::unique_ptr<QMimeData> data(RichClipboard::mimeData(selection));
        benchmark::DoNotOptimize(data.get());
    }
    state.SetBytesProcessed(state.iterations() * sampleRtf().size());
}
BENCHMARK(BM_CopyWholeBody)->Unit(benchmark::kMillisecond);

void BM_PasteWholeBody(benchmark::State& state)
{
    QMimeData data;
    data.setData(RichClipboard::kRtfFormat, sampleRtf());
    for (auto _ : state) {
        QTextDocument document;
        QTextCursor cursor(&document);
        const bool pasted = RichClipboard::paste(data, cursor);
        benchmark::DoNotOptimize(pasted);
    }
    state.SetBytesProcessed(state.iterations() * sampleRtf().size());
}
BENCHMARK(BM_PasteWholeBody)->Unit(benchmark::kMillisecond);

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
