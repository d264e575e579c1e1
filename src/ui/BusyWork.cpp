#include "ui/BusyWork.h"

#include <QApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>

#include <future>

namespace BusyWork {

int run(QWidget* parent, const QString& text, const std::function<int()>& work)
{
    QProgressDialog busy(text, QString(), 0, 0, parent);
    busy.setWindowTitle(QStringLiteral("请稍候"));
    busy.setWindowModality(Qt::ApplicationModal);
    busy.setMinimumDuration(0);
    busy.setCancelButton(nullptr);
    // Closing it would not stop the work, so it cannot be closed.
    busy.setWindowFlags(busy.windowFlags() & ~Qt::WindowCloseButtonHint);
    busy.show();
    QApplication::setOverrideCursor(Qt::WaitCursor);

    std::future<int> result = std::async(std::launch::async, work);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (result.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
            loop.quit();
    });
    poll.start(30);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    QApplication::restoreOverrideCursor();
    return result.get();
}

} // namespace BusyWork
