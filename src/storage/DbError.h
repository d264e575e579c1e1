#pragma once

#include <stdexcept>
#include <string>

// A data-access failure: a statement, row or conversion that did not work. Cursor operations raise
// it; the command that started the work catches it and reports that command's failure text.
class DbError final : public std::runtime_error {
public:
    // Causes the user can remove outside the program, told apart from a damaged or foreign file
    // (Unknown), which only the program's own failure texts can speak of.
    enum class Cause {
        Unknown,
        ReadOnly,       // the file (or the disk it is on) takes no writes
        CannotMakeFile, // no journal can be made beside the file: its folder takes no new files
        DiskFull,
        Locked, // another program holds the file
    };

    explicit DbError(const std::string& what, Cause cause = Cause::Unknown) : std::runtime_error(what), m_cause(cause)
    {
    }

    Cause cause() const { return m_cause; }

    // The cause a SQLite result code, primary or extended, stands for.
    static Cause causeOf(int sqliteCode);

private:
    Cause m_cause;
};
