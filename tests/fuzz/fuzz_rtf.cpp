// Arbitrary bytes through the RTF reader. Whatever the reader makes of them, the writer must turn it into
// 7-bit RTF without a zero byte that reads back into a document the writer writes the same way again: a body
// that changes at every save, or stops loading, would be lost a little at a time.
#include <QGuiApplication>
#include <QTextDocument>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "records/RtfReader.h"
#include "records/RtfWriter.h"

namespace {

[[noreturn]] void fail(const char* what, const QByteArray& first, const QByteArray& second)
{
    std::fprintf(stderr, "%s\n--- first:\n%s\n--- second:\n%s\n", what, first.constData(), second.constData());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // Fonts and pictures in a document need a GUI application; none needs a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication application(*argc, *argv);
    // Broken pictures are expected here; Qt's warnings about each would drown the fuzzer's report.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QTextDocument document;
    if (!RtfReader::read(QByteArrayView(data, static_cast<qsizetype>(size)), document))
        return 0;
    const QByteArray written = RtfWriter::write(document);
    for (const char byte : written) {
        if (byte == 0 || static_cast<unsigned char>(byte) > 0x7f)
            fail("the writer made a zero or 8-bit byte", written, {});
    }
    QTextDocument reread;
    if (!RtfReader::read(written, reread))
        fail("the reader refused what the writer made", written, {});
    const QByteArray rewritten = RtfWriter::write(reread);
    if (rewritten != written)
        fail("a second save of the same body differs from the first", written, rewritten);
    return 0;
}
