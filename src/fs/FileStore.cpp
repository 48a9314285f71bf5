#include "fs/FileStore.h"

#include "fs/FileDescriptor.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <random>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace quodrix {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

void copyExtendedAttributes(int from, int to)
{
    ssize_t size = flistxattr(from, nullptr, 0);
    if (size <= 0)
        return;
    std::vector<char> names(std::size_t(size) + 1, '\0');
    size = flistxattr(from, names.data(), names.size());
    if (size <= 0)
        return;
    for (char const* name = names.data(); name < names.data() + size; name += std::strlen(name) + 1) {
        ssize_t length = fgetxattr(from, name, nullptr, 0);
        if (length < 0)
            continue;
        std::vector<char> value(std::size_t(length) + 1);
        length = fgetxattr(from, name, value.data(), value.size());
        if (length >= 0)
            fsetxattr(to, name, value.data(), std::size_t(length), 0);
    }
}

bool copyContents(int from, int to, off_t size)
{
    off_t copied = 0;
    bool useCopyRange = true;
    while (true) {
        if (useCopyRange) {
            ssize_t n = copy_file_range(from, nullptr, to, nullptr, std::size_t(1) << 30, 0);
            if (n > 0) {
                copied += n;
                continue;
            }
            if (n == 0 && copied >= size)
                return true;
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP
                && errno != EBADF)
                return false;
            // Fall back to plain reads and writes from where we are.
            useCopyRange = false;
            if (lseek(from, copied, SEEK_SET) < 0 || lseek(to, copied, SEEK_SET) < 0)
                return false;
        }
        char buffer[1 << 16];
        ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        for (ssize_t written = 0; written < n;) {
            ssize_t w = ::write(to, buffer + written, std::size_t(n - written));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return false;
            written += w;
        }
    }
}

bool copyFile(std::string const& source, struct stat const& info, std::string const& target)
{
    FileDescriptor in(::open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!in.valid())
        return false;
    FileDescriptor out(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out.valid())
        return false;
    if (!copyContents(in.get(), out.get(), info.st_size))
        return false;
    copyExtendedAttributes(in.get(), out.get());
    fchmod(out.get(), info.st_mode & 07777);
    timespec const times[2] = { info.st_atim, info.st_mtim };
    futimens(out.get(), times);
    return out.close();
}

