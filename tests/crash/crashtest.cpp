// The crash test. A child process logs in and then saves records, adds, deletes and moves folders and
// records, changes the policy and the profile and writes tiv.ini, one command after another, until it is
// killed with SIGKILL at a random moment. After each kill:
// - the database passes PRAGMA integrity_check;
// - the database holds exactly what it held before the interrupted command or exactly what that command
//   writes: every record is its old or its new version, never a mix of columns. The command is replayed on a
//   copy of the files taken before it to know what it writes;
// - tiv.ini, likewise, is the one before or the one after (it is a file of its own, so it may be either while
//   the database is the other);
// - every folder number in use is one its level's counter in tb_FolderMax has handed out, and no two folders
//   share a path;
// - the program's core starts and the user logs in.
//
// The vault scenario kills a child that converts the database to a vault, re-keys it and converts it back,
// over and over. After each kill data/tiv.dat opens (with the built-in password or with one of the two
// passwords), passes the check and holds exactly the data it held at first; nothing but a leftover new file
// lies beside it.
//
// The restore scenario kills a child that restores one of two backups over the database, over and over. After
// each kill data/tiv.dat passes the check and holds exactly what one of the backups holds; nothing but a
// leftover copy of a backup lies beside it.
//
//   tiv-crashtest DIR KILLS [SEED]             makes DIR afresh, runs KILLS kills and prints what it saw
//   tiv-crashtest --vault DIR KILLS [SEED]     the same with the vault scenario
//   tiv-crashtest --restore DIR KILLS [SEED]   the same with the restore scenario
//   tiv-crashtest --child DIR SEED             the processes that are killed (started by the ones above)
//   tiv-crashtest --vault-child DIR SEED
//   tiv-crashtest --restore-child DIR SEED
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <map>
#include <optional>
#include <random>
#include <thread>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSet>

#include "app/BackupRestore.h"
#include "app/Startup.h"
#include "records/RecordStore.h"
#include "security/AccountRow.h"
#include "security/FirstRunSetup.h"
#include "security/LoginPolicy.h"
#include "security/ProfileChange.h"
#include "security/RememberedName.h"
#include "security/SecuritySettings.h"
#include "state/AccountText.h"
#include "state/AppState.h"
#include "state/RandomLetters.h"
#include "state/SystemKey.h"
#include "state/WindowStateFile.h"
#include "storage/Clock.h"
#include "storage/FieldConversions.h"
#include "storage/Recordset.h"
#include "storage/Schema.h"
#include "storage/Transaction.h"
#include "storage/Vault.h"
#include "support/TestSupport.h"
#include "tree/FolderPath.h"
#include "tree/TreeCommands.h"

namespace {

// Past this many rows in a module, deletes win over adds, so the database stays small enough to copy
// before every command.
constexpr int kCrowdedModule = 40;

enum class Command {
    Login,
    SaveRecord,
    AddSiblingFolder,
    AddChildFolder,
    AddRecord,
    Delete,
    MoveToTop,
    MoveUp,
    MoveDown,
    MoveToBottom,
    Policy,
    Profile,
    WindowState,
    Count
};

const char* commandName(Command command)
{
    static const std::array<const char*, static_cast<std::size_t>(Command::Count)> names = {
        "login",        "save record", "add sibling folder", "add child folder", "add record",    "delete",
        "move to top",  "move up",     "move down",          "move to bottom",   "policy change", "profile change",
        "tiv.ini write"};
    return names[static_cast<std::size_t>(command)];
}

[[noreturn]] void die(const QString& why)
{
    std::fflush(stdout);
    std::fprintf(stderr, "tiv-crashtest: %s\n", qPrintable(why));
    std::fflush(stderr);
    ::_exit(1);
}

// Salt letters from the command's seed, so that a replay writes the very same bytes.
class SeededLetters final : public RandomLetters {
public:
    void reseed(quint64 seed) { m_random.seed(seed); }
    QChar next() override { return QChar(static_cast<char16_t>(u'a' + m_random() % 25)); }

private:
    std::mt19937_64 m_random;
};

// One run of the program's core in the current working directory.
struct Session {
    FixedClock clock{QDateTime(QDate(2026, 3, 5), QTime(9, 0))};
    SeededLetters letters;
    ScriptedPrompter prompter;
    AppState state{clock, letters};

