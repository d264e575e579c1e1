// First-run save and login policy on real databases: stored forms, the failure count, the interval,
// seals and self-destruct, the remembered name, and that every command writes all or nothing.
#include <map>

#include <QFile>
#include <QtTest>

#include "crypto/TextCipher.h"
#include "security/FirstRunSetup.h"
#include "security/AccountRow.h"
#include "security/LoginPolicy.h"
#include "security/PolicyRow.h"
#include "security/RememberedName.h"
#include "state/AccountText.h"
#include "state/AppState.h"
#include "state/RandomLetters.h"
#include "state/SharedTexts.h"
#include "state/SystemKey.h"
#include "state/WindowStateFile.h"
#include "storage/Clock.h"
#include "storage/FieldConversions.h"
#include "storage/Recordset.h"
#include "storage/Schema.h"
#include "support/TestSupport.h"

using Result = LoginPolicy::Result;

namespace {

const QString kName = QStringLiteral("ab");
const QString kPassword = QStringLiteral("pass1234");
const QString kWrong = QStringLiteral("wrong-pw");
const QString kFault = QStringLiteral("数据库发生异常或被非法篡改！\r\n建议压缩数据库后重新尝试并向作者提交该BUG！");
const QString kDatabasePassword = CDbConnection::parseConnectionString(Schema::kConnectionString).password;
const QStringList kPolicyColumns = {"aesRank", "instance", "interval", "sdRank", "version"};

// One run of the program: what start-up has done before the login dialog (connection, system key,
// policy row, tiv.ini) and the dialog's creation time.
struct Session {
    Session()
        : clock(QDateTime(QDate(2024, 3, 5), QTime(9, 0))), letters(QStringLiteral("pqrstuvwxy")),
          state(clock, letters), policy(state)
    {
        state.systemKey = SystemKey::build();
        if (!state.mainConnection.OpenConnection(Schema::kConnectionString))
            qFatal("cannot open the test database");
        Recordset row = table(QStringLiteral("tb_Setting"));
        if (!row.isEof())
            state.settings = PolicyRow::read(row, state.systemKey);
        state.windowState = WindowStateFile::read();
        state.lastAttemptTime = clock.now();
    }

    QString* policyValue(const QString& column)
    {
        SettingsRecord& s = state.settings;
        QString* values[] = {&s.aesRank, &s.instance, &s.interval, &s.sdRank, &s.version};
        return values[kPolicyColumns.indexOf(column)];
    }
    QString decrypted(const Recordset& row, const QString& column) const
    {
        return TextCipher::DecryptText(state.systemKey, FieldConversions::ReadLongBinary(row, column));
    }
    Recordset table(const QString& name)
    {
        Recordset row;
        state.mainConnection.OpenRecordset(row, QStringLiteral("SELECT * FROM ") + name);
        return row;
    }
    QString account(const QString& column) { return decrypted(table(QStringLiteral("tb_User")), column); }
    qint64 loginTimes() { return table(QStringLiteral("tb_User")).field(QStringLiteral("loginTimes")).integer(); }
    QString seal() { return AccountText::DatabaseSeal(table(QStringLiteral("tb_User")).field("id").text()); }
    int rows(const QString& name) { return table(name).recordCount(); }

    FirstRunSetup::Outcome firstRun(const QString& name = kName, const QString& password = kPassword)
    {
        return FirstRunSetup(state).save({name, 2, password, password, QStringLiteral("k1")});
    }
    // A later attempt, past the re-login interval.
    LoginPolicy::Outcome attempt(const QString& name, const QString& password, bool remember = false)
    {
        clock.advanceMs(5000);
        return policy.attempt(name, password, remember);
    }
    // Replaces a stored value in the database (and the policy in memory, as the next start reads it).
    void store(const QString& table, const QString& column, const QString& text)
    {
        state.mainConnection.execute(QStringLiteral("UPDATE %1 SET %2=?").arg(table, column),
                                     {TextCipher::EncryptText(state.systemKey, text)});
        if (table == QLatin1String("tb_Setting"))
            *policyValue(column) = text;
    }

    FixedClock clock;
    FixedLetters letters;
    AppState state;
    ScriptedPrompter prompter;
    LoginPolicy policy;
};

} // namespace

