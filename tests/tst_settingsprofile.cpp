// The security settings save and the profile change on real databases: the stored forms, the checks,
// that a failed write leaves row and memory as they were, and that the next start's login obeys what
// was saved.
#include <QtTest>

#include "app/BackupRestore.h"
#include "app/DatedBackup.h"
#include "app/InstanceLock.h"
#include "app/Startup.h"
#include "crypto/TextCipher.h"
#include "security/FirstRunSetup.h"
#include "security/LoginPolicy.h"
#include "security/PolicyRow.h"
#include "security/ProfileChange.h"
#include "security/SecuritySettings.h"
#include "security/VaultMode.h"
#include "state/AccountText.h"
#include "state/AppState.h"
#include "state/Preferences.h"
#include "state/RandomLetters.h"
#include "state/SystemKey.h"
#include "state/WindowStateFile.h"
#include "storage/Clock.h"
#include "storage/FieldConversions.h"
#include "storage/Recordset.h"
#include "storage/Schema.h"
#include "storage/Vault.h"
#include "support/TestSupport.h"

using PolicyRow::Choices;

namespace {

const QString kName = QStringLiteral("ab");
const QString kPassword = QStringLiteral("pass1234");
const QStringList kPolicyColumns = {"aesRank", "instance", "interval", "sdRank", "version"};
const QStringList kAccountColumns = {"userName", "password", "gender"};

// One run of the program as start-up leaves it before the login.
struct Run {
    // A vault's run opens nothing before the login's password does (Startup::openVault).
    explicit Run(bool open = true)
        : clock(QDateTime(QDate(2024, 3, 5), QTime(9, 0))), letters(QStringLiteral("pqrstuvwxy")),
          state(clock, letters), login(state)
    {
        state.systemKey = SystemKey::build();
        if (open &&
            (!state.mainConnection.OpenConnection(Schema::kConnectionString) || !Startup::loadPolicy(state, prompter)))
            qFatal("cannot open the test database");
        state.windowState = WindowStateFile::read();
        state.lastAttemptTime = clock.now();
    }

    // A run of a new database that created the account and logged in with it.
    static std::unique_ptr<Run> loggedIn()
    {
        {
            Run first;
            FirstRunSetup(first.state).save({kName, 2, kPassword, kPassword, QStringLiteral("k1")});
        }
        auto run = std::make_unique<Run>();
        if (run->attempt(kName, kPassword).result != LoginPolicy::Result::LoggedIn)
            qFatal("the new account does not log in");
        return run;
    }

    // An attempt past the re-login interval.
    LoginPolicy::Outcome attempt(const QString& name, const QString& password, qint64 afterMs = 60000)
    {
        clock.advanceMs(afterMs);
        return login.attempt(name, password, false);
    }
    Recordset table(const QString& name)
    {
        Recordset row;
        state.mainConnection.OpenRecordset(row, QStringLiteral("SELECT * FROM ") + name);
        return row;
    }
    QString decrypted(const QString& tableName, const QString& column)
    {
        return TextCipher::DecryptText(state.systemKey, FieldConversions::ReadLongBinary(table(tableName), column));
    }
    // The stored values of the columns, for comparing before and after.
    QList<FieldValue> stored(const QString& tableName, const QStringList& columns)
    {
        const Recordset row = table(tableName);
        QList<FieldValue> values;
        for (const QString& column : columns)
            values << (row.isEof() ? FieldValue() : row.field(column));
        return values;
    }
    QString seal() const { return AccountText::DatabaseSeal(state.user.id); }