    // Every command of a seed happens at a moment of its own, which the replay reproduces.
    void prepare(quint64 seed)
    {
        letters.reseed(seed);
        clock.set(QDateTime(QDate(2026, 3, 5), QTime(9, 0)).addSecs(static_cast<qint64>(seed % 100000000)));
    }
};

// The user's name and password as the account row stores them.
std::pair<QString, QString> storedCredentials(AppState& state)
{
    Recordset account;
    if (!state.mainConnection.OpenRecordset(account, QStringLiteral("SELECT * FROM tb_User")) || account.isEof())
        return {};
    const QString id = FieldConversions::toText(account.field(QStringLiteral("id")));
    const AccountRow::Values values = AccountRow(state.systemKey, AccountText::DatabaseSeal(id)).read(account);
    return {values.userName, values.password};
}

// Start-up as the program does it (without the backup and the single-instance lock), then the login.
// Returns why it failed, or nothing.
std::optional<QString> startAndLogIn(Session& session, bool remember)
{
    AppState& state = session.state;
    state.systemKey = SystemKey::build();
    if (!Startup::openConnections(state, session.prompter))
        return QStringLiteral("the database does not open: ") + session.prompter.lastMessage();
    if (!Startup::loadPolicy(state, session.prompter))
        return QStringLiteral("the policy does not load: ") + session.prompter.lastMessage();
    state.windowState = WindowStateFile::read();
    LoginPolicy login(state);
    if (login.countAccounts().accounts != LoginPolicy::Accounts::One)
        return QStringLiteral("the database does not hold one account");
    if (login.checkPolicyId().result != LoginPolicy::Result::Stay)
        return QStringLiteral("the policy row is refused");
    const auto [name, password] = storedCredentials(state);
    const LoginPolicy::Outcome outcome = login.attempt(name, password, remember);
    if (outcome.result != LoginPolicy::Result::LoggedIn)
        return QStringLiteral("the login is refused: ") + outcome.message;
    return std::nullopt;
}

std::vector<int> rowIds(AppState& state, ModuleKind module)
{
    Recordset rows;
    state.mainConnection.OpenRecordset(rows, QStringLiteral("SELECT id FROM %1 ORDER BY id").arg(moduleTable(module)));
    std::vector<int> ids;
    for (; !rows.isEof(); rows.moveNext())
        ids.push_back(FieldConversions::toInt(rows.field(QStringLiteral("id"))));
    return ids;
}

QString randomText(std::mt19937_64& random, int length)
{
    static const QString letters = QStringLiteral("文档日记密码箱abcdefgxyz0123456789 ");
    QString text;
    for (int i = 0; i < length; ++i)
        text.append(letters.at(static_cast<qsizetype>(random() % static_cast<quint64>(letters.size()))));
    return text;
}

// A body of 64 bytes to 128 KiB: large ones keep a save's write long enough to be interrupted.
QByteArray randomBody(std::mt19937_64& random)
{
    const auto size = static_cast<qsizetype>(64) << (random() % 12);
    QByteArray body("{\\rtf1\\ansi ");
    body.reserve(size + 16);
    while (body.size() < size)
        body.append(static_cast<char>('a' + random() % 26));
    body.append('}');
    return body;
}

// Runs one command chosen by the seed from what the database holds. The child and the replay both call
// it, on the same files, so both choose and write the same.
Command runCommand(Session& session, quint64 seed)
{
    session.prepare(seed);
    std::mt19937_64 random(seed);
    AppState& state = session.state;
    const ModuleKind module = kAllModules[random() % kAllModules.size()];
    const std::vector<int> ids = rowIds(state, module);
    state.currentModule = module;
    // Now and then nothing is selected, as after a module switch.
    const bool none = ids.empty() || random() % 16 == 0;
    state.selection(module).currentRecordId = none ? 0 : ids[random() % ids.size()];

    static const std::array<std::pair<Command, int>, 12> weights = {{{Command::SaveRecord, 30},
                                                                     {Command::AddSiblingFolder, 8},
                                                                     {Command::AddChildFolder, 8},
                                                                     {Command::AddRecord, 12},
                                                                     {Command::Delete, 8},
                                                                     {Command::MoveToTop, 3},
                                                                     {Command::MoveUp, 3},
                                                                     {Command::MoveDown, 3},
                                                                     {Command::MoveToBottom, 3},
                                                                     {Command::Policy, 6},
                                                                     {Command::Profile, 6},
                                                                     {Command::WindowState, 10}}};
    int total = 0;
    for (const auto& [command, weight] : weights)
        total += weight;
    int pick = static_cast<int>(random() % static_cast<quint64>(total));
    Command command = Command::SaveRecord;
    for (const auto& [candidate, weight] : weights) {
        if (pick < weight) {
            command = candidate;
            break;
        }
        pick -= weight;
    }
    if (static_cast<int>(ids.size()) > kCrowdedModule && !none)
        command = Command::Delete;

    TreeCommands tree(state, session.prompter);
    switch (command) {
    case Command::SaveRecord: {
        if (none)
            break;
        RecordValues values;
        values.caption = randomText(random, 1 + static_cast<int>(random() % 20));
        values.summary = randomText(random, static_cast<int>(random() % 200));
        values.dairyDate = state.clock.now().addDays(-static_cast<qint64>(random() % 1000));
        values.weather = randomText(random, static_cast<int>(random() % 4));
        for (QString& field : values.account)
            field = randomText(random, static_cast<int>(random() % 40));
        RecordProtection::Controls controls;
        controls.important = random() % 2 == 0;
        if (random() % 4 == 0) {
            controls.customKey = true;
            controls.keyText = randomText(random, 4 + static_cast<int>(random() % 8));
            controls.strengthen = random() % 2 == 0;
        }
        RecordStore store(state, session.prompter);
        if (!store.save(module, values, controls, randomBody(random)).saved)
            die(QStringLiteral("a save failed"));
        break;
    }
    case Command::AddSiblingFolder:
        tree.AddSiblingFolder();
        break;
    case Command::AddChildFolder:
        tree.AddChildFolder();
        break;
    case Command::AddRecord:
        tree.AddRecord();
        break;
    case Command::Delete:
        session.prompter.confirmAnswers = {true};
        if (!none && !tree.DeleteSelected().deleted)
            die(QStringLiteral("a delete failed"));
        break;
    case Command::MoveToTop:
        tree.MoveToTop();
        break;
    case Command::MoveUp:
        tree.MoveUp();
        break;
    case Command::MoveDown:
        tree.MoveDown();
        break;
    case Command::MoveToBottom:
        tree.MoveToBottom();
        break;
    case Command::Policy: {
        PolicyRow::Choices choices;
        choices.singleInstance = random() % 2 == 0;
        choices.interval = QString::number(random() % 30);
        choices.strongKey = random() % 2 == 0;
        choices.destroy = random() % 2 == 0;
        choices.afterFailures = random() % 2 == 0;
        choices.failureLimit = QString::number(1 + random() % 9999);
        choices.whenTampered = random() % 2 == 0;
        if (SecuritySettings(state).save(choices).result != SecuritySettings::Result::Saved)
            die(QStringLiteral("a policy change failed"));
        break;
    }
    case Command::Profile: {
        const QString password = QStringLiteral("密码") + QString::number(random() % 100000);
        const ProfileChange::Input input{QStringLiteral("用户") + QString::number(random() % 100000),
                                         static_cast<int>(random() % 3), state.user.password, password, password};
        const ProfileChange::Outcome outcome = ProfileChange(state).apply(input);
        if (outcome.result != ProfileChange::Result::Changed)
            die(QStringLiteral("a profile change failed: ") + outcome.message);
        break;
    }
    case Command::WindowState: {
        WindowStateRecord& window = state.windowState;
        window.width = 400 + static_cast<int>(random() % 800);
        window.height = 300 + static_cast<int>(random() % 600);
        window.left = static_cast<int>(random() % 400);
        window.top = static_cast<int>(random() % 300);
        if (random() % 3 == 0)
            RememberedName::forget(window);
        else
            RememberedName::remember(window, state.user.userName, AccountText::DatabaseSeal(state.user.id),
                                     state.systemKey, state.letters);
        if (!WindowStateFile::write(window, state.letters))
            die(QStringLiteral("tiv.ini could not be written"));
        break;
    }
    case Command::Login:
    case Command::Count:
        break;
    }
    return command;
}

// -- the state of the files ------------------------------------------------------------------------------------

// Every stored value of every table, read through the connection's handle. The login's own bookkeeping in the
// account row (last login, login count) is left out: the check's login and the replay's change it.
QByteArray databaseDigest(CDbConnection& connection)
{
    static const char* const statements[] = {
        "SELECT id, userName, password, aesKey, errorTimes, gender, purview, createtime FROM tb_User",
        "SELECT * FROM tb_Setting ORDER BY rowid",
        "SELECT * FROM tb_Article ORDER BY id",
        "SELECT * FROM tb_Dairy ORDER BY id",
        "SELECT * FROM tb_Pwd ORDER BY id",
        "SELECT * FROM tb_FolderMax ORDER BY rowid",
        "SELECT * FROM tb_Const ORDER BY rowid",
        "SELECT * FROM tb_Task ORDER BY id",
        "SELECT * FROM sqlite_sequence ORDER BY name",
    };
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const char* sql : statements) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(connection.handle(), sql, -1, &statement, nullptr) != SQLITE_OK)
            die(QStringLiteral("cannot read the database: ") + QString::fromUtf8(sqlite3_errmsg(connection.handle())));
        hash.addData(QByteArrayView(sql));
        int rc = 0;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
            for (int column = 0; column < sqlite3_column_count(statement); ++column) {
                const int type = sqlite3_column_type(statement, column);
                const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, column));
                const int size = sqlite3_column_bytes(statement, column);
                hash.addData(QByteArray::number(type) + ':' + QByteArray::number(size) + ':');
                hash.addData(QByteArrayView(bytes, size));
            }
        }
        sqlite3_finalize(statement);
        if (rc != SQLITE_DONE)
            die(QStringLiteral("cannot read the database to its end"));
    }
    return hash.result().toHex();
}

