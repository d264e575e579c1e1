#pragma once

#include <QString>

#include "storage/FieldConversions.h"

// The logged-in account. Filled by the login; valid for the rest of the run after it succeeds.
struct UserRecord {
    QString id;       // the account id as text; also the owner of every record
    QString userName; // plain, seal and salt removed
    QString password; // plain; set only on success
    int gender = 0;   // 0 男, 1 女, 2 保密
    int purview = 0;
    FieldConversions::DateTimeValue created;
    FieldConversions::DateTimeValue lastLogin; // before this login overwrote it
    FieldConversions::DateTimeValue lastLogout;
    int loginTimes = 0; // before this login raised it
    QString dataKey;    // the default key of every record
    int failureCount = 0;
};
