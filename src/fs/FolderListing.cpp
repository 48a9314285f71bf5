#include "fs/FolderListing.h"

#include "fs/FileDescriptor.h"
#include "fs/FileStore.h"
#include "fs/FolderReader.h"
#include "fs/SystemCalls.h"

#include <cstdint>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace quodrix {

std::optional<FolderListing> FolderListing::read(std::string const& folder)
{
    return readAtMost(folder, SIZE_MAX);
}

std::optional<FolderListing> FolderListing::readFor(std::string const& folder, std::size_t items)
{
    if (items < kWorthReadingFrom)
        return std::nullopt;
    return readAtMost(folder, items > SIZE_MAX / kEntriesAnItemPays ? SIZE_MAX : items * kEntriesAnItemPays);
}

std::optional<FolderListing> FolderListing::readAtMost(std::string const& folder, std::size_t entries)
{
    if (!FileStore::isUsablePath(folder) || systemCalls().access(folder.c_str(), X_OK) != 0)
        return std::nullopt;
    FileDescriptor fd(systemCalls().open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
    if (!fd.valid())
        return std::nullopt;
    std::vector<char> buffer(std::size_t(1) << 15);
    FolderReader reader(fd.get(), buffer);
    FolderReader::Entry entry;
    FolderListing listing;
    while (reader.next(entry)) {
        std::size_t const position = listing.m_entries.size();
        if (position >= entries || position > UINT32_MAX)
            return std::nullopt;
        listing.m_entries.emplace(entry.name, Entry { entry.type, std::uint32_t(position) });
    }
    if (reader.error() != 0 || !fd.close())
        return std::nullopt;
    return listing;
}

std::optional<FolderListing::Entry> FolderListing::find(std::string_view name) const
{
    auto found = m_entries.find(name);
    if (found == m_entries.end())
        return std::nullopt;
    return found->second;
}

std::optional<unsigned char> FolderListing::typeOf(std::string_view name) const
{
    if (auto entry = find(name))
        return entry->type;
    return std::nullopt;
}

}
