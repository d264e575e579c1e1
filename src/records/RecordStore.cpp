#include "records/RecordStore.h"

#include "crypto/TextCipher.h"
#include "records/BodyText.h"
#include "records/AccountSummary.h"
#include "state/AppState.h"
#include "state/SharedTexts.h"
#include "storage/Clock.h"
#include "storage/DbError.h"
#include "storage/FieldConversions.h"
#include "storage/Recordset.h"
#include "storage/Transaction.h"
#include "ui/Prompter.h"

using FieldConversions::ReadLongBinary;
using FieldConversions::SetLongBinary;
using FieldConversions::toInt;

namespace {

const QString kCaption = QStringLiteral("mCaption");
const QString kSummary = QStringLiteral("mTitle");
const QString kBody = QStringLiteral("mContent");
const QString kLevel = QStringLiteral("myKey");
const QString kCheckValue = QStringLiteral("keyValue");
const QString kRank = QStringLiteral("mRank");
const QString kDairyDate = QStringLiteral("dairyDate");
const QString kWeather = QStringLiteral("mWeather");
const QString kUpdated = QStringLiteral("updateTime");
// The four account fields of a password entry, in the order of RecordValues::account.
const std::array<QString, 4> kAccountColumns = {QStringLiteral("userName"), QStringLiteral("password"),
                                                QStringLiteral("url"), QStringLiteral("intro")};

// The names the editor gives the fields, for a refusal that must say which one.
const QString kCaptionField = QStringLiteral("标题");
const QString kSummaryField = QStringLiteral("提要");
const QString kWeatherField = QStringLiteral("天气");
const std::array<QString, 4> kAccountFields = {QStringLiteral("帐户名称"), QStringLiteral("帐户密码"),
                                               QStringLiteral("地址信息"), QStringLiteral("备注")};
const QString kKeyField = QStringLiteral("自设密钥值");

bool hasBody(ModuleKind module)
{
    return module == ModuleKind::File || module == ModuleKind::Dairy;
}

// The row of the record, ready to be read and written back.
bool openRow(AppState& state, ModuleKind module, int id, Recordset& row)
{
    const QString statement = QStringLiteral("SELECT * FROM %1 WHERE id=? LIMIT 1").arg(moduleTable(module));
    return id > 0 && state.moduleConnection(module).OpenRecordset(row, statement, {id}) && !row.isEof();
}

// A date-time column: its value, or now where it holds none.
QDateTime dateOrNow(const Recordset& row, const QString& column, const Clock& clock)
{
    const FieldConversions::DateTimeValue value = FieldConversions::toDateTime(row.field(column));
    return value.isValid() ? value.value : FieldConversions::currentDateTime(clock).value;
}

QString textOrEmpty(const Recordset& row, const QString& column)
{
    const FieldValue value = row.field(column);
    return value.isNull() ? QString() : FieldConversions::toText(value);
}

} // namespace

RecordStore::RecordStore(AppState& state, Prompter& prompter) : m_state(state), m_prompter(prompter) {}

QString RecordStore::statusText(ModuleKind module, const RecordValues& values)
{
    const auto shown = [](const QDateTime& when) {
        return AccountSummary::timeText({FieldConversions::DateTimeValue::Status::Valid, when});
    };
    return moduleInfo(module).createdLabel + shown(values.created) + QStringLiteral(" 更新于：") +
           shown(values.updated);
}

RecordStore::LoadOutcome RecordStore::load(ModuleKind module)
{
    ModuleSelection& selection = m_state.selection(module);
    LoadOutcome outcome;
    outcome.statusText = moduleInfo(module).readErrorText;
    Recordset row;
    try {
        if (!openRow(m_state, module, selection.currentRecordId, row))
            return outcome;
        RecordValues& values = outcome.values;
        values.id = selection.currentRecordId;
        values.level = toInt(row.field(kLevel), 0);
        const std::optional<QString> key = RecordProtection::resolveKey(values.level, ReadLongBinary(row, kCheckValue),
                                                                        m_state.user.dataKey, m_prompter);
        if (!key) {
            m_prompter.showMessage(RecordProtection::kWrongKeyText, SharedTexts::kAppCaption);
            selection.currentRecordId = -1;
            return outcome;
        }
        values.recordKey = *key;
        readFields(module, row, outcome);
    } catch (const DbError&) {
        return outcome;
    }
    selection.currentOrderId = outcome.values.orderId;
    outcome.loaded = true;
    outcome.statusText = statusText(module, outcome.values);
    return outcome;
}

RecordStore::LoadOutcome RecordStore::read(ModuleKind module, int id, const std::optional<QString>& recordKey)
{
    LoadOutcome outcome;
    outcome.statusText = moduleInfo(module).readErrorText;
    Recordset row;
    try {
        if (!openRow(m_state, module, id, row))
            return outcome;
        RecordValues& values = outcome.values;
        values.id = id;
        values.level = toInt(row.field(kLevel), 0);
        if (!recordKey && values.level != RecordProtection::kNoCustomKey) {
            values.caption = TextCipher::DecryptText(m_state.user.dataKey, ReadLongBinary(row, kCaption));
            return outcome;
        }
        values.recordKey = recordKey.value_or(m_state.user.dataKey);
        readFields(module, row, outcome);
    } catch (const DbError&) {
        return outcome;
    }
    outcome.loaded = true;
    outcome.statusText = statusText(module, outcome.values);
    return outcome;
}

