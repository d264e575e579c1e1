#include "app/IdleLock.h"

#include <QCoreApplication>
#include <QEvent>

IdleLock::IdleLock(std::function<int()> minutes, QObject* parent) : QObject(parent), m_minutes(std::move(minutes))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        stop();
        emit idle();
    });
}

IdleLock::~IdleLock()
{
    stop();
}

void IdleLock::start()
{
    if (!m_running)
        QCoreApplication::instance()->installEventFilter(this);
    m_running = true;
    restart();
}

void IdleLock::stop()
{
    if (m_running)
        QCoreApplication::instance()->removeEventFilter(this);
    m_running = false;
    m_timer.stop();
}

void IdleLock::restart()
{
    const int minutes = m_minutes();
    if (minutes <= 0) {
        m_timer.stop();
        return;
    }
    m_timer.start(std::chrono::minutes(minutes));
}

bool IdleLock::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
        restart();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
