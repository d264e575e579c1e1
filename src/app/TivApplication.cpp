#include "app/TivApplication.h"

#include <exception>

#include "state/SharedTexts.h"
#include "ui/WidgetPrompter.h"

TivApplication::TivApplication(int& argc, char** argv) : QApplication(argc, argv) {}

QString TivApplication::failureText(const QString& detail)
{
    return QStringLiteral("刚才的操作因意外错误没有完成：\r\n") + detail +
           QStringLiteral("\r\n\r\n程序继续运行，窗口中尚未保存的内容都还在。");
}

bool TivApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        report(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        report(QStringLiteral("unknown error"));
    }
    return false;
}

void TivApplication::report(const QString& detail)
{
    // The message box runs an event loop of its own; a second failure inside it is only logged.
    if (m_reporting) {
        qWarning("A command failed while another failure was shown: %s", qPrintable(detail));
        return;
    }
    m_reporting = true;
    WidgetPrompter boxes;
    Prompter& prompter = m_prompter ? *m_prompter : boxes;
    prompter.showMessage(failureText(detail), SharedTexts::kProductCaption);
    m_reporting = false;
}
