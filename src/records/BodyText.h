#pragma once

#include <QByteArrayView>
#include <QString>

#include "state/ModuleKind.h"

class CDbConnection;

// The plain-text copy of a record's body that the search reads instead of the body's RTF, kept in the
// table Schema::bodyTextTable names. Both operations do nothing where the database has no such table, and
// throw DbError when a write fails.
namespace BodyText {

// Writes the copy of the record's body, encrypted under the body's key and stamped with the row as it is
// stored now: call it after the row is written, in the same transaction.
void store(CDbConnection& connection, ModuleKind module, int id, const QString& key, QByteArrayView rtf);
// Removes the copy of a body that must have none: one under a custom key, whose text the data key must not
// reveal, or one kept as stored without being read.
void remove(CDbConnection& connection, ModuleKind module, int id);

} // namespace BodyText
