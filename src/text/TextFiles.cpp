#include "text/TextFiles.h"

#include "fs/AtomicFile.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <glib.h>

namespace quodrix {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Eight bytes at a time: the high bit of each byte that is CR or LF, and no other bit.
std::uint64_t lineBreakBits(std::uint64_t word)
{
    constexpr std::uint64_t low7 = 0x7F7F7F7F7F7F7F7Full;
    auto zeroBytes = [](std::uint64_t x) { return ~(((x & low7) + low7) | x | low7); };
    return zeroBytes(word ^ 0x0A0A0A0A0A0A0A0Aull) | zeroBytes(word ^ 0x0D0D0D0D0D0D0D0Dull);
}

std::uint64_t load(char const* p)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

bool isLineBreak(char c)
{
    return c == '\n' || c == '\r';
}

// Where the next CR or LF is, or the end.
std::size_t lineEnd(std::string_view text, std::size_t from)
{
    char const* p = text.data() + from;
    char const* end = text.data() + text.size();
    for (; std::endian::native == std::endian::little && end - p >= 8; p += 8) {
        if (std::uint64_t bits = lineBreakBits(load(p)))
            return std::size_t(p - text.data()) + std::size_t(__builtin_ctzll(bits) / 8);
    }
    while (p < end && !isLineBreak(*p))
        ++p;
    return std::size_t(p - text.data());
}

// An upper bound of the lines in the text, so the pairs are allocated once.
std::size_t lineBreaks(std::string_view text)
{
    std::size_t count = 0;
    char const* p = text.data();
    char const* end = p + text.size();
    for (; end - p >= 8; p += 8)
        count += std::size_t(((lineBreakBits(load(p)) >> 7) * 0x0101010101010101ull) >> 56);
    for (; p < end; ++p)
        count += isLineBreak(*p);
    return count;
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
    pairs.push_back({ line.substr(0, first), line.substr(rest) });
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
    pairs.push_back({ fields[4], fields[2] });
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
    std::string text;
    if (!readUtf8TextFile(path, text))
        return std::nullopt;
    return text;
}

Status readUtf8TextFile(std::string const& path, std::string& text)
{
    if (Status read = readWholeFile(path, text); !read)
        return read;
    if (std::string_view(text).substr(0, kByteOrderMark.size()) == kByteOrderMark)
        text.erase(0, kByteOrderMark.size());
    if (!isValidUtf8(text)) {
        // A text saved as UTF-16 (as some editors do) begins with its byte-order mark: said so, the cause
        // tells the user what to do.
        std::string_view const head = std::string_view(text).substr(0, 2);
        bool const utf16 = head == "\xFF\xFE" || head == "\xFE\xFF";
        text.clear();
        return Status::refused("read " + path + (utf16 ? ": UTF-16 text, not UTF-8" : ": not UTF-8 text"));
    }
    return {};
}

std::vector<RenamePair> parseRenamePairs(std::string_view text, std::optional<std::string_view> separator)
{
    std::vector<RenamePair> pairs;
    pairs.reserve(lineBreaks(text) + 1);
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

RenamePairs::RenamePairs(std::string text, std::optional<std::string_view> separator)
    : m_text(std::make_shared<std::string const>(std::move(text)))
    , m_pairs(parseRenamePairs(*m_text, separator))
{
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
