#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class CDbConnection;

// The weather words the diary offers in its weather box, kept in tb_Const.
namespace WeatherList {

inline const QString kStatement =
    QStringLiteral("SELECT * FROM tb_Const where cModule = 'Dairy' and cGroup = 'weather'");
inline const QString kLoadFailedText = QStringLiteral("读取天气信息失败");

// The cItem of every weather row, in the order the rows come; nothing when the statement does not run
// or a row cannot be read.
std::optional<QStringList> load(CDbConnection& connection);

} // namespace WeatherList
