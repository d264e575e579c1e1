#include "app/WindowPlacement.h"

#include <algorithm>

namespace WindowPlacement {

namespace {

bool fitsOn(const QSize& size, const QRect& area)
{
    return size.width() <= area.width() && size.height() <= area.height();
}

// In 64 bits: a hand-edited edge may stand near the end of the int range.
bool titleBarOn(qint64 left, qint64 top, const QSize& size, const QRect& area)
{
    const qint64 overlap =
        std::min<qint64>(left + size.width(), qint64(area.x()) + area.width()) - std::max<qint64>(left, area.x());
    return top >= area.y() && top + kLeastVisible <= qint64(area.y()) + area.height() && overlap >= kLeastVisible;
}

Request fallBack(WindowStateRecord& record)
{
    record.width = kDefaultSize.width();
    record.height = kDefaultSize.height();
    record.left = -1;
    record.top = -1;
    return {kDefaultSize, std::nullopt};
}

} // namespace

Request fromRecord(WindowStateRecord& record, const QList<QRect>& screens)
{
    record.width = std::max(record.width, kLeastRecordWidth);
    record.height = std::max(record.height, kLeastRecordHeight);
    Request request{QSize(record.width, record.height), std::nullopt};
    if (screens.isEmpty())
        return request;
    // The window is shown at least at its minimum size.
    const QSize shown = request.size.expandedTo(kMinimumSize);
    if (std::none_of(screens.begin(), screens.end(), [&](const QRect& area) { return fitsOn(shown, area); }))
        return fallBack(record);
    if (record.left <= 0 && record.top <= 0)
        return request;

    const QRect& primary = screens.front();
    const int left = record.left > 0 ? record.left : primary.x() + (primary.width() - shown.width()) / 2;
    const int top = record.top > 0 ? record.top : primary.y() + (primary.height() - shown.height()) / 2;
    if (std::none_of(screens.begin(), screens.end(),
                     [&](const QRect& area) { return titleBarOn(left, top, shown, area); }))
        return fallBack(record);
    request.position = QPoint(left, top);
    return request;
}

} // namespace WindowPlacement
