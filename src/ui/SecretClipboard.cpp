#include "ui/SecretClipboard.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMimeData>

SecretClipboard::SecretClipboard(QObject* parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &SecretClipboard::forget);
    // Before the platform hands what the clipboard holds to a clipboard manager at exit.
    if (QCoreApplication* application = QCoreApplication::instance())
        connect(application, &QCoreApplication::aboutToQuit, this, &SecretClipboard::forget);
}

SecretClipboard::~SecretClipboard()
{
    forget();
}

void SecretClipboard::copy(const QString& value, int seconds)
{
    auto* data = new QMimeData;
    data->setText(value);
    data->setData(kHintFormat, kSecretHint);
    QGuiApplication::clipboard()->setMimeData(data);
    m_value = value;
    m_holding = true;
    if (seconds > 0)
        m_timer.start(seconds * 1000);
    else
        m_timer.stop();
}

bool SecretClipboard::holdsCopy() const
{
    // Compared, not assumed: another program or another copy may have replaced it meanwhile.
    return m_holding && qobject_cast<QGuiApplication*>(QCoreApplication::instance()) &&
           QGuiApplication::clipboard()->text() == m_value;
}

void SecretClipboard::forget()
{
    m_timer.stop();
    if (holdsCopy())
        QGuiApplication::clipboard()->clear();
    m_holding = false;
    m_value.clear();
}
