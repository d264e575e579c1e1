#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <variant>

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

    qint64 integer() const { return std::get<qint64>(m_value); }
    double real() const { return std::get<double>(m_value); }
    const QString& text() const { return std::get<QString>(m_value); }
    const QDateTime& dateTime() const { return std::get<QDateTime>(m_value); }
    const QByteArray& blob() const { return std::get<QByteArray>(m_value); }

    bool operator==(const FieldValue& other) const = default;

private:
    std::variant<std::monostate, qint64, double, QString, QDateTime, QByteArray> m_value;
};
