#include "state/RandomLetters.h"

#include <QRandomGenerator>

QChar SystemRandomLetters::next()
{
    return QChar(u'a' + static_cast<char16_t>(QRandomGenerator::global()->bounded(25)));
}

QChar FixedLetters::next()
{
    if (m_letters.isEmpty())
        return QChar(u'a');
    const QChar letter = m_letters.at(m_next);
    m_next = (m_next + 1) % m_letters.size();
    return letter;
}
