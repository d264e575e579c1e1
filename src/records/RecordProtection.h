#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

class Prompter;

// How one record is protected. The caption is always under the user's DataKey; the other fields are
// under the record's key: the DataKey, or a custom key the user set for the record. Level 1 keeps an
// encrypted copy of the custom key (keyValue) to check it at the next load; level 2, strengthened,
// keeps nothing that could confirm it.
namespace RecordProtection {

inline constexpr int kNoCustomKey = 0;
inline constexpr int kCheckedKey = 1;
inline constexpr int kStrengthenedKey = 2;

inline const QString kKeyPrompt = QStringLiteral("此文档采用自设密钥加密。\r\n请输入自设密钥值：");
inline const QString kWrongKeyText = QStringLiteral("你输入的自设密钥不正确！");
inline const QString kEmptyKeyText = QStringLiteral("您选择了自设密钥，但未输入自设密钥。");
inline const QString kStrengthenWarning = QStringLiteral(
    "你选择了加强密钥安全性\r\n注意：密码遗失无法找回，输入密钥不正确则数据无法正常显示，数据可能被覆盖");

// The key a load reads the record's fields with, or nothing when the check of a level-1 record
// refused it (the user is then told kWrongKeyText). A record with a custom key asks for it. At level 1
// the key typed must be the one its check holds, and cancelling the prompt reads the record with the
// DataKey only when the check holds the DataKey. At level 2 nothing can be checked: what is typed is
// used, and cancelling means the DataKey. The key typed is kept nowhere else.
std::optional<QString> resolveKey(int level, const QByteArray& keyValue, const QString& dataKey, Prompter& prompter);

// What the protection controls say at a save.
struct Controls {
    bool important = false;  // "重要"
    bool customKey = false;  // "自设密钥值："
    QString keyText;         // the custom key typed
    bool strengthen = false; // "强化密钥安全性"

    bool operator==(const Controls&) const = default;
};

struct Choice {
    int level = kNoCustomKey;
    int rank = 0;
    QString recordKey;
};

// The level, mark and key a save writes the record with; nothing when a custom key is chosen but
// none typed (the save then shows kEmptyKeyText and writes nothing). Strengthening applies to a
// custom key only: without one the record is under the DataKey and stays level 0.
std::optional<Choice> chooseKey(const Controls& controls, const QString& dataKey);

// The check value a level-1 record stores: its custom key, encrypted under the DataKey.
QByteArray checkValue(const QString& recordKey, const QString& dataKey);

// What the protection controls show after a load.
struct Display {
    bool important = false;
    bool customKey = false;
    QString keyText; // empty when the record's key is the DataKey
    bool strengthen = false;
};
Display display(int level, int rank, const QString& recordKey, const QString& dataKey);

} // namespace RecordProtection
