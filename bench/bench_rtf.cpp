// Saving and loading a rich-text body of about 1 MB of RTF: mostly Chinese text with bold runs, colours, sizes
// and paragraph alignments, as a long diary entry written in the editor would be.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include "records/RtfReader.h"
#include "records/RtfWriter.h"

namespace {

constexpr qsizetype kTargetRtfBytes = 1 << 20;

const QString kChinese = QStringLiteral("今天天气很好我们一起去公园散步看见许多人在湖边钓鱼孩子们放风筝老人打太极拳"
                                        "晚上回家做饭写日记记录生活中的点点滴滴希望明天也是美好的一天");

// Builds paragraphs of about 300 characters until the document's RTF reaches the target size.
void fillDocument(QTextDocument& document)
{
    const std::array<Qt::Alignment, 4> alignments = {Qt::AlignLeft, Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignJustify};
    const std::array<QColor, 3> colours = {QColor(255, 0, 0), QColor(0, 0, 128), QColor(0, 128, 0)};
    QTextCursor cursor(&document);
    QTextCharFormat plain;
    plain.setFontFamilies({QStringLiteral("宋体")});
    plain.setFontPointSize(12);
    int paragraph = 0;
    int run = 0;
    for (;;) {
        for (int batch = 0; batch < 50; ++batch, ++paragraph) {
            QTextBlockFormat block;
            block.setAlignment(alignments[paragraph % alignments.size()]);
            if (paragraph > 0)
                cursor.insertBlock(block);
            else
                cursor.setBlockFormat(block);
            for (int piece = 0; piece < 10; ++piece, ++run) {
                QTextCharFormat format = plain;
                if (run % 3 == 0)
                    format.setFontWeight(QFont::Bold);
                if (run % 5 == 0)
                    format.setForeground(colours[run % colours.size()]);
                if (run % 7 == 0)
                    format.setFontPointSize(16);
                const qsizetype from = (run * 7) % (kChinese.size() - 24);
                cursor.insertText(kChinese.mid(from, 24), format);
                cursor.insertText(QStringLiteral("，Tiv 2024。"), plain);
            }
        }
        if (RtfWriter::write(document).size() >= kTargetRtfBytes)
            return;
    }
}

const QTextDocument& sampleDocument()
{
    static QTextDocument* document = [] {
        auto* made = new QTextDocument;
        fillDocument(*made);
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
