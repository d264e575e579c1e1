#include "records/BodyText.h"

#include "crypto/TextCipher.h"
#include "records/RtfPlainText.h"
#include "storage/CDbConnection.h"
#include "storage/Schema.h"

namespace BodyText {

void store(CDbConnection& connection, ModuleKind module, int id, const QString& key, QByteArrayView rtf)
{
    const QString table = Schema::bodyTextTable(moduleTable(module));
    if (table.isEmpty() || !Schema::hasTable(connection, table))
        return;
    // The search reads a stored body only up to its first zero byte; so does the copy. A zero character in the
    // text would end the decrypted copy early.
    if (const qsizetype zero = rtf.indexOf('\0'); zero >= 0)
        rtf = rtf.first(zero);
    QString text = RtfPlainText().text(rtf);
    text.replace(QChar(0), QLatin1Char(' '));
    // The stamp is taken from the row as written, whatever form the columns were given.
    connection.execute(QStringLiteral("INSERT OR REPLACE INTO %1 (id, updateTime, bodyLength, mText) "
                                      "SELECT id, updateTime, length(mContent), ? FROM %2 WHERE id=?")
                           .arg(table, moduleTable(module)),
                       {TextCipher::EncryptText(key, text), id});
}

void remove(CDbConnection& connection, ModuleKind module, int id)
{
    const QString table = Schema::bodyTextTable(moduleTable(module));
    if (!table.isEmpty() && Schema::hasTable(connection, table))
        connection.execute(QStringLiteral("DELETE FROM %1 WHERE id=?").arg(table), {id});
}

} // namespace BodyText
