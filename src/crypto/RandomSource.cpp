#include "crypto/RandomSource.h"

#include <sys/random.h>

#include <cerrno>
#include <cstddef>

#include <QRandomGenerator>

quint32 RandomSource::below(quint32 bound)
{
    Q_ASSERT(bound > 0);
    // 2^32 mod bound values at the top of the range would make the residues below it more likely.
    const quint32 rejected = static_cast<quint32>((0x1'0000'0000ULL) % bound);
    const quint32 limit = static_cast<quint32>(0x1'0000'0000ULL - rejected - 1); // last accepted value
    quint32 value = next32();
    while (value > limit)
        value = next32();
    return value % bound;
}

quint32 SystemRandom::next32()
{
    quint32 value = 0;
    auto* bytes = reinterpret_cast<unsigned char*>(&value);
    std::size_t filled = 0;
    while (filled < sizeof value) {
        const ssize_t got = ::getrandom(bytes + filled, sizeof value - filled, 0);
        if (got > 0) {
            filled += static_cast<std::size_t>(got);
        } else if (got < 0 && errno != EINTR) {
            // A kernel without getrandom: Qt's system generator reads the same pool another way.
            return QRandomGenerator::system()->generate();
        }
    }
    return value;
}