QByteArray fileDigest(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "absent";
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex();
}

QByteArray iniDigest()
{
    return fileDigest(WindowStateFile::filePath());
}

QStringList integrityProblems(CDbConnection& connection)
{
    sqlite3_stmt* statement = nullptr;
    QStringList problems;
    if (sqlite3_prepare_v2(connection.handle(), "PRAGMA integrity_check", -1, &statement, nullptr) != SQLITE_OK)
        return {QStringLiteral("PRAGMA integrity_check does not run")};
    while (sqlite3_step(statement) == SQLITE_ROW)
        problems.append(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))));
    sqlite3_finalize(statement);
    if (problems == QStringList{QStringLiteral("ok")})
        return {};
    return problems;
}

// Each folder number in a path was handed out by its level's counter, and no two folders share a path.
QStringList counterProblems(AppState& state)
{
    QStringList problems;
    for (ModuleKind module : kAllModules) {
        Recordset counters;
        state.mainConnection.OpenRecordset(counters, QStringLiteral("SELECT * FROM tb_FolderMax WHERE mModule=?"),
                                           {moduleCode(module)});
        if (counters.isEof() || counters.recordCount() != 1) {
            problems.append(QStringLiteral("%1: no single counter row").arg(moduleCode(module)));
            continue;
        }
        Recordset rows;
        state.mainConnection.OpenRecordset(
            rows, QStringLiteral("SELECT parentId, folderType FROM %1").arg(moduleTable(module)));
        QSet<QString> folders;
        for (; !rows.isEof(); rows.moveNext()) {
            const QString path = FieldConversions::toText(rows.field(QStringLiteral("parentId")));
            if (FolderPath::isFolderType(FieldConversions::toInt(rows.field(QStringLiteral("folderType"))))) {
                if (folders.contains(path))
                    problems.append(QStringLiteral("%1: two folders at %2").arg(moduleCode(module), path));
                folders.insert(path);
            }
            for (int level = 1; level <= FolderPath::kMaxLevel; ++level) {
                const int number =
                    path.mid((level - 1) * FolderPath::kSegmentLength, FolderPath::kSegmentLength).toInt();
                const int counter = FieldConversions::toInt(counters.field(QStringLiteral("folder%1").arg(level)));
                if (number > FolderPath::kCounterStart && number <= FolderPath::kLastFolderNumber && number > counter)
                    problems.append(QStringLiteral("%1: folder number %2 at level %3 past its counter %4")
                                        .arg(moduleCode(module))
                                        .arg(number)
                                        .arg(level)
                                        .arg(counter));
            }
        }
    }
    return problems;
}

