#include "crypto/FileCipher.h"

#include <array>
#include <cstdint>
#include <cstring>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "crypto/AesCipher.h"
#include "crypto/TextCipher.h"

namespace FileCipher {

namespace {

Outcome failed(const QString& text)
{
    return {Result::Failed, text, kCaption};
}

QString cannotOpenText(const QString& path, const QString& reason)
{
    return QStringLiteral("无法打开文件“%1”：%2。").arg(path, reason);
}

QString cannotWriteText(const QString& path, const QString& reason)
{
    return QStringLiteral("无法写入文件“%1”：%2。").arg(path, reason);
}

// The reasons the user can act on, in words; anything else in the system's own.
QString sourceProblem(const QString& path, const QFileDevice& file)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("文件不存在");
    if (info.isDir())
        return QStringLiteral("这是一个文件夹，不是文件");
    if (!info.isReadable())
        return QStringLiteral("没有读取这个文件的权限");
    return file.errorString();
}

QString targetProblem(const QString& path, const QFileDevice& file)
{
    const QFileInfo info(path);
    const QFileInfo folder(info.absolutePath());
    if (info.isDir())
        return QStringLiteral("这是一个文件夹，不是文件");
    if (!folder.isDir())
        return QStringLiteral("所在的文件夹不存在");
    if (!folder.isWritable())
        return QStringLiteral("没有写入所在文件夹的权限");
    if (info.exists() && !info.isWritable())
        return QStringLiteral("这个文件是只读的");
    return file.errorString();
}

// Reads until the buffer is full or the file ends, so every piece but the last is whole and the
// next piece starts on a block of the cipher. -1 on a read error.
qint64 readFull(QFile& file, char* data, qint64 size)
{
    qint64 total = 0;
    while (total < size) {
        const qint64 got = file.read(data + total, size - total);
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        total += got;
    }
    return total;
}

} // namespace

QString zeroByteText(const QString& sourcePath)
{
    return QStringLiteral("文件“%1”中含有零字节（例如图片、PDF 或 UTF-16 编码的文本）。\r\n"
                          "本工具只能处理不含零字节的文本文件，否则结果无法还原成原来的文件，因此没有处理，"
                          "也没有写入任何文件。")
        .arg(sourcePath);
}

QString overwriteQuestion(const QString& targetPath)
{
    return QStringLiteral("文件“%1”已经存在。\r\n\r\n你确定要用结果替换它吗？").arg(targetPath);
}

Outcome run(Direction direction, const QString& key, const QString& sourcePath, const QString& targetPath,
            const ConfirmOverwrite& confirmOverwrite)
{
    if (sourcePath.isEmpty())
        return {Result::Refused, kNoSourceText, kCaption};
    if (targetPath.isEmpty())
        return {Result::Refused, kNoTargetText, kCaption};

    QFile source(sourcePath);
    if (QFileInfo(sourcePath).isDir() || !source.open(QIODevice::ReadOnly))
        return failed(cannotOpenText(sourcePath, sourceProblem(sourcePath, source)));

    // Written beside the target and moved over it by commit(); dropped unless committed. The source
    // may be the target itself: it is read to the end before anything replaces it.
    QSaveFile target(targetPath);
    if (QFileInfo(targetPath).isDir() || !target.open(QIODevice::WriteOnly))
        return failed(cannotWriteText(targetPath, targetProblem(targetPath, target)));
    // What the tool writes may be the user's plain text: for the owner's eyes only.
    target.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    AesCipher cipher;
    const std::array<std::uint8_t, 16> keyBytes = TextCipher::DeriveKeyBytes(key);
    cipher.SetKey(keyBytes.data());

    // The same transform encrypts and decrypts. For a source without zero bytes it is exactly what
    // EncryptBytes and DecryptBytes give for the whole file: neither direction can then make a zero.
    QByteArray buffer(kChunkSize, Qt::Uninitialized);
    auto* data = reinterpret_cast<std::uint8_t*>(buffer.data());
    std::uint64_t offset = 0;
    for (;;) {
        const qint64 n = readFull(source, buffer.data(), kChunkSize);
        if (n < 0)
            return failed(QStringLiteral("读取文件“%1”时出错：%2。").arg(sourcePath, source.errorString()));
        if (n == 0)
            break;
        if (std::memchr(data, 0, static_cast<std::size_t>(n)))
            return {Result::Refused, zeroByteText(sourcePath), kCaption};
        cipher.processBytesAt(offset, data, data, static_cast<std::size_t>(n));
        if (target.write(buffer.constData(), n) != n)
            return failed(cannotWriteText(targetPath, targetProblem(targetPath, target)));
        offset += static_cast<std::uint64_t>(n);
        if (n < kChunkSize)
            break;
    }
    source.close();

    if (QFileInfo::exists(targetPath) && !(confirmOverwrite && confirmOverwrite(overwriteQuestion(targetPath))))
        return {Result::Declined, {}, {}};
    if (!target.commit())
        return failed(cannotWriteText(targetPath, targetProblem(targetPath, target)));
    return {Result::Done, direction == Direction::Encrypt ? kEncryptedText : kDecryptedText, kCaption};
}

} // namespace FileCipher
