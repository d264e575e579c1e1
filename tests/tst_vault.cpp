// The vault: a database keyed with the user's password through Argon2id, its conversions and its outcomes.
#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

#include <QFile>
#include <QtTest>

#include "crypto/CodePage936.h"
#include "storage/CDbConnection.h"
#include "storage/Schema.h"
#include "storage/Vault.h"
#include "support/TestSupport.h"

using Vault::Outcome;

namespace {

// Small enough to keep the tests fast; the descriptor in the salt carries them to every open.
const VaultKey::Params kQuick{256, 1, 1};
// Characters code page 936 lacks, so a password of them is only right in full.
const QString kPassword = QStringLiteral("钥匙🔑ℵ𝄞");

// Every row of every table, with each value's type, and the schema version: equal dumps, equal data.
QByteArray dump(CDbConnection& db)
{
    QByteArray out;
    sqlite3* handle = db.handle();
    auto each = [handle](const char* sql, const std::function<void(sqlite3_stmt*)>& row) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(handle, sql, -1, &statement, nullptr) != SQLITE_OK)
            return false;
        while (sqlite3_step(statement) == SQLITE_ROW)
            row(statement);
        sqlite3_finalize(statement);
        return true;
    };
    each("PRAGMA user_version", [&](sqlite3_stmt* s) { out += "v" + QByteArray::number(sqlite3_column_int(s, 0)); });
    QList<QByteArray> tables;
    each("SELECT name, sql FROM sqlite_master ORDER BY name", [&](sqlite3_stmt* s) {
        out += reinterpret_cast<const char*>(sqlite3_column_text(s, 1));
        if (QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(s, 1))).startsWith("CREATE TABLE"))
            tables.append(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
    });
    for (const QByteArray& table : tables) {
        const QByteArray sql = "SELECT * FROM \"" + table + "\" ORDER BY rowid";
        each(sql.constData(), [&](sqlite3_stmt* s) {
            for (int i = 0; i < sqlite3_column_count(s); ++i) {
                out += QByteArray::number(sqlite3_column_type(s, i)) + ':';
                const auto* bytes = static_cast<const char*>(sqlite3_column_blob(s, i));
                out += QByteArray(bytes, sqlite3_column_bytes(s, i)).toHex() + ';';
            }
            out += '\n';
        });
    }
    return out;
}

// The database of the working directory with rows of every kind of value.
QByteArray fillAndDump()
{
    CDbConnection db;
    if (!db.OpenConnection(Schema::kConnectionString))
        return {};
    QByteArray binary(70000, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<char>(i * 7);
    for (int i = 0; i < 50; ++i) {
        db.execute(QStringLiteral("INSERT INTO tb_Article (userId, mCaption, mContent, parentId, orderId, keyValue) "
                                  "VALUES (?, ?, ?, ?, ?, ?)"),
                   {QStringLiteral("{用户}"), binary.left(i * 10), i % 2 ? binary : QByteArray(""),
                    QStringLiteral("0001%1").arg(i), i, FieldValue()});
    }
    db.execute(QStringLiteral("PRAGMA user_version = 7"));
    return dump(db);
}

QByteArray vaultDump(const QString& path, QStringView password)
{
    CDbConnection db;
    return Vault::open(db, path, password) == Outcome::Done ? dump(db) : QByteArray();
}

void patchByte(const QString& path, qint64 at)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    file.seek(at);
    char c = 0;
    file.getChar(&c);
    file.seek(at);
    file.putChar(static_cast<char>(c ^ 0x5A));
}

} // namespace

class VaultTest : public QObject {
    Q_OBJECT

private slots:
    void defaultsAreMemoryHardAndTheSaltCarriesThem()
    {
        const VaultKey::Params defaults = VaultKey::defaultParams();
        QVERIFY(defaults.memoryKiB >= 64 * 1024);
        QVERIFY(defaults.passes >= 2 && defaults.passes <= 3);
        for (const VaultKey::Params& params : {defaults, kQuick}) {
            const auto salt = VaultKey::newSalt(params);
            QVERIFY(salt);
            QCOMPARE(VaultKey::paramsOf(*salt), params);
            QVERIFY(VaultKey::newSalt(params) != salt);
        }
        QVERIFY(!VaultKey::newSalt({1000, 1, 1})); // not a power of two
        QVERIFY(!VaultKey::newSalt({8, 1, 2}));    // less than the lanes need
    }

