#include "fs/FileOps.h"

#include "fs/FileDescriptor.h"
#include "fs/FileStore.h"
#include "fs/FolderReader.h"
#include "fs/Interruption.h"
#include "fs/SystemCalls.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <random>
#include <string_view>
#include <unistd.h>

namespace quodrix {

namespace {

constexpr std::string_view kTemporaryPrefix = ".quodrix-";
constexpr std::string_view kTemporarySuffix = ".partial";

std::string join(std::string const& folder, std::string const& name)
{
    return (folder == "/" ? "" : folder) + "/" + name;
}

Status openFile(FileDescriptor& into, std::string const& path, int flags, mode_t mode)
{
    int fd = systemCalls().open(path.c_str(), flags | O_CLOEXEC, mode);
    if (fd < 0)
        return Status::fromErrno("open " + path);
    into = FileDescriptor(fd);
    return {};
}

Status closeFile(FileDescriptor& fd, std::string const& path)
{
    if (!fd.close())
        return Status::fromErrno("close " + path);
    return {};
}

// No limit to a copy but the end of its source.
constexpr off_t kToTheEnd = std::numeric_limits<off_t>::max();

// Copies what is left of `from` into `to`, at most `length` bytes, by reading and writing.
Status readAndWrite(int from, int to, off_t length, std::string const& source, std::string const& target)
{
    auto& calls = systemCalls();
    std::vector<char> buffer(std::size_t(1) << 16);
    while (length > 0) {
        if (Interruption::noted() != 0)
            return Status::refused(Interruption::cause());
        ssize_t n = calls.read(from, buffer.data(), std::size_t(std::min<off_t>(off_t(buffer.size()), length)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Status::fromErrno("read " + source);
        if (n == 0)
            return {};
        if (Status written = writeAll(to, std::string_view(buffer.data(), std::size_t(n)), target); !written)
            return written;
        length -= n;
    }
    return {};
}

// Whether copy_file_range(2) failing at once with `error` means only that the kernel cannot copy between
// these two files (other file systems, a file system or kernel without it), so that reading and writing
// can do the copy.
bool kernelCannotCopy(int error)
{
    return error == EXDEV || error == ENOSYS || error == EOPNOTSUPP || error == EINVAL || error == EBADF;
}

// Copies at most `length` bytes from the offset of `from` to that of `to` (kToTheEnd: the rest of `from`).
// The kernel copies the bytes (as cp does), without them passing through the process; where it cannot,
// or a file's first range comes back empty (some file systems report no size), they are read and written.
// A failure names the target when the disk is full or cannot be written, else the source. An interrupted
// run (Interruption) ends the copy of a large file between two ranges, which the kernel copies in well
// under a second each.
Status copyContents(int from, int to, off_t length, std::string const& source, std::string const& target)
{
    constexpr off_t kRangeBytes = off_t(1) << 26;
    auto& calls = systemCalls();
    bool copiedAny = false;
    while (length > 0) {
        if (Interruption::noted() != 0)
            return Status::refused(Interruption::cause());
        ssize_t const n = calls.copyFileRange(from, to, std::size_t(std::min(kRangeBytes, length)));
        if (n < 0 && errno == EINTR)
            continue;
        if (!copiedAny && (n == 0 || (n < 0 && kernelCannotCopy(errno))))
            return readAndWrite(from, to, length, source, target);
        if (n < 0) {
            bool const ofTarget = errno == ENOSPC || errno == EDQUOT || errno == EFBIG || errno == EROFS;
            return Status::fromErrno((ofTarget ? "write " : "read ") + (ofTarget ? target : source));
        }
        if (n == 0)
            return {};
        copiedAny = true;
        length -= n;
    }
    return {};
}

// Whether a regular file takes fewer blocks than its size: it has holes, parts that were never written and
// read as zeros (as cp decides).
bool hasHoles(struct stat const& info)
{
    return S_ISREG(info.st_mode) && info.st_size > 0 && info.st_blocks < info.st_size / 512;
}

// Copies a file with holes a part of data at a time, each where the source holds it (SEEK_DATA, SEEK_HOLE),
// then gives the copy the source's size: its holes stay holes, instead of zeros written to disk (a disk
// image of 100 GB that holds 5 GB of data takes 5 GB again, as cp makes it). Where the file system cannot
// tell data from holes, the whole file is copied.
Status copyWithHoles(int from, int to, off_t size, std::string const& source, std::string const& target)
{
    auto& calls = systemCalls();
    for (off_t position = 0; position < size;) {
        off_t const data = calls.seek(from, position, SEEK_DATA);
        if (data < 0 && errno == ENXIO)
            break;  // no data after `position`: the rest is a hole
        if (data < 0 && errno == EINVAL && position == 0)
            return copyContents(from, to, kToTheEnd, source, target);
        if (data < 0)
            return Status::fromErrno("read " + source);
        off_t const hole = calls.seek(from, data, SEEK_HOLE);
        if (hole < 0 || calls.seek(from, data, SEEK_SET) < 0)
            return Status::fromErrno("read " + source);
        if (calls.seek(to, data, SEEK_SET) < 0)
            return Status::fromErrno("write " + target);
        // The part ends at the next hole, or at the size the source had when the copy began.
        off_t const end = std::min(hole, size);
        if (Status copied = copyContents(from, to, end - data, source, target); !copied)
            return copied;
        position = end;
    }
    if (calls.ftruncate(to, size) != 0)
        return Status::fromErrno("write " + target);
    return {};
}

// Gives the copy open as `out` the attributes, permissions and times of `in` (described by `info`),
// flushes it when asked, and closes both.
Status finishCopy(FileDescriptor& in, FileDescriptor& out, struct stat const& info, std::string const& source,
    std::string const& target, Durability durability)
{
    auto& calls = systemCalls();
    // Extended attributes are kept where the target's file system takes them; one it refuses does not
    // fail the copy (a tmpfs or a network file system may take none).
    (void)copyExtendedAttributes(in.get(), out.get(), source, target, Attributes::AsTheTargetTakes);
    if (calls.fchmod(out.get(), info.st_mode & 07777) != 0)
        return Status::fromErrno("set the permissions of " + target);
    timespec const times[2] = { info.st_atim, info.st_mtim };
    if (calls.futimens(out.get(), times) != 0)
        return Status::fromErrno("set the times of " + target);
    if (durability == Durability::Flushed && calls.fsync(out.get()) != 0)
        return Status::fromErrno("flush " + target);
    if (Status s = closeFile(out, target); !s)
        return s;
    return closeFile(in, source);
}

Status copyFile(std::string const& source, struct stat const& info, std::string const& target, Durability durability)
{
    FileDescriptor in(-1);
    FileDescriptor out(-1);
    if (Status s = openFile(in, source, O_RDONLY | O_NOFOLLOW, 0); !s)
        return s;
    if (Status s = openFile(out, target, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600); !s)
        return s;
    Status const copied = hasHoles(info) ? copyWithHoles(in.get(), out.get(), info.st_size, source, target)
                                         : copyContents(in.get(), out.get(), kToTheEnd, source, target);
    if (!copied)
        return copied;
    return finishCopy(in, out, info, source, target, durability);
}

Status copyLink(std::string const& source, struct stat const& info, std::string const& target)
{
    auto& calls = systemCalls();
    std::vector<char> buffer(std::size_t(info.st_size > 0 ? info.st_size : PATH_MAX) + 1);
    ssize_t length = calls.readlink(source.c_str(), buffer.data(), buffer.size());
    if (length < 0)
        return Status::fromErrno("read the link " + source);
    if (std::size_t(length) >= buffer.size())
        return Status::fromError(ENAMETOOLONG, "read the link " + source);
    if (calls.symlink(std::string(buffer.data(), std::size_t(length)).c_str(), target.c_str()) != 0)
        return Status::fromErrno("create the link " + target);
    timespec const times[2] = { info.st_atim, info.st_mtim };
    if (calls.utimensat(target.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
        return Status::fromErrno("set the times of " + target);
    return {};
}

Status copyFolder(std::string const& source, struct stat const& info, std::string const& target, Durability durability)
{
    auto& calls = systemCalls();
    if (calls.mkdir(target.c_str(), 0700) != 0)
        return Status::fromErrno("create the folder " + target);
    std::vector<std::string> names;
    if (Status s = readFolderNames(source, names); !s)
        return Status::refused("the copy could not read every entry of " + source + ": " + s.message());
    for (auto const& name : names) {
        if (Status s = copyTree(join(source, name), join(target, name), durability); !s)
            return s;
    }
    FileDescriptor in(-1);
    FileDescriptor out(-1);
    if (Status s = openFile(in, source, O_RDONLY | O_DIRECTORY | O_NOFOLLOW, 0); !s)
        return s;
    if (Status s = openFile(out, target, O_RDONLY | O_DIRECTORY | O_NOFOLLOW, 0); !s)
        return s;
    return finishCopy(in, out, info, source, target, durability);
}

}

Status copyExtendedAttributes(int from, int to, std::string const& source, std::string const& target, Attributes how)
{
    bool const every = how == Attributes::Every;
    auto const unreadable = [&] {
        return every ? Status::fromErrno("read the extended attributes of " + source) : Status();
    };
    // What the file system of either side does not take, or the process may not set, is left out.
    auto const leftOut = [](int error) { return error == ENOTSUP || error == EOPNOTSUPP || error == EPERM; };
    auto& calls = systemCalls();
    ssize_t size = calls.flistxattr(from, nullptr, 0);
    if (size < 0 && leftOut(errno))
        return {};
    if (size <= 0)
        return size == 0 ? Status() : unreadable();
    std::vector<char> names(std::size_t(size) + 1, '\0');
    size = calls.flistxattr(from, names.data(), names.size());
    if (size < 0)
        return unreadable();
    std::vector<char> value;
    for (char const* name = names.data(); name < names.data() + size; name += std::strlen(name) + 1) {
        ssize_t length = calls.fgetxattr(from, name, nullptr, 0);
        if (length >= 0) {
            value.assign(std::size_t(length) + 1, '\0');
            length = calls.fgetxattr(from, name, value.data(), value.size());
        }
        // An attribute removed meanwhile is none of the file's any longer.
        if (length < 0 && errno == ENODATA)
            continue;
        if (length < 0) {
            if (every)
                return unreadable();
            continue;
        }
        if (calls.fsetxattr(to, name, value.data(), std::size_t(length), 0) != 0 && every && !leftOut(errno))
            return Status::fromErrno("set the extended attributes of " + target);
    }
    return {};
}

std::optional<struct stat> itemStatus(std::string const& path)
{
    struct stat info {};
    if (path.empty() || systemCalls().lstat(path.c_str(), &info) != 0)
        return std::nullopt;
    return info;
}

std::optional<struct stat> itemStatus(std::string const& path, FolderHandles& folders)
{
    if (path.empty())
        return std::nullopt;
    struct stat info {};
    auto const place = folders.at(path);
    if (systemCalls().fstatat(place.folder, place.name, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    return info;
}

bool isFolderPath(std::string const& path)
{
    struct stat info {};
    return !path.empty() && systemCalls().stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool liesInside(std::string const& path, std::string const& folder)
{
    return path == folder
        || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0
            && (folder == "/" || path[folder.size()] == '/'));
}

std::optional<std::string> resolvedPath(std::string const& path)
{
    std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
    if (!real)
        return std::nullopt;
    return std::string(real.get());
}

Status readFolderNames(std::string const& folder, std::vector<std::string>& names)
{
    FileDescriptor fd(-1);
    if (Status s = openFile(fd, folder, O_RDONLY | O_DIRECTORY, 0); !s)
        return s;
    std::vector<char> buffer(std::size_t(1) << 15);
    FolderReader reader(fd.get(), buffer);
    FolderReader::Entry entry;
    while (reader.next(entry))
        names.emplace_back(entry.name);
    if (reader.error() != 0)
        return Status::fromError(reader.error(), "read the folder " + folder);
    return closeFile(fd, folder);
}

Status openFileForReading(std::string const& path, FileDescriptor& file, struct stat& info)
{
    if (!FileStore::isUsablePath(path))
        return Status::refused("not a usable path: \"" + path + "\"");
    auto& calls = systemCalls();
    file = FileDescriptor(calls.open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK, 0));
    if (!file.valid())
        return Status::fromErrno("open " + path);
    if (calls.fstat(file.get(), &info) != 0)
        return Status::fromErrno("read " + path);
    if (!S_ISREG(info.st_mode))
        return Status::refused("read " + path + ": not a file");
    fcntl(file.get(), F_SETFL, fcntl(file.get(), F_GETFL) & ~O_NONBLOCK);
    return {};
}

Status writeAll(int fd, std::string_view bytes, std::string const& path)
{
    while (!bytes.empty()) {
        ssize_t n = systemCalls().write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Status::fromErrno("write " + path);
        if (n == 0)
            return Status::fromError(EIO, "write " + path);
        bytes.remove_prefix(std::size_t(n));
    }
    return {};
}

Status flushFolder(std::string const& folder)
{
    FileDescriptor fd(-1);
    if (Status s = openFile(fd, folder, O_RDONLY | O_DIRECTORY, 0); !s)
        return s;
    if (systemCalls().fsync(fd.get()) != 0)
        return Status::fromErrno("flush the folder " + folder);
    return closeFile(fd, folder);
}

Status copyTree(std::string const& source, std::string const& target, Durability durability)
{
    struct stat info {};
    if (systemCalls().lstat(source.c_str(), &info) != 0)
        return Status::fromErrno("read " + source);
    if (S_ISREG(info.st_mode))
        return copyFile(source, info, target, durability);
    if (S_ISLNK(info.st_mode))
        return copyLink(source, info, target);
    if (S_ISFIFO(info.st_mode)) {
        if (systemCalls().mkfifo(target.c_str(), info.st_mode & 07777) != 0)
            return Status::fromErrno("create the pipe " + target);
        return {};
    }
    if (S_ISDIR(info.st_mode))
        return copyFolder(source, info, target, durability);
    return Status::refused("cannot copy " + source + ": not a file, link, pipe or folder");
}

Status removeTree(std::string const& path, LockedFolders locked)
{
    auto& calls = systemCalls();
    struct stat info {};
    if (calls.lstat(path.c_str(), &info) != 0)
        return errno == ENOENT ? Status() : Status::fromErrno("remove " + path);
    if (!S_ISDIR(info.st_mode)) {
        if (calls.unlink(path.c_str()) != 0)
            return Status::fromErrno("remove " + path);
        return {};
    }
    // Should the access not be given, the listing or the removals below say why.
    if (locked == LockedFolders::Opened && info.st_uid == geteuid() && (info.st_mode & S_IRWXU) != S_IRWXU)
        (void)calls.chmod(path.c_str(), (info.st_mode & 07777) | S_IRWXU);
    std::vector<std::string> names;
    Status listed = readFolderNames(path, names);
    Status first = listed;
    for (auto const& name : names) {
        Status removed = removeTree(join(path, name), locked);
        if (first.ok())
            first = removed;
    }
    if (calls.rmdir(path.c_str()) != 0 && first.ok())
        first = Status::fromErrno("remove the folder " + path);
    return first;
}

Status renameNoReplace(std::string const& from, std::string const& to, FolderHandles* folders)
{
    auto& calls = systemCalls();
    FolderHandles::Place source { AT_FDCWD, from.c_str() }, target { AT_FDCWD, to.c_str() };
    if (folders) {
        source = folders->at(from);
        target = folders->at(to);
    }
    if (calls.renameat2(source.folder, source.name, target.folder, target.name, RENAME_NOREPLACE) == 0)
        return {};
    if (errno == EEXIST)
        return Status::refused("rename " + from + " to " + to + ": would replace an existing item");
    if (errno != EINVAL && errno != ENOSYS)
        return Status::fromErrno("rename " + from + " to " + to);
    // A file system without RENAME_NOREPLACE: check, then rename.
    if (itemStatus(to))
        return Status::refused("rename " + from + " to " + to + ": would replace an existing item");
    if (calls.rename(from.c_str(), to.c_str()) != 0)
        return Status::fromErrno("rename " + from + " to " + to);
    return {};
}

std::string temporaryNameBeside(std::string const& path)
{
    static thread_local std::mt19937_64 random { std::random_device {}() };
    char name[64];
    std::snprintf(name, sizeof name, ".quodrix-%ld-%016llx.partial", static_cast<long>(getpid()),
        static_cast<unsigned long long>(random()));
    return join(FileStore::parentOf(path), name);
}

std::optional<long> temporaryOwner(std::string_view name)
{
    if (name.size() <= kTemporaryPrefix.size() + kTemporarySuffix.size() || !name.starts_with(kTemporaryPrefix)
        || !name.ends_with(kTemporarySuffix))
        return std::nullopt;
    name.remove_prefix(kTemporaryPrefix.size());
    long pid = 0;
    std::size_t digits = 0;
    while (digits < name.size() && name[digits] >= '0' && name[digits] <= '9' && digits < 10) {
        pid = pid * 10 + (name[digits] - '0');
        ++digits;
    }
    if (digits == 0 || digits >= name.size() || name[digits] != '-' || pid <= 0)
        return std::nullopt;
    return pid;
}

bool processIsRunning(long pid)
{
    if (pid <= 0 || (::kill(pid_t(pid), 0) != 0 && errno != EPERM))
        return false;
    // The state is the field after the command name, which ends with the last ")".
    std::string const statPath = "/proc/" + std::to_string(pid) + "/stat";
    char buffer[512];
    int const fd = ::open(statPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return true;
    ssize_t const n = ::read(fd, buffer, sizeof buffer - 1);
    ::close(fd);
    if (n <= 0)
        return true;
    std::string_view const stat(buffer, std::size_t(n));
    auto const close = stat.rfind(')');
    return close == std::string_view::npos || close + 2 >= stat.size() || stat[close + 2] != 'Z';
}

void removeStaleTemporaries(std::string const& folder)
{
    std::vector<std::string> names;
    if (!readFolderNames(folder, names))
        return;
    for (auto const& name : names) {
        auto owner = temporaryOwner(name);
        if (!owner || *owner == long(getpid()))
            continue;
        if (!processIsRunning(*owner))
            (void)removeTree(join(folder, name));
    }
}

}
