#pragma once

#include <QString>

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

} // namespace SharedTexts
