#pragma once

#include <QByteArray>
#include <QString>

// The in-memory mirror of tiv.ini: what belongs to the installation rather than to the database.
struct WindowStateRecord {
    // The remembered name in its stored (encrypted) form, without the two letters the file adds.
    QByteArray loginName;
    // "是" when the name is remembered, "否" when not.
    QString saveName;
    int width = 0;
    int height = 0;
    int left = 0;
    int top = 0;
    // Written at first run and then written back as read; nothing uses them.
    QByteArray moduleStart;
    int fileStart = 0;
    int dairyStart = 0;
    int pwdStart = 0;

    static inline const QString kYes = QStringLiteral("是");
    static inline const QString kNo = QStringLiteral("否");
};