    void bothWaysKeepEveryRowByteForByte()
    {
        TempWorkDir work;
        const QString path = Schema::databasePath();
        const QByteArray before = fillAndDump();
        QVERIFY(!before.isEmpty());

        SecretBytes key;
        QCOMPARE(Vault::toVault(path, kPassword, kQuick, &key), Outcome::Done);
        QCOMPARE(Vault::detect(path), Vault::Format::Vault);
        QVERIFY(!QFile::exists(path + QStringLiteral(".new")));
        QCOMPARE(vaultDump(path, kPassword), before);
        QCOMPARE(Vault::toVault(path, kPassword, kQuick), Outcome::AlreadyAVault);

        // The key handed back opens the vault, and keys a backup that opens with the password alone.
        CDbConnection db;
        QCOMPARE(Vault::openWithKey(db, path, key), Outcome::Done);
        const QString backup = work.filePath(QStringLiteral("backup/copy.bak"));
        QVERIFY(db.copyToWithKey(backup, key.view()));
        db.CloseConnection();
        QCOMPARE(vaultDump(backup, kPassword), before);
        QVERIFY(!CDbConnection().openFile(backup,
                                          CDbConnection::parseConnectionString(Schema::kConnectionString).password));

        QCOMPARE(Vault::toPlain(path, kPassword), Outcome::Done);
        QCOMPARE(Vault::toPlain(path, kPassword), Outcome::NotAVault);
        QVERIFY(db.OpenConnection(Schema::kConnectionString));
        QCOMPARE(dump(db), before);
    }

    void opensOnlyWithItsOwnPassword()
    {
        TempWorkDir work;
        const QString path = Schema::databasePath();
        QCOMPARE(Vault::toVault(path, kPassword, kQuick), Outcome::Done);
        CDbConnection db;
        QVERIFY(!db.OpenConnection(Schema::kConnectionString));
        QCOMPARE(Vault::open(db, path, u"钥匙"), Outcome::WrongPassword);
        // What the code page makes of the password is another password.
        QCOMPARE(Vault::open(db, path, CodePage936::lossyRoundTrip(kPassword)), Outcome::WrongPassword);
        QVERIFY(!db.isOpen());
        QCOMPARE(Vault::open(db, path, kPassword), Outcome::Done);
        QVERIFY(db.isOpen());
    }

    void rekeyTakesTheNewPasswordOnly()
    {
        TempWorkDir work;
        const QString path = Schema::databasePath();
        const QByteArray before = fillAndDump();
        QCOMPARE(Vault::toVault(path, kPassword, kQuick), Outcome::Done);
        QCOMPARE(Vault::rekey(path, u"wrong", u"new", kQuick), Outcome::WrongPassword);
        QCOMPARE(vaultDump(path, kPassword), before);

        QCOMPARE(Vault::rekey(path, kPassword, u"新密码", kQuick), Outcome::Done);
        CDbConnection db;
        QCOMPARE(Vault::open(db, path, kPassword), Outcome::WrongPassword);
        QCOMPARE(vaultDump(path, u"新密码"), before);
    }

    void damagedOrForeignFilesAreToldApart()
    {
        TempWorkDir work;
        const QString path = Schema::databasePath();
        CDbConnection db;
        QCOMPARE(Vault::open(db, path, kPassword), Outcome::NotAVault);
        QCOMPARE(Vault::open(db, work.filePath(QStringLiteral("data/none.dat")), kPassword), Outcome::NoDatabase);
        QCOMPARE(Vault::toVault(path, kPassword, kQuick), Outcome::Done);
        QFile::copy(path, path + QStringLiteral(".good"));
        auto restore = [&] {
            QFile::remove(path);
            QFile::copy(path + QStringLiteral(".good"), path);
        };

        patchByte(path, 13); // the descriptor's version
        QCOMPARE(Vault::detect(path), Vault::Format::Plain);
        QCOMPARE(Vault::open(db, path, kPassword), Outcome::Damaged);
        restore();
        patchByte(path, 3); // a random byte of the salt: another key, which reads nothing
        QCOMPARE(Vault::open(db, path, kPassword), Outcome::WrongPassword);
        restore();
        patchByte(path, 3000); // a page past the header fails its authentication
        QCOMPARE(Vault::toPlain(path, kPassword), Outcome::Damaged);
        QVERIFY(!QFile::exists(path + QStringLiteral(".new")));

        for (const qint64 size : {qint64(10), QFileInfo(path).size() / 2}) {
            restore();
            QVERIFY(QFile::resize(path, size));
            QCOMPARE(Vault::open(db, path, kPassword), Outcome::Damaged);
        }
        QCOMPARE(Vault::detect(path + QStringLiteral(".none")), Vault::Format::Absent);
    }
};

QTEST_GUILESS_MAIN(VaultTest)
#include "tst_vault.moc"
