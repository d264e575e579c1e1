#pragma once

#include <algorithm>
#include <limits>
#include <optional>

#include <QByteArray>
#include <QHash>
#include <QSize>

namespace RtfRead {

// The pixel memory the pictures of one document may still take, at four bytes a pixel. The sizes pictures claim
// come from the input, so without a bound a few bytes of RTF could ask for gigabytes: each picture gets at most
// what is left, scaled down in its own proportions but never below one pixel, so none is refused. A picture met
// again (the same key) keeps the size it was given the first time, and costs nothing more.
class PictureBudget {
public:
    explicit PictureBudget(qsizetype bytes) : m_left(bytes) {}

    // The size the picture of the key was given, if it was.
    std::optional<QSize> given(const QByteArray& key) const;
    // The largest size in the wanted proportions that fits in what is left, at least one pixel.
    QSize fit(QSize wanted) const;
    // Gives the picture of the key its size, and takes the memory for it.
    void take(const QByteArray& key, QSize size);

    // Saturates rather than overflows: the sizes come from the input.
    static qsizetype bytesOf(QSize size)
    {
        const qsizetype pixels = qsizetype(std::max(size.width(), 0)) * std::max(size.height(), 0);
        return std::min(pixels, std::numeric_limits<qsizetype>::max() / 4) * 4;
    }

private:
    qsizetype m_left;
    QHash<QByteArray, QSize> m_given;
};

} // namespace RtfRead
