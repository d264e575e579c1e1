#pragma once

#include <QString>

// Tells whether another copy of the program already runs: an advisory lock on a file in a directory
// only the user can reach, which dies with the process that holds it. In a shared directory another
// user could hold the lock, and so keep the program from starting, or plant a link in its place.
class InstanceLock final {
public:
    enum class Result { Acquired, HeldElsewhere, Unavailable };

    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // $XDG_RUNTIME_DIR when it is a directory of the user's that no one else may enter, else
    // "tiv-<uid>" in the temporary directory, made so when absent. Empty when neither is.
    static QString lockDirectory();
    // "vantaTivSec" in that directory; empty without one.
    static QString lockPath();

    // Unavailable without a directory of the user's, or when the lock file there is a link or not
    // the user's own.
    Result acquire();
    void release();
    bool isHeld() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};
