#pragma once

#include <QString>

#include <optional>

struct AppState;

// The change of the user profile dialog: the account's name, gender and password, written into the
// account row in one transaction in the stored forms of the first run. The account in memory, and a
// login name remembered in tiv.ini, change only once the row has been written.
class ProfileChange final {
public:
    struct Input {
        QString userName;
        int gender = 2; // 0 男, 1 女, 2 保密
        QString oldPassword;
        QString newPassword;
        QString confirmation;
    };

    enum class Result {
        Refused, // a check failed; nothing written
        Failed,  // the row could not be written; row and memory as they were
        Changed, // row and memory hold the new account values
    };

    struct Outcome {
        Result result = Result::Refused;
        QString message;
        QString caption;
    };

    explicit ProfileChange(AppState& state);

    // The first check the fields fail, in the order the user is told about them.
    std::optional<QString> check(const Input& input) const;

    Outcome apply(const Input& input);

    // Whether the typed password is the stored one, as the login takes it (so whatever logs in passes).
    static bool isStoredPassword(const QString& typed, const QString& stored);

    static inline const QString kCaption = QStringLiteral("用户资料修改");
    static inline const QString kEmptyNameText = QStringLiteral("用户名不能为空！");
    static inline const QString kWrongPasswordText = QStringLiteral("您输入的原密码错误，操作被拒绝");
    static inline const QString kShortPasswordText = QStringLiteral("密码不能为空且长度不小于4位!");
    static inline const QString kMismatchText = QStringLiteral("您两次输入的新密码不一致，操作未成功");
    static inline const QString kChangedText = QStringLiteral("用户资料修改成功!");
    static inline const QString kFailedText = QStringLiteral("用户资料修改失败!");
    static inline const QString kReopenFailedText =
        QStringLiteral("新密码已生效，但数据库无法重新打开，请退出程序后用新密码登录。");
    static inline const QString kNameField = QStringLiteral("用户名");
    static inline const QString kPasswordField = QStringLiteral("新密码");

    static constexpr int kMinPasswordLength = 4;

private:
    AppState& m_state;
};
