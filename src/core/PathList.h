#pragma once
// PathList: a list of texts kept in order in a few large blocks, for results that reach hundreds of
// thousands of paths.
//
// A text costs its bytes and a four-byte length, instead of a heap block and a string of its own. A
// consumer that builds something else from the texts (the Lua bridge builds a table of strings) takes them
// with take(), which releases each block as soon as its texts are taken: the memory goes on to what is
// built instead of both being held at once. The blocks are smaller than the allocator's threshold for
// mapping memory of their own, so that a released block is reused by the allocations that follow.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace quodrix {

class PathList {
public:
    PathList() = default;
    explicit PathList(std::vector<std::string> const& texts);

    // Adds a text at the end. A text of 4 GiB or more is refused with std::length_error.
    void add(std::string_view text);

    std::size_t size() const { return m_count; }
    bool empty() const { return m_count == 0; }

    // Calls `visit` with each text, in order.
    template<typename Visit>
    void forEach(Visit&& visit) const
    {
        for (auto const& block : m_blocks)
            visitBlock(block, visit);
    }

    // Calls `visit` with each text, in order, releasing each block once its texts are visited; the list is
    // empty afterwards, also when `visit` throws.
    template<typename Visit>
    void take(Visit&& visit)
    {
        std::vector<std::string> blocks = std::move(m_blocks);
        m_blocks.clear();
        m_count = 0;
        for (auto& block : blocks) {
            visitBlock(block, visit);
            std::string().swap(block);
        }
    }

    std::vector<std::string> strings() const;

    bool operator==(PathList const& other) const;

private:
    template<typename Visit>
    static void visitBlock(std::string const& block, Visit& visit)
    {
        char const* at = block.data();
        char const* const end = at + block.size();
        while (at < end) {
            std::uint32_t length;
            std::memcpy(&length, at, sizeof length);
            at += sizeof length;
            visit(std::string_view(at, length));
            at += length;
        }
    }

    std::vector<std::string> m_blocks;
    std::size_t m_count = 0;
};

}