    FixedClock clock;
    FixedLetters letters;
    AppState state;
    ScriptedPrompter prompter;
    LoginPolicy login;
    InstanceLock lock;
};

// A vault's next start up to a login with the password, as the login window runs it.
LoginPolicy::Result vaultLogin(const QString& password)
{
    Run next(false);
    const Startup::VaultOpen opened = Startup::openVault(next.state, next.lock, next.prompter, password);
    if (opened != Startup::VaultOpen::Opened)
        return LoginPolicy::Result::Stay;
    return next.attempt(kName, password).result;
}

bool samePolicy(const SettingsRecord& a, const SettingsRecord& b)
{
    return a.id == b.id && a.aesRank == b.aesRank && a.instance == b.instance && a.interval == b.interval &&
           a.sdRank == b.sdRank && a.version == b.version;
}

} // namespace

class SettingsProfileTest : public QObject {
    Q_OBJECT

private slots:
    void settingsAreStoredAsTheDialogSetsThem_data()
    {
        QTest::addColumn<bool>("single");
        QTest::addColumn<bool>("strong");
        QTest::addColumn<bool>("destroy");
        QTest::addColumn<bool>("failures");
        QTest::addColumn<QString>("limit");
        QTest::addColumn<bool>("tampered");
        QTest::addColumn<QString>("sdRank");
        // The master box off outweighs the two rules still ticked below it.
        QTest::newRow("destruction off") << true << false << false << true << "5" << true << "0";
        QTest::newRow("neither rule") << false << true << true << false << "5" << false << "0";
        QTest::newRow("tampering only") << true << true << true << false << "5" << true << "1";
        QTest::newRow("failures only") << false << false << true << true << "5" << false << "25";
        QTest::newRow("both") << true << false << true << true << "0012" << true << "30012";
    }

    void settingsAreStoredAsTheDialogSetsThem()
    {
        QFETCH(bool, single);
        QFETCH(bool, strong);
        QFETCH(bool, destroy);
        QFETCH(bool, failures);
        QFETCH(QString, limit);
        QFETCH(bool, tampered);
        QFETCH(QString, sdRank);
        TempWorkDir work;
        const auto run = Run::loggedIn();
        const Choices choices{single, QStringLiteral("7"), strong, destroy, failures, limit, tampered};

        for (int save = 0; save < 2; ++save) { // saving again with no change saves the same again
            const SecuritySettings::Outcome outcome = SecuritySettings(run->state).save(choices);
            QCOMPARE(outcome.result, SecuritySettings::Result::Saved);
            QCOMPARE(outcome.message + outcome.caption, QStringLiteral("保存安全设置成功Tiv"));
        }
        const QString seal = run->seal();
        const QStringList expected = {strong ? "2" : "1", "7", single ? "1" : "0", sdRank, "2.0.00"};
        const QStringList columns = {"aesRank", "interval", "instance", "sdRank", "version"};
        for (int i = 0; i < columns.size(); ++i)
            QCOMPARE(run->decrypted("tb_Setting", columns[i]), expected[i] + seal);
        Recordset row = run->table("tb_Setting");
        QVERIFY(samePolicy(run->state.settings, PolicyRow::read(row, run->state.systemKey)));

        // Opened again, the dialog shows what the stored mode means, not the boxes as they were.
        Choices shown = choices;
        shown.destroy = sdRank != "0";
        shown.afterFailures = sdRank.startsWith('2') || sdRank.startsWith('3');
        shown.whenTampered = sdRank.startsWith('1') || sdRank.startsWith('3');
        shown.failureLimit = shown.afterFailures ? limit : QString();
        QCOMPARE(SecuritySettings(run->state).current(), shown);
    }

    void settingsRefuseWhatThePolicyCannotUse_data()
    {
        QTest::addColumn<QString>("interval");
        QTest::addColumn<bool>("failures");
        QTest::addColumn<QString>("limit");
        QTest::addColumn<QString>("message"); // empty: accepted
        const QString interval = SecuritySettings::kBadIntervalText;
        const QString limit = SecuritySettings::kBadLimitText;
        QTest::newRow("no interval") << "" << false << "" << interval;
        QTest::newRow("letters in the interval") << "1a" << false << "" << interval;
        QTest::newRow("blank before the interval") << " 5" << false << "" << interval;
        QTest::newRow("interval of five digits") << "10000" << false << "" << interval;
        QTest::newRow("no limit") << "1" << true << "" << limit;
        QTest::newRow("limit 0") << "1" << true << "0" << limit;
        QTest::newRow("letters for a limit") << "1" << true << "abc" << limit;
        QTest::newRow("limit of five digits") << "1" << true << "10000" << limit;
        QTest::newRow("unused limit unchecked") << "0" << false << ""
                                                << "";
        QTest::newRow("largest values") << "9999" << true << "9999"
                                        << "";
    }

