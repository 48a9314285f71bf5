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
Status createKey(std::string const& path)
{
    std::string key(kBookmarkKeySize, '\0');
    if (!randomBytes(key))
        return Status::fromErrno("make a bookmark key");
    Status written = writeNewFile(path, key, 0600);
    // Another process's key, linked into place meanwhile, is as good.
    if (!written && written.error() == 0 && FileStore::exists(path))
        return {};
    return written;
}

std::nullopt_t failure(std::string* cause, std::string why)
{
    if (cause)
        *cause = std::move(why);
    return std::nullopt;
}

}

std::string bookmarkKeyPath()
{
    return joinPath(quodrixSupportDirectory(), "QuodrixBookmarks.key");
}

std::optional<std::string> bookmarkKey(KeyCreation creation, std::string* cause)
{
    std::string path = bookmarkKeyPath();
    if (auto key = readKey(path))
        return key;
    if (FileStore::exists(path))
        return failure(cause, "the file " + path + " is not a bookmark key");
    if (creation == KeyCreation::Never)
        return failure(cause, "there is no bookmark key yet (" + path + ")");
    if (Status made = createFolderTree(FileStore::parentOf(path)); !made)
        return failure(cause, made.message());
    if (Status created = createKey(path); !created)
        return failure(cause, created.message());
    if (auto key = readKey(path))
        return key;
    return failure(cause, "the file " + path + " is not a bookmark key");
}

}
