#include "storage/FieldConversions.h"

#include <limits>

#include "crypto/CodePage936.h"
#include "storage/Clock.h"
#include "storage/DbError.h"
#include "storage/Recordset.h"
#include "storage/Statement.h"

namespace FieldConversions {

namespace {

// Days since 30 December 1899, the fraction being the time of day.
QDateTime fromDayCount(double days)
{
    const QDateTime epoch(QDate(1899, 12, 30), QTime(0, 0));
    return epoch.addMSecs(static_cast<qint64>(days * 86400000.0 + (days >= 0 ? 0.5 : -0.5)));
}

QByteArray beforeFirstZero(const QByteArray& bytes)
{
    const qsizetype zero = bytes.indexOf('\0');
    return zero < 0 ? bytes : bytes.left(zero);
}

} // namespace

bool WriteLongBinary(Recordset& recordset, const QByteArray& bytes, const QString& column)
{
    SetLongBinary(recordset, bytes, column);
    recordset.update();
    return true;
}

void SetLongBinary(Recordset& recordset, const QByteArray& bytes, const QString& column)
{
    recordset.setField(column, FieldValue(beforeFirstZero(bytes)));
}

QByteArray ReadLongBinary(const Recordset& recordset, const QString& column)
{
    const FieldValue value = recordset.field(column);
    if (value.kind() != FieldValue::Kind::Blob)
        return {};
    return beforeFirstZero(value.blob());
}

int toInt(const FieldValue& value)
{
    qint64 number = 0;
    switch (value.kind()) {
    case FieldValue::Kind::Integer:
        number = value.integer();
        break;
    case FieldValue::Kind::Real:
        number = qRound64(value.real());
        break;
    case FieldValue::Kind::Text: {
        bool ok = false;
        number = value.text().trimmed().toLongLong(&ok);
        if (!ok)
            throw DbError("the text is no number");
        break;
    }
    default:
        throw DbError("the value does not convert to an integer");
    }
    if (number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max())
        throw DbError("the number does not fit 32 bits");
    return static_cast<int>(number);
}

int toInt(const FieldValue& value, int valueForNull)
{
    return value.isNull() ? valueForNull : toInt(value);
}

QString toText(const FieldValue& value)
{
    QString text;
    switch (value.kind()) {
    case FieldValue::Kind::Integer:
        text = QString::number(value.integer());
        break;
    case FieldValue::Kind::Real:
        text = QString::number(value.real());
        break;
    case FieldValue::Kind::Text:
        text = value.text();
        break;
    case FieldValue::Kind::DateTime:
        text = value.dateTime().toString(Statement::kDateTimeFormat);
        break;
    default:
        throw DbError("the value does not convert to text");
    }
    return CodePage936::roundTrip(text);
}

DateTimeValue toDateTime(const FieldValue& value)
{
    DateTimeValue result;
    switch (value.kind()) {
    case FieldValue::Kind::Null:
        return result;
    case FieldValue::Kind::DateTime:
        result.value = value.dateTime();
        break;
    case FieldValue::Kind::Integer:
        result.value = fromDayCount(static_cast<double>(value.integer()));
        break;
    case FieldValue::Kind::Real:
        result.value = fromDayCount(value.real());
        break;
    case FieldValue::Kind::Text: {
        const QString text = value.text().trimmed();
        result.value = QDateTime::fromString(text, Statement::kDateTimeFormat);
        if (!result.value.isValid())
            result.value = QDateTime(QDate::fromString(text, QStringLiteral("yyyy-MM-dd")), QTime(0, 0));
        break;
    }
    case FieldValue::Kind::Blob:
        break;
    }
    result.status = result.value.isValid() ? DateTimeValue::Status::Valid : DateTimeValue::Status::Invalid;
    return result;
}

DateTimeValue currentDateTime(const Clock& clock)
{
    const QDateTime now = clock.now();
    DateTimeValue result;
    // Whole seconds, as the columns keep them; a local time that does not exist is no date.
    result.value = QDateTime(now.date(), QTime(now.time().hour(), now.time().minute(), now.time().second()));
    result.status = result.value.isValid() ? DateTimeValue::Status::Valid : DateTimeValue::Status::Invalid;
    return result;
}

QString todayText(const Clock& clock)
{
    return clock.now().toString(QStringLiteral("yyyy-MM-dd"));
}

QString currentTimeText(const Clock& clock)
{
    return clock.now().toString(QStringLiteral("HH:mm:ss"));
}

QString monthDayText(const DateTimeValue& value)
{
    switch (value.status) {
    case DateTimeValue::Status::Valid:
        return value.value.toString(QStringLiteral("MMdd"));
    case DateTimeValue::Status::Invalid:
        return QStringLiteral("Invalid DateTime");
    case DateTimeValue::Status::Null:
        break;
    }
    return {};
}

QString intText(int value)
{
    return QString::number(value);
}

} // namespace FieldConversions