    void settingsRefuseWhatThePolicyCannotUse()
    {
        QFETCH(QString, interval);
        QFETCH(bool, failures);
        QFETCH(QString, limit);
        QFETCH(QString, message);
        const Choices choices{true, interval, false, true, failures, limit, false};
        QCOMPARE(SecuritySettings::check(choices).value_or(QString()), message);
        Choices masterOff = choices;
        masterOff.destroy = false; // a limit not in use is never looked at
        QCOMPARE(SecuritySettings::check(masterOff).value_or(QString()),
                 message == SecuritySettings::kBadLimitText ? QString() : message);
    }

    void failedSettingsSaveChangesNothing_data()
    {
        QTest::addColumn<QString>("sabotage");
        QTest::addColumn<QString>("message");
        QTest::newRow("table gone") << "DROP TABLE tb_Setting"
                                    << "保存安全设置失败！";
        QTest::newRow("no row") << "DELETE FROM tb_Setting"
                                << "数据库已被非法篡改，保存安全设置失败！";
        QTest::newRow("write refused")
            << "CREATE TRIGGER refuse BEFORE UPDATE OF sdRank ON tb_Setting BEGIN SELECT RAISE(ABORT, 'no'); END"
            << "保存安全设置失败!";
        // Written last, in the same transaction: the policy row goes back with them.
        QTest::newRow("preferences refused") << "CREATE VIEW tiv_Preference AS SELECT 'lockMinutes' AS name, 1 AS value"
                                             << "保存安全设置失败!";
    }

    void failedSettingsSaveChangesNothing()
    {
        QFETCH(QString, sabotage);
        QFETCH(QString, message);
        TempWorkDir work;
        const auto run = Run::loggedIn();
        run->state.mainConnection.execute(sabotage);
        const SettingsRecord before = run->state.settings;
        const QList<FieldValue> stored = run->stored("tb_Setting", kPolicyColumns);
        const Choices choices{false, QStringLiteral("30"), true, true, true, QStringLiteral("3"), false};
        const Preferences::Values preferences{5, 45, true, 12};

        const SecuritySettings::Outcome outcome = SecuritySettings(run->state).save(choices, preferences);
        QCOMPARE(outcome.result, SecuritySettings::Result::Failed);
        QCOMPARE(outcome.message + outcome.caption, message + "Tiv");
        QVERIFY(samePolicy(run->state.settings, before));
        QCOMPARE(run->stored("tb_Setting", kPolicyColumns), stored);
        QCOMPARE(run->state.preferences, Preferences::Values{});

        // The next try runs the whole save again.
        if (sabotage.startsWith(QLatin1String("CREATE"))) {
            run->state.mainConnection.execute(sabotage.contains("VIEW") ? QStringLiteral("DROP VIEW tiv_Preference")
                                                                        : QStringLiteral("DROP TRIGGER refuse"));
            QCOMPARE(SecuritySettings(run->state).save(choices, preferences).result, SecuritySettings::Result::Saved);
            QCOMPARE(run->decrypted("tb_Setting", "interval"), "30" + run->seal());
            QCOMPARE(run->state.preferences, preferences);
            QCOMPARE(Preferences::read(run->state.mainConnection), preferences);
        }
    }

