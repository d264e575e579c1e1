#include "records/WeatherList.h"

#include "storage/CDbConnection.h"
#include "storage/DbError.h"
#include "storage/FieldConversions.h"
#include "storage/Recordset.h"

namespace WeatherList {

std::optional<QStringList> load(CDbConnection& connection)
{
    Recordset rows;
    if (!connection.OpenRecordset(rows, kStatement))
        return std::nullopt;
    QStringList words;
    try {
        if (!rows.isEof())
            rows.moveFirst();
        for (; !rows.isEof(); rows.moveNext())
            words.append(FieldConversions::toText(rows.field(QStringLiteral("cItem"))));
    } catch (const DbError&) {
        CDbConnection::CloseRecordset(rows);
        return std::nullopt;
    }
    CDbConnection::CloseRecordset(rows);
    return words;
}

} // namespace WeatherList