class LoginTest : public QObject {
    Q_OBJECT

private slots:
    void landedStoredFormsReadAndWriteByteForByte()
    {
        // A database whose account and policy were written by the first release: name "张三abc",
        // password "密码pw12", default key "默认key9", one failed login.
        TempWorkDir work(false);
        QVERIFY(QFile::copy(QStringLiteral(TIV_TEST_DATA "/landed-account.dat"), QStringLiteral("data/tiv.dat")));
        QFile::setPermissions(QStringLiteral("data/tiv.dat"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        Session run;
        Recordset user = run.table(QStringLiteral("tb_User"));
        const QString seal = run.seal();
        const AccountRow row(run.state.systemKey, seal);
        const AccountRow::Values values = row.read(user);
        QCOMPARE(values.userName, QStringLiteral("张三abc"));
        QCOMPARE(values.password, QStringLiteral("密码pw12"));
        QCOMPARE(values.dataKey, QStringLiteral("默认key9"));
        QCOMPARE(values.failureCount, 1);
        QVERIFY(row.passwordMatches(user, QStringLiteral("密码pw12")));
        QVERIFY(!row.passwordMatches(user, QStringLiteral("密码pw13")));

        // Written again with the salt letters it was stored with, every value is the same bytes.
        const auto stored = [&](const QString& column) {
            return FieldConversions::ReadLongBinary(user, column);
        };
        const auto saltOf = [&](const QString& column) {
            const QString salted = run.decrypted(user, column);
            return FixedLetters(QString(salted[2]) + salted[0] + salted[salted.size() - 10]);
        };
        const std::map<QString, QByteArray> before = {{AccountRow::kUserName, stored(AccountRow::kUserName)},
                                                      {AccountRow::kPassword, stored(AccountRow::kPassword)},
                                                      {AccountRow::kDataKey, stored(AccountRow::kDataKey)},
                                                      {AccountRow::kFailureCount, stored(AccountRow::kFailureCount)}};
        FixedLetters nameSalt = saltOf(AccountRow::kUserName);
        FixedLetters keySalt = saltOf(AccountRow::kDataKey);
        row.writeName(user, values.userName, nameSalt);
        row.writePassword(user, values.password);
        row.writeDataKey(user, values.dataKey, keySalt);
        row.writeFailureCount(user, values.failureCount);
        for (const auto& [column, bytes] : before)
            QCOMPARE(user.field(column).blob(), bytes);

        Recordset policy = run.table(QStringLiteral("tb_Setting"));
        const SettingsRecord read = PolicyRow::read(policy, run.state.systemKey);
        QCOMPARE(read.sdRank, QStringLiteral("3100") + seal);
        QCOMPARE(read.version, QStringLiteral("2.0.00") + seal);
        std::map<QString, QByteArray> policyBefore;
        for (const QString& column : kPolicyColumns)
            policyBefore[column] = FieldConversions::ReadLongBinary(policy, column);
        PolicyRow::write(policy, read, run.state.systemKey);
        for (const auto& [column, bytes] : policyBefore)
            QCOMPARE(policy.field(column).blob(), bytes);

        // And the release's account logs in.
        QCOMPARE(run.attempt(QStringLiteral("张三abc"), QStringLiteral("密码pw12")).result, Result::LoggedIn);
    }

    void firstRunStoresEveryValueInItsForm()
    {
        TempWorkDir work;
        Session run; // salt letters: p q r for the name, s t u for the key
        const FirstRunSetup::Outcome outcome =
            FirstRunSetup(run.state).save({"a'b", 1, "pa:ss*word", "pa:ss*word", "k'1"});
        QCOMPARE(outcome.result, FirstRunSetup::Result::Saved);
        QCOMPARE(outcome.message + outcome.caption, QStringLiteral("系统信息初始化成功!初始化"));

        Recordset user = run.table(QStringLiteral("tb_User"));
        const QString id = user.field(QStringLiteral("id")).text();
        QCOMPARE(id.size(), 38);
        const QString seal = id.mid(10, 9);
        QCOMPARE(run.decrypted(user, QStringLiteral("userName")), QStringLiteral("qapbr") + seal);
        QCOMPARE(run.decrypted(user, QStringLiteral("password")), QStringLiteral("password") + seal);
        QCOMPARE(run.decrypted(user, QStringLiteral("aesKey")), QStringLiteral("tks'1u") + seal);
        QCOMPARE(run.decrypted(user, QStringLiteral("errorTimes")), QStringLiteral("0"));
        QCOMPARE(user.field(QStringLiteral("gender")).integer(), 1);
        QCOMPARE(user.field(QStringLiteral("purview")).integer(), -1);

        Recordset policy = run.table(QStringLiteral("tb_Setting"));
        QCOMPARE(policy.recordCount(), 1);
        QCOMPARE(policy.field(QStringLiteral("id")).integer(), 1);
        const QStringList values = {"1", "1", "1", "3100", "2.0.00"};
        for (int i = 0; i < values.size(); ++i) {
            QCOMPARE(run.decrypted(policy, kPolicyColumns[i]), values[i] + seal);
            QCOMPARE(*run.policyValue(kPolicyColumns[i]), values[i] + seal);
        }

        const WindowStateRecord ini = WindowStateFile::read();
        QCOMPARE(ini.saveName, QStringLiteral("是"));
        QCOMPARE(TextCipher::DecryptText(run.state.systemKey, ini.loginName), QStringLiteral("qapbr") + seal);
        QCOMPARE(QList<int>({ini.width, ini.height, ini.left, ini.top}), QList<int>({600, 530, -1, -1}));

        Session next;
        QCOMPARE(next.policy.rememberedName(), std::optional<QString>(kName));
        QCOMPARE(next.attempt(kName, QStringLiteral("password")).result, Result::LoggedIn);
        QCOMPARE(next.state.user.dataKey, QStringLiteral("k'1"));
    }

    // The first run takes the name and the password as the login will, so it makes no account that could
    // never log in; nothing is written for a refused one.
    void firstRunChecksWhatTheLoginWillTake()
    {
        TempWorkDir work;
        Session run;
        const auto refusal = [&](const QString& name, const QString& password) {
            return run.firstRun(name, password).message;
        };
        QCOMPARE(refusal(kName, QStringLiteral("''''")), FirstRunSetup::kShortPasswordText);
        QCOMPARE(refusal(kName, QStringLiteral("ab/c")), FirstRunSetup::kShortPasswordText);
        QCOMPARE(refusal(QStringLiteral("'?*"), kPassword), FirstRunSetup::kEmptyNameText);
        QVERIFY(refusal(kName, QStringLiteral("abc") + QChar(0xDC00)).contains(QStringLiteral("“密码”的第 4 个字符")));
        QCOMPARE(run.rows(QStringLiteral("tb_User")), 0);
    }

    void firstRunWritesAllOrNothing_data()
    {
        QTest::addColumn<QString>("sabotage");
        QTest::newRow("policy table gone") << "DROP TABLE tb_Setting";
        QTest::newRow("policy row refused")
            << "CREATE TRIGGER refuse BEFORE INSERT ON tb_Setting BEGIN SELECT RAISE(ABORT, 'no'); END";
    }

    void firstRunWritesAllOrNothing()
    {
        QFETCH(QString, sabotage);
        TempWorkDir work;
        Session run;
        run.state.mainConnection.execute(sabotage);
        const FirstRunSetup::Outcome failed = run.firstRun();
        QCOMPARE(failed.message + failed.caption, QStringLiteral("系统信息系统初始化异常!初始化"));
        QVERIFY(failed.endsDialog());
        QCOMPARE(run.rows(QStringLiteral("tb_User")), 0);
        QVERIFY(!QFile::exists(QStringLiteral("tiv.ini")));
        QVERIFY(run.state.settings.sdRank.isEmpty());
        // The login then finds no account and runs the first run again, which works once the fault is gone.
        QCOMPARE(run.policy.countAccounts().accounts, LoginPolicy::Accounts::None);
        if (sabotage.startsWith(QLatin1String("CREATE TRIGGER"))) {
            run.state.mainConnection.execute(QStringLiteral("DROP TRIGGER refuse"));
            QCOMPARE(run.firstRun().result, FirstRunSetup::Result::Saved);
            QCOMPARE(run.attempt(kName, kPassword).result, Result::LoggedIn);
        }
    }

    void firstRunReplacesALeftoverPolicyRow()
    {
        TempWorkDir work;
        Session run;
        run.state.mainConnection.execute(QStringLiteral("INSERT INTO tb_Setting (id) VALUES (1)"));
        run.firstRun();
        QCOMPARE(Session().attempt(kName, kPassword).result, Result::LoggedIn);
    }

    void countsTheAccounts()
    {
        TempWorkDir work;
        Session run;
        run.firstRun();
        QCOMPARE(run.policy.countAccounts().accounts, LoginPolicy::Accounts::One);

        run.state.mainConnection.execute(QStringLiteral("INSERT INTO tb_User (gender) VALUES (2)"));
        const LoginPolicy::AccountCheck two = run.policy.countAccounts();
        QVERIFY(two.accounts == LoginPolicy::Accounts::Unusable && two.message.isEmpty());
        run.state.mainConnection.execute(QStringLiteral("DROP TABLE tb_User"));
        const LoginPolicy::AccountCheck broken = run.policy.countAccounts();
        QCOMPARE(broken.accounts, LoginPolicy::Accounts::Unusable);
        QVERIFY(broken.message.startsWith(QStringLiteral("数据库发生异常！\r\n建议使用数据库压缩修复工具")));
    }

    void successFillsTheUserRecord()
    {
        TempWorkDir work;
        Session().firstRun();
        Session first;
        QCOMPARE(first.attempt(kName, kPassword).result, Result::LoggedIn);
        QCOMPARE(first.state.user.password, kPassword);
        QCOMPARE(first.state.user.loginTimes, 0);
        QVERIFY(!first.state.user.lastLogin.isValid());
        const QDateTime firstLogin = first.clock.now();

        // The record holds the values from before this attempt; the row the new ones.
        Session second;
        second.clock.set(firstLogin.addDays(1));
        QCOMPARE(second.attempt(kName, kPassword).result, Result::LoggedIn);
        const UserRecord& user = second.state.user;
        QCOMPARE(user.id, second.table(QStringLiteral("tb_User")).field(QStringLiteral("id")).text());
        QCOMPARE(user.userName + user.dataKey, QStringLiteral("abk1"));
        QCOMPARE(user.gender, 2);
        QCOMPARE(user.loginTimes, 1);
        QCOMPARE(user.lastLogin.value, firstLogin);
        QCOMPARE(second.loginTimes(), 2);
        const Recordset row = second.table(QStringLiteral("tb_User"));
        QCOMPARE(FieldConversions::toDateTime(row.field(QStringLiteral("lastLoginTime"))).value, second.clock.now());
    }

    void typedNamesAndPasswords_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message"); // empty: logged in
        QTest::newRow("empty name") << "" << kPassword << "用户名不能为空，请输入您的用户名!澄岳个人信息管理";
        QTest::newRow("name of unsafe characters")
            << "'?*" << kPassword << "用户名不能为空，请输入您的用户名!澄岳个人信息管理";
        QTest::newRow("short password") << kName << "abc"
                                        << "密码不能为空且长度不小于4位!澄岳个人信息管理";
        QTest::newRow("unknown name") << "abc" << kPassword << "您输入的用户名不存在!澄岳个人信息管理安全版";
        QTest::newRow("letter case counts") << "AB" << kPassword << "您输入的用户名不存在!澄岳个人信息管理安全版";
        QTest::newRow("apostrophe dropped") << "a'b" << kPassword << "";
        QTest::newRow("password stripped") << kName << "pass:1234"
                                           << "";
    }

    void typedNamesAndPasswords()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QString, message);
        TempWorkDir work;
        Session run;
        run.firstRun();
        const LoginPolicy::Outcome outcome = run.attempt(name, password);
        QCOMPARE(outcome.result, message.isEmpty() ? Result::LoggedIn : Result::Stay);
        QCOMPARE(outcome.message + outcome.caption, message);
        // Only a wrong password counts as a failure.
        QCOMPARE(run.account(QStringLiteral("errorTimes")), QStringLiteral("0"));
    }

    // A name and a password outside the code page are kept exactly; those an earlier version kept with
    // '?' still log in as typed.
    void textOutsideTheCodePageLogsIn()
    {
        TempWorkDir work;
        Session run;
        const QString name = QStringLiteral("\U0001F600张三");
        const QString password = QStringLiteral("Pässwörd");
        run.firstRun(name, password);
        QCOMPARE(run.attempt(name, QStringLiteral("P?ssw?rd")).result, Result::Stay);
        QCOMPARE(run.attempt(name, password).result, Result::LoggedIn);
        QCOMPARE(run.state.user.userName, name);
        QCOMPARE(run.state.user.password, password);

        const QString seal = run.seal();
        run.store(QStringLiteral("tb_User"), AccountRow::kPassword, QStringLiteral("P?ssw?rd") + seal);
        run.state.mainConnection.execute(
            QStringLiteral("UPDATE tb_User SET userName=?"),
            {AccountRow(run.state.systemKey, seal).encodeSaltedName(QStringLiteral("b张a?c"))});
        QCOMPARE(run.attempt(QStringLiteral("张\U0001F600"), password).result, Result::LoggedIn);
        QCOMPARE(run.state.user.userName, QStringLiteral("张?"));
    }

    void repeatedAttemptWithinTheIntervalIsRefused()
    {
        TempWorkDir work;
        Session run;
        run.firstRun();
        // The first attempt of a run is never held back.
        QCOMPARE(run.policy.attempt(kName, kWrong, false).message, QStringLiteral("您输入密码第1次错误!"));
        const QString refusal = QStringLiteral("请勿在1秒内重复登录！\r\n\r\n(注：防止暴力破解密码，"
                                               "请根据实际情况设定登录时间间隔)\r\n澄岳个人信息管理安全版");
        run.clock.advanceMs(600);
        LoginPolicy::Outcome outcome = run.policy.attempt(kName, kPassword, false);
        QCOMPARE(outcome.message + outcome.caption, refusal);
        QVERIFY(outcome.withinInterval);
        // The message stood 0.8 s; the interval starts again when it closes. 1.3 s after the refused
        // press but 0.5 s after the message, the next press is refused again.
        run.clock.advanceMs(800);
        run.policy.intervalMessageShown();
        run.clock.advanceMs(500);
        outcome = run.policy.attempt(kName, kPassword, false);
        QCOMPARE(outcome.message + outcome.caption, refusal);
        run.policy.intervalMessageShown();
        run.clock.advanceMs(1000);
        QCOMPARE(run.policy.attempt(kName, kWrong, false).message, QStringLiteral("您输入密码第2次错误!"));
        QCOMPARE(run.loginTimes(), 2); // refused presses never reached the row
    }

    void failureCountSurvivesRestartAndResetsOnSuccess()
    {
        TempWorkDir work;
        {
            Session first;
            first.firstRun();
            for (int i = 1; i <= 3; ++i)
                QCOMPARE(first.attempt(kName, kWrong).message, LoginPolicy::wrongPasswordText(i));
        }
        Session second;
        QCOMPARE(second.attempt(kName, kWrong).message, QStringLiteral("您输入密码第4次错误!"));
        QCOMPARE(second.account(QStringLiteral("errorTimes")), QStringLiteral("4"));
        QCOMPARE(second.attempt(kName, kPassword).result, Result::LoggedIn);
        QCOMPARE(Session().attempt(kName, kWrong).message, QStringLiteral("您输入密码第1次错误!"));
    }

    void failureCountKeepsToFourDigits()
    {
        TempWorkDir work;
        Session run;
        run.firstRun();
        run.store(QStringLiteral("tb_Setting"), QStringLiteral("sdRank"), QStringLiteral("0100") + run.seal());
        run.store(QStringLiteral("tb_User"), QStringLiteral("errorTimes"), QStringLiteral("9998"));
        QCOMPARE(run.attempt(kName, kWrong).message, QStringLiteral("您输入密码第9999次错误!"));
        QCOMPARE(run.attempt(kName, kWrong).message, QStringLiteral("您输入密码第9999次错误!"));
        QCOMPARE(run.account(QStringLiteral("errorTimes")), QStringLiteral("9999"));
    }

    void tooManyFailuresDestroyTheData_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("destroys");
        QTest::newRow("off") << "0" << false;
        QTest::newRow("tamper only") << "1" << false;
        QTest::newRow("failures") << "2" << true;
        QTest::newRow("both") << "3" << true;
    }

    void tooManyFailuresDestroyTheData()
    {
        QFETCH(QString, mode);
        QFETCH(bool, destroys);
        TempWorkDir work;
        Session run;
        run.firstRun();
        run.store(QStringLiteral("tb_Setting"), QStringLiteral("sdRank"), mode + QStringLiteral("2") + run.seal());
        const QStringList tables = {"tb_User", "tb_Setting", "tb_Article",    "tb_Dairy",
                                    "tb_Pwd",  "tb_Task",    "tb_ArticleText"};
        for (const QString& table : tables.mid(2, 4))
            run.state.mainConnection.execute(QStringLiteral("INSERT INTO %1 (userId) VALUES ('x')").arg(table));
        run.state.mainConnection.execute(QStringLiteral("INSERT INTO tb_ArticleText (id) VALUES (1)"));
        // Two stored failures are within the limit of 2: the third attempt still checks the password.
        for (int i = 1; i <= 3; ++i)
            QCOMPARE(run.attempt(kName, kWrong).message, LoginPolicy::wrongPasswordText(i));

        // Three is more than the limit: whatever this attempt carries, it ends the dialog.
        const LoginPolicy::Outcome outcome = run.attempt(QStringLiteral("nobody"), kPassword);
        QCOMPARE(run.state.dataDestroyed, destroys);
        QCOMPARE(outcome.result, destroys ? Result::Cancel : Result::Stay);
        QCOMPARE(outcome.message, destroys ? QString() : QStringLiteral("您输入的用户名不存在!"));
        for (const QString& table : tables)
            QCOMPARE(run.rows(table), destroys ? 0 : 1);
    }

    void policySeals_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("value"); // "*" stands for the account's seal
        QTest::addColumn<QString>("expected");
        QTest::newRow("mode 0, instance") << "0"
                                          << "instance"
                                          << "1XXXX-XXXX"
                                          << "login";
        QTest::newRow("mode 1, instance") << "1"
                                          << "instance"
                                          << "1XXXX-XXXX"
                                          << "destroy";
        QTest::newRow("mode 2, instance") << "2"
                                          << "instance"
                                          << "1XXXX-XXXX"
                                          << "login";
        QTest::newRow("mode 3, instance") << "3"
                                          << "instance"
                                          << "1XXXX-XXXX"
                                          << "destroy";
        QTest::newRow("mode 3, version") << "3"
                                         << "version"
                                         << "2.0.00XXXX-XXXX"
                                         << "destroy";
        QTest::newRow("mode 1, aesRank empty") << "1"
                                               << "aesRank"
                                               << ""
                                               << "destroy";
        QTest::newRow("mode 3, value changed, seal kept") << "3"
                                                          << "interval"
                                                          << "0*"
                                                          << "login";
        // The sdRank seal is checked before the mode is even looked at.
        QTest::newRow("mode 0, sdRank seal") << "0"
                                             << "sdRank"
                                             << "0100XXXX-XXXX"
                                             << "tampered";
        QTest::newRow("mode 3, sdRank seal") << "3"
                                             << "sdRank"
                                             << "3100XXXX-XXXX"
                                             << "tampered";
        QTest::newRow("sdRank empty") << "3"
                                      << "sdRank"
                                      << ""
                                      << "tampered";
    }

    void policySeals()
    {
        QFETCH(QString, mode);
        QFETCH(QString, column);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        TempWorkDir work;
        Session run;
        run.firstRun();
        run.store(QStringLiteral("tb_Setting"), QStringLiteral("sdRank"), mode + QStringLiteral("100") + run.seal());
        run.store(QStringLiteral("tb_Setting"), column, QString(value).replace(u'*', run.seal()));

        const LoginPolicy::Outcome outcome = run.attempt(kName, kPassword);
        QCOMPARE(run.state.dataDestroyed, expected == QLatin1String("destroy"));
        QCOMPARE(run.rows(QStringLiteral("tb_User")), expected == QLatin1String("destroy") ? 0 : 1);
        if (expected == QLatin1String("tampered")) {
            QCOMPARE(outcome.result, Result::Stay);
            QCOMPARE(outcome.message + outcome.caption, QStringLiteral("数据库发生异常或被非法篡改！Tiv"));
            QCOMPARE(run.loginTimes(), 1); // the attempt reached the row
        } else {
            QCOMPARE(outcome.result, expected == QLatin1String("destroy") ? Result::Cancel : Result::LoggedIn);
            QVERIFY(outcome.message.isEmpty());
        }
    }

    void remembersTheNameOnlyWhenTicked()
    {
        TempWorkDir work;
        {
            Session first;
            first.firstRun();
            QCOMPARE(first.attempt(kName, kPassword, false).result, Result::LoggedIn);
        }
        {
            Session second;
            QCOMPARE(second.policy.rememberedName(), std::nullopt);
            QCOMPARE(second.state.windowState.saveName, QStringLiteral("否"));
            QVERIFY(second.state.windowState.loginName.isEmpty());
            QCOMPARE(second.attempt(QStringLiteral("a'b"), kPassword, true).result, Result::LoggedIn);
        }
        Session third;
        QCOMPARE(third.state.windowState.saveName, QStringLiteral("是"));
        QCOMPARE(third.policy.rememberedName(), std::optional<QString>(kName));
        QCOMPARE(third.state.windowState.width, 600); // the rest of the file is kept
    }

    void eachAttemptWritesAllOrNothing()
    {
        TempWorkDir work;
        Session run;
        run.firstRun();
        QVERIFY(QFile::remove(QStringLiteral("tiv.ini")));
        run.state.mainConnection.execute(QStringLiteral(
            "CREATE TRIGGER refuse BEFORE UPDATE OF errorTimes ON tb_User BEGIN SELECT RAISE(ABORT, 'no'); END"));
        for (const QString& password : {kWrong, kPassword}) {
            const LoginPolicy::Outcome outcome = run.attempt(kName, password, true);
            QCOMPARE(outcome.result, Result::Stay);
            QCOMPARE(outcome.message + outcome.caption, kFault + QStringLiteral("澄岳个人信息管理安全版"));
            const Recordset row = run.table(QStringLiteral("tb_User"));
            QVERIFY(row.field(QStringLiteral("lastLoginTime")).isNull());
            QVERIFY(row.field(QStringLiteral("loginTimes")).isNull());
            QVERIFY(!QFile::exists(QStringLiteral("tiv.ini")));
            QCOMPARE(run.state.user.failureCount, 0);
        }
        run.state.mainConnection.execute(QStringLiteral("DROP TRIGGER refuse"));
        QCOMPARE(run.attempt(kName, kPassword, true).result, Result::LoggedIn);
        QCOMPARE(run.loginTimes(), 1);
        QVERIFY(QFile::exists(QStringLiteral("tiv.ini")));
    }

    void rightPasswordOnADatabaseThatTakesNoWritesIsNotCalledTampered_data()
    {
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QString>("message");
        QTest::newRow("read-only") << "PRAGMA query_only = 1" << SharedTexts::kReadOnlyFileText;
        QTest::newRow("another program writes") << "lock" << SharedTexts::kDatabaseBusyText;
    }

    void rightPasswordOnADatabaseThatTakesNoWritesIsNotCalledTampered()
    {
        QFETCH(QString, condition);
        QFETCH(QString, message);
        TempWorkDir work;
        Session run;
        run.firstRun();
        CDbConnection other;
        if (condition == QLatin1String("lock")) {
            QVERIFY(other.openFile(Schema::databasePath(), kDatabasePassword));
            other.execute(QStringLiteral("BEGIN IMMEDIATE"));
            run.state.mainConnection.execute(QStringLiteral("PRAGMA busy_timeout = 0"));
        } else {
            run.state.mainConnection.execute(condition);
        }
        const LoginPolicy::Outcome outcome = run.attempt(kName, kPassword);
        QCOMPARE(outcome.result, Result::Stay);
        QCOMPARE(outcome.message + outcome.caption, message + QStringLiteral("澄岳个人信息管理安全版"));
        QVERIFY(run.table(QStringLiteral("tb_User")).field(QStringLiteral("loginTimes")).isNull()); // nothing kept
        QCOMPARE(run.state.user.failureCount, 0);
    }

    void rememberedNameThatIsNoStoredFormIsDropped_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("shown"); // empty: the box stays empty
        const QString key = SystemKey::build();
        const QString seal = QStringLiteral("ABCD-1234");
        const auto stored = [&](const QString& salted) {
            return TextCipher::EncryptText(key, salted + seal);
        };
        WindowStateRecord remembered;
        FixedLetters letters(QStringLiteral("qpr"));
        QVERIFY(RememberedName::remember(remembered, QStringLiteral("张三"), seal, key, letters));
        // "p张q三r" with the second byte of 三 (C8 FD) decrypting to "0": C8 30 is no code page 936 text.
        QByteArray outsideTheCodePage = remembered.loginName;
        outsideTheCodePage[5] = static_cast<char>(outsideTheCodePage[5] ^ '\xfd' ^ '0');

        QTest::newRow("as remembered") << remembered.loginName << QStringLiteral("张三");
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("typed in by hand") << QByteArray("zhangsan") << QString();
        QTest::newRow("outside the code page") << outsideTheCodePage << QString();
        QTest::newRow("salt letter out of place") << stored(QStringLiteral("z张q三r")) << QString();
        QTest::newRow("control character") << stored(QStringLiteral("p张q\t三r")) << QString();
        QTest::newRow("user-defined character") << stored(QStringLiteral("p张q\uE28A三r")) << QStringLiteral("张\uE28A三");
        QTest::newRow("character the login strips") << stored(QStringLiteral("p张q:三r")) << QString();
        QTest::newRow("too short for a name") << stored(QStringLiteral("pqr")) << QString();
        QTest::newRow("shorter than a seal") << TextCipher::EncryptText(key, QStringLiteral("pqr")) << QString();
    }

    void rememberedNameThatIsNoStoredFormIsDropped()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QString, shown);
        WindowStateRecord record;
        record.saveName = WindowStateRecord::kYes;
        record.loginName = stored;
        const std::optional<QString> recalled = RememberedName::recall(record, SystemKey::build());
        QCOMPARE(recalled, shown.isEmpty() ? std::nullopt : std::optional<QString>(shown));
    }

    void rememberedNameKeepsClearOfLineBreaks()
    {
        const QString seal = QStringLiteral("ABCD-1234");
        bool redrawn = false;
        bool dropped = false;
        // Keys under which a salt letter, or a name character, encrypts to a line break. Output byte i
        // depends only on input byte i, so single bytes show where a line break would land.
        for (int n = 0; n < 10000 && !(redrawn && dropped); ++n) {
            const QString key = QStringLiteral("key%1").arg(n);
            for (char16_t c = u'a'; c <= u'y' && !redrawn; ++c) {
                if (TextCipher::EncryptText(key, QString(QChar(c))).at(0) != '\n')
                    continue;
                // The second letter goes to the front; the redrawn salt k m n gives "makbn".
                FixedLetters letters(QStringLiteral("x") + QChar(c) + QStringLiteral("xkmn"));
                WindowStateRecord record;
                QVERIFY(RememberedName::remember(record, kName, seal, key, letters));
                QCOMPARE(TextCipher::DecryptText(key, record.loginName), QStringLiteral("makbn") + seal);
                QCOMPARE(RememberedName::recall(record, key), std::optional<QString>(kName));
                redrawn = true;
            }
            // A one-character name sits at index 1 of its salted form, whatever the letters.
            const QByteArray stream = TextCipher::EncryptText(key, QStringLiteral("aa"));
            const char atOne = static_cast<char>(stream.at(1) ^ 'a' ^ '\n');
            if (!dropped && QChar::fromLatin1(atOne).isLetterOrNumber() && !(atOne & 0x80)) {
                FixedLetters letters(QStringLiteral("abcdefghijklmnopqrstuvwxy"));
                WindowStateRecord record;
                record.loginName = "old";
                record.saveName = WindowStateRecord::kYes;
                QVERIFY(!RememberedName::remember(record, QString(QChar::fromLatin1(atOne)), seal, key, letters));
                QCOMPARE(record.saveName, QStringLiteral("否"));
                QVERIFY(record.loginName.isEmpty());
                dropped = true;
            }
        }
        QVERIFY(redrawn && dropped);
    }
};

QTEST_GUILESS_MAIN(LoginTest)
#include "tst_login.moc"
