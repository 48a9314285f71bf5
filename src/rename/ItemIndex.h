#pragma once
// ItemIndex: the pairs of a rename plan found by the item each one names, an item being named by the identity
// of the folder that holds it and its name there.
//
// A plan of a million pairs looks each of them up two or three times in random order, so the index is one flat
// table of (hash, pair) slots searched in line: a look-up that finds nothing touches one cache line, and one
// that finds its pair touches that pair's key besides; building the index allocates once. A slot takes eight
// bytes (the top half of the hash and the pair's number), so a million pairs take 32 MB of slots, not 64,
// and the index takes at most kMostPairs pairs. The keys are the caller's, one for each pair (none for a pair
// without an item), and must outlive the index.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace quodrix {

struct ItemKey {
    dev_t device;
    ino_t inode;
    std::string_view name;
    bool operator==(ItemKey const&) const = default;
};

class ItemIndex {
public:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    // More pairs than any plan that fits in memory; the slots' numbers and hashes are 32 bits.
    static constexpr std::size_t kMostPairs = std::size_t(1) << 30;

    // An empty index, made for about `expected` pairs (it grows beyond); `keys` holds the key of every pair.
    // Throws std::length_error for more than kMostPairs keys.
    ItemIndex(std::span<std::optional<ItemKey> const> keys, std::size_t expected);

    // Adds pair `index` (which has a key) unless a pair with an equal key is there already: returns that
    // pair, or kNone when `index` was added.
    std::size_t add(std::size_t index);
    // The pair added with a key equal to `key`, or kNone.
    std::size_t find(ItemKey const& key) const;

private:
    struct Slot {
        std::uint32_t hash;         // the top half of the key's hash
        std::uint32_t pairPlusOne;  // 0: an empty slot
    };

    // The top half of the key's hash, in which every bit of the key counts.
    static std::uint32_t hashOf(ItemKey const& key);
    std::size_t firstSlot(std::uint32_t hash) const { return std::size_t(hash >> m_shift); }
    void makeSlots(std::size_t count);

    std::span<std::optional<ItemKey> const> m_keys;
    std::vector<Slot> m_slots;
    unsigned m_shift = 0;  // the slot of a hash is its top bits
    std::size_t m_size = 0;
};

}
