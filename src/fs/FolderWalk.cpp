#include "fs/FolderWalk.h"

#include "fs/FileDescriptor.h"
#include "fs/FolderReader.h"
#include "fs/ItemNames.h"
#include "fs/SystemCalls.h"

#include <cerrno>
#include <cstring>

#include <cstdint>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace quodrix {

namespace {

// The names of one folder, kept in one buffer: the walk holds a folder's entries while it walks below it.
struct FolderListing {
    struct Entry {
        std::uint32_t offset;
        std::uint32_t length;
        bool isFolder;
        bool isLink;
    };
    std::string names;
    std::vector<Entry> entries;

    std::string_view name(Entry const& entry) const { return { names.data() + entry.offset, entry.length }; }
};

constexpr std::size_t kDirentBufferSize = 64 * 1024;
// What canListFolder reads: room for one batch of entries.
constexpr std::size_t kFirstBatchSize = 4 * 1024;
constexpr off_t kHiddenFileLimit = 1 << 20;

// The names listed in the folder's ".hidden" file: one a line, empty lines ignored.
std::unordered_set<std::string> readHiddenList(int folder)
{
    std::unordered_set<std::string> names;
    FileDescriptor file(systemCalls().openat(folder, ".hidden", O_RDONLY | O_NOFOLLOW | O_CLOEXEC, 0));
    struct stat info {};
    if (!file.valid() || systemCalls().fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kHiddenFileLimit)
        return names;
    std::string text(std::size_t(info.st_size), '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        ssize_t n = systemCalls().read(file.get(), text.data() + got, text.size() - got);
        if (n <= 0)
            break;
        got += std::size_t(n);
    }
    text.resize(got);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::size_t stop = end;
        if (stop > start && text[stop - 1] == '\r')
            --stop;
        if (stop > start)
            names.emplace(text, start, stop - start);
        start = end + 1;
    }
    return names;
}

// Reads the visible entries of an open folder; the system's error number when the folder cannot be
// listed wholly, else 0.
int readListing(int folder, std::vector<char>& buffer, FolderListing& listing)
{
    bool hasHiddenList = false;
    FolderReader reader(folder, buffer);
    FolderReader::Entry entry;
    while (reader.next(entry)) {
        std::string_view name = entry.name;
        if (isDotName(name)) {
            hasHiddenList = hasHiddenList || name == ".hidden";
            continue;
        }
        unsigned char type = entry.type;
        if (type == DT_UNKNOWN) {
            struct stat info {};
            // The name ends in the reader's buffer with its NUL, as the kernel wrote it.
            if (systemCalls().fstatat(folder, name.data(), &info, AT_SYMLINK_NOFOLLOW) == 0)
                type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISLNK(info.st_mode) ? DT_LNK : DT_UNKNOWN;
        }
        listing.entries.push_back(
            { std::uint32_t(listing.names.size()), std::uint32_t(name.size()), type == DT_DIR, type == DT_LNK });
        listing.names.append(name);
    }
    if (reader.error() != 0)
        return reader.error();
    if (hasHiddenList) {
        auto hidden = readHiddenList(folder);
        if (!hidden.empty()) {
            std::erase_if(listing.entries, [&](FolderListing::Entry const& e) {
                return hidden.count(std::string(listing.name(e))) != 0;
            });
        }
    }
    return 0;
}

// Reads a folder's visible entries; the failure says which folder and why.
Status readFolder(char const* path, int flags, std::vector<char>& buffer, FolderListing& listing)
{
    FileDescriptor folder(systemCalls().open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC | flags, 0));
    if (!folder.valid())
        return Status::fromErrno(std::string("read the folder ") + path);
    if (int error = readListing(folder.get(), buffer, listing); error != 0)
        return Status::fromError(error, std::string("read the folder ") + path);
    if (!folder.close())
        return Status::fromErrno(std::string("close the folder ") + path);
    return {};
}

}

Status walkFolder(std::string const& folder, PackageContents packages,
    std::function<void(WalkItem const&)> const& visit, std::function<bool()> const& stop)
{
    std::vector<char> buffer(kDirentBufferSize);
    std::string root = trimTrailingSlashes(folder);
    if (root.empty())
        return Status::refused("walk: no folder given");
    struct Frame {
        std::size_t pathLength;
        FolderListing listing;
        std::size_t next = 0;
    };
    std::vector<Frame> stack;
    stack.push_back({ root == "/" ? 0 : root.size(), {}, 0 });
    if (Status read = readFolder(root.c_str(), 0, buffer, stack.back().listing); !read)
        return read;
    Status first;
    std::string path = root;
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.listing.entries.size()) {
            stack.pop_back();
            continue;
        }
        auto const& entry = frame.listing.entries[frame.next++];
        path.resize(frame.pathLength);
        path += '/';
        std::size_t nameStart = path.size();
        path.append(frame.listing.name(entry));
        std::string_view name(path.data() + nameStart, entry.length);
        visit(WalkItem { path, name, entry.isFolder, entry.isLink });
        if (!entry.isFolder || (packages == PackageContents::Skipped && isPackageName(name)))
            continue;
        if (stop && stop())
            break;
        Frame child { path.size(), {}, 0 };
        Status read = readFolder(path.c_str(), O_NOFOLLOW, buffer, child.listing);
        if (!read && first.ok())
            first = read;
        if (read && !child.listing.entries.empty())
            stack.push_back(std::move(child));
    }
    return first;
}

std::optional<std::vector<FolderEntry>> listFolder(std::string const& folder)
{
    std::vector<char> buffer(kDirentBufferSize);
    FolderListing listing;
    if (folder.empty() || !readFolder(folder.c_str(), 0, buffer, listing))
        return std::nullopt;
    std::vector<FolderEntry> entries;
    entries.reserve(listing.entries.size());
    for (auto const& entry : listing.entries)
        entries.push_back({ std::string(listing.name(entry)), entry.isFolder });
    return entries;
}

bool canListFolder(std::string const& folder)
{
    if (folder.empty())
        return false;
    FileDescriptor opened(systemCalls().open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
    if (!opened.valid())
        return false;
    // One batch of entries, not the whole folder: a caller asks before it reads the folder itself.
    std::vector<char> buffer(kFirstBatchSize);
    FolderReader reader(opened.get(), buffer);
    FolderReader::Entry entry;
    if (!reader.next(entry) && reader.error() != 0)
        return false;
    return opened.close();
}

}
