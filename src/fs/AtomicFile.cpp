#include "fs/AtomicFile.h"

#include "fs/FileDescriptor.h"
#include "fs/FileOps.h"
#include "fs/FileStore.h"
#include "fs/SystemCalls.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quodrix {

namespace {

// The path that the write replaces: the file a symbolic link names, when it names one.
std::string writeTarget(std::string const& path)
{
    auto info = itemStatus(path);
    if (!info || !S_ISLNK(info->st_mode))
        return path;
    return resolvedPath(path).value_or(path);
}

// Whether the file at `path` holds exactly `bytes`: read in pieces into one small buffer and compared piece
// by piece, so that a large file is never held twice. A short, torn or overlong file does not match.
Status readsBackAs(std::string const& path, std::string_view bytes)
{
    auto& calls = systemCalls();
    FileDescriptor in(calls.open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC, 0));
    if (!in.valid())
        return Status::fromErrno("open " + path);
    Status const differs = Status::refused("write " + path + ": the file does not read back as written");
    constexpr std::size_t kPiece = 1 << 20;
    auto buffer = std::make_unique_for_overwrite<char[]>(kPiece);
    std::size_t compared = 0;
    while (true) {
        // One byte more than is left is asked for, so that a file longer than the bytes is seen.
        std::size_t want = std::min(kPiece, bytes.size() - compared + 1);
        ssize_t n = calls.read(in.get(), buffer.get(), want);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Status::fromErrno("read " + path);
        if (n == 0)
            break;
        if (compared + std::size_t(n) > bytes.size()
            || std::memcmp(buffer.get(), bytes.data() + compared, std::size_t(n)) != 0)
            return differs;
        compared += std::size_t(n);
    }
    return compared == bytes.size() ? Status() : differs;
}

// Gives the new file open as `to` the extended attributes of the file at `path` that it replaces (a file
// manager's tags, an access control list). A file that the process may write but not read cannot be
// opened to read them, and keeps none.
Status keepExtendedAttributes(std::string const& path, int to)
{
    FileDescriptor old(systemCalls().open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0));
    if (!old.valid())
        return errno == EACCES ? Status() : Status::fromErrno("read " + path);
    return copyExtendedAttributes(old.get(), to, path, path, Attributes::Every);
}

// Writes the bytes to a new temporary file beside `target` and flushes it; `existing` (the status of the
// file at `target`) gives the mode, owner and extended attributes to keep. The file is closed; on failure
// it is removed again.
Status writeTemporaryFile(std::string const& temporary, std::string const& target, std::string_view bytes,
    struct stat const* existing, mode_t mode, ReadBack readBack)
{
    auto& calls = systemCalls();
    int fd = calls.open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) {
        // The file is written anew beside the one it replaces: a folder the process may not add names to
        // refuses even a file that it may write, and the cause names the folder.
        if (errno == EACCES)
            return Status::fromErrno("add a file to the folder of " + target);
        return Status::fromErrno("create " + temporary);
    }
    FileDescriptor out(fd);
    // A large file goes out in pieces, the disk set to writing each piece as the next one is written, so that
    // the flush below (and the read-back check before it) waits for little more than the last piece.
    constexpr std::size_t kPiece = std::size_t(8) << 20;
    Status written;
    for (std::size_t offset = 0; written && offset < bytes.size(); offset += kPiece) {
        std::string_view const piece = bytes.substr(offset, kPiece);
        written = writeAll(out.get(), piece, temporary);
        if (written && bytes.size() > kPiece)
            (void)calls.startWriteback(out.get(), off_t(offset), off_t(piece.size()));
    }
    if (written && existing) {
        if (calls.fchmod(out.get(), existing->st_mode & 07777) != 0)
            written = Status::fromErrno("set the permissions of " + temporary);
        // The file keeps its owner where the process may give it (as root, editing a user's file).
        else if (existing->st_uid != geteuid() || existing->st_gid != getegid())
            (void)calls.fchown(out.get(), existing->st_uid, existing->st_gid);
        // Last: an access control list set before the permissions would have its mask changed by them.
        if (written)
            written = keepExtendedAttributes(target, out.get());
    } else if (written && mode != 0666 && calls.fchmod(out.get(), mode) != 0) {
        written = Status::fromErrno("set the permissions of " + temporary);
    }
    // The check reads the file back while the disk is still writing it; then the flush waits for the rest.
    if (written && readBack == ReadBack::Checked)
        written = readsBackAs(temporary, bytes);
    if (written && calls.fsync(out.get()) != 0)
        written = Status::fromErrno("flush " + temporary);
    if (!out.close() && written)
        written = Status::fromErrno("close " + temporary);
    if (!written)
        (void)calls.unlink(temporary.c_str());
    return written;
}

