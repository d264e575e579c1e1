// Generated passwords and passphrases, their random source, the strength estimate, and the clipboard
// that forgets what it was given.
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QtTest>

#include <cmath>
#include <deque>
#include <set>

#include "crypto/PasswordGenerator.h"
#include "crypto/PasswordStrength.h"
#include "crypto/PinyinSyllables.h"
#include "crypto/RandomSource.h"
#include "ui/SecretClipboard.h"

using PasswordGenerator::Options;

namespace {

// Hands out the given values in turn and counts what was drawn.
class ScriptedRandom final : public RandomSource {
public:
    explicit ScriptedRandom(std::initializer_list<quint32> values) : m_values(values) {}
    quint32 next32() override
    {
        ++drawn;
        const quint32 value = m_values.front();
        m_values.pop_front();
        return value;
    }
    int drawn = 0;

private:
    std::deque<quint32> m_values;
};

bool hasAny(const QString& text, const QString& characters)
{
    return std::any_of(text.begin(), text.end(), [&](QChar c) { return characters.contains(c); });
}

QString clipboardText()
{
    return QGuiApplication::clipboard()->text();
}

} // namespace

class SecretsTest : public QObject {
    Q_OBJECT

private slots:
    void generatedPasswordsKeepLengthAndClasses()
    {
        SystemRandom random;
        const QString upper = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
        const QString lower = upper.toLower();
        const QString digits = QStringLiteral("0123456789");
        const std::pair<int, int> lengths[] = {{1, 8}, {8, 8}, {20, 20}, {128, 128}, {500, 128}};
        for (const auto& [asked, length] : lengths) {
            for (int classes = 1; classes < 16; ++classes) {
                const Options options{
                    asked,           (classes & 1) != 0, (classes & 2) != 0, (classes & 4) != 0, (classes & 8) != 0,
                    classes % 3 == 0};
                const QString password = PasswordGenerator::generate(options, random);
                const QString context = QStringLiteral("%1 %2: %3").arg(asked).arg(classes).arg(password);
                QVERIFY2(password.size() == length, qPrintable(context));
                QVERIFY2(hasAny(password, upper) == options.upper && hasAny(password, lower) == options.lower &&
                             hasAny(password, digits) == options.digits,
                         qPrintable(context));
                const QString alphabet = PasswordGenerator::alphabet(options);
                QVERIFY(std::all_of(password.begin(), password.end(), [&](QChar c) { return alphabet.contains(c); }));
                QCOMPARE(hasAny(alphabet, QStringLiteral("0Oo1lI|")), !options.excludeLookAlikes);
            }
        }
        // Symbols alone must still be symbols, and no class at all gives nothing.
        const QString symbols = PasswordGenerator::generate({8, false, false, false, true, true}, random);
        QVERIFY(!hasAny(symbols, upper + lower + digits + QStringLiteral("|'\"`")));
        QVERIFY(PasswordGenerator::generate({20, false, false, false, false, false}, random).isEmpty());
        QCOMPARE(std::lround(PasswordGenerator::bits({20, true, true, true, false, false})), 119); // 62 characters
    }

    void passphrasesAreWordsOfTheList()
    {
        SystemRandom random;
        const auto list = PinyinSyllables::all();
        const std::pair<int, int> counts[] = {{0, 4}, {7, 7}, {99, 20}};
        for (const auto& [asked, words] : counts) {
            const QStringList drawn = PasswordGenerator::passphrase(asked, random).split(u'-');
            QCOMPARE(drawn.size(), words);
            for (const QString& word : drawn)
                QVERIFY2(std::find(list.begin(), list.end(), word.toStdString()) != list.end(), qPrintable(word));
        }
        QCOMPARE(PasswordGenerator::passphrase(5, random, QStringLiteral(" ")).count(u' '), 4);
        QVERIFY(list.size() > 400); // the bits each word is worth rest on it
        // A word listed twice would be drawn twice as often and weaken every passphrase.
        const std::set<std::string_view> distinct(list.begin(), list.end());
        QCOMPARE(distinct.size(), list.size());
        QVERIFY(std::all_of(list.begin(), list.end(), [](std::string_view word) {
            return !word.empty() && std::all_of(word.begin(), word.end(), [](char c) { return c >= 'a' && c <= 'z'; });
        }));
        QCOMPARE(PasswordGenerator::passphraseBits(7), 7 * std::log2(double(list.size())));
    }

