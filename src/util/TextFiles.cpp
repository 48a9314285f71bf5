#include "util/TextFiles.h"

#include "util/AtomicFile.h"

#include <cstdint>
#include <cstring>
#include <glib.h>

namespace quodrix {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Where the next CR or LF is, or the end.
std::size_t lineEnd(std::string_view text, std::size_t from)
{
    char const* begin = text.data() + from;
    std::size_t left = text.size() - from;
    auto const* lf = static_cast<char const*>(std::memchr(begin, '\n', left));
    std::size_t limit = lf ? std::size_t(lf - begin) : left;
    auto const* cr = static_cast<char const*>(std::memchr(begin, '\r', limit));
    return from + (cr ? std::size_t(cr - begin) : limit);
}

// Splits at `separator` only if it occurs exactly once.
bool splitInTwo(std::string_view line, std::string_view separator, std::vector<RenamePair>& pairs)
{
    std::size_t first = line.find(separator);
    if (first == std::string_view::npos)
        return false;
    std::size_t rest = first + separator.size();
    if (line.find(separator, rest) != std::string_view::npos)
        return false;
    pairs.push_back({ std::string(line.substr(0, first)), std::string(line.substr(rest)) });
    return true;
}

void readLogLine(std::string_view line, std::vector<RenamePair>& pairs)
{
    std::string_view fields[5];
    std::size_t start = 0;
    for (int i = 0; i < 5; ++i) {
        std::size_t tab = line.find('\t', start);
        if (tab == std::string_view::npos) {
            if (i < 4)
                return;
            fields[i] = line.substr(start);
            break;
        }
        fields[i] = line.substr(start, tab - start);
        start = tab + 1;
    }
    pairs.push_back({ std::string(fields[4]), std::string(fields[2]) });
}

}

bool isValidUtf8(std::string_view bytes)
{
    // ASCII runs are checked eight bytes at a time; the rest goes to GLib, one NUL-free piece at a time.
    std::size_t i = 0;
    std::size_t n = bytes.size();
    while (i < n) {
        while (i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, bytes.data() + i, 8);
            if (word & 0x8080808080808080ull)
                break;
            i += 8;
        }
        if (i >= n)
            break;
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        // A non-ASCII stretch: validate up to the next NUL or ASCII word boundary GLib stops at.
        std::size_t end = i;
        while (end < n && bytes[end] != '\0' && (end - i < 4096 || static_cast<unsigned char>(bytes[end]) >= 0x80))
            ++end;
        char const* stop = nullptr;
        if (!g_utf8_validate(bytes.data() + i, gssize(end - i), &stop))
            return false;
        i = end;
    }
    return true;
}

std::optional<std::string> readUtf8TextFile(std::string const& path)
{
    auto bytes = readWholeFile(path);
    if (!bytes)
        return std::nullopt;
    if (std::string_view(*bytes).substr(0, kByteOrderMark.size()) == kByteOrderMark)
        bytes->erase(0, kByteOrderMark.size());
    if (!isValidUtf8(*bytes))
        return std::nullopt;
    return bytes;
}

std::vector<RenamePair> parseRenamePairs(std::string_view text, std::optional<std::string_view> separator)
{
    std::vector<RenamePair> pairs;
    bool isLogFile = false;
    std::size_t position = 0;
    while (position < text.size()) {
        std::size_t end = lineEnd(text, position);
        std::string_view line = text.substr(position, end - position);
        position = end + 1;
        if (line.empty())
            continue;
        if (!isLogFile && line == kLogHeaderLine)
            isLogFile = true;
        if (isLogFile)
            readLogLine(line, pairs);
        else if (separator && !separator->empty())
            splitInTwo(line, *separator, pairs);
    }
    return pairs;
}

std::vector<std::string> splitAtLineBreaks(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        std::size_t breakLength = 0;
        if (c >= 0x0A && c <= 0x0D)
            breakLength = 1;
        else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x85)
            breakLength = 2;
        else if (c == 0xE2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80
            && (static_cast<unsigned char>(text[i + 2]) == 0xA8 || static_cast<unsigned char>(text[i + 2]) == 0xA9))
            breakLength = 3;
        if (breakLength == 0) {
            ++i;
            continue;
        }
        lines.emplace_back(text.substr(start, i - start));
        i += breakLength;
        start = i;
    }
    lines.emplace_back(text.substr(start));
    return lines;
}

}
