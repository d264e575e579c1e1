// Start-up and exit: the dated backup, the connections, the policy row, the single-instance lock and
// the deletion after a self-destruct.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QtTest>

#include "app/BackupRestore.h"
#include "app/DatedBackup.h"
#include "app/InstanceLock.h"
#include "app/Startup.h"
#include "crypto/TextCipher.h"
#include "state/AppState.h"
#include "state/RandomLetters.h"
#include "state/SharedTexts.h"
#include "state/SystemKey.h"
#include "storage/Clock.h"
#include "storage/FieldConversions.h"
#include "storage/Recordset.h"
#include "storage/Schema.h"
#include "storage/Transaction.h"
#include "storage/Vault.h"
#include "support/TestSupport.h"

namespace {

const QString kPassword = CDbConnection::parseConnectionString(Schema::kConnectionString).password;

QDateTime at(int year, int month, int day)
{
    return QDateTime(QDate(year, month, day), QTime(9, 30));
}

int articleCount(const QString& path)
{
    CDbConnection db;
    if (!db.openFile(path, kPassword))
        return -1;
    Recordset rs;
    db.OpenRecordset(rs, QStringLiteral("SELECT count(*) AS a FROM tb_Article"));
    return FieldConversions::toInt(rs.field(QStringLiteral("a")));
}

void addArticles(int count)
{
    CDbConnection db;
    QVERIFY(db.openFile(Schema::databasePath(), kPassword));
    for (int i = 0; i < count; ++i)
        db.execute(QStringLiteral("INSERT INTO tb_Article (orderId) VALUES (?)"), {i});
}

// Puts an environment variable back as it was when the guard was made.
class EnvironmentGuard final {
public:
    explicit EnvironmentGuard(const char* name)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_value(qgetenv(name))
    {
    }
    ~EnvironmentGuard()
    {
        if (m_had)
            qputenv(m_name, m_value);
        else
            qunsetenv(m_name);
    }
    EnvironmentGuard(const EnvironmentGuard&) = delete;
    EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;

private:
    const char* m_name;
    bool m_had;
    QByteArray m_value;
};

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void setModified(const QString& path, const QDateTime& when)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(when, QFileDevice::FileModificationTime));
}

} // namespace

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void backupOnlyOnDaysEndingInTwo()
    {
        TempWorkDir work;
        FixedClock clock(at(2026, 12, 13));
        QCOMPARE(DatedBackup::run(clock), DatedBackup::Result::NotToday);
        QVERIFY(QDir(QStringLiteral("backup")).isEmpty());

        clock.set(at(2026, 12, 12));
        addArticles(3);
        QCOMPARE(DatedBackup::run(clock), DatedBackup::Result::Made);
        const QString made = DatedBackup::backupPath(QDate(2026, 12, 12));
        QCOMPARE(made, QStringLiteral("./backup/tiv-自动备份-1212.bak"));
        QCOMPARE(articleCount(made), 3);
        QCOMPARE(QDir(QStringLiteral("backup")).entryList(QDir::Files).size(), 1); // no stray partial copy

        // A later start on the same day leaves the copy alone.
        addArticles(1);
        QCOMPARE(DatedBackup::run(clock), DatedBackup::Result::AlreadyMade);
        QCOMPARE(articleCount(made), 3);
    }

    void backupFromAnotherDayIsReplaced()
    {
        TempWorkDir work;
        FixedClock clock(at(2026, 12, 2));
        const QString target = DatedBackup::backupPath(QDate(2026, 12, 2));
        QFile stale(target);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("copied in by hand");
        stale.close();
        setModified(target, at(2026, 11, 5));
        QCOMPARE(DatedBackup::run(clock), DatedBackup::Result::Made);
        QCOMPARE(articleCount(target), 0);

        // This slot's copy from a year ago is no copy of today's data.
        setModified(target, at(2025, 12, 2));
        addArticles(2);
        QCOMPARE(DatedBackup::run(clock), DatedBackup::Result::Made);
        QCOMPARE(articleCount(target), 2);
        QCOMPARE(QFileInfo(target).permissions() & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
                 QFile::ReadOwner | QFile::WriteOwner);
    }

    void noBackupFolderIsSilent()
    {
        TempWorkDir work(true, false);
        FixedClock clock(at(2026, 12, 22));
        QCOMPARE(DatedBackup::run(clock), DatedBackup::Result::Failed);
        QVERIFY(!QFile::exists(QStringLiteral("backup")));
    }

    void backupOfACrashedRunIsConsistent()
    {
        TempWorkDir work;
        addArticles(1);
        // A run that dies in the middle of a large write leaves a hot journal beside the file.
        const pid_t child = fork();
        if (child == 0) {
            CDbConnection db;
            if (!db.openFile(Schema::databasePath(), kPassword))
                _exit(2);
            db.execute(QStringLiteral("PRAGMA cache_size=8"));
            db.execute(QStringLiteral("BEGIN"));
            for (int i = 0; i < 400; ++i)
                db.execute(QStringLiteral("INSERT INTO tb_Article (mContent) VALUES (?)"), {QByteArray(4000, 'x')});
            _exit(0);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QCOMPARE(WEXITSTATUS(status), 0);
        QVERIFY(QFile::exists(QStringLiteral("data/tiv.dat-journal")));

        FixedClock clock(at(2026, 1, 2));
        QCOMPARE(DatedBackup::run(clock), DatedBackup::Result::Made);
        const QString made = DatedBackup::backupPath(QDate(2026, 1, 2));
        CDbConnection copy;
        QVERIFY(copy.openFile(made, kPassword));
        Recordset rs;
        QVERIFY(copy.OpenRecordset(rs, QStringLiteral("PRAGMA integrity_check")));
        QCOMPARE(FieldConversions::toText(rs.field(QStringLiteral("integrity_check"))), QStringLiteral("ok"));
        QCOMPARE(articleCount(made), 1);
    }

    void backupNowOnAnyDayAndRetentionKeepsTheNewest()
    {
        TempWorkDir work;
        for (const int day : {2, 12, 22}) {
            const QString path = DatedBackup::backupPath(QDate(2026, 2, day));
            QVERIFY(QFile(path).open(QIODevice::WriteOnly));
            setModified(path, at(2026, 2, day));
        }
        const QStringList others = {QStringLiteral("backup/tiv-自动备份-0302.bak.77.part"),
                                    QStringLiteral("backup/tiv-恢复前-20250101-093000.bak")};
        for (const QString& path : others) {
            QVERIFY(QFile(path).open(QIODevice::WriteOnly));
            setModified(path, at(2025, 1, 1));
        }
        // A clock behind the files' stamps: the copy just made still counts as the newest.
        const FixedClock clock(at(2025, 11, 5));
        QCOMPARE(DatedBackup::makeNow(clock, {}, 2), DatedBackup::Result::Made);
        const QString made = DatedBackup::backupPath(QDate(2025, 11, 5));
        QCOMPARE(articleCount(made), 0);
        QStringList kept;
        for (const DatedBackup::Entry& entry : DatedBackup::list())
            kept << QFileInfo(entry.path).fileName() + (entry.beforeRestore ? QStringLiteral("*") : QString());
        QCOMPARE(kept, (QStringList{QStringLiteral("tiv-自动备份-0222.bak"), QStringLiteral("tiv-自动备份-1105.bak"),
                                    QStringLiteral("tiv-恢复前-20250101-093000.bak*")}));
        for (const QString& path : others)
            QVERIFY(QFile::exists(path));

        // The start-up backup keeps as many.
        QCOMPARE(DatedBackup::run(FixedClock(at(2026, 3, 12)), {}, 2), DatedBackup::Result::Made);
        QVERIFY(QFile::exists(DatedBackup::backupPath(QDate(2026, 3, 12))));
        QVERIFY(QFile::exists(DatedBackup::backupPath(QDate(2026, 2, 22))));
        QVERIFY(!QFile::exists(made));
    }

    void restoreRefusesWhatCannotReplaceTheDatabase()
    {
        TempWorkDir work;
        const FixedClock clock(at(2026, 5, 6));
        QCOMPARE(DatedBackup::makeNow(clock, {}, 12), DatedBackup::Result::Made);
        QVERIFY(QDir().rename(DatedBackup::backupPath(clock.now().date()), QStringLiteral("backup/no-account.bak")));
        addArticles(1);
        {
            CDbConnection db;
            QVERIFY(db.openFile(Schema::databasePath(), kPassword));
            db.execute(QStringLiteral("INSERT INTO tb_User (loginTimes) VALUES (1)"));
            db.execute(QStringLiteral("INSERT INTO tb_Article (mContent) VALUES (?)"), {QByteArray(20000, 'x')});
        }
        QCOMPARE(DatedBackup::makeNow(clock, {}, 12), DatedBackup::Result::Made);
        const QByteArray good = fileBytes(DatedBackup::backupPath(clock.now().date()));
        const auto write = [](const QString& path, const QByteArray& bytes) {
            QFile file(path);
            return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
        };
        QVERIFY(write(QStringLiteral("backup/truncated.bak"), good.left(good.size() / 2)));
        QVERIFY(write(QStringLiteral("backup/garbage.bak"), QByteArray(8192, '\x5a')));
        // A page of the body that only the engine's check reads.
        QVERIFY(write(QStringLiteral("backup/body-broken.bak"),
                      QByteArray(good).replace(good.size() - 5000, 100, QByteArray(100, 0))));
        QVERIFY(write(QStringLiteral("backup/vault.bak"), good));
        QCOMPARE(Vault::toVault(QStringLiteral("backup/vault.bak"), u"pw", VaultKey::Params{1024, 1, 1}),
                 Vault::Outcome::Done);
        QVERIFY(write(QStringLiteral("elsewhere.bak"), good));

        const QByteArray before = fileBytes(Schema::databasePath());
        const std::vector<std::pair<QString, BackupRestore::Outcome>> cases = {
            {QStringLiteral("backup/truncated.bak"), BackupRestore::Outcome::Damaged},
            {QStringLiteral("backup/garbage.bak"), BackupRestore::Outcome::Damaged},
            {QStringLiteral("backup/body-broken.bak"), BackupRestore::Outcome::Damaged},
            {QStringLiteral("backup/absent.bak"), BackupRestore::Outcome::Missing},
            {QStringLiteral("backup/no-account.bak"), BackupRestore::Outcome::Foreign},
            {QStringLiteral("backup/vault.bak"), BackupRestore::Outcome::OtherKey},
        };
        for (const auto& [path, outcome] : cases) {
            const BackupRestore::Result result = BackupRestore::restore(path, {}, clock.now());
            QCOMPARE(result.outcome, outcome);
            QVERIFY(result.message.endsWith(QStringLiteral("当前数据没有任何改动。")));
            QCOMPARE(fileBytes(Schema::databasePath()), before);
            QCOMPARE(QDir(QStringLiteral("data")).entryList(QDir::Files), QStringList{QStringLiteral("tiv.dat")});
        }
        QCOMPARE(BackupRestore::check(QStringLiteral("backup/vault.bak"), {}).outcome,
                 BackupRestore::Outcome::OtherKey);
        // A good backup, but the current data cannot be saved first.
        QVERIFY(QDir(QStringLiteral("backup")).removeRecursively() && write(QStringLiteral("backup"), "a file"));
        QCOMPARE(BackupRestore::restore(QStringLiteral("elsewhere.bak"), {}, clock.now()).outcome,
                 BackupRestore::Outcome::NotSaved);
        QCOMPARE(fileBytes(Schema::databasePath()), before);
        QCOMPARE(QDir(QStringLiteral("data")).entryList(QDir::Files), QStringList{QStringLiteral("tiv.dat")});
    }

    void restoreReplacesTheDatabaseAndKeepsTheOldOne()
    {
        TempWorkDir work;
        SecretBytes vaultKey;
        QCOMPARE(Vault::toVault(Schema::databasePath(), u"pw", VaultKey::Params{1024, 1, 1}, &vaultKey),
                 Vault::Outcome::Done);
        const DatabaseKey key(std::move(vaultKey));
        const auto articles = [&](const QString& path) {
            CDbConnection db;
            Recordset rs;
            return key.open(db, path) && db.OpenRecordset(rs, QStringLiteral("SELECT count(*) AS a FROM tb_Article"))
                       ? FieldConversions::toInt(rs.field(QStringLiteral("a")))
                       : -1;
        };
        {
            CDbConnection db;
            QVERIFY(key.open(db, Schema::databasePath()));
            db.execute(QStringLiteral("INSERT INTO tb_User (loginTimes) VALUES (1)"));
            db.execute(QStringLiteral("INSERT INTO tb_Article (orderId) VALUES (1)"));
        }
        const FixedClock clock(at(2026, 5, 6));
        QCOMPARE(DatedBackup::makeNow(clock, key, 12), DatedBackup::Result::Made);
        const QString backup = DatedBackup::backupPath(clock.now().date());
        QCOMPARE(Vault::detect(backup), Vault::Format::Vault);
        {
            CDbConnection db;
            QVERIFY(key.open(db, Schema::databasePath()));
            db.execute(QStringLiteral("INSERT INTO tb_Article (orderId) VALUES (2)"));
        }
        // What a crash left: a journal of no transaction, and a half-made copy of an earlier restore.
        for (const QString& leftover : {QStringLiteral("data/tiv.dat-journal"), QStringLiteral("data/tiv.dat.restore")})
            QVERIFY(QFile(leftover).open(QIODevice::WriteOnly));

        const BackupRestore::Result result = BackupRestore::restore(backup, key, clock.now());
        QCOMPARE(result.outcome, BackupRestore::Outcome::Done);
        QCOMPARE(result.savedPath, QStringLiteral("./backup/tiv-恢复前-20260506-093000.bak"));
        QVERIFY(result.message.contains(QStringLiteral("tiv-恢复前-20260506-093000.bak")));
        QCOMPARE(articles(Schema::databasePath()), 1);
        QCOMPARE(articles(result.savedPath), 2);
        QCOMPARE(QDir(QStringLiteral("data")).entryList(QDir::Files), QStringList{QStringLiteral("tiv.dat")});
        QCOMPARE(QFileInfo(Schema::databasePath()).permissions() & ~(QFile::ReadUser | QFile::WriteUser),
                 QFile::ReadOwner | QFile::WriteOwner);
        // Retention after the next backup leaves the saved copy alone; a second restore in the same second
        // saves under a name of its own.
        QCOMPARE(DatedBackup::makeNow(clock, key, 1), DatedBackup::Result::Made);
        QCOMPARE(BackupRestore::restore(backup, key, clock.now()).savedPath,
                 QStringLiteral("./backup/tiv-恢复前-20260506-093000-2.bak"));
        QVERIFY(QFile::exists(result.savedPath));
    }

    void policyRowIsReadAndDecrypted()
    {
        TempWorkDir work;
        ScriptedPrompter prompter;
        SystemClock clock;
        SystemRandomLetters letters;
        {
            AppState state(clock, letters);
            state.systemKey = SystemKey::build();
            QVERIFY(Startup::openConnections(state, prompter));
            QVERIFY(Startup::loadPolicy(state, prompter)); // empty table: first-run values stay
            QCOMPARE(state.settings.id, 1);
            QCOMPARE(state.settings.instance, QStringLiteral("1"));
            QCOMPARE(state.settings.interval, QStringLiteral("1"));
            QCOMPARE(state.settings.version, QStringLiteral("1.0"));
            QVERIFY(state.settings.sdRank.isEmpty());

            const QString key = state.systemKey;
            state.mainConnection.execute(QStringLiteral("INSERT INTO tb_Setting VALUES (1, ?, ?, ?, ?, ?)"),
                                         {TextCipher::EncryptText(key, QStringLiteral("1SEAL")),
                                          TextCipher::EncryptText(key, QStringLiteral("0SEAL")),
                                          TextCipher::EncryptText(key, QStringLiteral("30SEAL")),
                                          TextCipher::EncryptText(key, QStringLiteral("3100SEAL")), QByteArray()});
            QVERIFY(Startup::loadPolicy(state, prompter));
            QCOMPARE(state.settings.instance, QStringLiteral("0SEAL"));
            QCOMPARE(state.settings.interval, QStringLiteral("30SEAL"));
            QCOMPARE(state.settings.sdRank, QStringLiteral("3100SEAL"));
            QCOMPARE(state.settings.version, QString()); // an empty value decrypts to empty text
            QVERIFY(prompter.messages.empty());

            state.mainConnection.execute(QStringLiteral("UPDATE tb_Setting SET id='one'"));
            QVERIFY(!Startup::loadPolicy(state, prompter));
            QCOMPARE(prompter.lastMessage(), SharedTexts::kDatabaseFaultText);
            QCOMPARE(prompter.lastCaption(), QStringLiteral("Tiv"));
            InstanceLock lock;
            Startup::finish(state, lock);
        }
        QVERIFY(QFile::exists(Schema::databasePath())); // nothing destroyed, nothing deleted
    }

    void startTellsWhyTheDatabaseTakesNoWrites_data()
    {
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QString>("message"); // empty: start-up goes on
        // Each condition gives the SQLite result code its real counterpart gives (a file without write
        // permission or on a read-only mount, a folder that takes no new file, a full disk, another
        // program in a write), also where the tests run as root, whom permissions do not stop.
        QTest::newRow("writable") << ""
                                  << "";
        QTest::newRow("read-only file") << "PRAGMA query_only = 1" << SharedTexts::kReadOnlyFileText;
        QTest::newRow("no journal beside the file") << "journal" << SharedTexts::kReadOnlyFolderText;
        QTest::newRow("disk full") << "PRAGMA max_page_count = 1" << SharedTexts::kDiskFullText;
        QTest::newRow("another program writes") << "lock" << SharedTexts::kDatabaseBusyText;
    }

    void startTellsWhyTheDatabaseTakesNoWrites()
    {
        QFETCH(QString, condition);
        QFETCH(QString, message);
        TempWorkDir work;
        const QByteArray before = fileBytes(Schema::databasePath());
        SystemClock clock;
        SystemRandomLetters letters;
        AppState state(clock, letters);
        ScriptedPrompter prompter;
        QVERIFY(Startup::openConnections(state, prompter));
        CDbConnection other;
        if (condition == QLatin1String("journal")) {
            // Where the journal must go, a link into a folder that does not exist.
            QVERIFY(QFile::link(QStringLiteral("missing/journal"), QStringLiteral("data/tiv.dat-journal")));
        } else if (condition == QLatin1String("lock")) {
            QVERIFY(other.openFile(Schema::databasePath(), kPassword));
            other.execute(QStringLiteral("BEGIN IMMEDIATE"));
            state.mainConnection.execute(QStringLiteral("PRAGMA busy_timeout = 0"));
        } else if (!condition.isEmpty()) {
            state.mainConnection.execute(condition);
        }
        QCOMPARE(Startup::checkWritable(state, prompter), message.isEmpty());
        QCOMPARE(prompter.lastMessage(), message);
        if (!message.isEmpty())
            QCOMPARE(prompter.lastCaption(), QStringLiteral("Tiv"));
        // The probe leaves nothing behind, whatever its outcome.
        QCOMPARE(fileBytes(Schema::databasePath()), before);
        QCOMPARE(QDir(QStringLiteral("data")).entryList(QDir::Files), QStringList{QStringLiteral("tiv.dat")});
    }

    void lockedDatabaseIsToldApartFromADamagedOne()
    {
        TempWorkDir work;
        CDbConnection other;
        QVERIFY(other.openFile(Schema::databasePath(), kPassword));
        other.execute(QStringLiteral("BEGIN EXCLUSIVE"));
        SystemClock clock;
        SystemRandomLetters letters;
        AppState state(clock, letters);
        ScriptedPrompter prompter;
        QVERIFY(!Startup::openConnections(state, prompter)); // after the connection's wait for the lock
        QCOMPARE(prompter.lastMessage(), SharedTexts::kDatabaseBusyText);
        other.execute(QStringLiteral("ROLLBACK"));
        // The program's own start opens the file on a thread of its own; the connections then share it.
        QVERIFY(Startup::openConnections(state, prompter, Startup::openInBackground()));
        QCOMPARE(state.moduleConnection(ModuleKind::Pwd).handle(), state.mainConnection.handle());

        QFile file(Schema::databasePath());
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek(100));
        file.write(QByteArray(100, 'x'));
        file.close();
        QVERIFY(!Startup::openConnections(state, prompter));
        QCOMPARE(prompter.lastMessage(), CDbConnection::kOpenFailedText);
        prompter.messages.clear();
        QVERIFY(!Startup::openConnections(state, prompter, Startup::openInBackground()));
        QCOMPARE(prompter.lastMessage(), CDbConnection::kOpenFailedText);
    }

    void writeWaitsForTheBackupCopyWhichHoldsTheStateBefore()
    {
        TempWorkDir work;
        addArticles(1);
        CDbConnection copier;
        QVERIFY(copier.openFile(Schema::databasePath(), kPassword));
        copier.execute(QStringLiteral("BEGIN"));
        copier.execute(QStringLiteral("SELECT count(*) FROM sqlite_master"));
        std::atomic<bool> copyEnded{false};
        int countSeenByCopy = -1;
        // A copy of a large file on a slow disk: longer than the busy timeout of a write.
        std::thread copy([&] {
            const CDbConnection::CopyHold hold;
            std::this_thread::sleep_for(std::chrono::milliseconds(5500));
            Recordset rs;
            copier.OpenRecordset(rs, QStringLiteral("SELECT count(*) AS a FROM tb_Article"));
            countSeenByCopy = FieldConversions::toInt(rs.field(QStringLiteral("a")));
            copyEnded = true;
            copier.execute(QStringLiteral("COMMIT"));
        });
        CDbConnection writer;
        QVERIFY(writer.openFile(Schema::databasePath(), kPassword));
        bool written = false;
        try {
            Transaction transaction(writer);
            writer.execute(QStringLiteral("INSERT INTO tb_Article (orderId) VALUES (2)"));
            transaction.commit();
            written = copyEnded;
        } catch (const DbError&) {
        }
        copy.join();
        QVERIFY(written);
        QCOMPARE(countSeenByCopy, 1);
        QCOMPARE(articleCount(Schema::databasePath()), 2);
    }

    void backupLeavesTheLockOfAWriterInTheProcessHeld()
    {
        TempWorkDir work;
        addArticles(1);
        CDbConnection writer;
        QVERIFY(writer.openFile(Schema::databasePath(), kPassword));
        writer.execute(QStringLiteral("BEGIN IMMEDIATE"));
        writer.execute(QStringLiteral("INSERT INTO tb_Article (orderId) VALUES (2)"));
        FixedClock clock(at(2026, 3, 22));
        QCOMPARE(DatedBackup::run(clock), DatedBackup::Result::Made);

        // Another process must still be kept out while the writer is in its transaction.
        QProcess other;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TIV_TRY_WRITE_LOCK"), Schema::databasePath());
        other.setProcessEnvironment(environment);
        other.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(other.waitForFinished(20000));
        QCOMPARE(other.exitCode(), 0);

        writer.execute(QStringLiteral("COMMIT"));
        QCOMPARE(articleCount(DatedBackup::backupPath(QDate(2026, 3, 22))), 1);
        QCOMPARE(articleCount(Schema::databasePath()), 2);
    }

    void exitAfterSelfDestructDeletesTheFileAndItsBackupsAndTheNextStartFails()
    {
        TempWorkDir work;
        // The connections take data/TIV.DAT for data/tiv.dat; the backup and the deletion must reach it too.
        QVERIFY(QDir().rename(QStringLiteral("data/tiv.dat"), QStringLiteral("data/TIV.DAT")));
        FixedClock clock(at(2026, 12, 12));
        QCOMPARE(DatedBackup::run(clock), DatedBackup::Result::Made);
        const QStringList others = {QStringLiteral("tiv-自动备份-0102.bak"),
                                    QStringLiteral("tiv-自动备份-0122.bak.4242.part"), QStringLiteral("notes.txt"),
                                    QStringLiteral("tiv-恢复前-20260101-120000.bak"),
                                    QStringLiteral("tiv-自动备份-0102.bak.old")};
        for (const QString& name : others) {
            QFile file(QStringLiteral("backup/") + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        ScriptedPrompter prompter;
        SystemRandomLetters letters;
        {
            AppState state(clock, letters);
            QVERIFY(Startup::openConnections(state, prompter));
            QFile journal(QStringLiteral("data/TIV.DAT-journal"));
            QVERIFY(journal.open(QIODevice::WriteOnly));
            journal.close();
            state.dataDestroyed = true;
            InstanceLock lock;
            Startup::finish(state, lock);
            QVERIFY(!state.mainConnection.isOpen());
        }
        QCOMPARE(QDir(QStringLiteral("data")).entryList(QDir::Files), QStringList());
        QCOMPARE(QDir(QStringLiteral("backup")).entryList(QDir::Files, QDir::Name),
                 (QStringList{QStringLiteral("notes.txt"), QStringLiteral("tiv-自动备份-0102.bak.old")}));

        AppState next(clock, letters);
        QVERIFY(!Startup::openConnections(next, prompter));
        QCOMPARE(prompter.messages.size(), std::size_t(1)); // stops at the first connection
        QCOMPARE(prompter.lastMessage(), QStringLiteral("程序初始化失败，请确认程序完整性！"));
    }

    void lockLivesOnlyInADirectoryOfTheUsers_data()
    {
        QTest::addColumn<QString>("runtime"); // $XDG_RUNTIME_DIR
        QTest::addColumn<QString>("own");     // tiv-<uid> in the temporary directory
        QTest::addColumn<QString>("chosen");  // "runtime", "own", or empty: no lock
        // clang-format off
        QTest::newRow("runtime directory") << "private" << "absent" << "runtime";
        QTest::newRow("no runtime directory") << "unset" << "absent" << "own";
        QTest::newRow("runtime directory open to others") << "open" << "absent" << "own";
        QTest::newRow("runtime directory a link") << "link" << "absent" << "own";
        QTest::newRow("runtime directory of another user") << "foreign" << "absent" << "own";
        QTest::newRow("own directory opened up") << "unset" << "open" << "own";
        QTest::newRow("own directory a link") << "unset" << "link" << "";
        QTest::newRow("own directory of another user") << "unset" << "foreign" << "";
        // clang-format on
    }

    void lockLivesOnlyInADirectoryOfTheUsers()
    {
        QFETCH(QString, runtime);
        QFETCH(QString, own);
        QFETCH(QString, chosen);
        if ((runtime == QLatin1String("foreign") || own == QLatin1String("foreign")) && ::geteuid() != 0)
            QSKIP("only root can make a directory that belongs to another user");
        TempWorkDir work(false, false);
        const EnvironmentGuard runtimeGuard("XDG_RUNTIME_DIR");
        const EnvironmentGuard tmpGuard("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(work.path()));
        const QString runtimePath = work.filePath(QStringLiteral("runtime"));
        const QString ownPath = work.filePath(QStringLiteral("tiv-%1").arg(::geteuid()));
        const QString elsewhere = work.filePath(QStringLiteral("elsewhere"));
        QVERIFY(QDir().mkdir(elsewhere) &&
                QFile::setPermissions(elsewhere, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        // Makes the directory as the row says: a private one, one open to others, a link to a private
        // one, or a private one of another user.
        const auto make = [&](const QString& path, const QString& how) {
            if (how == QLatin1String("link"))
                return QFile::link(elsewhere, path);
            if (!QDir().mkdir(path))
                return false;
            const QByteArray native = QFile::encodeName(path);
            if (how == QLatin1String("foreign") && ::chown(native.constData(), 65534, 65534) != 0)
                return false;
            return ::chmod(native.constData(), how == QLatin1String("open") ? 0755 : 0700) == 0;
        };
        if (runtime == QLatin1String("unset")) {
            qunsetenv("XDG_RUNTIME_DIR");
        } else {
            QVERIFY(make(runtimePath, runtime));
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimePath));
        }
        if (own != QLatin1String("absent"))
            QVERIFY(make(ownPath, own));

        const QString expected = chosen == QLatin1String("runtime") ? runtimePath
                                 : chosen == QLatin1String("own")   ? ownPath
                                                                    : QString();
        QCOMPARE(InstanceLock::lockDirectory(), expected);
        InstanceLock lock;
        QCOMPARE(lock.acquire(),
                 expected.isEmpty() ? InstanceLock::Result::Unavailable : InstanceLock::Result::Acquired);
        QVERIFY(QDir(elsewhere).isEmpty()); // nothing made through a link
        if (!expected.isEmpty()) {
            QCOMPARE(QFileInfo(expected).permissions() & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
                     QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QCOMPARE(InstanceLock::lockPath(), expected + QStringLiteral("/vantaTivSec"));
        }
    }

    void lockFileThatIsALinkOrAnothersIsNotUsed()
    {
        TempWorkDir work(false, false);
        const EnvironmentGuard runtimeGuard("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(work.path()));
        const QString lockFile = work.filePath(QStringLiteral("vantaTivSec"));
        QVERIFY(QFile::link(work.filePath(QStringLiteral("target")), lockFile));
        InstanceLock lock;
        QCOMPARE(lock.acquire(), InstanceLock::Result::Unavailable);
        QVERIFY(!QFile::exists(work.filePath(QStringLiteral("target"))));
        if (::geteuid() != 0)
            QSKIP("only root can make a lock file that belongs to another user");
        QVERIFY(QFile::remove(lockFile));
        QFile planted(lockFile);
        QVERIFY(planted.open(QIODevice::WriteOnly));
        QCOMPARE(::fchown(planted.handle(), 65534, 65534), 0);
        QCOMPARE(lock.acquire(), InstanceLock::Result::Unavailable);
    }

    void secondProcessIsRefusedUntilTheFirstDies()
    {
        TempWorkDir work;
        qputenv("XDG_RUNTIME_DIR", work.path().toLocal8Bit());
        QProcess first;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TIV_HOLD_INSTANCE_LOCK"), QStringLiteral("1"));
        first.setProcessEnvironment(environment);
        first.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(first.waitForReadyRead(10000));
        QCOMPARE(first.readAllStandardOutput().trimmed(), QByteArray("held"));

        SystemClock clock;
        SystemRandomLetters letters;
        AppState state(clock, letters);
        ScriptedPrompter prompter;
        InstanceLock lock;
        QVERIFY(!Startup::takeInstanceLock(state, lock, prompter)); // instance "1" by default
        QCOMPARE(prompter.lastMessage(), Startup::kAlreadyRunningText);
        QVERIFY(!lock.isHeld());

        state.settings.instance = QStringLiteral("0SEALSEALS");
        QVERIFY(Startup::takeInstanceLock(state, lock, prompter)); // no restriction asked for
        QVERIFY(!lock.isHeld());

        first.kill();
        QVERIFY(first.waitForFinished(10000));
        state.settings.instance = QStringLiteral("1");
        QVERIFY(Startup::takeInstanceLock(state, lock, prompter));
        QVERIFY(lock.isHeld());
        QCOMPARE(prompter.messages.size(), std::size_t(1));
    }
};

int main(int argc, char* argv[])
{
    // Started by the test itself as "the other copy of the program": hold the lock until killed.
    if (qEnvironmentVariableIsSet("TIV_HOLD_INSTANCE_LOCK")) {
        InstanceLock lock;
        if (lock.acquire() != InstanceLock::Result::Acquired)
            return 3;
        std::puts("held");
        std::fflush(stdout);
        for (;;)
            pause();
    }
    // Started as another program that tries to write the database: 0 when it finds it locked.
    if (qEnvironmentVariableIsSet("TIV_TRY_WRITE_LOCK")) {
        CDbConnection db;
        if (!db.openFile(qEnvironmentVariable("TIV_TRY_WRITE_LOCK"), kPassword))
            return 2;
        try {
            db.execute(QStringLiteral("PRAGMA busy_timeout = 0"));
            db.execute(QStringLiteral("BEGIN IMMEDIATE"));
        } catch (const DbError&) {
            return 0;
        }
        return 1;
    }
    QCoreApplication app(argc, argv);
    StartupTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startup.moc"