// -- the journal the child keeps -------------------------------------------------------------------------------

// "B k seed" before command k, "E k database-digest ini-digest" after it. Lines go straight to the file, which
// keeps them when the process is killed.
class Journal {
public:
    explicit Journal(const QString& path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600))
    {
        if (m_fd < 0)
            die(QStringLiteral("cannot open the journal"));
    }
    ~Journal() { ::close(m_fd); }
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    void line(const QByteArray& text)
    {
        const QByteArray whole = text + '\n';
        if (::write(m_fd, whole.constData(), static_cast<std::size_t>(whole.size())) != whole.size())
            die(QStringLiteral("cannot write the journal"));
    }

private:
    int m_fd;
};

struct JournalEnd {
    long long lastDone = -2;        // the last command that ended
    QByteArray database, ini;       // the digests after it
    std::optional<quint64> pending; // the seed of the command under way when the child died
};

JournalEnd readJournal(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        die(QStringLiteral("no journal"));
    JournalEnd end;
    QByteArray all = file.readAll();
    // A line cut short by the kill was never a complete record of anything.
    if (!all.endsWith('\n'))
        all.truncate(all.lastIndexOf('\n') + 1);
    for (const QByteArray& line : all.split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 4 && parts[0] == "E") {
            end.lastDone = parts[1].toLongLong();
            end.database = parts[2];
            end.ini = parts[3];
            end.pending.reset();
        } else if (parts.size() == 3 && parts[0] == "B") {
            end.pending = parts[2].toULongLong();
        }
    }
    return end;
}

bool copyOver(const QString& from, const QString& to)
{
    QFile::remove(to);
    return !QFile::exists(from) || QFile::copy(from, to);
}

// -- the child -------------------------------------------------------------------------------------------------

int runChild(const QString& dir, quint64 seed)
{
    const QString work = dir + QStringLiteral("/work");
    const QString pre = dir + QStringLiteral("/pre");
    Journal journal(dir + QStringLiteral("/journal"));
    if (!QDir::setCurrent(work))
        die(QStringLiteral("no working directory"));
    std::mt19937_64 random(seed);
    Session session;
    for (long long k = 0;; ++k) {
        const quint64 commandSeed = random();
        // What the files held before the command, for the replay; taken between commands, when no
        // transaction is open.
        if (!copyOver(QStringLiteral("data/tiv.dat"), pre + QStringLiteral("/tiv.dat")) ||
            !copyOver(QStringLiteral("tiv.ini"), pre + QStringLiteral("/tiv.ini")))
            die(QStringLiteral("cannot copy the files"));
        journal.line("B " + QByteArray::number(k) + ' ' + QByteArray::number(commandSeed));
        if (k == 0) {
            session.prepare(commandSeed);
            if (const std::optional<QString> failure = startAndLogIn(session, commandSeed % 2 == 0))
                die(*failure);
        } else {
            runCommand(session, commandSeed);
        }
        journal.line("E " + QByteArray::number(k) + ' ' + databaseDigest(session.state.mainConnection) + ' ' +
                     iniDigest());
        if (k == 0) {
            std::fputs("ready\n", stdout);
            std::fflush(stdout);
        }
    }
}

