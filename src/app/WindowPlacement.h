#pragma once

#include <QSize>

#include <optional>

#include "state/WindowStateRecord.h"

// Where and how large the main window opens, from the placement remembered in tiv.ini.
namespace WindowPlacement {

// A remembered size below these is raised in the record itself.
inline constexpr int kLeastRecordWidth = 300;
inline constexpr int kLeastRecordHeight = 200;
// The window never gets smaller than this, whatever was asked for.
inline constexpr QSize kMinimumSize{500, 430};

struct Request {
    QSize size;
    std::optional<int> left; // none: the window system places that edge
    std::optional<int> top;
};

// Raises a too small width or height in the record (first runs store -1 and 0 values) and returns
// the request; a left or top edge of 0 or less means the default position.
Request fromRecord(WindowStateRecord& record);

} // namespace WindowPlacement
