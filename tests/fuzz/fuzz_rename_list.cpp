// Rename lists and application log files: the UTF-8 check, the byte-order mark, the line and field
// splitting, with each separator the application offers.

#include "FuzzSupport.h"
#include "text/TextFiles.h"

#include <cstdint>

using namespace quodrix;

namespace {

bool within(std::string_view part, std::string_view whole)
{
    return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

void checkPairs(std::string_view text, std::optional<std::string_view> separator)
{
    auto pairs = parseRenamePairs(text, separator);
    for (auto const& pair : pairs) {
        QUODRIX_FUZZ_EXPECT(within(pair.present, text) && within(pair.renamed, text));
        for (auto part : { pair.present, pair.renamed })
            QUODRIX_FUZZ_EXPECT(part.find('\n') == std::string_view::npos && part.find('\r') == std::string_view::npos);
    }
}

}

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, std::size_t size)
{
    std::string_view text(reinterpret_cast<char const*>(data), size);
    for (std::optional<std::string_view> separator :
        { std::optional<std::string_view>(";"), std::optional<std::string_view>(","),
            std::optional<std::string_view>("\t"), std::optional<std::string_view>(), std::optional<std::string_view>("") })
        checkPairs(text, separator);

    auto lines = splitAtLineBreaks(text);
    QUODRIX_FUZZ_EXPECT(!lines.empty());

    // Through a file, as the application reads it: a byte-order mark is skipped, invalid UTF-8 refused.
    auto read = readUtf8TextFile(fuzz::scratchFile("list.txt", text));
    bool marked = text.substr(0, 3) == "\xEF\xBB\xBF";
    QUODRIX_FUZZ_EXPECT(read.has_value() == isValidUtf8(marked ? text.substr(3) : text));
    if (read) {
        QUODRIX_FUZZ_EXPECT(*read == (marked ? text.substr(3) : text));
        RenamePairs pairs(*read, std::string_view(";"));
        QUODRIX_FUZZ_EXPECT(pairs.size() == parseRenamePairs(*read, std::string_view(";")).size());
    }
    return 0;
}
