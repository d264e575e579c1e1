#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

#include "records/RecordProtection.h"
#include "records/RecordValues.h"
#include "state/ModuleKind.h"

struct AppState;
class Prompter;
class Recordset;

// Loading and saving the record selected in a module's tree, with its protection. Each save writes
// every column of the record in one update, and the body's plain-text copy, in one transaction: all of it
// or nothing.
class RecordStore final {
public:
    RecordStore(AppState& state, Prompter& prompter);

    struct LoadOutcome {
        bool loaded = false;
        RecordValues values;
        QByteArray body;    // the body's RTF bytes, decrypted; empty when it has none
        QString statusText; // "文档创建于：… 更新于：…", or the module's read-error text
    };
    // Reads the module's CurrentRecordId. A custom key is asked for through the prompter; a refused
    // one is told and sets the CurrentRecordId to -1, so no save can follow. Sets the CurrentOrderId.
    LoadOutcome load(ModuleKind module);
    // Reads the record of the given id without asking anything and without touching the selection, for an
    // export. A record under a custom key is read with recordKey; given none, it is left unread (loaded is
    // false) with its level and caption filled in, so the caller can say what it left out.
    LoadOutcome read(ModuleKind module, int id, const std::optional<QString>& recordKey);

    struct SaveOutcome {
        bool saved = false;
        QString statusText;  // the module's success or save-error text; empty after a refusal by message
        QString message;     // a message box to show instead (a custom key chosen but none typed)
        RecordValues values; // as written: the level, mark, key and update time chosen by the save
    };
    // Writes the record of the module's CurrentRecordId from the values and the protection controls.
    // A body of nullopt keeps the stored body as it is.
    SaveOutcome save(ModuleKind module, const RecordValues& values, const RecordProtection::Controls& protection,
                     const std::optional<QByteArray>& body);

    // "文档创建于：" + created + " 更新于：" + updated, in the user's short date-and-time form.
    static QString statusText(ModuleKind module, const RecordValues& values);

    static inline const QString kBodyKeepsKeyText =
        QStringLiteral("正文无法读取，只能按原来的密钥保存，以免它再也无法解密。\r\n"
                       "请恢复原来的自设密钥设置后再保存；其余的修改仍在编辑区中。");

private:
    // Everything after the key is known: the caption, the protected fields, the plain columns and the body.
    void readFields(ModuleKind module, const Recordset& row, LoadOutcome& outcome) const;

    AppState& m_state;
    Prompter& m_prompter;
};
