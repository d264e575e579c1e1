#pragma once

#include <stdexcept>
#include <string>

// A data-access failure: a statement, row or conversion that did not work. Cursor operations raise
// it; the command that started the work catches it and reports that command's failure text.
class DbError final : public std::runtime_error {
public:
    explicit DbError(const std::string& what) : std::runtime_error(what) {}
};