// -- the driver ------------------------------------------------------------------------------------------------

struct Figures {
    int kills = 0;
    int duringStartup = 0;   // before the child's login ended
    int betweenCommands = 0; // no command under way
    long long commandsDone = 0;
    // For each command killed while under way: how often the files held what was before it, what it writes,
    // the database of one and tiv.ini of the other, and how often the command would have changed nothing.
    struct Outcomes {
        int before = 0, after = 0, split = 0, noChange = 0;
    };
    std::map<Command, Outcomes> interrupted;
};

// What the interrupted command writes: replayed on a copy of the files as they were before it.
std::pair<QByteArray, QByteArray> replay(const QString& dir, long long k, quint64 seed, Command* command)
{
    const QString scratch = dir + QStringLiteral("/replay");
    QDir(scratch).removeRecursively();
    QDir().mkpath(scratch + QStringLiteral("/data"));
    if (!QFile::copy(dir + QStringLiteral("/pre/tiv.dat"), scratch + QStringLiteral("/data/tiv.dat")) ||
        !copyOver(dir + QStringLiteral("/pre/tiv.ini"), scratch + QStringLiteral("/tiv.ini")))
        die(QStringLiteral("cannot copy the files for the replay"));
    const QString previous = QDir::currentPath();
    QDir::setCurrent(scratch);
    std::pair<QByteArray, QByteArray> digests;
    {
        Session session;
        if (k == 0) {
            *command = Command::Login;
            session.prepare(seed);
            if (const std::optional<QString> failure = startAndLogIn(session, seed % 2 == 0))
                die(QStringLiteral("the replay cannot log in: ") + *failure);
        } else {
            // The replay's own login writes tiv.ini: the file as it was before the command comes back.
            if (const std::optional<QString> failure = startAndLogIn(session, false))
                die(QStringLiteral("the replay cannot log in: ") + *failure);
            if (!copyOver(dir + QStringLiteral("/pre/tiv.ini"), QStringLiteral("tiv.ini")))
                die(QStringLiteral("cannot copy tiv.ini for the replay"));
            session.state.windowState = WindowStateFile::read();
            *command = runCommand(session, seed);
        }
        digests = {databaseDigest(session.state.mainConnection), iniDigest()};
    }
    QDir::setCurrent(previous);
    return digests;
}

// The checks after a kill; the journal is then restarted from the state the check's own login left.
void checkAfterKill(const QString& dir, Figures& figures)
{
    const JournalEnd end = readJournal(dir + QStringLiteral("/journal"));
    figures.commandsDone += std::max(0LL, end.lastDone);
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir + QStringLiteral("/work"));
    {
        CDbConnection connection;
        QString error;
        // The first read rolls back what a killed transaction left in the journal file.
        if (!connection.OpenConnection(Schema::kConnectionString, &error))
            die(QStringLiteral("the database does not open after the kill: ") + error);
        if (const QStringList problems = integrityProblems(connection); !problems.isEmpty())
            die(QStringLiteral("integrity check: ") + problems.join(u"; "));
        const QByteArray database = databaseDigest(connection);
        const QByteArray ini = iniDigest();
        if (end.lastDone < 0)
            ++figures.duringStartup;
        if (!end.pending) {
            ++figures.betweenCommands;
            if (database != end.database || ini != end.ini)
                die(QStringLiteral("the files changed after command %1 had ended").arg(end.lastDone));
        } else {
            Command command = Command::Count;
            const auto [databaseAfter, iniAfter] = replay(dir, end.lastDone + 1, *end.pending, &command);
            const QString name = QString::fromLatin1(commandName(command));
            if (database != end.database && database != databaseAfter)
                die(QStringLiteral("the database after the interrupted %1 (command %2) is neither the one before "
                                   "it nor the one it writes")
                        .arg(name)
                        .arg(end.lastDone + 1));
            if (ini != end.ini && ini != iniAfter)
                die(QStringLiteral("tiv.ini after the interrupted %1 (command %2) is neither the one before it nor "
                                   "the one it writes")
                        .arg(name)
                        .arg(end.lastDone + 1));
            Figures::Outcomes& outcomes = figures.interrupted[command];
            if (databaseAfter == end.database && iniAfter == end.ini)
                ++outcomes.noChange;
            else if (database == end.database && ini == end.ini)
                ++outcomes.before;
            else if (database == databaseAfter && ini == iniAfter)
                ++outcomes.after;
            else
                ++outcomes.split;
        }
    }
    Session session;
    session.prepare(static_cast<quint64>(figures.kills));
    if (const std::optional<QString> failure = startAndLogIn(session, figures.kills % 2 == 0))
        die(QStringLiteral("after the kill: ") + *failure);
    if (const QStringList problems = counterProblems(session.state); !problems.isEmpty())
        die(QStringLiteral("counters: ") + problems.join(u"; "));
    // The next child starts from here.
    QFile::remove(dir + QStringLiteral("/journal"));
    Journal(dir + QStringLiteral("/journal"))
        .line("E -1 " + databaseDigest(session.state.mainConnection) + ' ' + iniDigest());
    QDir::setCurrent(previous);
}