bool copyTreeAt(std::string const& source, std::string const& target)
{
    struct stat info {};
    if (lstat(source.c_str(), &info) != 0)
        return false;
    if (S_ISREG(info.st_mode))
        return copyFile(source, info, target);
    if (S_ISLNK(info.st_mode)) {
        std::vector<char> buffer(std::size_t(info.st_size > 0 ? info.st_size : PATH_MAX) + 1);
        ssize_t length = readlink(source.c_str(), buffer.data(), buffer.size());
        if (length < 0 || std::size_t(length) >= buffer.size())
            return false;
        if (symlink(std::string(buffer.data(), std::size_t(length)).c_str(), target.c_str()) != 0)
            return false;
        timespec const times[2] = { info.st_atim, info.st_mtim };
        utimensat(AT_FDCWD, target.c_str(), times, AT_SYMLINK_NOFOLLOW);
        return true;
    }
    if (S_ISFIFO(info.st_mode))
        return mkfifo(target.c_str(), info.st_mode & 07777) == 0;
    if (!S_ISDIR(info.st_mode))
        return false;

    if (mkdir(target.c_str(), 0700) != 0)
        return false;
    std::unique_ptr<DIR, DirCloser> dir(opendir(source.c_str()));
    if (!dir)
        return false;
    while (dirent const* entry = readdir(dir.get())) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if (!copyTreeAt(source + "/" + name, target + "/" + name))
            return false;
    }
    dir.reset();
    {
        FileDescriptor in(::open(source.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        FileDescriptor out(::open(target.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (in.valid() && out.valid())
            copyExtendedAttributes(in.get(), out.get());
    }
    chmod(target.c_str(), info.st_mode & 07777);
    timespec const times[2] = { info.st_atim, info.st_mtim };
    utimensat(AT_FDCWD, target.c_str(), times, 0);
    return true;
}

bool isFolder(std::string const& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string hiddenNameBeside(std::string const& destination)
{
    static thread_local std::mt19937_64 random { std::random_device {}() };
    std::string parent = FileStore::parentOf(destination);
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
    return (parent == "/" ? "" : parent) + "/.quodrix-" + suffix + ".partial";
}

// Renames without replacing: EEXIST when something is at `to`.
bool renameNoReplace(std::string const& from, std::string const& to)
{
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without RENAME_NOREPLACE: check, then rename.
    if (FileStore::exists(to)) {
        errno = EEXIST;
        return false;
    }
    return rename(from.c_str(), to.c_str()) == 0;
}

// Whether `path` lies inside the folder `folder` (or is it), after resolving links in both.
bool liesInside(std::string const& path, std::string const& folder)
{
    std::unique_ptr<char, decltype(&std::free)> resolvedFolder(realpath(folder.c_str(), nullptr), &std::free);
    std::unique_ptr<char, decltype(&std::free)> resolvedPath(realpath(path.c_str(), nullptr), &std::free);
    if (!resolvedFolder || !resolvedPath)
        return false;
    std::string f = resolvedFolder.get();
    std::string p = resolvedPath.get();
    return p == f || (p.size() > f.size() && p.compare(0, f.size(), f) == 0 && (f == "/" || p[f.size()] == '/'));
}

bool copyIntoPlace(std::string const& source, std::string const& destination)
{
    std::string temporary = hiddenNameBeside(destination);
    if (!copyTreeAt(source, temporary)) {
        FileStore::removeTree(temporary);
        return false;
    }
    if (!renameNoReplace(temporary, destination)) {
        FileStore::removeTree(temporary);
        return false;
    }
    return true;
}

bool canPlace(std::string const& source, std::string const& destination)
{
    if (!FileStore::isUsablePath(source) || !FileStore::isUsablePath(destination))
        return false;
    if (!FileStore::exists(source) || FileStore::exists(destination))
        return false;
    return isFolder(FileStore::parentOf(destination));
}

}

bool FileStore::exists(std::string const& path)
{
    struct stat info {};
    return isUsablePath(path) && lstat(path.c_str(), &info) == 0;
}

bool FileStore::isUsablePath(std::string const& path)
{
    return !path.empty() && path.size() < PATH_MAX && path.find('\0') == std::string::npos;
}

bool FileStore::isSingleComponent(std::string const& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos
        && name.find('\0') == std::string::npos;
}

std::string FileStore::parentOf(std::string const& path)
{
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    auto slash = trimmed.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return trimmed.substr(0, slash);
}

std::string FileStore::lastComponent(std::string const& path)
{
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    auto slash = trimmed.rfind('/');
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

bool FileStore::removeTree(std::string const& path)
{
    if (!isUsablePath(path))
        return false;
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(info.st_mode))
        return unlink(path.c_str()) == 0;
    bool ok = true;
    if (std::unique_ptr<DIR, DirCloser> dir(opendir(path.c_str())); dir) {
        while (dirent const* entry = readdir(dir.get())) {
            std::string name = entry->d_name;
            if (name != "." && name != "..")
                ok = removeTree(path + "/" + name) && ok;
        }
    }
    return rmdir(path.c_str()) == 0 && ok;
}

bool FileStore::copyTree(std::string const& source, std::string const& target)
{
    return copyTreeAt(source, target);
}

std::string FileStore::temporaryNameBeside(std::string const& path)
{
    return hiddenNameBeside(path);
}

bool FileStore::copyItem(std::string const& source, std::string const& destination)
{
    if (!canPlace(source, destination))
        return false;
    // A folder copied into itself would never end.
    struct stat info {};
    if (lstat(source.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && liesInside(parentOf(destination), source))
        return false;
    return copyIntoPlace(source, destination);
}

bool FileStore::moveItem(std::string const& source, std::string const& destination)
{
    if (!isUsablePath(source) || !isUsablePath(destination))
        return false;
    // Within one file system the move is one rename that itself refuses a missing source, a missing parent
    // folder and an existing destination (the same item included), so no check has to come first.
    if (renameNoReplace(source, destination))
        return true;
    if (errno != EXDEV || !canPlace(source, destination))
        return false;
    // Another file system: copy, then remove the source. Should the removal fail, the copy stays, so
    // nothing is lost, and the move reports failure.
    if (!copyIntoPlace(source, destination))
        return false;
    return removeTree(source);
}

}
