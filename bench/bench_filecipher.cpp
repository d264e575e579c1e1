// The file tool on a 100 MB text file: encrypting and decrypting it, against copying it without
// encryption, both with a plain truncating write and with the safe write beside the target that the
// tool uses.
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QString>
#include <QTemporaryDir>

#include "crypto/CodePage936.h"
#include "crypto/FileCipher.h"

namespace {

constexpr qint64 kFileSize = 100LL * 1024 * 1024;
const QString kKey = QStringLiteral("e1079aa3bbfd303f");

struct Files {
    Files()
    {
        QByteArray line =
            CodePage936::toBytes(QStringLiteral("二零二四年春节家庭聚会准备事项与采购清单 notes 0123456789\r\n"));
        QFile file(plain);
        file.open(QIODevice::WriteOnly);
        QByteArray block;
        while (block.size() < (1 << 20))
            block += line;
        block.truncate(1 << 20);
        for (qint64 written = 0; written < kFileSize; written += block.size())
            file.write(block);
        file.close();
        FileCipher::run(FileCipher::Direction::Encrypt, kKey, plain, encrypted, replace);
    }

    QTemporaryDir dir;
    QString plain = dir.filePath(QStringLiteral("plain.txt"));
    QString encrypted = dir.filePath(QStringLiteral("encrypted.txt"));
    QString output = dir.filePath(QStringLiteral("output.txt"));
    FileCipher::ConfirmOverwrite replace = [](const QString&) {
        return true;
    };
};

Files& files()
{
    static Files instance;
    return instance;
}

void runTool(benchmark::State& state, FileCipher::Direction direction, const QString& source)
{
    Files& f = files();
    for (auto _ : state) {
        if (FileCipher::run(direction, kKey, source, f.output, f.replace).result != FileCipher::Result::Done) {
            state.SkipWithError("the file tool failed");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * kFileSize);
}

void BM_FileEncrypt(benchmark::State& state)
{
    runTool(state, FileCipher::Direction::Encrypt, files().plain);
}

void BM_FileDecrypt(benchmark::State& state)
{
    runTool(state, FileCipher::Direction::Decrypt, files().encrypted);
}

// Reads the file in the tool's pieces and writes them unchanged to the device.
bool copyInto(const QString& source, QFileDevice& target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QByteArray buffer(FileCipher::kChunkSize, Qt::Uninitialized);
    for (qint64 n; (n = in.read(buffer.data(), buffer.size())) > 0;) {
        if (target.write(buffer.constData(), n) != n)
            return false;
    }
    return true;
}

void BM_PlainReadWrite(benchmark::State& state)
{
    Files& f = files();
    for (auto _ : state) {
        QFile out(f.output);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || !copyInto(f.plain, out)) {
            state.SkipWithError("the copy failed");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * kFileSize);
}

void BM_SafeReadWrite(benchmark::State& state)
{
    Files& f = files();
    for (auto _ : state) {
        QSaveFile out(f.output);
        if (!out.open(QIODevice::WriteOnly) || !copyInto(f.plain, out) || !out.commit()) {
            state.SkipWithError("the copy failed");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * kFileSize);
}

} // namespace

BENCHMARK(BM_FileEncrypt)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FileDecrypt)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainReadWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SafeReadWrite)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