void setUp(const QString& dir)
{
    if (QFileInfo::exists(dir))
        die(dir + QStringLiteral(" exists already"));
    QDir().mkpath(dir + QStringLiteral("/pre"));
    QString error;
    if (!Schema::CreateDatabase(dir + QStringLiteral("/work/data/tiv.dat"), &error))
        die(error);
    QDir::setCurrent(dir + QStringLiteral("/work"));
    Session session;
    session.state.systemKey = SystemKey::build();
    if (!session.state.mainConnection.OpenConnection(Schema::kConnectionString))
        die(QStringLiteral("the new database does not open"));
    const FirstRunSetup::Outcome outcome = FirstRunSetup(session.state)
                                               .save({QStringLiteral("用户"), 2, QStringLiteral("密码0000"),
                                                      QStringLiteral("密码0000"), QStringLiteral("数据钥匙")});
    if (outcome.result != FirstRunSetup::Result::Saved)
        die(QStringLiteral("the first run failed: ") + outcome.message);
    Journal(dir + QStringLiteral("/journal"))
        .line("E -1 " + databaseDigest(session.state.mainConnection) + ' ' + iniDigest());
}

int runDriver(const QString& dir, int kills, quint64 seed)
{
    setUp(dir);
    QDir::setCurrent(dir);
    std::mt19937_64 random(seed);
    // How long a child takes to log in, learnt as it goes: some kills fall into the start-up.
    double startupMs = 100;
    const auto started = std::chrono::steady_clock::now();
    Figures figures;
    for (figures.kills = 0; figures.kills < kills;) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            die(QStringLiteral("no pipe"));
        const QByteArray childSeed = QByteArray::number(random());
        const QByteArray program = QFile::encodeName(QCoreApplication::applicationFilePath());
        const QByteArray nativeDir = QFile::encodeName(dir);
        const auto spawned = std::chrono::steady_clock::now();
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            const char* argv[] = {program.constData(), "--child", nativeDir.constData(), childSeed.constData(),
                                  nullptr};
            ::execv(program.constData(), const_cast<char* const*>(argv));
            ::_exit(127);
        }
        ::close(out[1]);
        const bool inStartup = random() % 5 == 0;
        if (inStartup) {
            std::this_thread::sleep_for(std::chrono::microseconds(random() % static_cast<quint64>(startupMs * 1000)));
        } else {
            pollfd ready{out[0], POLLIN, 0};
            if (::poll(&ready, 1, 60000) != 1)
                die(QStringLiteral("the child did not log in within a minute"));
            startupMs =
                0.9 * startupMs +
                0.1 * std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - spawned).count();
            // Up to a quarter of a second of commands.
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 250000));
        }
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ::close(out[0]);
        if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGKILL)
            die(QStringLiteral("the child ended by itself (status %1) before the kill").arg(status));
        ++figures.kills;
        checkAfterKill(dir, figures);
        if (figures.kills % 100 == 0) {
            std::printf("%d kills, %lld commands\n", figures.kills, figures.commandsDone);
            std::fflush(stdout);
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%d kills in %.0f s: %d during start-up, %d between commands, %lld commands ended\n", figures.kills,
                seconds, figures.duringStartup, figures.betweenCommands, figures.commandsDone);
    std::printf("killed while under way     files as before / as after / database and tiv.ini apart / no change:\n");
    for (const auto& [command, outcomes] : figures.interrupted)
        std::printf("  %-22s %6d / %6d / %6d / %6d\n", commandName(command), outcomes.before, outcomes.after,
                    outcomes.split, outcomes.noChange);
    std::printf("every check passed: integrity, before-or-after state, counters, start and login\n");
    return 0;
}

// -- the vault and restore scenarios ---------------------------------------------------------------------------

// Starts this program in the child's role and kills it within a second.
void startAndKill(const QString& dir, const char* role, std::mt19937_64& random)
{
    const QByteArray childSeed = QByteArray::number(random());
    const QByteArray program = QFile::encodeName(QCoreApplication::applicationFilePath());
    const QByteArray nativeDir = QFile::encodeName(dir);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const char* argv[] = {program.constData(), role, nativeDir.constData(), childSeed.constData(), nullptr};
        ::execv(program.constData(), const_cast<char* const*>(argv));
        ::_exit(127);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 1000000));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGKILL)
        die(QStringLiteral("the %1 child ended by itself (status %2) before the kill").arg(role).arg(status));
}

