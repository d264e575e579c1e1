#pragma once

#include <QDateTime>

// The source of "now". Behaviour that depends on the time (the backup day, the login interval, the
// stamps written into rows) takes a Clock so tests can choose the moment.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// A clock that stands still until told to move.
class FixedClock final : public Clock {
public:
    explicit FixedClock(const QDateTime& moment) : m_now(moment) {}
    QDateTime now() const override { return m_now; }
    void set(const QDateTime& moment) { m_now = moment; }
    void advanceMs(qint64 ms) { m_now = m_now.addMSecs(ms); }

private:
    QDateTime m_now;
};
