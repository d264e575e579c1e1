// The database wrapper on real encrypted files: opening, recordsets, long binaries, transactions.
#include <sqlcipher/sqlite3.h>
#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include "storage/CDbConnection.h"
#include "storage/Clock.h"
#include "storage/DbError.h"
#include "storage/FieldConversions.h"
#include "storage/Recordset.h"
#include "storage/Schema.h"
#include "storage/Transaction.h"
#include "support/TestSupport.h"

using namespace FieldConversions;

class StorageTest : public QObject {
    Q_OBJECT

private:
    // Adds one document row and returns its id.
    static qint64 addArticle(CDbConnection& db, const QString& parentId, int orderId)
    {
        Recordset rs;
        if (!db.OpenRecordset(rs, QStringLiteral("SELECT * FROM tb_Article")))
            throw DbError("open");
        rs.addNew();
        rs.setField(QStringLiteral("userId"), QStringLiteral("{U}"));
        rs.setField(QStringLiteral("parentId"), parentId);
        rs.setField(QStringLiteral("orderId"), orderId);
        rs.update();
        return rs.field(QStringLiteral("id")).integer();
    }

    static int countRows(CDbConnection& db, const QString& table)
    {
        Recordset rs;
        if (!db.OpenRecordset(rs, QStringLiteral("SELECT count(*) AS a FROM ") + table))
            return -1;
        return toInt(rs.field(QStringLiteral("a")));
    }

private slots:
    void opensThroughTheConnectionStringWhateverTheCase()
    {
        TempWorkDir work;
        CDbConnection db;
        QVERIFY(db.OpenConnection(Schema::kConnectionString));
        QCOMPARE(CDbConnection::parseConnectionString(Schema::kConnectionString).path, QStringLiteral("data/tiv.dat"));
        QVERIFY(db.CloseConnection());
        QVERIFY(db.CloseConnection()); // a second close does nothing
    }

