#include "app/Startup.h"

#include <QFile>

#include "app/DatedBackup.h"
#include "app/InstanceLock.h"
#include "security/PolicyRow.h"
#include "state/AccountText.h"
#include "state/AppState.h"
#include "state/Preferences.h"
#include "state/SharedTexts.h"
#include "state/SystemKey.h"
#include "state/WindowStateFile.h"
#include "storage/DbError.h"
#include "storage/FieldConversions.h"
#include "storage/Recordset.h"
#include "storage/Schema.h"
#include "storage/Transaction.h"
#include "storage/Vault.h"
#include "ui/Prompter.h"

namespace Startup {

EarlyOpen openInBackground()
{
    return std::async(std::launch::async, [] {
        auto connection = std::make_unique<CDbConnection>();
        // A vault opens only with the password the login asks for.
        if (!databaseIsVault())
            connection->OpenConnection(Schema::kConnectionString);
        return connection;
    });
}

bool databaseIsVault()
{
    return Vault::detect(Schema::databasePath()) == Vault::Format::Vault;
}

bool prepare(AppState& state, InstanceLock& lock, Prompter& prompter, EarlyOpen early)
{
    state.systemKey = SystemKey::build();
    return openConnections(state, prompter, std::move(early)) && afterOpen(state, lock, prompter);
}

VaultOpen openVault(AppState& state, InstanceLock& lock, Prompter& prompter, const QString& typedPassword)
{
    if (state.systemKey.isEmpty())
        state.systemKey = SystemKey::build();
    CDbConnection opening;
    SecretBytes key;
    const Vault::Outcome outcome =
        Vault::open(opening, Schema::databasePath(), AccountText::StripUnsafe(typedPassword), &key);
    if (outcome != Vault::Outcome::Done) {
        prompter.showMessage(Vault::describe(outcome), SharedTexts::kProductCaption);
        // Only a wrong password is worth another try; nothing typed mends the others.
        return outcome == Vault::Outcome::WrongPassword ? VaultOpen::Stay : VaultOpen::Refused;
    }
    state.databaseKey = DatabaseKey(std::move(key));
    if (!state.mainConnection.ShareConnection(opening) || !state.shareModuleConnections()) {
        prompter.showMessage(CDbConnection::kOpenFailedText, SharedTexts::kAppCaption);
        return VaultOpen::Refused;
    }
    return afterOpen(state, lock, prompter) ? VaultOpen::Opened : VaultOpen::Refused;
}

bool afterOpen(AppState& state, InstanceLock& lock, Prompter& prompter)
{
    if (!checkWritable(state, prompter))
        return false;
    try {
        Schema::EnsureIndexes(state.mainConnection);
        Preferences::ensureTable(state.mainConnection);
    } catch (const DbError&) {
        // A database that cannot take an index or a table (read-only, full) still works, only slower
        // and with the default preferences.
    }
    try {
        Schema::EnsureBodyTextTables(state.mainConnection);
    } catch (const DbError&) {
        // Without them the search reads every body's RTF, as it does for bodies saved by other versions.
    }
    state.preferences = Preferences::read(state.mainConnection);
    if (!loadPolicy(state, prompter) || !takeInstanceLock(state, lock, prompter))
        return false;
    state.windowState = WindowStateFile::read();
    return true;
}

bool openConnections(AppState& state, Prompter& prompter, EarlyOpen early)
{
    // The first connection that fails ends start-up; the others are not attempted. The module
    // connections share the main connection's keyed handle, so the key is derived once.
    const std::unique_ptr<CDbConnection> opening = early.valid() ? early.get() : nullptr;
    const bool opened = (opening ? state.mainConnection.ShareConnection(*opening)
                                 : state.mainConnection.OpenConnection(Schema::kConnectionString)) &&
                        state.shareModuleConnections();
    if (!opened) {
        const DbError::Cause cause = (opening ? *opening : state.mainConnection).lastFailure();
        prompter.showMessage(SharedTexts::faultText(cause, CDbConnection::kOpenFailedText), SharedTexts::kAppCaption);
    }
    return opened;
}

bool checkWritable(AppState& state, Prompter& prompter)
{
    try {
        Transaction probe(state.mainConnection);
        // Changes the first page, so the journal must be made beside the file and take the page's old
        // content, and takes a new page, so the file must be able to grow. The rollback leaves nothing.
        state.mainConnection.execute(QStringLiteral("CREATE TABLE tiv_write_probe (x)"));
    } catch (const DbError& error) {
        prompter.showMessage(SharedTexts::faultText(error.cause(), SharedTexts::kDatabaseFaultText),
                             SharedTexts::kAppCaption);
        return false;
    }
    return true;
}

bool loadPolicy(AppState& state, Prompter& prompter)
{
    Recordset settings;
    try {
        if (!state.mainConnection.OpenRecordset(settings, QStringLiteral(" SELECT * FROM tb_Setting ")))
            throw DbError("the policy table does not open", state.mainConnection.lastFailure());
        if (!settings.isEof()) {
            settings.moveFirst();
            state.settings = PolicyRow::read(settings, state.systemKey);
        }
    } catch (const DbError& error) {
        // A row that does not read (a missing column, an id that is no number) is as unusable as a
        // table that does not open.
        CDbConnection::CloseRecordset(settings);
        prompter.showMessage(SharedTexts::faultText(error.cause(), SharedTexts::kDatabaseFaultText),
                             SharedTexts::kAppCaption);
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
        prompter.showMessage(kAlreadyRunningText, SharedTexts::kAppCaption);
        return false;
    }
    return true;
}

void finish(AppState& state, InstanceLock& lock)
{
    lock.release();
    // The file the connections opened, in whatever letter case its name has on disk.
    const QString database = state.mainConnection.filePath();
    state.closeConnections();
    // The keys leave memory with the program: nothing of them stays for whoever reads its pages later.
    state.databaseKey = DatabaseKey();
    AccountText::wipe(state.user.password);
    AccountText::wipe(state.user.dataKey);
    if (!state.dataDestroyed)
        return;
    if (!database.isEmpty()) {
        for (const char* suffix : {"", "-journal", "-wal", "-shm"})
            QFile::remove(database + QString::fromLatin1(suffix));
    }
    DatedBackup::removeAll();
}

} // namespace Startup
