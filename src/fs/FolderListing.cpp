#include "fs/FolderListing.h"

#include "fs/FileOps.h"
#include "fs/FileStore.h"
#include "fs/SystemCalls.h"

#include <cstdint>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quodrix {

std::optional<FolderListing> FolderListing::read(std::string const& folder)
{
    if (!FileStore::isUsablePath(folder) || systemCalls().access(folder.c_str(), X_OK) != 0)
        return std::nullopt;
    std::vector<std::string> names;
    std::vector<unsigned char> types;
    if (!readFolderNames(folder, names, &types))
        return std::nullopt;
    FolderListing listing;
    listing.m_types.reserve(names.size());
    for (std::size_t k = 0; k < names.size(); ++k)
        listing.m_types.emplace(std::move(names[k]), types[k]);
    return listing;
}

std::optional<FolderListing> FolderListing::readFor(std::string const& folder, std::size_t items)
{
    if (items < kWorthReadingFrom)
        return std::nullopt;
    struct stat info {};
    if (systemCalls().stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)
        || std::uint64_t(info.st_size) / kFolderBytesAnItemPays > items)
        return std::nullopt;
    return read(folder);
}

std::optional<unsigned char> FolderListing::typeOf(std::string_view name) const
{
    auto found = m_types.find(name);
    if (found == m_types.end())
        return std::nullopt;
    return found->second;
}

}