const QString kVaultPasswords[] = {QStringLiteral("甲密码🔑"), QStringLiteral("乙 password ℵ")};
// Small, so that most of a conversion's time is the copy a kill should interrupt.
const VaultKey::Params kVaultParams{1024, 1, 1};

// Which password opens the vault at data/tiv.dat, if either does.
std::optional<int> vaultPassword(CDbConnection& connection)
{
    for (int i = 0; i < 2; ++i) {
        if (Vault::open(connection, QStringLiteral("data/tiv.dat"), kVaultPasswords[i]) == Vault::Outcome::Done)
            return i;
    }
    return std::nullopt;
}

int runVaultChild(const QString& dir, quint64 seed)
{
    if (!QDir::setCurrent(dir + QStringLiteral("/work")))
        die(QStringLiteral("no working directory"));
    QFile done(dir + QStringLiteral("/conversions"));
    if (!done.open(QIODevice::Append))
        die(QStringLiteral("cannot open the count of conversions"));
    std::mt19937_64 random(seed);
    const QString path = QStringLiteral("data/tiv.dat");
    for (;;) {
        Vault::Outcome outcome = Vault::Outcome::Failed;
        if (Vault::detect(path) == Vault::Format::Plain) {
            outcome = Vault::toVault(path, kVaultPasswords[random() % 2], kVaultParams);
        } else {
            CDbConnection connection;
            const std::optional<int> password = vaultPassword(connection);
            connection.CloseConnection();
            if (!password)
                die(QStringLiteral("the vault opens with neither password"));
            outcome = random() % 2 ? Vault::toPlain(path, kVaultPasswords[*password])
                                   : Vault::rekey(path, kVaultPasswords[*password], kVaultPasswords[1 - *password],
                                                  kVaultParams);
        }
        if (outcome != Vault::Outcome::Done)
            die(QStringLiteral("a conversion failed: %1").arg(static_cast<int>(outcome)));
        done.write("+");
        done.flush();
    }
}

