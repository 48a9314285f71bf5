#include "rename/ItemIndex.h"

#include <algorithm>
#include <bit>
#include <functional>
#include <stdexcept>
#include <string>

namespace quodrix {

// At most half the slots are used, so that a search ends after a slot or two.
ItemIndex::ItemIndex(std::span<std::optional<ItemKey> const> keys, std::size_t expected)
    : m_keys(keys)
{
    if (keys.size() > kMostPairs)
        throw std::length_error("a plan of more than " + std::to_string(kMostPairs) + " items");
    makeSlots(std::bit_ceil(std::clamp<std::size_t>(expected * 2, 16, kMostPairs * 2)));
}

// Empty slots, `count` of them (a power of two), the pairs added so far placed again.
void ItemIndex::makeSlots(std::size_t count)
{
    std::vector<Slot> old(count);
    old.swap(m_slots);
    m_shift = 32 - unsigned(std::countr_zero(count));
    std::size_t const mask = count - 1;
    for (Slot const& s : old) {
        if (s.pairPlusOne == 0)
            continue;
        std::size_t slot = firstSlot(s.hash);
        while (m_slots[slot].pairPlusOne != 0)
            slot = (slot + 1) & mask;
        m_slots[slot] = s;
    }
}

std::uint32_t ItemIndex::hashOf(ItemKey const& key)
{
    std::uint64_t h = std::hash<std::string_view>()(key.name);
    h ^= std::uint64_t(key.inode) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
    h ^= std::uint64_t(key.device) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
    // Spread every bit into the top ones, which choose the slot.
    return std::uint32_t((h * 0x9e3779b97f4a7c15ULL) >> 32);
}

std::size_t ItemIndex::add(std::size_t index)
{
    ItemKey const& key = *m_keys[index];
    std::uint32_t const hash = hashOf(key);
    std::size_t const mask = m_slots.size() - 1;
    for (std::size_t slot = firstSlot(hash);; slot = (slot + 1) & mask) {
        Slot& s = m_slots[slot];
        if (s.pairPlusOne == 0) {
            s = { hash, std::uint32_t(index + 1) };
            if (++m_size * 2 > m_slots.size())
                makeSlots(m_slots.size() * 2);
            return kNone;
        }
        if (s.hash == hash && *m_keys[s.pairPlusOne - 1] == key)
            return s.pairPlusOne - 1;
    }
}

std::size_t ItemIndex::find(ItemKey const& key) const
{
    std::uint32_t const hash = hashOf(key);
    std::size_t const mask = m_slots.size() - 1;
    for (std::size_t slot = firstSlot(hash);; slot = (slot + 1) & mask) {
        Slot const& s = m_slots[slot];
        if (s.pairPlusOne == 0)
            return kNone;
        if (s.hash == hash && *m_keys[s.pairPlusOne - 1] == key)
            return s.pairPlusOne - 1;
    }
}

}
