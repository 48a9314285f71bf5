// Pattern renaming: FIND (an ICU regular expression) and REPLACE (groups, variables, escapes and braces)
// compiled with every option, applied to a name, and the natural order of names against its sort keys.
//
// The input: one byte of options, then FIND, REPLACE and a file name separated by NUL bytes.

#include "FuzzSupport.h"
#include "rename/RenamePattern.h"
#include "text/TextFiles.h"

#include <cstdint>
#include <string>

using namespace quodrix;

namespace {

// The variables' values without an image: a tag named "None" is missing, the capture date reads as one.
class FixedFacts : public FileFacts {
public:
    std::optional<std::string> exifTag(std::string const&, std::string const& tag) override
    {
        if (tag == "None")
            return std::nullopt;
        if (tag == "DateTimeOriginal")
            return std::string("2021:02:03 04:05:06");
        return "value of " + tag;
    }
};

std::string_view nextField(std::string_view& rest)
{
    auto const end = rest.find('\0');
    std::string_view const field = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    return field;
}

}

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, std::size_t size)
{
    if (size == 0)
        return 0;
    std::uint8_t const flags = data[0];
    std::string_view rest(reinterpret_cast<char const*>(data) + 1, size - 1);
    PatternOptions options;
    options.find = std::string(nextField(rest));
    options.replace = std::string(nextField(rest));
    std::string const name(nextField(rest));
    options.once = flags & 1;
    options.ignoreExtension = flags & 2;
    options.caseChange = static_cast<CaseChange>((flags >> 2) & 3);
    options.caseExtension = flags & 16;
    options.flatten = flags & 32;

    std::string error;
    auto pattern = RenamePattern::compile(options, error);
    QUODRIX_FUZZ_EXPECT(pattern ? error.empty() : !error.empty());
    if (pattern && name.find('/') == std::string::npos) {
        FixedFacts facts;
        NewName const made = pattern->apply("/nonexistent-folder/" + name, std::int64_t(flags) * 1000003, facts);
        // A name that cannot be searched says why; a name that matched either has a new name or a cause.
        if (!isValidUtf8(options.ignoreExtension ? baseAndExtension(name).first : name))
            QUODRIX_FUZZ_EXPECT(!made.cause.empty());
        if (!made.matched)
            QUODRIX_FUZZ_EXPECT(made.name.empty());
        if (made.matched && made.cause.empty())
            QUODRIX_FUZZ_EXPECT(isValidUtf8(made.name) || !isValidUtf8(options.replace) || !isValidUtf8(name));
        // With --ignore-ext the extension, its dot included, ends the new name as it was.
        if (made.matched && made.cause.empty() && options.ignoreExtension && options.caseChange == CaseChange::None)
            QUODRIX_FUZZ_EXPECT(made.name.ends_with(name.substr(baseAndExtension(name).first.size())));
    }

    // The base name and the extension make up the name again.
    auto const [base, extension] = baseAndExtension(name);
    QUODRIX_FUZZ_EXPECT((extension.empty() ? base : base + "." + extension) == name || name.ends_with('.'));

    // Two names compare in natural order as their keys compare, and only one text has a given key.
    std::string const other(nextField(rest));
    bool const less = naturalLess(name, other), greater = naturalLess(other, name);
    QUODRIX_FUZZ_EXPECT(!(less && greater));
    std::string const key = naturalKey(name), otherKey = naturalKey(other);
    QUODRIX_FUZZ_EXPECT(less == (key < otherKey));
    QUODRIX_FUZZ_EXPECT((key == otherKey) == (name == other));
    return 0;
}
