#pragma once

#include <QString>

#include <optional>

#include "security/PolicyRow.h"
#include "state/Preferences.h"

struct AppState;

// The save of the security settings dialog: the four policy values the dialog sets, written into the
// policy row, and the preferences beside it, in one transaction. Policy and preferences in memory
// change only once they have been written, so the program never runs on choices that are not stored.
class SecuritySettings final {
public:
    enum class Result {
        Refused, // a box holds what the policy cannot use; nothing written
        Failed,  // the row could not be written; row and memory as they were
        Saved,   // row and memory hold the new policy
    };

    struct Outcome {
        Result result = Result::Refused;
        QString message;
        QString caption;
    };

    explicit SecuritySettings(AppState& state);

    // What the dialog shows when it opens: the policy in memory.
    PolicyRow::Choices current() const;

    // The first box whose text the policy cannot use: the interval must be whole seconds, and a
    // failure limit in use must be a whole number of at least one. Both keep to four digits, as the
    // failure count does.
    static std::optional<QString> check(const PolicyRow::Choices& choices);

    Outcome save(const PolicyRow::Choices& choices);
    Outcome save(const PolicyRow::Choices& choices, const Preferences::Values& preferences);

    static inline const QString kSavedText = QStringLiteral("保存安全设置成功");
    static inline const QString kNotOpenedText = QStringLiteral("保存安全设置失败！");
    static inline const QString kNoRowText = QStringLiteral("数据库已被非法篡改，保存安全设置失败！");
    static inline const QString kWriteFailedText = QStringLiteral("保存安全设置失败!");
    static inline const QString kBadIntervalText = QStringLiteral("重登录间隔必须是 0 到 9999 之间的整数（秒）！");
    static inline const QString kBadLimitText =
        QStringLiteral("请在“连续登录失败”后填写 1 到 9999 之间的整数次数！\r\n\r\n"
                       "（注：次数为空或为 0 时，输错一次密码就会销毁全部数据。）");

    static constexpr int kMaxDigits = 4;

private:
    Outcome saveWith(const PolicyRow::Choices& choices, const Preferences::Values* preferences);

    AppState& m_state;
};
