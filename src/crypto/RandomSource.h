#pragma once

#include <QtGlobal>

// Where generated passwords draw their randomness. Injected so tests can script the draws; the
// program uses SystemRandom.
class RandomSource {
public:
    virtual ~RandomSource() = default;

    // 32 uniformly random bits.
    virtual quint32 next32() = 0;

    // A uniform choice in [0, bound), bound > 0. Draws that fall into the last, incomplete run of
    // `bound` values are drawn again: taking them modulo `bound` would favour the small results.
    quint32 below(quint32 bound);
};

// The operating system's secure random source (getrandom(2)).
class SystemRandom final : public RandomSource {
public:
    quint32 next32() override;
};
