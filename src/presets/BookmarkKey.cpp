#include "presets/BookmarkKey.h"

#include "fs/FileDescriptor.h"
#include "platform/Paths.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quodrix::presets {

namespace {

std::optional<std::string> readKey(std::string const& path)
{
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!file.valid())
        return std::nullopt;
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size != off_t(kBookmarkKeySize))
        return std::nullopt;
    std::string key(kBookmarkKeySize, '\0');
    std::size_t done = 0;
    while (done < key.size()) {
        ssize_t n = ::read(file.get(), key.data() + done, key.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return std::nullopt;
        done += std::size_t(n);
    }
    return key;
}

bool randomBytes(std::string& out)
{
    std::size_t done = 0;
    while (done < out.size()) {
        ssize_t n = ::getrandom(out.data() + done, out.size() - done, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

// Writes a new key under a temporary name and links it into place; an existing key file wins.
void createKey(std::string const& path)
{
    std::string key(kBookmarkKeySize, '\0');
    if (!randomBytes(key))
        return;
    std::string temporary = path + ".XXXXXX";
    FileDescriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!file.valid())
        return;
    bool written = ::fchmod(file.get(), 0600) == 0 && ::write(file.get(), key.data(), key.size()) == ssize_t(key.size())
        && ::fsync(file.get()) == 0;
    if (written)
        ::link(temporary.c_str(), path.c_str());  // fails harmlessly when another key got there first
    ::unlink(temporary.c_str());
}

}

std::string bookmarkKeyPath()
{
    return joinPath(quodrixSupportDirectory(), "QuodrixBookmarks.key");
}

std::optional<std::string> bookmarkKey(KeyCreation creation)
{
    std::string path = bookmarkKeyPath();
    if (auto key = readKey(path))
        return key;
    std::error_code ec;
    if (creation == KeyCreation::Never || std::filesystem::exists(std::filesystem::symlink_status(path, ec)))
        return std::nullopt;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    createKey(path);
    return readKey(path);
}

}
