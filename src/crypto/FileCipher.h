#pragma once

#include <QString>

#include <functional>

// The file tool: encrypts or decrypts one file into another with the cipher and key rules of the
// database. The result holds exactly the CipherBytes of the source, with no header. A source with a
// zero byte is refused, since the cipher cannot give zero bytes back. The result is written beside
// the target and moved over it only when complete, so a failure never costs the user a file.
namespace FileCipher {

enum class Direction { Encrypt, Decrypt };

enum class Result {
    Done,     // the target holds the result
    Declined, // the user kept the existing target; nothing written, nothing to show
    Refused,  // a path is missing, or the source holds a zero byte; nothing written
    Failed,   // a file error; nothing written
};

struct Outcome {
    Result result = Result::Failed;
    QString message; // empty: nothing to show
    QString caption;
};

// Asked with the question below before an existing target is replaced; true replaces it.
using ConfirmOverwrite = std::function<bool(const QString& question)>;

// key: the key text as the text cipher takes it; empty means the built-in key.
Outcome run(Direction direction, const QString& key, const QString& sourcePath, const QString& targetPath,
            const ConfirmOverwrite& confirmOverwrite);

// Bytes read, transformed and written at a time; a multiple of the cipher's block.
inline constexpr qint64 kChunkSize = 1 << 20;

inline const QString kCaption = QStringLiteral("加密解密");
inline const QString kEncryptedText = QStringLiteral("文件加密成功");
inline const QString kDecryptedText = QStringLiteral("文件解密成功");
inline const QString kNoSourceText = QStringLiteral("请先选择要打开的文件（打开文件于）。");
inline const QString kNoTargetText = QStringLiteral("请先选择要保存的文件（另存文件于）。");
inline const QString kReplaceButton = QStringLiteral("替换");
inline const QString kKeepButton = QStringLiteral("取消");

QString zeroByteText(const QString& sourcePath);
QString overwriteQuestion(const QString& targetPath);

} // namespace FileCipher
