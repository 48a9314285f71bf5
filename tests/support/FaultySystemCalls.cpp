#include "support/FaultySystemCalls.h"

#include <algorithm>
#include <climits>
#include <unistd.h>

namespace quodrix::test {

void FaultySystemCalls::fail(Call kind, int first, int count, int error)
{
    m_kind = kind;
    m_first = first;
    m_count = count;
    m_error = error;
}

int FaultySystemCalls::calls(Call kind) const
{
    return m_counts[std::size_t(kind)];
}

bool FaultySystemCalls::fails(Call kind, std::string const& entry)
{
    int nth = ++m_counts[std::size_t(kind)];
    int any = ++m_counts[std::size_t(Call::Any)];
    m_journal.push_back(entry);
    int counted = m_kind == Call::Any ? any : nth;
    bool const ofKind = m_kind == Call::Any || m_kind == kind;
    bool chosen = m_first > 0 && ofKind && counted >= m_first && (m_count == 0 || counted < m_first + m_count);
    chosen = chosen || (ofKind && std::find(m_also.begin(), m_also.end(), counted) != m_also.end());
    if (!chosen)
        return false;
    ++m_failures;
    m_journal.back() += " (failed)";
    errno = m_error;
    return true;
}

// A name within an open folder as the path it stands for, so that the journal of calls reads the same
// whether a call went by path or through a folder's handle.
std::string FaultySystemCalls::pathOf(int folder, char const* name)
{
    if (folder == AT_FDCWD)
        return name;
    char target[PATH_MAX];
    std::string const link = "/proc/self/fd/" + std::to_string(folder);
    ssize_t const length = ::readlink(link.c_str(), target, sizeof target);
    if (length <= 0)
        return link + "/" + name;
    std::string path(target, std::size_t(length));
    return (path == "/" ? "" : path) + "/" + name;
}

#define QUODRIX_FAULT(kind, entry) \
    if (fails(kind, entry))        \
        return -1;

int FaultySystemCalls::open(char const* path, int flags, mode_t mode)
{
    QUODRIX_FAULT(Call::Open, std::string("open ") + path)
    return SystemCalls::open(path, flags, mode);
}
int FaultySystemCalls::openat(int folder, char const* name, int flags, mode_t mode)
{
    QUODRIX_FAULT(Call::Open, std::string("openat ") + name)
    return SystemCalls::openat(folder, name, flags, mode);
}
ssize_t FaultySystemCalls::read(int fd, void* buffer, std::size_t size)
{
    QUODRIX_FAULT(Call::Read, "read")
    return SystemCalls::read(fd, buffer, size);
}
ssize_t FaultySystemCalls::write(int fd, void const* buffer, std::size_t size)
{
    QUODRIX_FAULT(Call::Write, "write")
    return SystemCalls::write(fd, buffer, std::min(size, m_writeAtMost));
}
ssize_t FaultySystemCalls::copyFileRange(int from, int to, std::size_t size)
{
    QUODRIX_FAULT(Call::Write, "copy_file_range")
    return SystemCalls::copyFileRange(from, to, std::min(size, m_writeAtMost));
}
off_t FaultySystemCalls::seek(int fd, off_t offset, int whence)
{
    QUODRIX_FAULT(Call::Read, "lseek " + std::to_string(offset) + " " + std::to_string(whence))
    return SystemCalls::seek(fd, offset, whence);
}
int FaultySystemCalls::ftruncate(int fd, off_t length)
{
    QUODRIX_FAULT(Call::Write, "ftruncate " + std::to_string(length))
    return SystemCalls::ftruncate(fd, length);
}
int FaultySystemCalls::close(int fd)
{
    // A failed close still releases the descriptor, as close(2) does on Linux.
    if (fails(Call::Close, "close")) {
        SystemCalls::close(fd);
        errno = m_error;
        return -1;
    }
    return SystemCalls::close(fd);
}
int FaultySystemCalls::fsync(int fd)
{
    QUODRIX_FAULT(Call::Fsync, "fsync")
    return SystemCalls::fsync(fd);
}
int FaultySystemCalls::startWriteback(int fd, off_t offset, off_t length)
{
    QUODRIX_FAULT(Call::Fsync, "writeback")
    return SystemCalls::startWriteback(fd, offset, length);
}
int FaultySystemCalls::fstat(int fd, struct stat* info)
{
    QUODRIX_FAULT(Call::Stat, "fstat")
    return SystemCalls::fstat(fd, info);
}
int FaultySystemCalls::fstatat(int folder, char const* name, struct stat* info, int flags)
{
    QUODRIX_FAULT(Call::Stat, std::string("fstatat ") + name)
    return SystemCalls::fstatat(folder, name, info, flags);
}
int FaultySystemCalls::lstat(char const* path, struct stat* info)
{
    QUODRIX_FAULT(Call::Stat, std::string("lstat ") + path)
    return SystemCalls::lstat(path, info);
}
int FaultySystemCalls::stat(char const* path, struct stat* info)
{
    QUODRIX_FAULT(Call::Stat, std::string("stat ") + path)
    return SystemCalls::stat(path, info);
}
int FaultySystemCalls::access(char const* path, int mode)
{
    QUODRIX_FAULT(Call::Stat, std::string("access ") + path)
    return SystemCalls::access(path, mode);
}
long FaultySystemCalls::readFolder(int fd, void* buffer, std::size_t size)
{
    QUODRIX_FAULT(Call::ReadFolder, "readFolder")
    return SystemCalls::readFolder(fd, buffer, size);
}
int FaultySystemCalls::rename(char const* from, char const* to)
{
    QUODRIX_FAULT(Call::Rename, std::string("rename ") + from + " " + to)
    return SystemCalls::rename(from, to);
}
int FaultySystemCalls::fsyncInBackground(int fd)
{
    if (int const error = m_backgroundFlushError.load(); error != 0) {
        errno = error;
        return -1;
    }
    return SystemCalls::fsyncInBackground(fd);
}

int FaultySystemCalls::renameat2(int fromFolder, char const* from, int toFolder, char const* to, unsigned flags)
{
    QUODRIX_FAULT(Call::Rename, "rename " + pathOf(fromFolder, from) + " " + pathOf(toFolder, to))
    return SystemCalls::renameat2(fromFolder, from, toFolder, to, flags);
}
int FaultySystemCalls::link(char const* from, char const* to)
{
    QUODRIX_FAULT(Call::Link, std::string("link ") + from + " " + to)
    return SystemCalls::link(from, to);
}
int FaultySystemCalls::symlink(char const* target, char const* path)
{
    QUODRIX_FAULT(Call::Symlink, std::string("symlink ") + path)
    return SystemCalls::symlink(target, path);
}
ssize_t FaultySystemCalls::readlink(char const* path, char* buffer, std::size_t size)
{
    QUODRIX_FAULT(Call::Read, std::string("readlink ") + path)
    return SystemCalls::readlink(path, buffer, size);
}
int FaultySystemCalls::unlink(char const* path)
{
    QUODRIX_FAULT(Call::Unlink, std::string("unlink ") + path)
    return SystemCalls::unlink(path);
}
int FaultySystemCalls::rmdir(char const* path)
{
    QUODRIX_FAULT(Call::Rmdir, std::string("rmdir ") + path)
    return SystemCalls::rmdir(path);
}
int FaultySystemCalls::mkdir(char const* path, mode_t mode)
{
    QUODRIX_FAULT(Call::Mkdir, std::string("mkdir ") + path)
    return SystemCalls::mkdir(path, mode);
}
int FaultySystemCalls::mkfifo(char const* path, mode_t mode)
{
    QUODRIX_FAULT(Call::Mkdir, std::string("mkfifo ") + path)
    return SystemCalls::mkfifo(path, mode);
}
int FaultySystemCalls::fchmod(int fd, mode_t mode)
{
    QUODRIX_FAULT(Call::Attributes, "fchmod")
    return SystemCalls::fchmod(fd, mode);
}
int FaultySystemCalls::chmod(char const* path, mode_t mode)
{
    QUODRIX_FAULT(Call::Attributes, std::string("chmod ") + path)
    return SystemCalls::chmod(path, mode);
}
int FaultySystemCalls::fchown(int fd, uid_t owner, gid_t group)
{
    QUODRIX_FAULT(Call::Attributes, "fchown")
    return SystemCalls::fchown(fd, owner, group);
}
int FaultySystemCalls::futimens(int fd, timespec const times[2])
{
    QUODRIX_FAULT(Call::Attributes, "futimens")
    return SystemCalls::futimens(fd, times);
}
int FaultySystemCalls::utimensat(char const* path, timespec const times[2], int flags)
{
    QUODRIX_FAULT(Call::Attributes, std::string("utimensat ") + path)
    return SystemCalls::utimensat(path, times, flags);
}
ssize_t FaultySystemCalls::flistxattr(int fd, char* list, std::size_t size)
{
    QUODRIX_FAULT(Call::Attributes, "flistxattr")
    return SystemCalls::flistxattr(fd, list, size);
}
ssize_t FaultySystemCalls::fgetxattr(int fd, char const* name, void* value, std::size_t size)
{
    QUODRIX_FAULT(Call::Attributes, "fgetxattr")
    return SystemCalls::fgetxattr(fd, name, value, size);
}
int FaultySystemCalls::fsetxattr(int fd, char const* name, void const* value, std::size_t size, int flags)
{
    QUODRIX_FAULT(Call::Attributes, "fsetxattr")
    return SystemCalls::fsetxattr(fd, name, value, size, flags);
}

#undef QUODRIX_FAULT

}
