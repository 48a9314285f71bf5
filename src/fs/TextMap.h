#pragma once
// TextMap: a hash map keyed by texts that is searched with a view of a text, without making a string of it.

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace quodrix {

struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
};

template<typename Value>
using TextMap = std::unordered_map<std::string, Value, TextHash, std::equal_to<>>;

}
