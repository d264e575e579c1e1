#include "records/RecordProtection.h"

#include "crypto/TextCipher.h"
#include "ui/Prompter.h"

namespace RecordProtection {

std::optional<QString> resolveKey(int level, const QByteArray& keyValue, const QString& dataKey, Prompter& prompter,
                                  QString& lastPromptInput)
{
    QString recordKey = dataKey;
    if (level > kNoCustomKey) {
        if (const std::optional<QString> typed =
                prompter.askText(kKeyPrompt, QStringLiteral("确定"), QStringLiteral("取消"))) {
            lastPromptInput = *typed;
            recordKey = *typed;
        }
    }
    if (level == kCheckedKey) {
        // The DataKey passes too: a custom key equal to it can be cancelled at the prompt.
        const QString check = TextCipher::DecryptText(dataKey, keyValue);
        if (check != recordKey && check != dataKey)
            return std::nullopt;
    }
    return recordKey;
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
