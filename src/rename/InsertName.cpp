#include "rename/InsertName.h"

#include "platform/NSTextField.h"
#include "fs/FileStore.h"
#include "text/UnicodeText.h"

#include <cstdint>
#include <sys/stat.h>

namespace quodrix {

std::vector<std::string> splitPositions(std::string const& text)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        std::size_t end = text.find(';', start);
        if (end == std::string::npos) {
            fields.push_back(text.substr(start));
            return fields;
        }
        fields.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

NameParts splitFileName(std::string const& fileName)
{
    auto dot = fileName.rfind('.');
    if (dot == std::string::npos)
        return { fileName, {} };
    return { fileName.substr(0, dot), fileName.substr(dot + 1) };
}

namespace {

// Inserts `insertion` into `working` at each position, counted in the units of the string: the n-th
// position (from 0) is moved on by n.
template<typename Text>
void insertAt(Text& working, Text const& insertion, std::vector<std::string> const& positions)
{
    std::int64_t j = 0;
    for (auto const& field : positions) {
        std::int64_t q = std::int64_t(intValueOf(field)) + j;
        // 32-bit arithmetic would wrap a sum beyond the range to a negative index: skipped either way.
        if (q >= 0 && q <= std::int64_t(working.size()))
            working.insert(std::size_t(q), insertion);
        ++j;
    }
}

}

std::optional<std::string> insertAtPositions(std::string const& base, std::string const& text,
    std::vector<std::string> const& positions)
{
    // Names and texts of ASCII alone, the common case: each byte is one UTF-16 unit, so the bytes
    // themselves take the insertions, with nothing to convert.
    if (unicode::isAscii(base) && unicode::isAscii(text)) {
        std::string working = base;
        insertAt(working, text, positions);
        return working;
    }
    auto working = unicode::toUtf16(base, unicode::Malformed::Refuse);
    auto insertion = unicode::toUtf16(text, unicode::Malformed::Refuse);
    if (!working || !insertion)
        return std::nullopt;
    insertAt(*working, *insertion, positions);
    // An insertion between the two halves of a surrogate pair leaves no valid text: refused.
    return unicode::toUtf8(*working, unicode::Malformed::Refuse);
}

void appendNewFileName(std::string& out, std::string_view fileName, NameParts const& parts,
    std::optional<std::string> const& working)
{
    if (working && *working == parts.base)
        out.append(fileName);
    else
        out.append(working ? *working : parts.base).append(".").append(parts.extension);
}

char const* whyNotInserted(std::string const& base, std::string const& text)
{
    if (!unicode::toUtf16(base, unicode::Malformed::Refuse))
        return "the name is not valid UTF-8";
    if (!unicode::toUtf16(text, unicode::Malformed::Refuse))
        return "the text to insert is not valid UTF-8";
    return "a position falls inside a character (between its two UTF-16 units)";
}

std::string destinationPrefix(std::string const& destination)
{
    if (destination.empty() || destination.back() == '/' || !FileStore::isUsablePath(destination))
        return destination;
    struct stat info {};
    if (::stat(destination.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return destination + "/";
    return destination;
}

}
