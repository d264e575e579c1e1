#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

// Copies account names and passwords to the system clipboard so that they do not stay there: the
// copy is marked as a secret for clipboard managers, and it is cleared after a time and when the
// program ends, but only while the clipboard still holds it: what the user copied since is theirs.
class SecretClipboard final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SecretClipboard)

public:
    explicit SecretClipboard(QObject* parent = nullptr);
    ~SecretClipboard() override;

    // Puts the value on the clipboard; it is forgotten after the seconds, or only at the end with 0.
    void copy(const QString& value, int seconds);

    // Whether the clipboard still holds the value last copied here.
    bool holdsCopy() const;

    // The MIME type clipboard managers read to leave a value out of their history.
    static inline const QString kHintFormat = QStringLiteral("x-kde-passwordManagerHint");
    static inline const QByteArray kSecretHint = QByteArrayLiteral("secret");

public slots:
    // Clears the clipboard if it still holds the copied value; either way the value is forgotten.
    void forget();

private:
    QTimer m_timer;
    QString m_value;
    bool m_holding = false;
};
