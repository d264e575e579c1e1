#pragma once

#include <QDateTime>
#include <QString>

#include <array>

#include "state/ModuleKind.h"
#include "state/Preferences.h"
#include "state/SettingsRecord.h"
#include "state/UserRecord.h"
#include "state/WindowStateRecord.h"
#include "storage/CDbConnection.h"
#include "storage/DatabaseKey.h"

class Clock;
class RandomLetters;

// What the tree commands and the editor know about one module's selection.
struct ModuleSelection {
    int currentRecordId = 0; // id of the node last selected; -1 after a refused custom key
    int currentOrderId = 0;  // orderId of the record last loaded into the editor
};

// Everything the program shares for the whole run. Owned by the application object and passed by
// reference to whatever needs it.
struct AppState {
    AppState(const Clock& clockSource, RandomLetters& letterSource) : clock(clockSource), letters(letterSource) {}
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    const Clock& clock;
    RandomLetters& letters;

    QString systemKey;
    SettingsRecord settings;
    Preferences::Values preferences;
    QDateTime lastAttemptTime;
    UserRecord user;
    WindowStateRecord windowState;
    bool dataDestroyed = false;
    ModuleKind currentModule = ModuleKind::None;
    std::array<ModuleSelection, 3> selections{};

    // How the database was opened; connections of their own (backup, search) open it the same way.
    DatabaseKey databaseKey;
    CDbConnection mainConnection;
    std::array<CDbConnection, 3> moduleConnections;

    // Raised each time a conversion put a new file in the database's place: connections of their own
    // (the search's) are opened again, with the key of the day.
    int databaseGeneration = 0;

    CDbConnection& moduleConnection(ModuleKind module) { return moduleConnections[moduleIndex(module)]; }
    // The main and module connections, closed for a conversion and opened again with databaseKey after it.
    void closeConnections();
    bool reopenConnections();
    // The module connections opened on the main connection's keyed handle: the key is derived once.
    // False when the main connection is not open.
    bool shareModuleConnections();
    // What a session learnt (the account, the policy, the key, the selections) forgotten, for a new
    // session on another database file; the keys are wiped.
    void resetSession();
    ModuleSelection& selection(ModuleKind module) { return selections[moduleIndex(module)]; }
};
