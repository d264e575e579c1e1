#include "records/RecordProtection.h"

#include "crypto/CodePage936.h"
#include "crypto/TextCipher.h"
#include "ui/Prompter.h"

namespace RecordProtection {

std::optional<QString> resolveKey(int level, const QByteArray& keyValue, const QString& dataKey, Prompter& prompter)
{
    if (level == kNoCustomKey)
        return dataKey;
    const std::optional<QString> typed = prompter.askText(kKeyPrompt, QStringLiteral("确定"), QStringLiteral("取消"));
    if (level != kCheckedKey)
        return typed.value_or(dataKey);
    const QString check = TextCipher::DecryptText(dataKey, keyValue);
    const QString key = typed.value_or(dataKey);
    if (check == key)
        return key;
    // A key with characters outside the code page was kept with '?' for them by earlier versions, and
    // its record was encrypted under that form: the key typed as it was meant still opens it.
    const QString lossy = CodePage936::lossyRoundTrip(key);
    if (lossy != key && check == lossy)
        return lossy;
    return std::nullopt;
}

std::optional<Choice> chooseKey(const Controls& controls, const QString& dataKey)
{
    Choice choice;
    choice.rank = controls.important ? 1 : 0;
    if (!controls.customKey) {
        choice.recordKey = dataKey;
        return choice;
    }
    if (controls.keyText.isEmpty())
        return std::nullopt;
    choice.recordKey = controls.keyText;
    choice.level = controls.strengthen ? kStrengthenedKey : kCheckedKey;
    return choice;
}

QByteArray checkValue(const QString& recordKey, const QString& dataKey)
{
    return TextCipher::EncryptText(dataKey, recordKey);
}

Display display(int level, int rank, const QString& recordKey, const QString& dataKey)
{
    Display shown;
    shown.important = rank == 1;
    shown.customKey = level != kNoCustomKey;
    if (shown.customKey) {
        shown.keyText = recordKey == dataKey ? QString() : recordKey;
        shown.strengthen = level == kStrengthenedKey;
    }
    return shown;
}

} // namespace RecordProtection
