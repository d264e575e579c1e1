#include "state/AppState.h"

#include "state/AccountText.h"
#include "storage/Schema.h"

void AppState::closeConnections()
{
    mainConnection.CloseConnection();
    for (CDbConnection& connection : moduleConnections)
        connection.CloseConnection();
}

bool AppState::reopenConnections()
{
    ++databaseGeneration;
    return databaseKey.open(mainConnection, Schema::databasePath()) && shareModuleConnections();
}

bool AppState::shareModuleConnections()
{
    bool opened = mainConnection.handle() != nullptr;
    for (CDbConnection& connection : moduleConnections)
        opened = opened && connection.ShareConnection(mainConnection);
    return opened;
}

void AppState::resetSession()
{
    AccountText::wipe(user.password);
    AccountText::wipe(user.dataKey);
    user = UserRecord();
    settings = SettingsRecord();
    preferences = Preferences::Values();
    databaseKey = DatabaseKey();
    currentModule = ModuleKind::None;
    selections = {};
    dataDestroyed = false;
}
