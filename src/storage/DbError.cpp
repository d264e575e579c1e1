#include "storage/DbError.h"

#include <sqlcipher/sqlite3.h>

DbError::Cause DbError::causeOf(int sqliteCode)
{
    switch (sqliteCode & 0xff) {
    case SQLITE_READONLY:
        return Cause::ReadOnly;
    case SQLITE_CANTOPEN:
        return Cause::CannotMakeFile;
    case SQLITE_FULL:
        return Cause::DiskFull;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Cause::Locked;
    default:
        return Cause::Unknown;
    }
}
