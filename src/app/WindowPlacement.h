#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
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
// The size a first run stores; also what a placement that no screen can show falls back to.
inline constexpr QSize kDefaultSize{600, 530};
// So much of the window's width, and of its height below the top edge, must lie on one screen for
// the user to reach its title bar; less counts as off-screen.
inline constexpr int kLeastVisible = 100;

struct Request {
    QSize size;
    std::optional<QPoint> position; // none: the window system places the window
};

// Raises a too small width or height in the record (first runs store -1 and 0 values) and returns
// the request; a left or top edge of 0 or less means the default position, and an edge left to the
// default is centred on the primary screen. tiv.ini is anyone's to edit: a window larger than every
// screen, or one whose title bar no screen shows, falls back to the default placement, in the record
// too. `screens` holds the available area of each screen, the primary one first; with none the
// record is taken as it is.
Request fromRecord(WindowStateRecord& record, const QList<QRect>& screens);

} // namespace WindowPlacement
