#include "core/PathList.h"

#include <limits>
#include <stdexcept>

namespace quodrix {

namespace {

// Below glibc's default threshold (128 KiB) for giving an allocation pages of its own, with room for the
// allocator's header and the string's terminator.
constexpr std::size_t kBlockBytes = 64 * 1024 - 64;

}

PathList::PathList(std::vector<std::string> const& texts)
{
    for (auto const& text : texts)
        add(text);
}

void PathList::add(std::string_view text)
{
    if (text.size() > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("a text of 4 GiB or more in a path list");
    std::uint32_t const length = std::uint32_t(text.size());
    std::size_t const needed = sizeof length + text.size();
    if (m_blocks.empty() || m_blocks.back().capacity() - m_blocks.back().size() < needed) {
        m_blocks.emplace_back();
        m_blocks.back().reserve(std::max(kBlockBytes, needed));
    }
    std::string& block = m_blocks.back();
    block.append(reinterpret_cast<char const*>(&length), sizeof length);
    block.append(text);
    ++m_count;
}

std::vector<std::string> PathList::strings() const
{
    std::vector<std::string> texts;
    texts.reserve(m_count);
    forEach([&](std::string_view text) { texts.emplace_back(text); });
    return texts;
}

bool PathList::operator==(PathList const& other) const
{
    return m_count == other.m_count && strings() == other.strings();
}

}