    void nextStartObeysTheSavedIntervalAndLimit()
    {
        TempWorkDir work;
        {
            const auto run = Run::loggedIn();
            const Choices choices{false, QStringLiteral("3"), false, true, true, QStringLiteral("2"), false};
            QCOMPARE(SecuritySettings(run->state).save(choices).result, SecuritySettings::Result::Saved);
        }
        Run next;
        QCOMPARE(next.attempt(kName, "wrong-1").message, LoginPolicy::wrongPasswordText(1));
        const LoginPolicy::Outcome tooSoon = next.attempt(kName, kPassword, 2000);
        QCOMPARE(tooSoon.message, LoginPolicy::intervalText(QStringLiteral("3")));
        next.login.intervalMessageShown();
        QCOMPARE(next.attempt(kName, "wrong-2", 3100).message, LoginPolicy::wrongPasswordText(2));
        QCOMPARE(next.attempt(kName, "wrong-3", 3100).message, LoginPolicy::wrongPasswordText(3));
        // Three stored failures are more than the limit of two.
        QCOMPARE(next.attempt(kName, kPassword, 3100).result, LoginPolicy::Result::Cancel);
        QVERIFY(next.state.dataDestroyed);
    }

    void profileRefusalsInTheirOrder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("oldPassword");
        QTest::addColumn<QString>("newPassword");
        QTest::addColumn<QString>("confirmation");
        QTest::addColumn<QString>("message");
        QTest::newRow("name of unsafe characters") << "':|"
                                                   << "wrong"
                                                   << "ab"
                                                   << "cd"
                                                   << "用户名不能为空！";
        QTest::newRow("wrong old password") << "cd"
                                            << "pass12345"
                                            << "ab"
                                            << "cd"
                                            << "您输入的原密码错误，操作被拒绝";
        QTest::newRow("letter case of the old password") << "cd"
                                                         << "PASS1234"
                                                         << "ab"
                                                         << "cd"
                                                         << "您输入的原密码错误，操作被拒绝";
        QTest::newRow("new password of three characters") << "cd" << kPassword << "abc"
                                                          << "xyz"
                                                          << "密码不能为空且长度不小于4位!";
        QTest::newRow("new password short once stripped") << "cd" << kPassword << "ab|c"
                                                          << "ab|c"
                                                          << "密码不能为空且长度不小于4位!";
        QTest::newRow("confirmation differs") << "cd" << kPassword << "newpass1"
                                              << "newpass2"
                                              << "您两次输入的新密码不一致，操作未成功";
    }

    void profileRefusalsInTheirOrder()
    {
        QFETCH(QString, name);
        QFETCH(QString, oldPassword);
        QFETCH(QString, newPassword);
        QFETCH(QString, confirmation);
        QFETCH(QString, message);
        TempWorkDir work;
        const auto run = Run::loggedIn();
        const UserRecord before = run->state.user;
        const QList<FieldValue> stored = run->stored("tb_User", kAccountColumns);

        const ProfileChange::Outcome outcome =
            ProfileChange(run->state).apply({name, 1, oldPassword, newPassword, confirmation});
        QCOMPARE(outcome.result, ProfileChange::Result::Refused);
        QCOMPARE(outcome.message + outcome.caption, message + "用户资料修改");
        QCOMPARE(run->state.user.userName + run->state.user.password, before.userName + before.password);
        QCOMPARE(run->state.user.gender, before.gender);
        QCOMPARE(run->stored("tb_User", kAccountColumns), stored);
    }

    void profileChangeIsWhatTheNextLoginReads_data()
    {
        QTest::addColumn<QString>("typedName");
        QTest::addColumn<int>("gender");
        QTest::addColumn<QString>("oldPassword");
        QTest::addColumn<QString>("newPassword");
        QTest::addColumn<QString>("name"); // as stored and shown
        QTest::addColumn<QString>("password");
        QTest::newRow("name without its colon") << "王:五" << 1 << kPassword << "newpass1"
                                                << "王五"
                                                << "newpass1";
        // The login takes it with the colon, so the profile does too.
        QTest::newRow("old password as the login takes it") << "ab" << 0 << "pass:1234"
                                                            << "newpass1"
                                                            << "ab"
                                                            << "newpass1";
        QTest::newRow("equal entries with a bar") << "ab" << 2 << kPassword << "new|pass1"
                                                  << "ab"
                                                  << "newpass1";
        QTest::newRow("only the gender") << "ab" << 0 << kPassword << kPassword << "ab" << kPassword;
    }

    void profileChangeIsWhatTheNextLoginReads()
    {
        QFETCH(QString, typedName);
        QFETCH(int, gender);
        QFETCH(QString, oldPassword);
        QFETCH(QString, newPassword);
        QFETCH(QString, name);
        QFETCH(QString, password);
        TempWorkDir work;
        const auto run = Run::loggedIn();
        const QByteArray nameBefore = run->stored("tb_User", {"userName"}).front().blob();

        const ProfileChange::Outcome outcome =
            ProfileChange(run->state).apply({typedName, gender, oldPassword, newPassword, newPassword});
        QCOMPARE(outcome.result, ProfileChange::Result::Changed);
        QCOMPARE(outcome.message + outcome.caption, QStringLiteral("用户资料修改成功!用户资料修改"));
        const UserRecord& user = run->state.user;
        QCOMPARE(QStringList({user.userName, user.password}), QStringList({name, password}));
        QCOMPARE(user.gender, gender);
        // The password unsalted, the name salted anew: the same name is stored in other bytes.
        QCOMPARE(run->decrypted("tb_User", "password"), password + run->seal());
        const QString storedName = run->decrypted("tb_User", "userName");
        QCOMPARE(AccountText::UnsaltText(AccountText::withoutSeal(storedName)), name);
        QCOMPARE(AccountText::sealOf(storedName), run->seal());
        QVERIFY(run->stored("tb_User", {"userName"}).front().blob() != nameBefore);

        Run next;
        if (password != kPassword)
            QCOMPARE(next.attempt(name, kPassword).message, LoginPolicy::wrongPasswordText(1));
        QCOMPARE(next.attempt(name, newPassword).result, LoginPolicy::Result::LoggedIn);
        QCOMPARE(next.state.user.userName, name);
        QCOMPARE(next.state.user.gender, gender);
        QCOMPARE(next.state.user.dataKey, QStringLiteral("k1"));
    }

    void failedProfileChangeChangesNothing_data()
    {
        QTest::addColumn<QString>("sabotage");
        QTest::newRow("table gone") << "DROP TABLE tb_User";
        QTest::newRow("no account row") << "DELETE FROM tb_User";
        QTest::newRow("password refused")
            << "CREATE TRIGGER refuse BEFORE UPDATE OF password ON tb_User BEGIN SELECT RAISE(ABORT, 'no'); END";
    }

    void failedProfileChangeChangesNothing()
    {
        QFETCH(QString, sabotage);
        TempWorkDir work;
        const auto run = Run::loggedIn();
        run->state.mainConnection.execute(sabotage);
        const QList<FieldValue> stored = run->stored("tb_User", kAccountColumns);

        const ProfileChange::Outcome outcome =
            ProfileChange(run->state).apply({QStringLiteral("cd"), 0, kPassword, "newpass1", "newpass1"});
        QCOMPARE(outcome.result, ProfileChange::Result::Failed);
        QCOMPARE(outcome.message + outcome.caption, QStringLiteral("用户资料修改失败!用户资料修改"));
        QCOMPARE(run->state.user.userName + run->state.user.password, kName + kPassword);
        QCOMPARE(run->state.user.gender, 2);
        QCOMPARE(run->stored("tb_User", kAccountColumns), stored);
    }

    // The vault follows the login password: on and off with it, re-keyed with its change, and a
    // change that fails leaves the file keyed and written as before.
    void vaultFollowsTheLoginPassword()
    {
        TempWorkDir work;
        // The login takes the single-instance lock: one of this test's own, not that of a test beside it.
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(work.path()));
        const auto run = Run::loggedIn();
        AppState& state = run->state;
        const QList<FieldValue> account = run->stored("tb_User", kAccountColumns);
        const QString path = Schema::databasePath();

        const QString plainBackup = DatedBackup::backupPath(QDate(2024, 3, 2));
        QVERIFY(QFile::copy(path, plainBackup));
        QCOMPARE(VaultMode::turnOn(state, QStringLiteral("pass12345")).message, VaultMode::kWrongPasswordText);
        QCOMPARE(Vault::detect(path), Vault::Format::Plain);
        const int generation = state.databaseGeneration;
        const VaultMode::Outcome on = VaultMode::turnOn(state, QStringLiteral("pass:1234"), VaultMode::runDirectly,
                                                        VaultKey::Params{256, 1, 1});
        QVERIFY2(on.done, qPrintable(on.message));
        QCOMPARE(Vault::detect(path), Vault::Format::Vault);
        QVERIFY(state.databaseKey.isVault());
        QVERIFY(state.databaseGeneration > generation);
        // The connections were opened again on the vault, and write.
        QCOMPARE(run->stored("tb_User", kAccountColumns), account);
        QCOMPARE(state.moduleConnection(ModuleKind::File).execute(QStringLiteral("DELETE FROM tb_Task")), 0);
        QCOMPARE(vaultLogin(QStringLiteral("pass12345")), LoginPolicy::Result::Stay);
        QCOMPARE(vaultLogin(kPassword), LoginPolicy::Result::LoggedIn);
        // The dated backup of a vault is a vault of the same password.
        QCOMPARE(DatedBackup::run(FixedClock(QDateTime(QDate(2024, 3, 12), QTime(9, 0))), state.databaseKey),
                 DatedBackup::Result::Made);
        CDbConnection backup;
        QCOMPARE(Vault::open(backup, DatedBackup::backupPath(QDate(2024, 3, 12)), kPassword), Vault::Outcome::Done);
        // A backup made before is converted with the database's key, so that a restore takes it.
        QCOMPARE(VaultMode::plainBackups(), QStringList{plainBackup});
        QCOMPARE(VaultMode::convertBackups({plainBackup}, state.databaseKey), 1);
        QCOMPARE(BackupRestore::check(plainBackup, state.databaseKey).outcome, BackupRestore::Outcome::Done);

        state.mainConnection.execute(QStringLiteral(
            "CREATE TRIGGER refuse BEFORE UPDATE OF password ON tb_User BEGIN SELECT RAISE(ABORT, 'no'); END"));
        QCOMPARE(ProfileChange(state).apply({kName, 2, kPassword, "newpass1", "newpass1"}).result,
                 ProfileChange::Result::Failed);
        QCOMPARE(state.user.password, kPassword);
        QCOMPARE(vaultLogin(kPassword), LoginPolicy::Result::LoggedIn);
        state.mainConnection.execute(QStringLiteral("DROP TRIGGER refuse"));

        QCOMPARE(ProfileChange(state).apply({kName, 2, kPassword, "newpass1", "newpass1"}).result,
                 ProfileChange::Result::Changed);
        QCOMPARE(vaultLogin(kPassword), LoginPolicy::Result::Stay);
        QCOMPARE(vaultLogin(QStringLiteral("newpass1")), LoginPolicy::Result::LoggedIn);

        QVERIFY(VaultMode::turnOff(state, QStringLiteral("newpass1")).done);
        QVERIFY(!state.databaseKey.isVault());
        QCOMPARE(Run().attempt(kName, QStringLiteral("newpass1")).result, LoginPolicy::Result::LoggedIn);
    }
};

QTEST_GUILESS_MAIN(SettingsProfileTest)
#include "tst_settingsprofile.moc"
