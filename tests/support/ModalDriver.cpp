#include "support/ModalDriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QtTest>

ModalDriver::ModalDriver()
{
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &ModalDriver::poll);
    m_timer.start();
}

void ModalDriver::expect(const char* className, std::function<void(QWidget*)> action)
{
    m_steps.push_back({QString::fromLatin1(className), std::move(action)});
}

QString ModalDriver::pendingStep() const
{
    return m_steps.empty() ? QString() : m_steps.front().className;
}

void ModalDriver::poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) {
        m_stalledMs = 0;
        return;
    }
    const QString className = QString::fromLatin1(modal->metaObject()->className());
    if (m_steps.empty() || className != m_steps.front().className) {
        m_stalledMs += m_timer.interval();
        if (m_stalledMs < kGiveUpMs)
            return;
        m_stalledMs = 0;
        QTest::qFail(qPrintable(QStringLiteral("a %1 stood open with no step for it; the script waited for %2")
                                    .arg(className, m_steps.empty() ? QStringLiteral("nothing") : pendingStep())),
                     __FILE__, __LINE__);
        m_steps.clear();
        // Closing every modal dialog lets the test return from the call that opened them.
        while (QWidget* open = QApplication::activeModalWidget()) {
            if (auto* dialog = qobject_cast<QDialog*>(open))
                dialog->reject();
            else
                open->close();
            if (QApplication::activeModalWidget() == open)
                break;
        }
        return;
    }
    m_stalledMs = 0;
    // The action runs after this poll returns: if it opens a nested modal dialog, the polling timer
    // must be free to fire again inside it.
    Step step = std::move(m_steps.front());
    m_steps.pop_front();
    QTimer::singleShot(0, modal, [action = std::move(step.action), modal] { action(modal); });
}

void ModalDriver::setText(QWidget* dialog, const char* editName, const QString& text)
{
    auto* edit = dialog->findChild<QLineEdit*>(QString::fromLatin1(editName));
    QVERIFY2(edit, editName);
    edit->setText(text);
}

QString ModalDriver::text(QWidget* dialog, const char* editName)
{
    auto* edit = dialog->findChild<QLineEdit*>(QString::fromLatin1(editName));
    return edit ? edit->text() : QStringLiteral("<no %1>").arg(QString::fromLatin1(editName));
}

void ModalDriver::click(QWidget* dialog, const char* buttonName)
{
    auto* button = dialog->findChild<QAbstractButton*>(QString::fromLatin1(buttonName));
    QVERIFY2(button, buttonName);
    button->click();
}

bool ModalDriver::isChecked(QWidget* dialog, const char* buttonName)
{
    auto* button = dialog->findChild<QAbstractButton*>(QString::fromLatin1(buttonName));
    return button && button->isChecked();
}
