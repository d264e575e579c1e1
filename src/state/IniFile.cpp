#include "state/IniFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace {

// A temporary file younger than this may belong to a write still under way in another copy of the
// program.
constexpr qint64 kStaleTemporarySeconds = 60;

bool sameKey(const QByteArray& a, const QByteArray& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// QSaveFile writes "<name>.XXXXXX" (six random letters and digits) and renames it over the file; a
// write cut short (a crash, a kill, a power cut) leaves it behind. Six letters of one case are more
// likely a name someone chose ("tiv.ini.backup") than one drawn at random, so they stay.
void removeStaleTemporaries(const QString& path)
{
    const QFileInfo target(path);
    const QRegularExpression temporary(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(target.fileName()) + QStringLiteral("\\.(?![a-z]{6}$)(?![A-Z]{6}$)[A-Za-z0-9]{6}")));
    const QDateTime stale = QDateTime::currentDateTime().addSecs(-kStaleTemporarySeconds);
    QDir folder = target.dir();
    const QFileInfoList entries =
        folder.entryInfoList({target.fileName() + QStringLiteral(".*")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& entry : entries) {
        if (temporary.match(entry.fileName()).hasMatch() && !entry.isSymLink() && entry.lastModified() < stale)
            folder.remove(entry.fileName());
    }
}

} // namespace

void IniFile::load(const QString& path)
{
    m_sections.clear();
    m_sections.push_back({});
    // A pipe or a device would block the read or never end it.
    if (!QFileInfo(path).isFile())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.read(kMaxFileBytes + 1);
    if (bytes.size() > kMaxFileBytes)
        return;
    const QList<QByteArray> lines = bytes.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        // All of a line's carriage returns belong to its end: one kept would be lost at the next save.
        while (line.endsWith('\r'))
            line.chop(1);
        if (i == lines.size() - 1 && line.isEmpty())
            break; // the end of the last line
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith('[') && trimmed.contains(']')) {
            m_sections.push_back({trimmed.mid(1, trimmed.indexOf(']') - 1).trimmed(), {}});
            continue;
        }
        // A line with nothing but blanks before its "=" is no key line: it stays as it is.
        const qsizetype equals = line.indexOf('=');
        const QByteArray key = equals > 0 ? line.left(equals).trimmed() : QByteArray();
        if (!key.isEmpty() && !trimmed.startsWith(';'))
            m_sections.back().lines.push_back({key, line.mid(equals + 1).trimmed()});
        else
            m_sections.back().lines.push_back({{}, line});
    }
}

bool IniFile::save(const QString& path) const
{
    removeStaleTemporaries(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(toBytes());
    return file.commit();
}

QByteArray IniFile::toBytes() const
{
    QByteArray bytes;
    for (const Section& section : m_sections) {
        if (!section.name.isEmpty())
            bytes += '[' + section.name + "]\n";
        for (const Line& line : section.lines)
            bytes += (line.key.isEmpty() ? line.text : line.key + '=' + line.text) + '\n';
    }
    return bytes;
}

std::optional<QByteArray> IniFile::value(const QByteArray& section, const QByteArray& key) const
{
    const Section* found = findSection(section);
    if (!found)
        return std::nullopt;
    for (const Line& line : found->lines) {
        if (!line.key.isEmpty() && sameKey(line.key, key))
            return line.text;
    }
    return std::nullopt;
}

void IniFile::setValue(const QByteArray& section, const QByteArray& key, const QByteArray& given)
{
    // A value is one line without blanks at its ends, as load() reads it back: a line break would end
    // the line or join the line end, and blanks at the ends would be trimmed away.
    const QByteArray value = QByteArray(given).replace('\r', QByteArray()).replace('\n', QByteArray()).trimmed();
    if (m_sections.empty())
        m_sections.push_back({});
    Section* target = findSection(section);
    if (!target) {
        m_sections.push_back({section, {}});
        target = &m_sections.back();
    }
    for (Line& line : target->lines) {
        if (!line.key.isEmpty() && sameKey(line.key, key)) {
            line.text = value;
            return;
        }
    }
    // New keys go after the last key of the section, before any trailing blank lines.
    auto position = target->lines.end();
    while (position != target->lines.begin() && std::prev(position)->key.isEmpty() &&
           std::prev(position)->text.trimmed().isEmpty())
        --position;
    target->lines.insert(position, {key, value});
}

IniFile::Section* IniFile::findSection(const QByteArray& name)
{
    for (Section& section : m_sections) {
        if (!section.name.isEmpty() && sameKey(section.name, name))
            return &section;
    }
    return nullptr;
}

const IniFile::Section* IniFile::findSection(const QByteArray& name) const
{
    return const_cast<IniFile*>(this)->findSection(name);
}
