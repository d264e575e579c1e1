#pragma once

#include <QString>

#include <functional>

class QWidget;

// Runs work that takes seconds and touches no widget (a conversion of the database) on a thread of
// its own, while a window-modal busy indicator with the text keeps the program's windows painted and
// their commands out of reach. Gives what the work returned.
namespace BusyWork {

int run(QWidget* parent, const QString& text, const std::function<int()>& work);

} // namespace BusyWork
