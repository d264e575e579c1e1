#pragma once

#include <QString>

// The security policy row in memory. Each value is the decrypted text with the account's seal still
// at its end, exactly as stored.
struct SettingsRecord {
    int id = 1;
    QString aesRank;
    QString instance = QStringLiteral("1");
    QString interval = QStringLiteral("1");
    QString sdRank;
    QString version = QStringLiteral("1.0");
};
