#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <variant>

#include "storage/DbError.h"

// A value as it passes between a column and the program: NULL, integer, floating-point number,
// text, date-time or byte array. NULL stays distinguishable from every empty value.
class FieldValue final {
public:
    enum class Kind { Null, Integer, Real, Text, DateTime, Blob };

    FieldValue() = default;
    FieldValue(int value) : m_value(static_cast<qint64>(value)) {}
    FieldValue(qint64 value) : m_value(value) {}
    FieldValue(double value) : m_value(value) {}
    FieldValue(const QString& value) : m_value(value) {}
    FieldValue(const char16_t* value) : m_value(QString::fromUtf16(value)) {}
    FieldValue(const QDateTime& value) : m_value(value) {}
    FieldValue(const QByteArray& value) : m_value(value) {}

    Kind kind() const { return static_cast<Kind>(m_value.index()); }
    bool isNull() const { return kind() == Kind::Null; }

    // Each throws DbError when the value is of another kind: a column that holds something
    // unexpected is a data-access failure of the command, never the end of the program.
    qint64 integer() const { return get<qint64>(); }
    double real() const { return get<double>(); }
    const QString& text() const { return get<QString>(); }
    const QDateTime& dateTime() const { return get<QDateTime>(); }
    const QByteArray& blob() const { return get<QByteArray>(); }

    bool operator==(const FieldValue& other) const = default;

private:
    template <class T> const T& get() const
    {
        if (const T* value = std::get_if<T>(&m_value))
            return *value;
        throw DbError("the value is of another kind");
    }

    std::variant<std::monostate, qint64, double, QString, QDateTime, QByteArray> m_value;
};
