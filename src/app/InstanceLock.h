#pragma once

#include <QString>

// Tells whether another copy of the program already runs: an advisory lock on a file in the user's
// runtime directory, which dies with the process that holds it.
class InstanceLock final {
public:
    enum class Result { Acquired, HeldElsewhere, Unavailable };

    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // "vantaTivSec" in $XDG_RUNTIME_DIR, else in the temporary directory.
    static QString lockPath();

    Result acquire();
    void release();
    bool isHeld() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};
