#pragma once

#include <QString>

#include <optional>

struct AppState;

// The save of the first-run dialog: creates the single account, the default security policy and
// the first tiv.ini, all or nothing.
class FirstRunSetup final {
public:
    struct Input {
        QString userName;
        int gender = 2; // 0 男, 1 女, 2 保密
        QString password;
        QString confirmation;
        QString defaultKey;
    };

    enum class Result {
        Refused,   // a field failed its check; nothing written, the dialog stays open
        NotOpened, // the account table could not be read; nothing written, no message, the dialog stays open
        Saved,     // account, policy and tiv.ini written; the dialog ends with OK
        Failed,    // a data-access error undid every write; the dialog still ends with OK
    };

    struct Outcome {
        Result result = Result::Refused;
        QString message; // empty: nothing to show
        QString caption;

        bool endsDialog() const { return result == Result::Saved || result == Result::Failed; }
    };

    explicit FirstRunSetup(AppState& state);

    // The first check the fields fail. The name and the password are checked as the login will take
    // them, without the characters it removes, so no account is made that could never log in.
    static std::optional<QString> check(const Input& input);

    Outcome save(const Input& input);

    static inline const QString kCheckCaption = QStringLiteral("系统初始化");
    static inline const QString kEmptyNameText = QStringLiteral("用户名不能为空!");
    static inline const QString kShortPasswordText = QStringLiteral("密码不能为空且长度不小于4位!");
    static inline const QString kMismatchText = QStringLiteral("你两次输入的密码不一致!");
    static inline const QString kResultCaption = QStringLiteral("初始化");
    static inline const QString kSavedText = QStringLiteral("系统信息初始化成功!");
    static inline const QString kFailedText = QStringLiteral("系统信息系统初始化异常!");
    static inline const QString kNameField = QStringLiteral("用户名");
    static inline const QString kPasswordField = QStringLiteral("密码");
    static inline const QString kKeyField = QStringLiteral("默认密钥");

    static constexpr int kMinPasswordLength = 4;

private:
    AppState& m_state;
};
