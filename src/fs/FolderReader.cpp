#include "fs/FolderReader.h"

#include "fs/SystemCalls.h"

#include <cerrno>
#include <dirent.h>

namespace quodrix {

bool FolderReader::refill()
{
    while (!m_done) {
        // A failed read is seen only through errno: clear it before and read it after.
        errno = 0;
        long n = systemCalls().readFolder(m_folder, m_buffer.data(), m_buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            m_error = errno != 0 ? errno : EIO;
            m_done = true;
            return false;
        }
        m_filled = n;
        m_offset = 0;
        if (n == 0)
            m_done = true;
        return n > 0;
    }
    return false;
}

bool FolderReader::damaged()
{
    m_error = EIO;
    m_done = true;
    m_filled = m_offset = 0;
    return false;
}

}
