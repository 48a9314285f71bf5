#include "fs/SystemCalls.h"

#include "fs/Status.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace quodrix {

namespace {

SystemCalls& defaultCalls()
{
    static SystemCalls calls;
    return calls;
}

std::atomic<SystemCalls*> current { nullptr };

}

Status Status::fromError(int error, std::string const& what)
{
    return Status(error, what + ": " + std::strerror(error));
}

Status Status::within(std::string const& context) const
{
    if (ok())
        return *this;
    return Status(m_error, context + ": " + m_message);
}

Status Status::naming(std::string const& stand, std::string const& path) const
{
    if (ok() || stand.empty())
        return *this;
    std::string message;
    std::size_t from = 0;
    for (std::size_t at = m_message.find(stand); at != std::string::npos; at = m_message.find(stand, from)) {
        message.append(m_message, from, at - from).append(path);
        from = at + stand.size();
    }
    message.append(m_message, from);
    return Status(m_error, std::move(message));
}

SystemCalls& systemCalls()
{
    SystemCalls* calls = current.load();
    return calls ? *calls : defaultCalls();
}

ScopedSystemCalls::ScopedSystemCalls(SystemCalls& calls) : m_previous(current.exchange(&calls)) { }

ScopedSystemCalls::~ScopedSystemCalls()
{
    current.store(m_previous);
}

int SystemCalls::open(char const* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
int SystemCalls::openat(int folder, char const* name, int flags, mode_t mode) { return ::openat(folder, name, flags, mode); }
ssize_t SystemCalls::read(int fd, void* buffer, std::size_t size) { return ::read(fd, buffer, size); }
ssize_t SystemCalls::write(int fd, void const* buffer, std::size_t size) { return ::write(fd, buffer, size); }
int SystemCalls::ftruncate(int fd, off_t length) { return ::ftruncate(fd, length); }
off_t SystemCalls::seek(int fd, off_t offset, int whence) { return ::lseek(fd, offset, whence); }
ssize_t SystemCalls::copyFileRange(int from, int to, std::size_t size)
{
    return ::copy_file_range(from, nullptr, to, nullptr, size, 0);
}
int SystemCalls::close(int fd) { return ::close(fd); }
int SystemCalls::fsync(int fd) { return ::fsync(fd); }
int SystemCalls::startWriteback(int fd, off_t offset, off_t length)
{
    return ::sync_file_range(fd, offset, length, SYNC_FILE_RANGE_WRITE);
}
int SystemCalls::fsyncInBackground(int fd) { return ::fsync(fd); }
int SystemCalls::fstat(int fd, struct stat* info) { return ::fstat(fd, info); }
int SystemCalls::fstatat(int folder, char const* name, struct stat* info, int flags) { return ::fstatat(folder, name, info, flags); }
int SystemCalls::lstat(char const* path, struct stat* info) { return ::lstat(path, info); }
int SystemCalls::stat(char const* path, struct stat* info) { return ::stat(path, info); }
// By the effective user and group, as the opens and looks that follow are checked. The C library asks the
// kernel's faccessat2 for that, which some container sandboxes refuse with EPERM rather than ENOSYS (the
// library falls back only on ENOSYS); where the real and effective ids are the same, access(2) answers the
// same question.
int SystemCalls::access(char const* path, int mode)
{
    int const result = ::faccessat(AT_FDCWD, path, mode, AT_EACCESS);
    if (result != 0 && (errno == EPERM || errno == ENOSYS) && ::getuid() == ::geteuid() && ::getgid() == ::getegid())
        return ::access(path, mode);
    return result;
}
long SystemCalls::readFolder(int fd, void* buffer, std::size_t size) { return ::getdents64(fd, buffer, size); }
int SystemCalls::rename(char const* from, char const* to) { return std::rename(from, to); }
int SystemCalls::renameat2(int fromFolder, char const* from, int toFolder, char const* to, unsigned flags)
{
    return ::renameat2(fromFolder, from, toFolder, to, flags);
}
int SystemCalls::link(char const* from, char const* to) { return ::link(from, to); }
int SystemCalls::symlink(char const* target, char const* path) { return ::symlink(target, path); }
ssize_t SystemCalls::readlink(char const* path, char* buffer, std::size_t size) { return ::readlink(path, buffer, size); }
int SystemCalls::unlink(char const* path) { return ::unlink(path); }
int SystemCalls::rmdir(char const* path) { return ::rmdir(path); }
int SystemCalls::mkdir(char const* path, mode_t mode) { return ::mkdir(path, mode); }
int SystemCalls::mkfifo(char const* path, mode_t mode) { return ::mkfifo(path, mode); }
int SystemCalls::fchmod(int fd, mode_t mode) { return ::fchmod(fd, mode); }
int SystemCalls::chmod(char const* path, mode_t mode) { return ::chmod(path, mode); }
int SystemCalls::fchown(int fd, uid_t owner, gid_t group) { return ::fchown(fd, owner, group); }
int SystemCalls::futimens(int fd, timespec const times[2]) { return ::futimens(fd, times); }
int SystemCalls::utimensat(char const* path, timespec const times[2], int flags)
{
    return ::utimensat(AT_FDCWD, path, times, flags);
}
ssize_t SystemCalls::flistxattr(int fd, char* list, std::size_t size) { return ::flistxattr(fd, list, size); }
ssize_t SystemCalls::fgetxattr(int fd, char const* name, void* value, std::size_t size)
{
    return ::fgetxattr(fd, name, value, size);
}
int SystemCalls::fsetxattr(int fd, char const* name, void const* value, std::size_t size, int flags)
{
    return ::fsetxattr(fd, name, value, size, flags);
}

}