    void choicesAreUnbiasedAndFromTheSystem()
    {
        // 2^32 is 1 modulo 3: the largest draw would make 0 more likely than 1 and 2, so it is drawn again.
        ScriptedRandom scripted{0xFFFFFFFFu, 0xFFFFFFFEu};
        QCOMPARE(scripted.below(3), 0xFFFFFFFEu % 3);
        QCOMPARE(scripted.drawn, 2);
        ScriptedRandom whole{0xFFFFFFFFu};
        QCOMPARE(whole.below(1u << 31), (1u << 31) - 1); // a bound dividing 2^32 rejects nothing

        // The system source fills all 32 bits, and two passwords from it differ.
        SystemRandom random;
        quint32 seen = 0;
        for (int i = 0; i < 64; ++i)
            seen |= random.next32();
        QCOMPARE(seen, 0xFFFFFFFFu);
        QVERIFY(PasswordGenerator::generate({}, random) != PasswordGenerator::generate({}, random));
    }

    void strengthGrowsWithWhatAGuesserMustTry()
    {
        using PasswordStrength::Level;
        SystemRandom random;
        const auto weak = PasswordStrength::estimate(u"123456");
        const auto strong = PasswordStrength::estimate(PasswordGenerator::generate({}, random));
        QVERIFY2(weak.bits + 40 < strong.bits, qPrintable(QStringLiteral("%1 %2").arg(weak.bits).arg(strong.bits)));
        QCOMPARE(weak.level, Level::VeryWeak);
        QCOMPARE(strong.level, Level::VeryStrong);
        QCOMPARE(PasswordStrength::estimate(u"").level, Level::None);
        // The user's own words are among the first guesses.
        QVERIFY(PasswordStrength::estimate(u"qiaomuzhen88", {QStringLiteral("qiaomuzhen")}).bits <
                PasswordStrength::estimate(u"qiaomuzhen88").bits);
        QVERIFY(PasswordStrength::text(strong).contains(
            QRegularExpression(QStringLiteral("^强度：很强（约 10\\^\\d+ 次猜测）$"))));
    }

    void clipboardForgetsOnlyItsOwnCopy()
    {
        QClipboard* clipboard = QGuiApplication::clipboard();
        {
            SecretClipboard secret;
            secret.copy(QStringLiteral("s3cret"), 1);
            QCOMPARE(clipboardText(), QStringLiteral("s3cret"));
            QCOMPARE(clipboard->mimeData()->data(SecretClipboard::kHintFormat), QByteArray("secret"));
            QTRY_VERIFY_WITH_TIMEOUT(clipboardText().isEmpty(), 3000);

            // Something the user copied since is theirs: neither the time nor the end takes it.
            secret.copy(QStringLiteral("s3cret"), 1);
            clipboard->setText(QStringLiteral("mine"));
            QTest::qWait(1300);
            QCOMPARE(clipboardText(), QStringLiteral("mine"));
            secret.copy(QStringLiteral("s3cret"), 0);
            clipboard->setText(QStringLiteral("mine"));
        }
        QCOMPARE(clipboardText(), QStringLiteral("mine"));
        {
            SecretClipboard secret;
            secret.copy(QStringLiteral("s3cret"), 0); // kept until the end, which clears it
            QVERIFY(secret.holdsCopy());
        }
        QVERIFY(clipboardText().isEmpty());
    }
};

QTEST_MAIN(SecretsTest)
#include "tst_secrets.moc"
