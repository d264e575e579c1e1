#pragma once

#include <QRect>
#include <QString>

class CDbConnection;
class Clock;
class RandomLetters;
struct AppState;
struct WindowStateRecord;

// What a confirmed exit records before the main window closes: the account's logout time and the
// window placement. A database failure must not keep the user from leaving, so it is reported in
// the outcome and the placement is saved regardless.
namespace SessionEnd {

enum class LogoutStamp {
    Written,   // the account row carries the new logout time
    NoAccount, // tb_User is empty: nothing to stamp
    Failed,    // the statement or the row write failed; see the error text
};

struct Outcome {
    LogoutStamp stamp = LogoutStamp::Failed;
    QString error; // empty unless the stamp failed
    bool placementSaved = false;
};

// Sets lastLogoutTime of the first tb_User row to the clock's current time.
LogoutStamp stampLogoutTime(CDbConnection& connection, const Clock& clock, QString* error = nullptr);

// Stores the window's outer rectangle in the record and writes the whole record to tiv.ini.
bool savePlacement(WindowStateRecord& record, const QRect& outerRect, RandomLetters& letters);

// Both steps, in that order, on the main connection and the shared window-state record.
Outcome finish(AppState& state, const QRect& outerRect);

} // namespace SessionEnd
