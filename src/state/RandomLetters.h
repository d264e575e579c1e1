#pragma once

#include <QChar>
#include <QString>

// Where salt letters and the letters around the remembered name come from: each is one of the 25
// letters "a" to "y". Injected so tests can choose them.
class RandomLetters {
public:
    virtual ~RandomLetters() = default;
    virtual QChar next() = 0;
};

class SystemRandomLetters final : public RandomLetters {
public:
    QChar next() override;
};

// Hands out the letters of a fixed text in turn, starting again at its end.
class FixedLetters final : public RandomLetters {
public:
    explicit FixedLetters(const QString& letters) : m_letters(letters) {}
    QChar next() override;

private:
    QString m_letters;
    qsizetype m_next = 0;
};
