#pragma once
// TextFiles: reading text files as UTF-8, rename lists and the application log, and line splitting.
//
// A text file is valid when its bytes are UTF-8 (NUL included, overlong forms and encoded surrogates not).
// A UTF-8 byte-order mark at the start is skipped; the system never writes one.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quodrix {

// One line of a rename list: the name a file has now and the name it is to get.
struct RenamePair {
    std::string present;
    std::string renamed;
    bool operator==(RenamePair const&) const = default;
};

// The exact header line that marks an application log file.
inline constexpr std::string_view kLogHeaderLine = "Quodrix Log (tab delimited)";

bool isValidUtf8(std::string_view bytes);

// The file's text without a leading byte-order mark; nullopt when it cannot be read or is not UTF-8.
std::optional<std::string> readUtf8TextFile(std::string const& path);

// Rename pairs from the text of a rename list or application log, in line order. Lines end at CR or LF;
// empty lines are skipped. Before the header line, a line that the separator splits into exactly two
// parts gives [part 0, part 1]; after it, a line with five or more tab-separated fields gives
// [field 4, field 2]. With no separator (or an empty one) rename-list lines give nothing.
std::vector<RenamePair> parseRenamePairs(std::string_view text, std::optional<std::string_view> separator);

// The text split at every line-break character (LF, VT, FF, CR, U+0085, U+2028, U+2029); each ends one
// element, so empty elements remain and a text ending in a break ends in an empty element.
std::vector<std::string> splitAtLineBreaks(std::string_view text);

}
