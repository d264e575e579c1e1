#pragma once

#include <QString>
#include <QStringList>

// The database file, how it is reached and how an empty one is made.
class CDbConnection;

namespace Schema {

// The data source and the password every connection uses.
inline const QString kConnectionString = QStringLiteral(
    "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=./data//Tiv.dat;Jet OLEDB:Database Password=lumbrawinxoctep");
// The file the connection string names, found as the connections find it: data/TIV.DAT is the same
// file. Everything that handles the file itself (the backup, the deletion after a self-destruct) goes
// by this path, so it always reaches the file the connections open.
QString databasePath();

// The words of the diary's weather list in a new database.
QStringList defaultWeatherWords();

// Adds the indexes the program's statements need to a database made before they existed. An index
// is no stored form: it only makes statements fast. Throws DbError when one cannot be made.
void EnsureIndexes(CDbConnection& connection);

// The table of this program's own that keeps, beside a record table with bodies, a plain-text copy of each body
// encrypted like the body, so that a search reads a few hundred bytes instead of the RTF; empty for a record table
// without bodies. Other versions of the program neither read nor write it: a copy holds the row's updateTime and
// the stored body's length as they were when it was written, and one whose row no longer shows them is not used.
QString bodyTextTable(const QString& recordTable);
// Throws DbError when the database cannot be read.
bool hasTable(CDbConnection& connection, const QString& table);
// Adds the body-text tables to a database made before they existed. Throws DbError when one cannot be made.
void EnsureBodyTextTables(CDbConnection& connection);

// Creates a new database at the path with every table, the three folder counters at 10000 and the
// weather list. Refuses a path where anything exists already. On failure nothing is left behind.
bool CreateDatabase(const QString& path, QString* error = nullptr);

} // namespace Schema
