#include "history/RunsLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

namespace quodrix {

RunsLock::RunsLock(std::string const& folder)
{
    std::string const path = folder + "/undo.lock";
    m_file = FileDescriptor(systemCalls().open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!m_file.valid() && errno == ENOENT)
        return;  // no folder: no run to choose, nothing to guard
    if (!m_file.valid()) {
        m_status = Status::fromErrno("cannot open " + path);
        return;
    }
    int locked;
    do
        locked = ::flock(m_file.get(), LOCK_EX);
    while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        m_status = Status::fromErrno("cannot lock " + path);
        (void)m_file.close();
    }
}

void RunsLock::release()
{
    (void)m_file.close();  // closing the descriptor drops the lock
}

}
