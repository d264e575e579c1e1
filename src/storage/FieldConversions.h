#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include "storage/FieldValue.h"

class Clock;
class Recordset;

// The small conversions every database caller shares.
namespace FieldConversions {

// A date-time that knows whether it holds a date: converting a value that is no date gives an
// invalid one instead of failing, and NULL gives a null one.
struct DateTimeValue {
    enum class Status { Valid, Invalid, Null };
    Status status = Status::Null;
    QDateTime value;

    bool isValid() const { return status == Status::Valid; }
};

// Writes the bytes before the first zero byte into the column of the current row, replacing what it
// held, and writes the row. Throws DbError like any row write.
bool WriteLongBinary(Recordset& recordset, const QByteArray& bytes, const QString& column);
// The same without writing the row, for a command that writes several columns with one update.
void SetLongBinary(Recordset& recordset, const QByteArray& bytes, const QString& column);
// The column's bytes up to the first zero byte; empty for NULL or an empty value.
QByteArray ReadLongBinary(const Recordset& recordset, const QString& column);

// 32-bit integer; throws DbError for NULL and for what is no number.
int toInt(const FieldValue& value);
// Text passed through code page 936 on the way; throws DbError for NULL and byte arrays.
QString toText(const FieldValue& value);
DateTimeValue toDateTime(const FieldValue& value);
// The same with a value for NULL, for columns whose NULL has a meaning.
int toInt(const FieldValue& value, int valueForNull);

DateTimeValue currentDateTime(const Clock& clock);
QString todayText(const Clock& clock);       // "%Y-%m-%d"
QString currentTimeText(const Clock& clock); // "%H:%M:%S"
// "%m%d" for a valid value, "Invalid DateTime" for an invalid one, empty for a null one.
QString monthDayText(const DateTimeValue& value);
QString intText(int value);

} // namespace FieldConversions
