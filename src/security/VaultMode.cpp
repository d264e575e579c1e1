#include "security/VaultMode.h"

#include <QDir>

#include "security/ProfileChange.h"
#include "state/AccountText.h"
#include "state/AppState.h"
#include "storage/Schema.h"
#include "storage/Vault.h"

namespace VaultMode {

namespace {

Outcome convert(AppState& state, const QString& typedPassword, const Runner& run, const VaultKey::Params& params,
                bool toVault)
{
    if (!ProfileChange::isStoredPassword(typedPassword, state.user.password))
        return {false, kWrongPasswordText};
    const QString password = AccountText::StripUnsafe(typedPassword);
    const QString path = Schema::databasePath();
    state.closeConnections();
    SecretBytes key;
    const Vault::Outcome outcome = run([&] {
        return toVault ? Vault::toVault(path, password, params, &key) : Vault::toPlain(path, password);
    });
    if (outcome == Vault::Outcome::Done)
        state.databaseKey = toVault ? DatabaseKey(std::move(key)) : DatabaseKey();
    if (!state.reopenConnections())
        return {outcome == Vault::Outcome::Done, kReopenFailedText};
    if (outcome != Vault::Outcome::Done)
        return {false, Vault::describe(outcome)};
    return {true, toVault ? kTurnedOnText : kTurnedOffText};
}

} // namespace

Outcome turnOn(AppState& state, const QString& typedPassword, const Runner& run, const VaultKey::Params& params)
{
    return convert(state, typedPassword, run, params, true);
}

Outcome turnOff(AppState& state, const QString& typedPassword, const Runner& run)
{
    return convert(state, typedPassword, run, VaultKey::defaultParams(), false);
}

QStringList plainBackups()
{
    QStringList paths;
    const QDir folder(QStringLiteral("./backup"));
    for (const QString& name : folder.entryList({QStringLiteral("*.bak")}, QDir::Files, QDir::Name)) {
        const QString path = folder.filePath(name);
        if (Vault::detect(path) == Vault::Format::Plain)
            paths.append(path);
    }
    return paths;
}

int convertBackups(const QStringList& paths, const DatabaseKey& key, const Runner& run)
{
    int converted = 0;
    if (!key.isVault())
        return converted;
    run([&] {
        for (const QString& path : paths) {
            if (Vault::toVaultWithKey(path, key.vaultKey()) == Vault::Outcome::Done)
                ++converted;
        }
        return Vault::Outcome::Done;
    });
    return converted;
}

} // namespace VaultMode
