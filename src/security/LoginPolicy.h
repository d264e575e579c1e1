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
    AppState& m_state;
};