// The same; after a failure the temporary file that stood in for the target is gone, and the failure
// names the file being written instead.
Status writeTemporary(std::string const& temporary, std::string const& target, std::string_view bytes,
    struct stat const* existing, mode_t mode, ReadBack readBack)
{
    return writeTemporaryFile(temporary, target, bytes, existing, mode, readBack).naming(temporary, target);
}

}

Status writeFileAtomically(std::string const& path, std::string_view bytes, ReadBack readBack)
{
    if (!FileStore::isUsablePath(path))
        return Status::refused("not a usable path: \"" + path + "\"");
    std::string target = writeTarget(path);
    struct stat existing {};
    bool hasOld = systemCalls().stat(target.c_str(), &existing) == 0;
    // Only a file that is surely missing is written as a new one: an old file that could not be examined
    // would lose its permissions and owner.
    if (!hasOld && errno != ENOENT)
        return Status::fromErrno("read " + target);
    if (hasOld && !S_ISREG(existing.st_mode))
        return Status::refused("write " + target + ": not a file");
    std::string folder = FileStore::parentOf(target);
    removeStaleTemporaries(folder);

    std::string temporary = temporaryNameBeside(target);
    if (Status written = writeTemporary(temporary, target, bytes, hasOld ? &existing : nullptr, 0666, readBack); !written)
        return written;
    if (systemCalls().rename(temporary.c_str(), target.c_str()) != 0) {
        Status failed = Status::fromErrno("rename " + temporary + " to " + target);
        (void)systemCalls().unlink(temporary.c_str());
        return failed;
    }
    return flushFolder(folder);
}

Status writeNewFile(std::string const& path, std::string_view bytes, mode_t mode)
{
    if (!FileStore::isUsablePath(path))
        return Status::refused("not a usable path: \"" + path + "\"");
    std::string folder = FileStore::parentOf(path);
    removeStaleTemporaries(folder);
    std::string temporary = temporaryNameBeside(path);
    if (Status written = writeTemporary(temporary, path, bytes, nullptr, mode, ReadBack::No); !written)
        return written;
    Status placed;
    if (systemCalls().link(temporary.c_str(), path.c_str()) != 0)
        placed = errno == EEXIST ? Status::refused("create " + path + ": would replace an existing item")
                                 : Status::fromErrno("link " + temporary + " to " + path);
    // The temporary name goes, tried a second time after a passing fault.
    if (systemCalls().unlink(temporary.c_str()) != 0 && systemCalls().unlink(temporary.c_str()) != 0 && placed)
        placed = Status::fromErrno("remove " + temporary);
    if (!placed)
        return placed;
    return flushFolder(folder);
}

std::optional<std::string> readWholeFile(std::string const& path)
{
    std::string bytes;
    if (!readWholeFile(path, bytes))
        return std::nullopt;
    return bytes;
}

Status readWholeFile(std::string const& path, std::string& bytes)
{
    bytes.clear();
    FileDescriptor in;
    struct stat info {};
    if (Status opened = openFileForReading(path, in, info); !opened)
        return opened;
    auto& calls = systemCalls();
    // Room for the size the file had when it was opened and one byte more, so that the first reads see its
    // end; a file that grew meanwhile gets 64 KiB more at a time. (Room of 64 KiB from the start cost a
    // small file more in zero-filling than in reading.)
    std::size_t const expected = std::size_t(std::max<off_t>(info.st_size, 0)) + 1;
    std::size_t filled = 0;
    while (true) {
        if (filled == bytes.size())
            bytes.resize(filled == 0 ? expected : filled + 65536);
        ssize_t n = calls.read(in.get(), bytes.data() + filled, bytes.size() - filled);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            Status failed = Status::fromErrno("read " + path);
            bytes.clear();
            return failed;
        }
        if (n == 0)
            break;
        filled += std::size_t(n);
    }
    bytes.resize(filled);
    return {};
}

}
