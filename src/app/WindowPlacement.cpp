#include "app/WindowPlacement.h"

#include <algorithm>

namespace WindowPlacement {

Request fromRecord(WindowStateRecord& record)
{
    record.width = std::max(record.width, kLeastRecordWidth);
    record.height = std::max(record.height, kLeastRecordHeight);
    Request request;
    request.size = QSize(record.width, record.height);
    if (record.left > 0)
        request.left = record.left;
    if (record.top > 0)
        request.top = record.top;
    return request;
}

} // namespace WindowPlacement
