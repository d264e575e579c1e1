#pragma once

#include <QString>

// What the first-run dialog offers as the default key: a short text that differs between machines.
namespace DefaultKeySuggestion {

// The root file system's id in lowercase hexadecimal without leading zeros; empty when the system
// gives no id.
QString rootFileSystemId();

} // namespace DefaultKeySuggestion
