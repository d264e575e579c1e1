#include "app/SessionEnd.h"

#include "state/AppState.h"
#include "state/WindowStateFile.h"
#include "storage/CDbConnection.h"
#include "storage/DbError.h"
#include "storage/FieldConversions.h"
#include "storage/Recordset.h"

namespace SessionEnd {

LogoutStamp stampLogoutTime(CDbConnection& connection, const Clock& clock, QString* error)
{
    Recordset account;
    LogoutStamp stamp = LogoutStamp::Failed;
    QString failure;
    try {
        if (!connection.OpenRecordset(account, QStringLiteral(" SELECT * FROM tb_User "))) {
            failure = connection.isOpen() ? connection.errorMessage() : QStringLiteral("the connection is closed");
        } else if (account.isEof()) {
            stamp = LogoutStamp::NoAccount;
        } else {
            account.moveFirst();
            account.setField(QStringLiteral("lastLogoutTime"), FieldConversions::currentDateTime(clock).value);
            account.update();
            stamp = LogoutStamp::Written;
        }
    } catch (const DbError& e) {
        failure = QString::fromStdString(e.what());
    }
    CDbConnection::CloseRecordset(account);
    if (error)
        *error = failure;
    return stamp;
}

bool savePlacement(WindowStateRecord& record, const QRect& outerRect, RandomLetters& letters)
{
    record.left = outerRect.left();
    record.top = outerRect.top();
    record.width = outerRect.width();
    record.height = outerRect.height();
    return WindowStateFile::write(record, letters);
}

Outcome finish(AppState& state, const QRect& outerRect)
{
    Outcome outcome;
    outcome.stamp = stampLogoutTime(state.mainConnection, state.clock, &outcome.error);
    outcome.placementSaved = savePlacement(state.windowState, outerRect, state.letters);
    return outcome;
}

} // namespace SessionEnd
