#pragma once

#include <QString>

#include <optional>

struct AppState;

// What the login dialog decides: that the database holds one account and a policy row, the login
// attempt under the security policy (interval, stored failure count, seals, self-destruct) and the
// self-destruct itself.
class LoginPolicy final {
public:
    enum class Accounts {
        None,     // the first-run dialog must create the account
        One,      // the login can go on
        Unusable, // the dialog ends with Cancel
    };
    struct AccountCheck {
        Accounts accounts = Accounts::Unusable;
        QString message; // empty: end without a message
        QString caption;
    };

    enum class Result {
        Stay,     // the dialog stays open
        LoggedIn, // the dialog ends with OK; the user record and data key are valid
        Cancel,   // the dialog ends with Cancel
    };
    struct Outcome {
        Result result = Result::Stay;
        QString message; // empty: nothing to show
        QString caption;
        // The attempt came within the interval: the interval starts again once the message has
        // been shown (intervalMessageShown).
        bool withinInterval = false;
    };

    explicit LoginPolicy(AppState& state);

    AccountCheck countAccounts();
    // Stay when the policy row in memory has the id 1, else Cancel with its message.
    Outcome checkPolicyId() const;
    // The name the login box starts with when tiv.ini remembers one.
    std::optional<QString> rememberedName() const;

    // One press of "确定", with the texts of the two boxes as typed.
    Outcome attempt(const QString& typedName, const QString& typedPassword, bool remember);
    // A vault's login, before the typed password has opened the database: the interval (the first
    // run's, as the stored one is still locked in the vault) and the checks of the typed texts. Stay
    // with a message refuses the press; Stay without one lets the password try the vault. The
    // failures counted before the open are this run's only (vaultOpenFailed): the stored count is in
    // the vault too.
    Outcome beforeVaultOpen(const QString& typedName, const QString& typedPassword);
    void vaultOpenFailed();
    // The password opened the vault: the same press goes on to the account's own checks.
    void vaultOpened();

    // The interval message has been closed: the wait starts again from now, not from the press that
    // brought the message up.
    void intervalMessageShown();

    // Empties every table and marks the database file for deletion at exit.
    void DestroyAllData();

    static constexpr int kMinPasswordLength = 4;

    static inline const QString kCountFailedText =
        QStringLiteral("数据库发生异常！\r\n建议使用数据库压缩修复工具修复后重启软件尝试并向作者提交该BUG！");
    static inline const QString kEmptyNameText = QStringLiteral("用户名不能为空，请输入您的用户名!");
    static inline const QString kShortPasswordText = QStringLiteral("密码不能为空且长度不小于4位!");
    static inline const QString kUnknownNameText = QStringLiteral("您输入的用户名不存在!");

    static QString intervalText(const QString& interval);
    static QString wrongPasswordText(int failureCount);

private:
    // The interval and the typed texts, as every press checks them first; nullopt lets the press go on.
    std::optional<Outcome> precheck(const QString& typedName, const QString& typedPassword);

    AppState& m_state;
};