void RecordStore::readFields(ModuleKind module, const Recordset& row, LoadOutcome& outcome) const
{
    RecordValues& values = outcome.values;
    AesCipher cipher;
    values.caption = TextCipher::DecryptText(cipher, m_state.user.dataKey, ReadLongBinary(row, kCaption));
    if (module == ModuleKind::Pwd) {
        for (std::size_t i = 0; i < kAccountColumns.size(); ++i)
            values.account[i] =
                TextCipher::DecryptText(cipher, values.recordKey, ReadLongBinary(row, kAccountColumns[i]));
    } else {
        values.summary = TextCipher::DecryptText(cipher, values.recordKey, ReadLongBinary(row, kSummary));
    }
    values.created = dateOrNow(row, QStringLiteral("createTime"), m_state.clock);
    values.updated = dateOrNow(row, kUpdated, m_state.clock);
    values.userId = textOrEmpty(row, QStringLiteral("userId"));
    if (module == ModuleKind::Dairy) {
        values.dairyDate = dateOrNow(row, kDairyDate, m_state.clock);
        values.weather = textOrEmpty(row, kWeather);
    }
    values.folderType = toInt(row.field(QStringLiteral("folderType")), 0);
    values.parentId = textOrEmpty(row, QStringLiteral("parentId"));
    values.orderId = toInt(row.field(QStringLiteral("orderId")), 0);
    values.rank = toInt(row.field(kRank), 0);
    if (hasBody(module)) {
        const QByteArray stored = ReadLongBinary(row, kBody);
        if (!stored.isEmpty())
            outcome.body = TextCipher::DecryptBytes(cipher, values.recordKey, stored);
    }
}

RecordStore::SaveOutcome RecordStore::save(ModuleKind module, const RecordValues& input,
                                           const RecordProtection::Controls& protection,
                                           const std::optional<QByteArray>& body)
{
    const ModuleInfo& info = moduleInfo(module);
    const QString& dataKey = m_state.user.dataKey;
    const int id = m_state.selection(module).currentRecordId;
    SaveOutcome outcome;
    outcome.statusText = info.saveErrorText;
    if (id < 1)
        return outcome;
    const std::optional<RecordProtection::Choice> choice = RecordProtection::chooseKey(protection, dataKey);
    if (!choice) {
        outcome.statusText.clear();
        outcome.message = RecordProtection::kEmptyKeyText;
        return outcome;
    }
    // Nothing is written unless every value comes back exactly as typed.
    std::vector<SharedTexts::NamedText> typed = {{kCaptionField, input.caption}};
    if (module == ModuleKind::Pwd) {
        for (std::size_t i = 0; i < kAccountFields.size(); ++i)
            typed.emplace_back(kAccountFields[i], input.account[i]);
    } else {
        typed.emplace_back(kSummaryField, input.summary);
    }
    if (module == ModuleKind::Dairy)
        typed.emplace_back(kWeatherField, input.weather);
    if (protection.customKey)
        typed.emplace_back(kKeyField, protection.keyText);
    if (const std::optional<QString> refusal = SharedTexts::unstorableText(typed)) {
        outcome.statusText.clear();
        outcome.message = *refusal;
        return outcome;
    }
    // A body that could not be read is written back as the bytes it is, under the key it has: a new key
    // or level would leave it under a key the record no longer names.
    if (hasBody(module) && !body && (choice->recordKey != input.recordKey || choice->level != input.level)) {
        outcome.statusText.clear();
        outcome.message = kBodyKeepsKeyText;
        return outcome;
    }
    RecordValues values = input;
    values.id = id;
    values.level = choice->level;
    values.rank = choice->rank;
    values.recordKey = choice->recordKey;
    values.updated = FieldConversions::currentDateTime(m_state.clock).value;

    CDbConnection& connection = m_state.moduleConnection(module);
    try {
        Transaction transaction(connection);
        Recordset row;
        if (!openRow(m_state, module, id, row))
            return outcome;
        row.setField(kUpdated, values.updated);
        row.setField(kLevel, values.level);
        row.setField(kRank, values.rank);
        if (module == ModuleKind::Dairy) {
            row.setField(kDairyDate, values.dairyDate);
            row.setField(kWeather, values.weather);
        }
        AesCipher cipher;
        SetLongBinary(row, TextCipher::EncryptText(cipher, dataKey, values.caption), kCaption);
        if (module == ModuleKind::Pwd) {
            for (std::size_t i = 0; i < kAccountColumns.size(); ++i)
                SetLongBinary(row, TextCipher::EncryptText(cipher, values.recordKey, values.account[i]),
                              kAccountColumns[i]);
        } else {
            SetLongBinary(row, TextCipher::EncryptText(cipher, values.recordKey, values.summary), kSummary);
        }
        // Only a checked custom key leaves a way to check it; the other levels leave keyValue as it was.
        if (values.level == RecordProtection::kCheckedKey)
            SetLongBinary(row, RecordProtection::checkValue(values.recordKey, dataKey), kCheckValue);
        if (hasBody(module) && body)
            SetLongBinary(row, TextCipher::EncryptBytes(cipher, values.recordKey, *body), kBody);
        row.update();
        if (hasBody(module)) {
            if (body && values.level == RecordProtection::kNoCustomKey)
                BodyText::store(connection, module, id, values.recordKey, *body);
            else
                BodyText::remove(connection, module, id);
        }
        transaction.commit();
    } catch (const DbError&) {
        return outcome;
    }
    outcome.saved = true;
    outcome.statusText = info.savedText;
    outcome.values = values;
    return outcome;
}
