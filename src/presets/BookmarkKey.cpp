#include "presets/BookmarkKey.h"

#include "fs/AtomicFile.h"
#include "fs/FileDescriptor.h"
#include "fs/FileStore.h"
#include "fs/ItemPlacement.h"
#include "fs/SystemCalls.h"
#include "platform/Paths.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quodrix::presets {

namespace {

std::optional<std::string> readKey(std::string const& path)
{
    FileDescriptor file(systemCalls().open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW, 0));
    if (!file.valid())
        return std::nullopt;
    struct stat info {};
    if (systemCalls().fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size != off_t(kBookmarkKeySize))
        return std::nullopt;
    std::string key(kBookmarkKeySize, '\0');
    std::size_t done = 0;
    while (done < key.size()) {
        ssize_t n = systemCalls().read(file.get(), key.data() + done, key.size() - done);
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

// Writes a new key through the file-system layer, flushed and linked into place: an existing key file
// (another process's, made meanwhile) wins and is never replaced.
void createKey(std::string const& path)
{
    std::string key(kBookmarkKeySize, '\0');
    if (!randomBytes(key))
        return;
    (void)writeNewFile(path, key, 0600);
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
    if (creation == KeyCreation::Never || FileStore::exists(path))
        return std::nullopt;
    if (!createFolderTree(FileStore::parentOf(path)))
        return std::nullopt;
    createKey(path);
    return readKey(path);
}

}
