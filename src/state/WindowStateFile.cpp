#include "state/WindowStateFile.h"

#include <QDir>

#include "crypto/CodePage936.h"
#include "state/IniFile.h"
#include "state/LeadingNumber.h"
#include "state/RandomLetters.h"

namespace WindowStateFile {

namespace {

const QByteArray kLogInfo = "LogInfo";
const QByteArray kSetting = "Setting";

// Values longer than this are cut when read.
constexpr qsizetype kMaxValueBytes = 127;

QByteArray readValue(const IniFile& ini, const QByteArray& section, const QByteArray& key)
{
    return ini.value(section, key).value_or(QByteArray()).left(kMaxValueBytes);
}

// The text's bytes, without the characters read() would cut off: a character the code page lacks takes
// four bytes, so a text read from a long value can come back longer than the value was.
QByteArray bytesReadBackWhole(QString text)
{
    QByteArray bytes = CodePage936::toBytes(text);
    while (bytes.size() > kMaxValueBytes) {
        text.chop(text.size() > 1 && text.back().isLowSurrogate() ? 2 : 1);
        bytes = CodePage936::toBytes(text);
    }
    return bytes;
}

} // namespace

QString filePath()
{
    return QDir::current().filePath(QStringLiteral("tiv.ini"));
}

WindowStateRecord read()
{
    IniFile ini;
    ini.load(filePath());
    WindowStateRecord record;
    // The letters the writer put around the name come off again.
    record.loginName = readValue(ini, kLogInfo, "LoginName");
    record.loginName.chop(1);
    record.loginName.remove(0, 1);
    record.saveName = CodePage936::toText(readValue(ini, kLogInfo, "SaveName"));
    record.width = LeadingNumber::toInt(readValue(ini, kSetting, "Width"));
    record.height = LeadingNumber::toInt(readValue(ini, kSetting, "Height"));
    record.moduleStart = readValue(ini, kSetting, "moduleStart");
    record.fileStart = LeadingNumber::toInt(readValue(ini, kSetting, "fileStart"));
    record.dairyStart = LeadingNumber::toInt(readValue(ini, kSetting, "dairyStart"));
    record.pwdStart = LeadingNumber::toInt(readValue(ini, kSetting, "pwdStart"));
    record.left = LeadingNumber::toInt(readValue(ini, kSetting, "ptx"));
    record.top = LeadingNumber::toInt(readValue(ini, kSetting, "pty"));
    return record;
}

bool write(const WindowStateRecord& record, RandomLetters& letters)
{
    IniFile ini;
    const QString path = filePath();
    ini.load(path);
    const QByteArray first = CodePage936::toBytes(QString(letters.next()));
    const QByteArray last = CodePage936::toBytes(QString(letters.next()));
    ini.setValue(kLogInfo, "LoginName", first + record.loginName + last);
    ini.setValue(kLogInfo, "SaveName", bytesReadBackWhole(record.saveName));
    ini.setValue(kSetting, "Width", QByteArray::number(record.width));
    ini.setValue(kSetting, "Height", QByteArray::number(record.height));
    ini.setValue(kSetting, "moduleStart", record.moduleStart);
    ini.setValue(kSetting, "fileStart", QByteArray::number(record.fileStart));
    ini.setValue(kSetting, "dairyStart", QByteArray::number(record.dairyStart));
    ini.setValue(kSetting, "pwdStart", QByteArray::number(record.pwdStart));
    ini.setValue(kSetting, "ptx", QByteArray::number(record.left));
    ini.setValue(kSetting, "pty", QByteArray::number(record.top));
    return ini.save(path);
}

} // namespace WindowStateFile
