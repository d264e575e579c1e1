// Arbitrary bytes as the remembered login name of tiv.ini, and arbitrary text as the name to remember. A
// stored form that is garbage must not bring the login down; a name the login box could take must come back
// as itself.
#include <QList>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "crypto/CodePage936.h"
#include "security/RememberedName.h"
#include "state/AccountText.h"
#include "state/RandomLetters.h"
#include "state/WindowStateRecord.h"

namespace {

const QString kSystemKey = QStringLiteral("9f3c2a7e51d04b6a");
const QString kSeal = QStringLiteral("3333-4444");

// What a user can have typed into the name box and the login kept: printable, without the characters it
// strips, and nothing unassigned.
QString typableName(QByteArrayView bytes)
{
    const QString text = AccountText::StripUnsafe(CodePage936::roundTrip(QString::fromUtf8(bytes)));
    // Whole characters: unassigned ones (beyond the first plane too) no keyboard gives.
    QList<uint> characters = text.toUcs4();
    characters.removeIf([](char32_t c) {
        const QChar::Category category = QChar::category(c);
        return category == QChar::Other_Control || category == QChar::Other_Format ||
               category == QChar::Other_NotAssigned;
    });
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(characters.constData()), characters.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(data, static_cast<qsizetype>(size));

    WindowStateRecord stored;
    stored.saveName = WindowStateRecord::kYes;
    stored.loginName = bytes.toByteArray();
    (void)RememberedName::recall(stored, kSystemKey);

    const QString name = typableName(bytes);
    if (name.isEmpty())
        return 0;
    FixedLetters letters(QStringLiteral("kqmtbxyz"));
    WindowStateRecord record;
    if (!RememberedName::remember(record, name, kSeal, kSystemKey, letters))
        return 0;
    const std::optional<QString> recalled = RememberedName::recall(record, kSystemKey);
    if (recalled != name) {
        std::fprintf(stderr, "remembered \"%s\", recalled \"%s\"\n", qPrintable(name),
                     recalled ? qPrintable(*recalled) : "nothing");
        std::abort();
    }
    return 0;
}
