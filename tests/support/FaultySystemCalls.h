#pragma once
// FaultySystemCalls: a SystemCalls that counts the calls of an operation and fails the ones a test
// chooses (the Nth call of one kind or of any kind, once or from then on, with a chosen errno), and
// keeps the order of the calls that change what is on disk. Install it with ScopedSystemCalls.

#include "fs/SystemCalls.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

namespace quodrix::test {

enum class Call { Any, Open, Read, Write, Close, Fsync, Stat, ReadFolder, Rename, Link, Symlink, Unlink, Rmdir,
    Mkdir, Attributes };

enum class Repeat { Once, FromThenOn };

class FaultySystemCalls : public SystemCalls {
public:
    // Fails the calls of kind `kind` numbered first .. first+count-1 (counting from 1); count 0 means every
    // call from `first` on.
    void fail(Call kind, int first, int count, int error = EIO);
    void fail(Call kind, int nth, Repeat repeat, int error = EIO) { fail(kind, nth, repeat == Repeat::Once ? 1 : 0, error); }

    // Fails the nth call of the kind chosen by fail() as well (counted the same way), once.
    void failAlso(int nth) { m_also.push_back(nth); }

    // Lets every write put down at most `bytes` of what it is given, as write(2) does on a disk that is
    // filling up: the caller must write the rest itself.
    void writeAtMost(std::size_t bytes) { m_writeAtMost = bytes; }

    int calls(Call kind = Call::Any) const;
    int failures() const { return m_failures; }
    // The calls so far, one line each: "fsync", "unlink /path", "rename /a /b", ...
    std::vector<std::string> const& journal() const { return m_journal; }

    int open(char const* path, int flags, mode_t mode) override;
    int openat(int folder, char const* name, int flags, mode_t mode) override;
    ssize_t read(int fd, void* buffer, std::size_t size) override;
    ssize_t write(int fd, void const* buffer, std::size_t size) override;
    // Counted as writes.
    int ftruncate(int fd, off_t length) override;
    // Counted as reads.
    off_t seek(int fd, off_t offset, int whence) override;
    ssize_t copyFileRange(int from, int to, std::size_t size) override;
    int close(int fd) override;
    int fsync(int fd) override;
    int startWriteback(int fd, off_t offset, off_t length) override;
    // Not counted (it comes from a thread of its own at no fixed point); fails with `error` once
    // failBackgroundFlush() was called, else flushes.
    int fsyncInBackground(int fd) override;
    void failBackgroundFlush(int error) { m_backgroundFlushError = error; }
    int fstat(int fd, struct stat* info) override;
    int fstatat(int folder, char const* name, struct stat* info, int flags) override;
    int lstat(char const* path, struct stat* info) override;
    int stat(char const* path, struct stat* info) override;
    int access(char const* path, int mode) override;
    long readFolder(int fd, void* buffer, std::size_t size) override;
    int rename(char const* from, char const* to) override;
    int renameat2(int fromFolder, char const* from, int toFolder, char const* to, unsigned flags) override;
    int link(char const* from, char const* to) override;
    int symlink(char const* target, char const* path) override;
    ssize_t readlink(char const* path, char* buffer, std::size_t size) override;
    int unlink(char const* path) override;
    int rmdir(char const* path) override;
    int mkdir(char const* path, mode_t mode) override;
    int mkfifo(char const* path, mode_t mode) override;
    int fchmod(int fd, mode_t mode) override;
    int chmod(char const* path, mode_t mode) override;
    int fchown(int fd, uid_t owner, gid_t group) override;
    int futimens(int fd, timespec const times[2]) override;
    int utimensat(char const* path, timespec const times[2], int flags) override;
    ssize_t flistxattr(int fd, char* list, std::size_t size) override;
    ssize_t fgetxattr(int fd, char const* name, void* value, std::size_t size) override;
    int fsetxattr(int fd, char const* name, void const* value, std::size_t size, int flags) override;

private:
    static std::string pathOf(int folder, char const* name);
    // Counts the call and tells whether it is to fail (errno then set).
    bool fails(Call kind, std::string const& entry);

    Call m_kind = Call::Any;
    int m_first = 0;
    int m_count = 0;
    int m_error = EIO;
    int m_failures = 0;
    std::size_t m_writeAtMost = SIZE_MAX;
    std::vector<int> m_also;
    std::atomic<int> m_backgroundFlushError { 0 };
    std::vector<int> m_counts = std::vector<int>(int(Call::Attributes) + 1, 0);
    std::vector<std::string> m_journal;
};

}
