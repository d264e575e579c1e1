#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

// A small INI file handled as narrow bytes: sections, "key=value" lines, keys matched without
// regard to letter case. Lines it does not understand are kept as they are when the file is written
// back.
class IniFile final {
public:
    // No file the program writes comes near this size; a larger one is not the program's and is not
    // read whole.
    static constexpr qint64 kMaxFileBytes = 64 * 1024;

    // An absent or unreadable file reads as an empty one, and so does anything but a regular file and
    // a file larger than kMaxFileBytes.
    void load(const QString& path);
    // Writes the whole file, readable by its owner only. False when it cannot be written. Temporary
    // files that an interrupted write left beside it go first.
    bool save(const QString& path) const;

    std::optional<QByteArray> value(const QByteArray& section, const QByteArray& key) const;
    // Replaces the key's value, or adds the key at the end of its section, or adds the section.
    void setValue(const QByteArray& section, const QByteArray& key, const QByteArray& value);

    QByteArray toBytes() const;

private:
    struct Line {
        QByteArray key;  // empty for a line that is no "key=value"
        QByteArray text; // the whole line, or the value for a key line
    };
    struct Section {
        QByteArray name; // empty for lines before the first section
        std::vector<Line> lines;
    };

    Section* findSection(const QByteArray& name);
    const Section* findSection(const QByteArray& name) const;

    std::vector<Section> m_sections;
};
