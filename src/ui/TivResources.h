#pragma once

#include <QIcon>
#include <QString>

// The icons and the help page packed into the program.
namespace TivResources {

// Registers the resources; they live in a static library, so the linker would otherwise drop them.
// Safe to call any number of times.
void init();

// An icon of the program's set by its file name without extension, e.g. "nav-file".
QIcon icon(const QString& name);
// A toolbar icon whose "-hot" variant shows while the mouse is over the button.
QIcon hotIcon(const QString& name);

inline const QString kHelpPage = QStringLiteral("qrc:/help/tiv-help.html");

} // namespace TivResources
