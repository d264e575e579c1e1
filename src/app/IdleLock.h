#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// Calls for a lock after a time without a key press, click or wheel turn anywhere in the program. The
// time is asked for at each input, so a changed preference counts from the next one; 0 minutes never
// locks.
class IdleLock final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(IdleLock)

public:
    IdleLock(std::function<int()> minutes, QObject* parent = nullptr);
    ~IdleLock() override;

    // Starts counting from now; the application's input restarts the count.
    void start();
    void stop();

signals:
    void idle();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void restart();

    std::function<int()> m_minutes;
    QTimer m_timer;
    bool m_running = false;
};
