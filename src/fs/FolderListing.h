#pragma once
// FolderListing: the names in one folder with the type that its listing gives each, read at once and looked
// up by name. Many items of one folder are told apart by one read of the folder, where a look at each item
// by its path walks every folder from the root again.
//
// A name that the listing lacks may still be reachable by a path (a file system that ignores case finds
// "A.JPG" as "a.jpg"); a caller that must not miss such an item looks at it by its path. A folder that the
// process may read but not search is not read: its listing would show items that no path reaches.

#include "fs/TextMap.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quodrix {

class FolderListing {
public:
    // Items of one folder from which reading the folder whole may cost less than a look at each item.
    static constexpr std::size_t kWorthReadingFrom = 32;
    // The entries of a folder that one wanted item pays for: reading an entry costs a small part of a look
    // at an item, so a folder is read for at least an eighth of its entries.
    static constexpr std::size_t kEntriesAnItemPays = 8;

    // The listing of `folder` (links followed); nullopt when it cannot be read or searched.
    static std::optional<FolderListing> read(std::string const& folder);
    // The same when `items` of the folder are to be looked up and that costs less than looking at each
    // one: the reading stops, with nullopt, at more than kEntriesAnItemPays entries an item (a folder of
    // 200,000 entries is not read for 40 of them). The count of entries is the only measure that every
    // file system keeps: a folder's size need not follow its entries.
    static std::optional<FolderListing> readFor(std::string const& folder, std::size_t items);

    // 32 bits of position keep an entry of the map as small as its type alone made it; a folder of more
    // entries is not read.
    struct Entry {
        unsigned char type;      // DT_REG, DT_DIR, DT_LNK, ..., DT_UNKNOWN when the file system does not say
        std::uint32_t position;  // where the folder's listing gave the name, counted from 0
    };

    // The entry of `name`; nullopt when the folder did not hold it.
    std::optional<Entry> find(std::string_view name) const;
    // The type that the listing gives `name`; nullopt when the folder did not hold it.
    std::optional<unsigned char> typeOf(std::string_view name) const;

    std::size_t size() const { return m_entries.size(); }
    // Calls `visit` with each name of the folder, in no particular order; a name stays valid while the
    // listing lives.
    template<typename Visit>
    void forEachName(Visit&& visit) const
    {
        for (auto const& entry : m_entries)
            visit(std::string_view(entry.first));
    }

private:
    static std::optional<FolderListing> readAtMost(std::string const& folder, std::size_t entries);

    TextMap<Entry> m_entries;
};

}
