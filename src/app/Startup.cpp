#include "app/Startup.h"

#include <QFile>

#include "app/AppState.h"
#include "app/DatedBackup.h"
#include "app/InstanceLock.h"
#include "app/SystemKey.h"
#include "app/WindowStateFile.h"
#include "crypto/TextCipher.h"
#include "storage/DbError.h"
#include "storage/FieldConversions.h"
#include "storage/Recordset.h"
#include "storage/Schema.h"
#include "ui/Prompter.h"

namespace Startup {

bool prepare(AppState& state, InstanceLock& lock, Prompter& prompter)
{
    DatedBackup::run(state.clock);
    state.systemKey = SystemKey::build();
    if (!openConnections(state, prompter) || !loadPolicy(state, prompter) || !takeInstanceLock(state, lock, prompter))
        return false;
    state.windowState = WindowStateFile::read();
    return true;
}

bool openConnections(AppState& state, Prompter& prompter)
{
    if (!state.mainConnection.OpenConnection(Schema::kConnectionString, prompter))
        return false;
    for (ModuleKind module : kAllModules) {
        if (!state.moduleConnection(module).OpenConnection(Schema::kConnectionString, prompter))
            return false;
    }
    return true;
}

bool loadPolicy(AppState& state, Prompter& prompter)
{
    using FieldConversions::ReadLongBinary;
    Recordset settings;
    try {
        if (!state.mainConnection.OpenRecordset(settings, QStringLiteral(" SELECT * FROM tb_Setting ")))
            throw DbError("the policy table does not open");
        if (!settings.isEof()) {
            settings.moveFirst();
            SettingsRecord& record = state.settings;
            record.id = FieldConversions::toInt(settings.field(QStringLiteral("id")));
            auto decrypt = [&](const char* column) {
                return TextCipher::DecryptText(state.systemKey, ReadLongBinary(settings, QString::fromLatin1(column)));
            };
            record.aesRank = decrypt("aesRank");
            record.instance = decrypt("instance");
            record.interval = decrypt("interval");
            record.sdRank = decrypt("sdRank");
            record.version = decrypt("version");
        }
    } catch (const DbError&) {
        // A row that does not read (a missing column, an id that is no number) is as unusable as a
        // table that does not open.
        CDbConnection::CloseRecordset(settings);
        prompter.showMessage(kTamperedText, QStringLiteral("Tiv"));
        return false;
    }
    CDbConnection::CloseRecordset(settings);
    return true;
}

bool takeInstanceLock(const AppState& state, InstanceLock& lock, Prompter& prompter)
{
    if (!state.settings.instance.startsWith(QLatin1Char('1')))
        return true;
    // Where no lock file can be made the program still runs: refusing would lock the user out.
    if (lock.acquire() == InstanceLock::Result::HeldElsewhere) {
        prompter.showMessage(kAlreadyRunningText, QStringLiteral("Tiv"));
        return false;
    }
    return true;
}

void finish(AppState& state, InstanceLock& lock)
{
    lock.release();
    state.mainConnection.CloseConnection();
    for (ModuleKind module : kAllModules)
        state.moduleConnection(module).CloseConnection();
    if (state.dataDestroyed) {
        for (const char* suffix : {"", "-journal", "-wal", "-shm"})
            QFile::remove(Schema::kDatabasePath + QString::fromLatin1(suffix));
    }
}

} // namespace Startup
