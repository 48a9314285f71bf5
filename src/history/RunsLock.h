#pragma once
// RunsLock: an exclusive lock on the journal folder (`<folder>/undo.lock`, flock), held while an undo
// chooses its run and writes its own journal's header, so that two undo processes never pick the same
// run unseen by each other. Released when the object goes, or by release().

#include "fs/FileDescriptor.h"
#include "fs/Status.h"

#include <string>

namespace quodrix {

class RunsLock {
public:
    // Waits for the lock. A missing folder holds no run: nothing is locked and status() is success.
    explicit RunsLock(std::string const& folder);
    RunsLock(RunsLock const&) = delete;
    RunsLock& operator=(RunsLock const&) = delete;

    // Success when the lock is held; else why it could not be taken.
    [[nodiscard]] Status const& status() const { return m_status; }
    void release();

private:
    FileDescriptor m_file { -1 };
    Status m_status;
};

}
