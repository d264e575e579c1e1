#include "records/RtfPictureBudget.h"

#include <algorithm>
#include <cmath>

namespace RtfRead {

std::optional<QSize> PictureBudget::given(const QByteArray& key) const
{
    const auto found = m_given.constFind(key);
    return found == m_given.cend() ? std::nullopt : std::optional<QSize>(*found);
}

QSize PictureBudget::fit(QSize wanted) const
{
    QSize size = wanted.expandedTo(QSize(1, 1));
    if (bytesOf(size) <= m_left)
        return size;
    const double scale = std::sqrt(static_cast<double>(m_left) / static_cast<double>(bytesOf(size)));
    size = QSize(std::max(1, static_cast<int>(size.width() * scale)),
                 std::max(1, static_cast<int>(size.height() * scale)));
    // A side held at one pixel leaves the other what is left.
    const qsizetype pixelsLeft = std::max<qsizetype>(1, m_left / 4);
    if (size.width() == 1)
        size.setHeight(static_cast<int>(std::min<qsizetype>(size.height(), pixelsLeft)));
    else if (size.height() == 1)
        size.setWidth(static_cast<int>(std::min<qsizetype>(size.width(), pixelsLeft)));
    return size;
}

void PictureBudget::take(const QByteArray& key, QSize size)
{
    if (m_given.contains(key))
        return;
    m_given.insert(key, size);
    m_left = std::max<qsizetype>(0, m_left - bytesOf(size));
}

} // namespace RtfRead
