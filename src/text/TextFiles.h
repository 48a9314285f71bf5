#pragma once
// TextFiles: reading text files as UTF-8, rename lists and the application log, and line splitting.
//
// A text file is valid when its bytes are UTF-8 (NUL included, overlong forms and encoded surrogates not).
// A UTF-8 byte-order mark at the start is skipped; the system never writes one.

#include "fs/Status.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quodrix {

// One line of a rename list: the name a file has now and the name it is to get, as views into the text
// that was read (see RenamePairs, which keeps that text).
struct RenamePair {
    std::string_view present;
    std::string_view renamed;
    bool operator==(RenamePair const&) const = default;
};

// The pairs read from one text, in line order, together with the text they point into. Copies share the
// text, so pairs stay valid as long as any copy lives.
class RenamePairs {
public:
    RenamePairs() = default;
    RenamePairs(std::string text, std::optional<std::string_view> separator);

    std::size_t size() const { return m_pairs.size(); }
    bool empty() const { return m_pairs.empty(); }
    RenamePair const& operator[](std::size_t i) const { return m_pairs[i]; }
    auto begin() const { return m_pairs.begin(); }
    auto end() const { return m_pairs.end(); }

private:
    std::shared_ptr<std::string const> m_text;
    std::vector<RenamePair> m_pairs;
};

// The exact header line that marks an application log file.
inline constexpr std::string_view kLogHeaderLine = "Quodrix Log (tab delimited)";

bool isValidUtf8(std::string_view bytes);

// The file's text without a leading byte-order mark; nullopt when it cannot be read or is not UTF-8.
std::optional<std::string> readUtf8TextFile(std::string const& path);
// The same, with the cause of a failure ("read /a/list.txt: not UTF-8 text", or "...: UTF-16 text, not
// UTF-8" for a text that begins with a UTF-16 byte-order mark).
Status readUtf8TextFile(std::string const& path, std::string& text);

// Rename pairs from the text of a rename list or application log, in line order, as views into the text. Lines end at CR or LF;
// empty lines are skipped. Before the header line, a line that the separator splits into exactly two
// parts gives [part 0, part 1]; after it, a line with five or more tab-separated fields gives
// [field 4, field 2]. With no separator (or an empty one) rename-list lines give nothing.
std::vector<RenamePair> parseRenamePairs(std::string_view text, std::optional<std::string_view> separator);

// The text split at every line-break character (LF, VT, FF, CR, U+0085, U+2028, U+2029); each ends one
// element, so empty elements remain and a text ending in a break ends in an empty element.
std::vector<std::string> splitAtLineBreaks(std::string_view text);

}