    void refusesWhatIsNoUsableDatabase_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::newRow("absent file") << "absent";
        QTest::newRow("wrong password") << "password";
        QTest::newRow("not a database") << "text";
        QTest::newRow("plain unencrypted database") << "plain";
    }

    void refusesWhatIsNoUsableDatabase()
    {
        QFETCH(QString, setup);
        TempWorkDir work(false);
        if (setup == QLatin1String("password")) {
            QVERIFY(Schema::CreateDatabase(QStringLiteral("data/tiv.dat")));
        } else if (setup == QLatin1String("text")) {
            QFile file(QStringLiteral("data/tiv.dat"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(4096, 'x'));
        } else if (setup == QLatin1String("plain")) {
            sqlite3* plain = nullptr; // a database with no key at all
            QCOMPARE(sqlite3_open("data/tiv.dat", &plain), SQLITE_OK);
            QCOMPARE(sqlite3_exec(plain, "CREATE TABLE tb_User (id TEXT)", nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(plain);
        }
        const QString connection = setup == QLatin1String("password")
                                       ? QStringLiteral("Data Source=./data//Tiv.dat;Database Password=wrong")
                                       : Schema::kConnectionString;
        CDbConnection db;
        QString error;
        QVERIFY(!db.OpenConnection(connection, &error));
        QVERIFY(!db.isOpen());
        QVERIFY(!error.isEmpty());
        // Opening never makes a file where there was none.
        QCOMPARE(QFile::exists(QStringLiteral("data/tiv.dat")), setup != QLatin1String("absent"));
    }

    void newDatabaseHoldsTheSchemaAndIsEncrypted()
    {
        TempWorkDir work;
        QFile raw(QStringLiteral("data/tiv.dat"));
        QVERIFY(raw.open(QIODevice::ReadOnly));
        QVERIFY(!raw.read(16).startsWith("SQLite format 3"));
        QCOMPARE(raw.permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup), QFileDevice::Permissions());
        raw.close();
        QVERIFY(!Schema::CreateDatabase(QStringLiteral("data/tiv.dat"))); // never overwrites

        CDbConnection db;
        QVERIFY(db.OpenConnection(Schema::kConnectionString));
        Recordset rs;
        const QStringList pwdColumns = {"id",       "userId",     "mCaption", "createTime", "updateTime",
                                        "orderId",  "folderType", "parentId", "mRank",      "myKey",
                                        "keyValue", "userName",   "password", "url",        "intro"};
        QVERIFY(db.OpenRecordset(rs, QStringLiteral("SELECT * FROM tb_Pwd")));
        for (const QString& column : pwdColumns)
            QVERIFY2(rs.hasField(column), qPrintable(column));
        QVERIFY(db.OpenRecordset(rs, QStringLiteral("SELECT * FROM tb_Dairy")));
        for (const char* column : {"mTitle", "mContent", "dairyDate", "mWeather", "PARENTID", "orderID"})
            QVERIFY2(rs.hasField(QString::fromLatin1(column)), column);
        QVERIFY(db.OpenRecordset(rs, QStringLiteral("SELECT * FROM tb_FolderMax ORDER BY mModule")));
        QCOMPARE(rs.recordCount(), 3);
        for (rs.moveFirst(); !rs.isEof(); rs.moveNext())
            for (const char* level : {"folder1", "folder2", "folder3", "folder4", "folder5"})
                QCOMPARE(toInt(rs.field(QString::fromLatin1(level))), 10000);
        QVERIFY(
            db.OpenRecordset(rs, QStringLiteral("SELECT * FROM tb_Const WHERE cModule='Dairy' AND cGroup='weather'")));
        QCOMPARE(rs.recordCount(), Schema::defaultWeatherWords().size());
        QCOMPARE(countRows(db, QStringLiteral("tb_Task")), 0);
    }

    void accountRowGetsAGeneratedGuid()
    {
        TempWorkDir work;
        CDbConnection db;
        QVERIFY(db.OpenConnection(Schema::kConnectionString));
        Recordset rs;
        QVERIFY(db.OpenRecordset(rs, QStringLiteral(" SELECT * FROM tb_User ")));
        QVERIFY(rs.isBof() && rs.isEof());
        rs.addNew();
        rs.setField(QStringLiteral("gender"), 2);
        rs.setField(QStringLiteral("purview"), -1);
        rs.update();
        const QString id = toText(rs.field(QStringLiteral("id")));
        QCOMPARE(id.size(), 38);
        QVERIFY(QRegularExpression(QStringLiteral("^\\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\}$"))
                    .match(id)
                    .hasMatch());
        QVERIFY(toDateTime(rs.field(QStringLiteral("createtime"))).isValid());
        QCOMPARE(toInt(rs.field(QStringLiteral("purview"))), -1);
    }

    void longBinaryRoundTrips_data()
    {
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<QByteArray>("read");
        QTest::newRow("empty") << QByteArray() << QByteArray();
        QTest::newRow("five bytes") << QByteArray("\x01\xff\x80 z", 5) << QByteArray("\x01\xff\x80 z", 5);
        QTest::newRow("zero inside") << QByteArray("ab\0cd", 5) << QByteArray("ab");
        QByteArray big(10 * 1024 * 1024, '\0');
        for (qsizetype i = 0; i < big.size(); ++i)
            big[i] = static_cast<char>(1 + (i * 7919) % 255);
        QTest::newRow("10 MB") << big << big;
    }

    void longBinaryRoundTrips()
    {
        QFETCH(QByteArray, written);
        QFETCH(QByteArray, read);
        TempWorkDir work;
        CDbConnection db;
        QVERIFY(db.OpenConnection(Schema::kConnectionString));
        const qint64 id = addArticle(db, QStringLiteral("p"), 1);
        Recordset rs;
        QVERIFY(db.OpenRecordset(rs, QStringLiteral("SELECT * FROM tb_Article WHERE id=?"), {id}));
        QVERIFY(WriteLongBinary(rs, written, QStringLiteral("mContent")));

        CDbConnection other; // a second connection sees what was written
        QVERIFY(other.OpenConnection(Schema::kConnectionString));
        QVERIFY(other.OpenRecordset(rs, QStringLiteral("SELECT * FROM tb_Article WHERE id=?"), {id}));
        QCOMPARE(ReadLongBinary(rs, QStringLiteral("mContent")), read);
        // Empty is an empty value, not NULL.
        QCOMPARE(rs.field(QStringLiteral("mContent")).kind(), FieldValue::Kind::Blob);
        QVERIFY(rs.field(QStringLiteral("mTitle")).isNull());
        QCOMPARE(ReadLongBinary(rs, QStringLiteral("mTitle")), QByteArray());
    }

    void conversionsKeepTheirNullRules()
    {
        QVERIFY_THROWS_EXCEPTION(DbError, toInt(FieldValue()));
        QVERIFY_THROWS_EXCEPTION(DbError, toText(FieldValue()));
        QVERIFY_THROWS_EXCEPTION(DbError, toInt(FieldValue(QStringLiteral("abc"))));
        QVERIFY_THROWS_EXCEPTION(DbError, toInt(FieldValue(qint64(1) << 40)));
        QCOMPARE(toInt(FieldValue(), 2), 2);
        QCOMPARE(toInt(FieldValue(QStringLiteral(" 42 "))), 42);
        QCOMPARE(toText(FieldValue(7)), QStringLiteral("7"));
        // Text passes through the code page and comes back whole, also what the code page lacks.
        QCOMPARE(toText(FieldValue(QStringLiteral("日记😀"))), QStringLiteral("日记😀"));

        const DateTimeValue null = toDateTime(FieldValue());
        QCOMPARE(null.status, DateTimeValue::Status::Null);
        QCOMPARE(monthDayText(null), QString());
        QCOMPARE(monthDayText(toDateTime(FieldValue(QStringLiteral("yesterday")))), QStringLiteral("Invalid DateTime"));
        QCOMPARE(monthDayText(toDateTime(FieldValue(QStringLiteral("2026-12-02 08:00:00")))), QStringLiteral("1202"));
        QCOMPARE(toDateTime(FieldValue(2.5)).value, QDateTime(QDate(1900, 1, 1), QTime(12, 0)));
        QCOMPARE(intText(-1), QStringLiteral("-1"));
        QCOMPARE(intText(0), QStringLiteral("0"));

        FixedClock clock(QDateTime(QDate(2026, 12, 2), QTime(7, 5, 9, 600)));
        QCOMPARE(todayText(clock), QStringLiteral("2026-12-02"));
        QCOMPARE(currentTimeText(clock), QStringLiteral("07:05:09"));
        QCOMPARE(currentDateTime(clock).value, QDateTime(QDate(2026, 12, 2), QTime(7, 5, 9)));
    }

    void recordsetStatementsAndCursor()
    {
        TempWorkDir work;
        CDbConnection db;
        QVERIFY(db.OpenConnection(Schema::kConnectionString));
        for (int i = 1; i <= 5; ++i)
            addArticle(db, QStringLiteral("P%1").arg(i % 2), i);

        Recordset rs;
        QVERIFY(!rs.isOpen());
        QVERIFY(CDbConnection::CloseRecordset(rs)); // never opened: nothing to do
        QVERIFY(!db.OpenRecordset(rs, QStringLiteral("SELECT * FROM tb_Nothing")));
        QCOMPARE(rs.state(), 0);

        // A value that would break a pasted statement is harmless when bound.
        QVERIFY(db.OpenRecordset(rs, QStringLiteral("SELECT * FROM tb_Article WHERE parentId=?"),
                                 {QStringLiteral("x' OR '1'='1")}));
        QVERIFY(rs.isBof() && rs.isEof());

        QVERIFY(db.OpenRecordset(
            rs, QStringLiteral("SELECT id, orderId FROM tb_Article WHERE parentId='P1' ORDER BY orderId")));
        QCOMPARE(rs.recordCount(), 3);
        // Opening the same recordset on another statement replaces what it held.
        QVERIFY(db.OpenRecordset(
            rs, QStringLiteral("SELECT id, orderId FROM tb_Article WHERE parentId='P0' ORDER BY orderId")));
        QCOMPARE(rs.recordCount(), 2);
        QVERIFY(!rs.isBof());
        QCOMPARE(toInt(rs.field(QStringLiteral("ORDERID"))), 2);
        rs.moveNext();
        QCOMPARE(toInt(rs.field(QStringLiteral("orderId"))), 4);
        rs.setField(QStringLiteral("orderId"), 40);
        rs.update();
        rs.moveNext();
        QVERIFY(rs.isEof());
        QVERIFY_THROWS_EXCEPTION(DbError, rs.field(QStringLiteral("id")));
        QVERIFY_THROWS_EXCEPTION(DbError, rs.moveNext());

        QVERIFY(db.OpenRecordset(rs, QStringLiteral("SELECT max(orderId) AS a FROM tb_Article")));
        QCOMPARE(toInt(rs.field(QStringLiteral("a"))), 40);
        QVERIFY_THROWS_EXCEPTION(DbError, rs.setField(QStringLiteral("a"), 1)); // an expression is not a column

        // Deleting the current row makes the next one current.
        QVERIFY(db.OpenRecordset(rs, QStringLiteral("SELECT * FROM tb_Article ORDER BY id")));
        rs.moveNext();
        const qint64 third = rs.field(QStringLiteral("id")).integer() + 1;
        rs.deleteCurrent();
        QCOMPARE(rs.field(QStringLiteral("id")).integer(), third);
        QCOMPARE(countRows(db, QStringLiteral("tb_Article")), 4);

        // A delete statement runs through OpenRecordset and reports success.
        QVERIFY(db.OpenRecordset(rs, QStringLiteral("delete FROM tb_Article")));
        QCOMPARE(countRows(db, QStringLiteral("tb_Article")), 0);
    }

    void onlyAPlainSelectOfOneTableWritesBack_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<bool>("updatable");
        QTest::newRow("plain") << "SELECT id, orderId FROM tb_Article WHERE parentId='P1'" << true;
        QTest::newRow("alias") << "select a.id, a.orderId from tb_Article a where a.orderId > 0 order by id" << true;
        QTest::newRow("subquery in where") << "SELECT * FROM tb_Article WHERE id IN (SELECT 1)" << true;
        QTest::newRow("group by") << "SELECT parentId, orderId FROM tb_Article GROUP BY parentId" << false;
        QTest::newRow("having") << "SELECT orderId FROM tb_Article GROUP BY orderId HAVING orderId > 0" << false;
        QTest::newRow("distinct") << "SELECT DISTINCT parentId FROM tb_Article" << false;
        QTest::newRow("union") << "SELECT id FROM tb_Article UNION SELECT id FROM tb_Article" << false;
        QTest::newRow("join") << "SELECT a.id FROM tb_Article a JOIN tb_Pwd p ON p.id = a.id" << false;
        QTest::newRow("two tables") << "SELECT a.orderId FROM tb_Article a, tb_Pwd p" << false;
        QTest::newRow("from a subquery") << "SELECT id, orderId FROM (SELECT * FROM tb_Article)" << false;
        QTest::newRow("a view") << "SELECT id, orderId FROM v_Article" << false;
        QTest::newRow("a literal that looks like a clause")
            << "SELECT id, orderId FROM tb_Article WHERE parentId <> 'x GROUP BY y'" << true;
    }

    void onlyAPlainSelectOfOneTableWritesBack()
    {
        QFETCH(QString, statement);
        QFETCH(bool, updatable);
        TempWorkDir work;
        CDbConnection db;
        QVERIFY(db.OpenConnection(Schema::kConnectionString));
        db.execute(QStringLiteral("CREATE VIEW v_Article AS SELECT * FROM tb_Article WHERE orderId > 1"));
        db.execute(QStringLiteral("INSERT INTO tb_Pwd (id) VALUES (1)"));
        addArticle(db, QStringLiteral("P1"), 1);
        addArticle(db, QStringLiteral("P1"), 2);

        // Every statement reads its rows; only the plain ones may write them back.
        Recordset rs;
        QVERIFY(db.OpenRecordset(rs, statement));
        QVERIFY(rs.recordCount() > 0);
        QCOMPARE(rs.isUpdatable(), updatable);
        if (!updatable) {
            QVERIFY_THROWS_EXCEPTION(DbError, rs.setField(rs.columnNames().constFirst(), 7));
            return;
        }
        rs.setField(QStringLiteral("orderId"), 7);
        rs.update();
        QCOMPARE(rs.field(QStringLiteral("orderId")), FieldValue(7));
        Recordset check;
        QVERIFY(db.OpenRecordset(check, QStringLiteral("SELECT count(*) AS a FROM tb_Article WHERE orderId = 7")));
        QCOMPARE(toInt(check.field(QStringLiteral("a"))), 1);
    }

    void updateKeepsTheWrittenValuesInPlace()
    {
        TempWorkDir work;
        CDbConnection db;
        QVERIFY(db.OpenConnection(Schema::kConnectionString));
        const qint64 id = addArticle(db, QStringLiteral("P1"), 1);
        Recordset rs;
        QVERIFY(db.OpenRecordset(rs, QStringLiteral("SELECT * FROM tb_Article WHERE id=?"), {id}));
        const QDateTime when(QDate(2026, 12, 8), QTime(9, 30, 5));
        const QByteArray body(1 << 20, 'b');
        rs.setField(QStringLiteral("updateTime"), when);
        rs.setField(QStringLiteral("mContent"), body);
        rs.setField(QStringLiteral("mTitle"), QByteArray());
        rs.update();
        // What the recordset shows is what a fresh read of the row gives.
        Recordset fresh;
        QVERIFY(db.OpenRecordset(fresh, QStringLiteral("SELECT * FROM tb_Article WHERE id=?"), {id}));
        for (const QString& column : fresh.columnNames())
            QCOMPARE(rs.field(column), fresh.field(column));
        QCOMPARE(toDateTime(rs.field(QStringLiteral("updateTime"))).value, when);

        // A row deleted behind the recordset's back is not written to some other row.
        db.execute(QStringLiteral("DELETE FROM tb_Article WHERE id=?"), {id});
        rs.setField(QStringLiteral("orderId"), 9);
        QVERIFY_THROWS_EXCEPTION(DbError, rs.update());
    }

    void aClosedConnectionEndsItsRecordsets()
    {
        TempWorkDir work;
        CDbConnection db;
        QVERIFY(db.OpenConnection(Schema::kConnectionString));
        addArticle(db, QStringLiteral("P1"), 1);
        Recordset rs;
        QVERIFY(db.OpenRecordset(rs, QStringLiteral("SELECT * FROM tb_Article")));
        db.CloseConnection();
        QVERIFY_THROWS_EXCEPTION(DbError, rs.field(QStringLiteral("id")));
        QVERIFY_THROWS_EXCEPTION(DbError, rs.moveFirst());
        QVERIFY_THROWS_EXCEPTION(DbError, rs.setField(QStringLiteral("orderId"), 2));
        QVERIFY_THROWS_EXCEPTION(DbError, rs.addNew());
        // Reopening gives a new handle; the old recordset stays unusable.
        QVERIFY(db.OpenConnection(Schema::kConnectionString));
        QVERIFY_THROWS_EXCEPTION(DbError, rs.moveFirst());
        // A connection sharing another's handle lives on when that one closes.
        CDbConnection shared;
        QVERIFY(shared.ShareConnection(db));
        Recordset own;
        QVERIFY(db.OpenRecordset(own, QStringLiteral("SELECT * FROM tb_Article")));
        db.CloseConnection();
        QVERIFY_THROWS_EXCEPTION(DbError, own.moveFirst());
        QCOMPARE(countRows(shared, QStringLiteral("tb_Article")), 1);
        QVERIFY(!CDbConnection().ShareConnection(db)); // nothing to share from a closed one
        // A value of an unexpected kind is a failure of the command, not of the program.
        QVERIFY_THROWS_EXCEPTION(DbError, FieldValue(QStringLiteral("x")).integer());
    }

    void newFilesAndFoldersAreTheOwnersFromTheStart()
    {
        TempWorkDir work(false);
        const mode_t previous = ::umask(022); // a permissive umask must not matter
        const bool created = Schema::CreateDatabase(QStringLiteral("new/data/tiv.dat"));
        ::umask(previous);
        QVERIFY(created);
        QCOMPARE(QFileInfo(QStringLiteral("new/data/tiv.dat")).permissions() & 0x0077, QFileDevice::Permissions());
        for (const char* folder : {"new", "new/data"})
            QCOMPARE(QFile::permissions(QString::fromLatin1(folder)) & 0x0077, QFileDevice::Permissions());
    }

    void indexesAndTablesAreAddedToAnOlderDatabase()
    {
        TempWorkDir work(false);
        QVERIFY(QFile::copy(QStringLiteral(TIV_TEST_DATA "/landed-account.dat"), QStringLiteral("data/tiv.dat")));
        QFile::setPermissions(QStringLiteral("data/tiv.dat"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        CDbConnection db;
        QVERIFY(db.OpenConnection(Schema::kConnectionString));
        const auto indexes = [&] {
            return countRows(db, QStringLiteral("sqlite_master WHERE type='index' AND name LIKE 'ix_%'"));
        };
        QCOMPARE(indexes(), 3); // the release had the tree indexes only
        Schema::EnsureIndexes(db);
        Schema::EnsureIndexes(db); // a second start finds them there
        QCOMPARE(indexes(), 6);
        QVERIFY(!Schema::hasTable(db, QStringLiteral("tb_ArticleText")));
        Schema::EnsureBodyTextTables(db);
        Schema::EnsureBodyTextTables(db);
        QVERIFY(Schema::hasTable(db, QStringLiteral("tb_ArticleText")) &&
                Schema::hasTable(db, QStringLiteral("tb_DairyText")));
        const auto plan = [&](const char* statement) {
            Recordset rows;
            db.OpenRecordset(rows, QStringLiteral("EXPLAIN QUERY PLAN ") + QString::fromLatin1(statement));
            return rows.field(QStringLiteral("detail")).text();
        };
        QVERIFY(plan("SELECT max(orderId) FROM tb_Pwd").contains(QStringLiteral("ix_Pwd_order")));
        // The tree reads its columns from the index alone.
        QVERIFY(plan("SELECT id, mCaption, parentId, mRank FROM tb_Dairy WHERE userId='u' ORDER BY parentId, orderId")
                    .contains(QStringLiteral("COVERING INDEX ix_Dairy_rows")));
    }

    void transactionsWriteAllOrNothing()
    {
        TempWorkDir work;
        CDbConnection db;
        QVERIFY(db.OpenConnection(Schema::kConnectionString));

        try {
            Transaction transaction(db);
            addArticle(db, QStringLiteral("a"), 1);
            Recordset rs;
            db.OpenRecordset(rs, QStringLiteral("SELECT * FROM tb_FolderMax WHERE mModule='FILE'"));
            rs.setField(QStringLiteral("folder1"), 10001);
            rs.update();
            rs.setField(QStringLiteral("noSuchColumn"), 1); // fails half-way
            transaction.commit();
            QFAIL("the failing write should have thrown");
        } catch (const DbError&) {
        }
        QCOMPARE(countRows(db, QStringLiteral("tb_Article")), 0);
        Recordset rs;
        QVERIFY(db.OpenRecordset(rs, QStringLiteral("SELECT folder1 FROM tb_FolderMax WHERE mModule='FILE'")));
        QCOMPARE(toInt(rs.field(QStringLiteral("folder1"))), 10000);

        {
            Transaction outer(db);
            addArticle(db, QStringLiteral("kept"), 1);
            {
                Transaction inner(db);
                addArticle(db, QStringLiteral("dropped"), 2);
            } // leaves without commit
            outer.commit();
        }
        QVERIFY(db.OpenRecordset(rs, QStringLiteral("SELECT parentId FROM tb_Article")));
        QCOMPARE(rs.recordCount(), 1);
        QCOMPARE(toText(rs.field(QStringLiteral("parentId"))), QStringLiteral("kept"));

        // Another connection sees the committed row.
        CDbConnection other;
        QVERIFY(other.OpenConnection(Schema::kConnectionString));
        QCOMPARE(countRows(other, QStringLiteral("tb_Article")), 1);
    }
};

QTEST_GUILESS_MAIN(StorageTest)
#include "tst_storage.moc"