int runVaultDriver(const QString& dir, int kills, quint64 seed)
{
    setUp(dir);
    QDir::setCurrent(dir + QStringLiteral("/work"));
    QByteArray expected;
    {
        // Enough rows that a conversion takes a while.
        CDbConnection connection;
        if (!connection.OpenConnection(Schema::kConnectionString))
            die(QStringLiteral("the new database does not open"));
        Transaction transaction(connection);
        for (int i = 0; i < 400; ++i) {
            connection.execute(
                QStringLiteral("INSERT INTO tb_Article (userId, mContent, orderId) VALUES ('{U}', ?, ?)"),
                {QByteArray(4096, static_cast<char>('a' + i % 26)), i});
        }
        transaction.commit();
        expected = databaseDigest(connection);
    }
    QDir::setCurrent(dir);
    std::mt19937_64 random(seed);
    const auto started = std::chrono::steady_clock::now();
    int asPlain = 0, asVault = 0, leftovers = 0;
    for (int kill = 0; kill < kills; ++kill) {
        startAndKill(dir, "--vault-child", random);

        QDir::setCurrent(dir + QStringLiteral("/work"));
        QStringList files = QDir(QStringLiteral("data")).entryList(QDir::Files | QDir::Hidden);
        files.removeOne(QStringLiteral("tiv.dat"));
        for (const QString& leftover : {QStringLiteral("tiv.dat.new"), QStringLiteral("tiv.dat.new-journal")})
            leftovers += files.removeAll(leftover);
        if (!files.isEmpty())
            die(QStringLiteral("after kill %1 data/ holds %2 beside the database").arg(kill).arg(files.join(u", ")));
        CDbConnection connection;
        if (connection.OpenConnection(Schema::kConnectionString))
            ++asPlain;
        else if (vaultPassword(connection))
            ++asVault;
        else
            die(QStringLiteral("after kill %1 the database opens neither as it is nor as a vault").arg(kill));
        if (const QStringList problems = integrityProblems(connection); !problems.isEmpty())
            die(QStringLiteral("integrity check: ") + problems.join(u"; "));
        if (databaseDigest(connection) != expected)
            die(QStringLiteral("after kill %1 the database does not hold the data it held").arg(kill));
        QDir::setCurrent(dir);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("vault: %d kills in %.0f s, %lld conversions ended; found %d plain, %d vaults, %d leftover files\n",
                kills, seconds, QFileInfo(dir + QStringLiteral("/conversions")).size(), asPlain, asVault, leftovers);
    std::printf("every check passed: one database that opens, integrity, the same data\n");
    return 0;
}

const QString kRestoreBackups[] = {QStringLiteral("backup/a.bak"), QStringLiteral("backup/b.bak")};

int runRestoreChild(const QString& dir, quint64 seed)
{
    if (!QDir::setCurrent(dir + QStringLiteral("/work")))
        die(QStringLiteral("no working directory"));
    QFile done(dir + QStringLiteral("/restores"));
    if (!done.open(QIODevice::Append))
        die(QStringLiteral("cannot open the count of restores"));
    std::mt19937_64 random(seed);
    const SystemClock clock;
    for (;;) {
        const BackupRestore::Result result = BackupRestore::restore(kRestoreBackups[random() % 2], {}, clock.now());
        if (result.outcome != BackupRestore::Outcome::Done)
            die(QStringLiteral("a restore failed: ") + result.message);
        QFile::remove(result.savedPath); // the disk would fill up
        done.write("+");
        done.flush();
    }
}

int runRestoreDriver(const QString& dir, int kills, quint64 seed)
{
    setUp(dir);
    QDir::setCurrent(dir + QStringLiteral("/work"));
    QDir().mkdir(QStringLiteral("backup"));
    std::array<QByteArray, 2> expected;
    {
        // Two backups that differ, large enough that a restore takes a while.
        CDbConnection connection;
        if (!connection.OpenConnection(Schema::kConnectionString))
            die(QStringLiteral("the new database does not open"));
        for (int b = 0; b < 2; ++b) {
            Transaction transaction(connection);
            for (int i = 0; i < 200; ++i) {
                connection.execute(
                    QStringLiteral("INSERT INTO tb_Article (userId, mContent, orderId) VALUES ('{U}', ?, ?)"),
                    {QByteArray(4096, static_cast<char>('a' + b)), i});
            }
            transaction.commit();
            expected[b] = databaseDigest(connection);
            if (!DatabaseKey().copy(connection, kRestoreBackups[b]))
                die(QStringLiteral("cannot make the backups"));
        }
    }
    QDir::setCurrent(dir);
    std::mt19937_64 random(seed);
    const auto started = std::chrono::steady_clock::now();
    std::array<int, 2> found{};
    int leftovers = 0;
    for (int kill = 0; kill < kills; ++kill) {
        startAndKill(dir, "--restore-child", random);
        QDir::setCurrent(dir + QStringLiteral("/work"));
        QStringList files = QDir(QStringLiteral("data")).entryList(QDir::Files | QDir::Hidden);
        files.removeOne(QStringLiteral("tiv.dat"));
        leftovers += files.removeAll(QStringLiteral("tiv.dat.restore"));
        if (!files.isEmpty())
            die(QStringLiteral("after kill %1 data/ holds %2 beside the database").arg(kill).arg(files.join(u", ")));
        CDbConnection connection;
        if (!connection.OpenConnection(Schema::kConnectionString))
            die(QStringLiteral("after kill %1 the database does not open").arg(kill));
        if (const QStringList problems = integrityProblems(connection); !problems.isEmpty())
            die(QStringLiteral("integrity check: ") + problems.join(u"; "));
        const QByteArray digest = databaseDigest(connection);
        if (digest != expected[0] && digest != expected[1])
            die(QStringLiteral("after kill %1 the database holds neither backup").arg(kill));
        ++found[digest == expected[0] ? 0 : 1];
        QDir::setCurrent(dir);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("restore: %d kills in %.0f s, %lld restores ended; found %d of one backup, %d of the other, %d "
                "leftover copies\n",
                kills, seconds, QFileInfo(dir + QStringLiteral("/restores")).size(), found[0], found[1], leftovers);
    std::printf("every check passed: one database that opens, integrity, one backup's data\n");
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    ::umask(077);
    QCoreApplication application(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 4 && args[1] == QLatin1String("--child"))
        return runChild(args[2], args[3].toULongLong());
    if (args.size() == 4 && args[1] == QLatin1String("--vault-child"))
        return runVaultChild(args[2], args[3].toULongLong());
    if (args.size() == 4 && args[1] == QLatin1String("--restore-child"))
        return runRestoreChild(args[2], args[3].toULongLong());
    if ((args.size() == 4 || args.size() == 5) && args[1] == QLatin1String("--vault"))
        return runVaultDriver(QDir(args[2]).absolutePath(), args[3].toInt(),
                              args.size() == 5 ? args[4].toULongLong() : std::random_device()());
    if ((args.size() == 4 || args.size() == 5) && args[1] == QLatin1String("--restore"))
        return runRestoreDriver(QDir(args[2]).absolutePath(), args[3].toInt(),
                                args.size() == 5 ? args[4].toULongLong() : std::random_device()());
    if (args.size() == 3 || args.size() == 4)
        return runDriver(QDir(args[1]).absolutePath(), args[2].toInt(),
                         args.size() == 4 ? args[3].toULongLong() : std::random_device()());
    std::fprintf(stderr, "usage: tiv-crashtest [--vault|--restore] DIR KILLS [SEED]\n");
    return 2;
}
