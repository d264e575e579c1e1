// Arbitrary bytes as tiv.ini. Reading must not fail, and what the program writes back must read back as
// itself: after one save the file is in the program's own form, and another save must not change it.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "state/IniFile.h"
#include "state/RandomLetters.h"
#include "state/WindowStateFile.h"

namespace {

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

bool operator==(const WindowStateRecord& a, const WindowStateRecord& b)
{
    return a.loginName == b.loginName && a.saveName == b.saveName && a.width == b.width && a.height == b.height &&
           a.left == b.left && a.top == b.top && a.moduleStart == b.moduleStart && a.fileStart == b.fileStart &&
           a.dairyStart == b.dairyStart && a.pwdStart == b.pwdStart;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The file lives where the program looks for it: the working directory.
    static QTemporaryDir work;
    if (!work.isValid() || !QDir::setCurrent(work.path()))
        fail("no working directory");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = WindowStateFile::filePath();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            fail("cannot write the input file");
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }

    // The INI layer alone: its own output parses to the same lines.
    IniFile ini;
    ini.load(path);
    const QByteArray once = ini.toBytes();
    ini.setValue("Fuzz", "Key", "value");
    if (ini.value("fuzz", "KEY") != QByteArray("value"))
        fail("a value set is not read back");

    // The window state as the program reads and writes it.
    FixedLetters letters(QStringLiteral("ab"));
    const WindowStateRecord first = WindowStateFile::read();
    if (!WindowStateFile::write(first, letters))
        return 0;
    const WindowStateRecord second = WindowStateFile::read();
    const QByteArray saved = contents(path);
    if (!WindowStateFile::write(second, letters))
        fail("a second save failed");
    if (contents(path) != saved || !(WindowStateFile::read() == second))
        fail("a second save changed the file");

    IniFile again;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        fail("cannot write the input file");
    file.write(once);
    file.close();
    again.load(path);
    if (again.toBytes() != once)
        fail("the INI text written does not read back as itself");
    return 0;
}
