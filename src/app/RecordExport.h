#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

#include "records/RecordValues.h"
#include "state/ModuleKind.h"

class QTextDocument;
class Prompter;
struct AppState;

// Taking records out of the database into files the user chose: the record on screen, a folder with
// everything below it, or a whole module. Nothing decrypted is written anywhere but those files, and
// no existing file is replaced without asking.
namespace RecordExport {

enum class Format { Rtf, Html, Text, Pdf, Csv, EncryptedCsv };
enum class Scope { Record, Folder, Module };

struct Request {
    ModuleKind module = ModuleKind::None;
    Scope scope = Scope::Record;
    // Record: the row on screen. Folder: the folder, or a record whose folder is meant.
    int id = 0;
    // Record: the key the row on screen was opened with. A folder or module export reads only the records
    // under the DataKey and leaves out the others, rather than ask for every custom key.
    QString recordKey;
    Format format = Format::Html;
    // The file, for a record and for the CSV formats; else the folder in which the export makes its own.
    QString target;
    // EncryptedCsv: the key the file tool decrypts the file with.
    QString fileKey;
};

struct Skipped {
    QString caption;
    QString reason;
};

struct Outcome {
    bool declined = false; // the user refused the warning or the replacing of files: nothing was written
    QString error;         // why the export stopped before its end
    QString root;          // the file written, or the folder the export made
    QStringList written;   // every file written, in order
    std::vector<Skipped> skipped;

    // What the window shows: what was written, what was left out and why, what went wrong. Empty after a
    // refusal, which needs no answer.
    QString reportText() const;
};

Outcome run(AppState& state, Prompter& prompter, const Request& request);

// The record as paper shows it: the caption, the dates and the summary (or the account fields) as a header,
// then the body. PDF, print and preview use it, and HTML and text are written from it.
std::unique_ptr<QTextDocument> printableDocument(ModuleKind module, const RecordValues& values, const QByteArray& body);

struct Printable {
    std::unique_ptr<QTextDocument> document; // null when the record could not be read
    QString error;
};
// The record of the given id, read again with the key it was opened with.
Printable printable(AppState& state, Prompter& prompter, ModuleKind module, int id, const QString& recordKey);

// A caption made fit to name a file on any file system: without / \ : * ? " < > | and control characters,
// without dots and blanks at its ends, short enough for the longest name a file system takes, never a
// device name, and "未命名" when nothing is left.
QString safeFileName(const QString& caption);

// With its dot: ".rtf", ".html", ".txt", ".pdf", ".csv", ".csv.enc".
QString extension(Format format);
// Whether the format writes one file whatever the scope (the CSV formats), or one file per record.
bool isSingleFile(Format format);
// The formats a module exports to, in the order the window offers them.
std::vector<Format> formatsFor(ModuleKind module);
QString formatName(Format format);

inline constexpr int kMaxNameLength = 100;
inline const QString kCaption = QStringLiteral("导出");
inline const QString kUnnamed = QStringLiteral("未命名");
inline const QString kPlainPasswordsWarning =
    QStringLiteral("导出的文件没有加密！\r\n任何拿到这个文件的人都能直接读出其中的帐户名称、帐户密码和备注。\r\n\r\n"
                   "请妥善保管，用完后删除。你确定要导出吗？");
inline const QString kCustomKeyReason = QStringLiteral("使用自设密钥加密");
inline const QString kReadErrorReason = QStringLiteral("读取出错");

} // namespace RecordExport
