#include "fs/AtomicFile.h"

#include "fs/FileDescriptor.h"
#include "fs/FileStore.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace quodrix {

namespace {

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(std::size_t(n));
    }
    return true;
}

// The path that the write replaces: the file a symbolic link names, when it names one.
std::string writeTarget(std::string const& path)
{
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return path;
    std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : path;
}

}

bool writeFileAtomically(std::string const& path, std::string_view bytes)
{
    if (path.empty())
        return false;
    std::string target = writeTarget(path);
    struct stat existing {};
    bool hasOld = stat(target.c_str(), &existing) == 0;
    if (hasOld && !S_ISREG(existing.st_mode))
        return false;

    std::string temporary = FileStore::temporaryNameBeside(target);
    mode_t mode = 0666;
    FileDescriptor out(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (!out.valid())
        return false;
    bool ok = writeAll(out.get(), bytes) && fsync(out.get()) == 0;
    if (ok && hasOld) {
        fchmod(out.get(), existing.st_mode & 07777);
        // The file keeps its owner where the process may give it (as root, editing a user's file).
        if (existing.st_uid != geteuid() || existing.st_gid != getegid())
            (void)!fchown(out.get(), existing.st_uid, existing.st_gid);
    }
    ok = out.close() && ok;
    if (ok && std::rename(temporary.c_str(), target.c_str()) == 0)
        return true;
    ::unlink(temporary.c_str());
    return false;
}

std::optional<std::string> readWholeFile(std::string const& path)
{
    if (!FileStore::isUsablePath(path))
        return std::nullopt;
    // Opened without waiting, so that a named pipe cannot hold the caller; only regular files are read
    // (a device could be endless).
    FileDescriptor in(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!in.valid())
        return std::nullopt;
    struct stat info {};
    if (fstat(in.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    fcntl(in.get(), F_SETFL, fcntl(in.get(), F_GETFL) & ~O_NONBLOCK);
    std::string bytes;
    if (S_ISREG(info.st_mode) && info.st_size > 0)
        bytes.reserve(std::size_t(info.st_size));
    std::size_t filled = 0;
    while (true) {
        if (bytes.size() - filled < 65536)
            bytes.resize(std::max<std::size_t>(filled + 65536, std::size_t(info.st_size) + 1));
        ssize_t n = ::read(in.get(), bytes.data() + filled, bytes.size() - filled);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        filled += std::size_t(n);
    }
    bytes.resize(filled);
    return bytes;
}

}
