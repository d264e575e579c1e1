#pragma once

#include <QString>
#include <QStringList>

#include <functional>

#include "storage/DatabaseKey.h"
#include "storage/Vault.h"
#include "storage/VaultKey.h"

struct AppState;

// Turning the vault on and off from the running program, and what becomes of the dated backups made
// before. The conversions replace the database file: the program's connections are closed for them
// and opened again with the new key (AppState::databaseGeneration tells connections of their own to
// follow). A conversion that fails leaves the database, the key and the connections as they were.
namespace VaultMode {

inline const QString kChoiceText = QStringLiteral("保险库模式");
inline const QString kExplanationText = QStringLiteral(
    "开启保险库模式后，整个数据库文件用你的登录密码加密：没有密码，任何人（包括持有本程序的人）"
    "都无法从数据库文件或它的备份中读出任何内容。\r\n\r\n"
    "· 以后启动时先登录，登录密码打开数据库，启动约慢半秒；\r\n"
    "· 忘记登录密码，数据任何人都无法找回；\r\n"
    "· 数据库打开之前，登录失败次数无法记录，“连续登录失败 N 次后自动销毁数据”只在密码正确、"
    "数据库打开之后才起作用；每次尝试都要付出派生密钥的代价；\r\n"
    "· 此前未加密的备份仍可被读取，稍后可选择删除或转换它们。\r\n\r\n"
    "是否开启保险库模式？");
inline const QString kTurnOffText = QStringLiteral(
    "关闭保险库模式后，数据库恢复为普通格式：持有本程序的人可以读取未设自定义密钥的记录。\r\n\r\n是否关闭？");
inline const QString kPasswordPromptText = QStringLiteral("请再次输入登录密码：");
inline const QString kWrongPasswordText = QStringLiteral("登录密码错误，操作被拒绝，数据未改变。");
inline const QString kTurnedOnText = QStringLiteral("保险库模式已开启。");
inline const QString kTurnedOffText = QStringLiteral("保险库模式已关闭。");
inline const QString kReopenFailedText =
    QStringLiteral("转换已完成，但数据库无法重新打开，请退出程序后重新登录。");
inline const QString kPlainBackupsText = QStringLiteral(
    "backup 文件夹中有 %1 个未加密的备份，持有本程序的人可以读取它们。\r\n\r\n"
    "“转换”用当前登录密码把它们加密为保险库格式，“删除”删除它们，“保留”保留原样。");

struct Outcome {
    bool done = false;
    QString message;
};

// Runs the work of a conversion, which takes seconds on a large database and touches nothing but
// files: the windows run it on a thread behind a busy indicator, tests run it directly. The
// connections are closed while it runs.
using Work = std::function<Vault::Outcome()>;
using Runner = std::function<Vault::Outcome(const Work& work)>;
inline Vault::Outcome runDirectly(const Work& work)
{
    return work();
}

// The typed password must be the login password; it keys the vault as the login will type it.
Outcome turnOn(AppState& state, const QString& typedPassword, const Runner& run = runDirectly,
               const VaultKey::Params& params = VaultKey::defaultParams());
Outcome turnOff(AppState& state, const QString& typedPassword, const Runner& run = runDirectly);

// The dated backups in ./backup that are not vaults.
QStringList plainBackups();
// Converts each into a vault keyed like the database (so it opens with the password, and a restore
// takes it); gives how many were converted.
int convertBackups(const QStringList& paths, const DatabaseKey& key, const Runner& run = runDirectly);

} // namespace VaultMode
