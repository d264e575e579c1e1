#pragma once

#include <QString>

// The key of every account and policy value. It is not stored: it is built at start-up from a
// constant of the program, so databases made by this program are readable only by it.
namespace SystemKey {

QString build();

} // namespace SystemKey
