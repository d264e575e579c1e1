#include "state/AppState.h"

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
    bool opened = databaseKey.open(mainConnection, Schema::databasePath());
    for (CDbConnection& connection : moduleConnections)
        opened = opened && connection.ShareConnection(mainConnection);
    return opened;
}
