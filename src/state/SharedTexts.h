#pragma once

#include <QString>
#include <QStringView>

#include <optional>
#include <utility>
#include <vector>

#include "crypto/CodePage936.h"
#include "storage/DbError.h"

// The captions and message texts that several parts of the program show, each defined once.
namespace SharedTexts {

// The product title: the main window's title and the caption of most message boxes.
inline const QString kProductCaption = QStringLiteral("澄岳个人信息管理安全版");
inline const QString kShortCaption = QStringLiteral("澄岳个人信息管理");
inline const QString kAppCaption = QStringLiteral("Tiv");

// The account or policy rows cannot be read, or read back as not the program's own.
inline const QString kDatabaseFaultText =
    QStringLiteral("数据库发生异常或被非法篡改！\r\n建议压缩数据库后重新尝试并向作者提交该BUG！");
inline const QString kTamperedText = QStringLiteral("数据库发生异常或被非法篡改！");

// The database cannot be written or read for a cause outside the program, which the user can remove.
inline const QString kReadOnlyFileText =
    QStringLiteral("数据库文件是只读的，无法保存任何修改！\r\n请让当前用户可以写入 data 文件夹中的 tiv.dat"
                   "（如果它在只读的磁盘上，请移到可写的磁盘），然后重启软件。");
inline const QString kReadOnlyFolderText = QStringLiteral(
    "数据库所在的 data 文件夹是只读的，无法保存任何修改！\r\n请让当前用户可以写入该文件夹，然后重启软件。");
inline const QString kDiskFullText =
    QStringLiteral("磁盘空间已满，数据库无法写入！\r\n请清理数据库所在磁盘的空间后再试。");
inline const QString kDatabaseBusyText =
    QStringLiteral("数据库正被另一个程序使用！\r\n请关闭正在使用 data 文件夹中 tiv.dat 的程序"
                   "（也可能是另一个正在运行的本软件）后再试。");

// The text for a data-access failure: what the user can do about a cause outside the program, else
// `otherwise`, the failing command's own text.
inline QString faultText(DbError::Cause cause, const QString& otherwise)
{
    switch (cause) {
    case DbError::Cause::ReadOnly:
        return kReadOnlyFileText;
    case DbError::Cause::CannotMakeFile:
        return kReadOnlyFolderText;
    case DbError::Cause::DiskFull:
        return kDiskFullText;
    case DbError::Cause::Locked:
        return kDatabaseBusyText;
    case DbError::Cause::Unknown:
        break;
    }
    return otherwise;
}

// A typed value to be stored, with the name the window gives its field.
using NamedText = std::pair<QString, QStringView>;

// The refusal for the first of the values that cannot be stored as typed (an unpaired surrogate, which
// only a damaged paste brings), naming its field and the character; nothing when all of them can.
inline std::optional<QString> unstorableText(const std::vector<NamedText>& values)
{
    for (const auto& [field, text] : values) {
        if (const std::optional<qsizetype> at = CodePage936::firstUnencodable(text))
            return QStringLiteral("“%1”的第 %2 个字符（U+%3）无法保存，请删除它后再试。")
                .arg(field)
                .arg(*at + 1)
                .arg(QString::number(text[*at].unicode(), 16).toUpper());
    }
    return std::nullopt;
}

} // namespace SharedTexts
