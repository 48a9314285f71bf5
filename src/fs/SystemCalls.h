#pragma once
// SystemCalls: the one road from the file-system layer to the kernel.
//
// Every call that the layer makes to place, copy, move, write, remove or read items goes through the
// process-wide current instance, systemCalls(). The default instance calls libc and returns what it
// returns (errno set on failure). Tests install an instance of their own with ScopedSystemCalls to count
// the calls of an operation and to fail any of them; nothing else should replace it. The layer itself
// never calls these functions of libc directly.

#include <cstddef>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

namespace quodrix {

class SystemCalls {
public:
    virtual ~SystemCalls() = default;

    virtual int open(char const* path, int flags, mode_t mode);
    virtual int openat(int folder, char const* name, int flags, mode_t mode);
    virtual ssize_t read(int fd, void* buffer, std::size_t size);
    virtual ssize_t write(int fd, void const* buffer, std::size_t size);
    virtual int ftruncate(int fd, off_t length);
    // As lseek(2); SEEK_DATA and SEEK_HOLE find where a file with holes holds data.
    virtual off_t seek(int fd, off_t offset, int whence);
    // As copy_file_range(2) from and to the files' own offsets: the kernel copies up to `size` bytes (or
    // shares them, where the file system can) without them passing through the process.
    virtual ssize_t copyFileRange(int from, int to, std::size_t size);
    virtual int close(int fd);
    virtual int fsync(int fd);
    // Starts writing a range of an open file to disk without waiting (sync_file_range(2) with
    // SYNC_FILE_RANGE_WRITE), so that a later fsync has less to wait for. Only advice: it may fail.
    virtual int startWriteback(int fd, off_t offset, off_t length);
    // fsync(2) on a thread of its own (RunJournal::flushInBackground), while the calling thread goes on. An
    // instance that counts calls leaves it out of its counts, since it comes at no fixed point of an
    // operation; it must answer from any thread. The instance must outlive the flush (RunJournal::finish).
    virtual int fsyncInBackground(int fd);
    virtual int fstat(int fd, struct stat* info);
    virtual int fstatat(int folder, char const* name, struct stat* info, int flags);
    virtual int lstat(char const* path, struct stat* info);
    virtual int stat(char const* path, struct stat* info);
    // Whether the process may use the item as `mode` asks (R_OK, W_OK, ...), as faccessat(2) answers for its
    // effective user and group (access(2) where a sandbox refuses that call and the two users are one).
    virtual int access(char const* path, int mode);
    // The entries of an open folder, as getdents64(2) gives them.
    virtual long readFolder(int fd, void* buffer, std::size_t size);

    virtual int rename(char const* from, char const* to);
    // As renameat2(2): `from` and `to` are names within the open folders `fromFolder` and `toFolder`, or
    // paths when the folder is AT_FDCWD.
    virtual int renameat2(int fromFolder, char const* from, int toFolder, char const* to, unsigned flags);
    virtual int link(char const* from, char const* to);
    virtual int symlink(char const* target, char const* path);
    virtual ssize_t readlink(char const* path, char* buffer, std::size_t size);
    virtual int unlink(char const* path);
    virtual int rmdir(char const* path);
    virtual int mkdir(char const* path, mode_t mode);
    virtual int mkfifo(char const* path, mode_t mode);

    virtual int fchmod(int fd, mode_t mode);
    virtual int chmod(char const* path, mode_t mode);
    virtual int fchown(int fd, uid_t owner, gid_t group);
    virtual int futimens(int fd, timespec const times[2]);
    virtual int utimensat(char const* path, timespec const times[2], int flags);
    virtual ssize_t flistxattr(int fd, char* list, std::size_t size);
    virtual ssize_t fgetxattr(int fd, char const* name, void* value, std::size_t size);
    virtual int fsetxattr(int fd, char const* name, void const* value, std::size_t size, int flags);
};

// The instance in use.
SystemCalls& systemCalls();

// Installs `calls` as the current instance for its lifetime and puts the previous one back afterwards.
class ScopedSystemCalls {
public:
    explicit ScopedSystemCalls(SystemCalls& calls);
    ~ScopedSystemCalls();
    ScopedSystemCalls(ScopedSystemCalls const&) = delete;
    ScopedSystemCalls& operator=(ScopedSystemCalls const&) = delete;

private:
    SystemCalls* m_previous;
};

}
