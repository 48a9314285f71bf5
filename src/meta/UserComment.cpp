#include "meta/UserComment.h"

#include "text/TextFiles.h"
#include "text/UnicodeText.h"

#include <unicode/ustring.h>
#include <unicode/utf8.h>

#include <vector>

namespace quodrix {

static constexpr std::string_view kAscii("ASCII\0\0\0", 8);
static constexpr std::string_view kUnicode("UNICODE\0", 8);
static constexpr std::string_view kJis("JIS\0\0\0\0\0", 8);

// Invalid UTF-8 becomes U+FFFD rather than failing the write; a lone surrogate read back, likewise.
static std::u16string toUtf16(std::string_view utf8)
{
    return unicode::toUtf16(utf8, unicode::Malformed::Replace).value_or(std::u16string());
}

static std::string toUtf8(std::u16string_view utf16)
{
    return unicode::toUtf8(utf16, unicode::Malformed::Replace).value_or(std::string());
}

std::string encodeUserComment(std::string_view utf8, ByteOrder order)
{
    if (unicode::isAscii(utf8))
        return std::string(kAscii) + std::string(utf8);
    std::string out(kUnicode);
    for (char16_t unit : toUtf16(utf8)) {
        char high = char(unit >> 8), low = char(unit & 0xFF);
        if (order == ByteOrder::Little) {
            out += low;
            out += high;
        } else {
            out += high;
            out += low;
        }
    }
    return out;
}

static std::u16string unitsOf(std::string_view bytes, ByteOrder order)
{
    std::u16string units;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        auto a = (unsigned char)bytes[i], b = (unsigned char)bytes[i + 1];
        units += order == ByteOrder::Little ? char16_t(a | (b << 8)) : char16_t((a << 8) | b);
    }
    return units;
}

// How unlikely a run of UTF-16 units is as text: unpaired surrogates, control characters, noncharacters and
// units that look like a Latin letter with its bytes swapped count against it.
static int implausibility(std::u16string_view units)
{
    int score = 0;
    for (std::size_t i = 0; i < units.size(); ++i) {
        char16_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            ++i;
            continue;
        }
        if ((u >= 0xD800 && u <= 0xDFFF) || (u < 0x20 && u != '\t' && u != '\n' && u != '\r') || u == 0xFFFE
            || u == 0xFFFF)
            score += 4;
        else if (u > 0xFF && (u & 0xFF) == 0)
            score += 2;  // a Latin letter read in the wrong byte order
        else if (u >= 0x2500 && u != 0x3000 && !(u >= 0x3040 && u <= 0x9FFF) && !(u >= 0xAC00 && u <= 0xD7AF)
            && !(u >= 0xFF00 && u <= 0xFFEF))
            score += 1;  // a character outside the common ranges: possible, but a sign of the wrong order
    }
    return score;
}

static std::string decodeUnicode(std::string_view bytes, ByteOrder order)
{
    if (bytes.size() >= 2) {
        auto a = (unsigned char)bytes[0], b = (unsigned char)bytes[1];
        if ((a == 0xFF && b == 0xFE) || (a == 0xFE && b == 0xFF)) {
            ByteOrder marked = a == 0xFF ? ByteOrder::Little : ByteOrder::Big;
            return toUtf8(unitsOf(bytes.substr(2), marked));
        }
    }
    std::u16string mine = unitsOf(bytes, order);
    ByteOrder other = order == ByteOrder::Little ? ByteOrder::Big : ByteOrder::Little;
    std::u16string theirs = unitsOf(bytes, other);
    return toUtf8(implausibility(theirs) < implausibility(mine) ? theirs : mine);
}

static std::string latin1ToUtf8(std::string_view bytes)
{
    std::string out;
    for (char ch : bytes) {
        auto c = (unsigned char)ch;
        if (c < 0x80) {
            out += char(c);
        } else {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

static std::string_view trimPadding(std::string_view text)
{
    while (!text.empty() && text.back() == '\0')
        text.remove_suffix(1);
    return text;
}

std::string decodeUserComment(std::string_view stored, ByteOrder order)
{
    if (stored.size() < 8)
        return {};
    std::string_view prefix = stored.substr(0, 8), body = stored.substr(8);
    if (prefix == kUnicode) {
        if (body.size() % 2)
            body.remove_suffix(1);
        while (body.size() >= 2 && body[body.size() - 1] == '\0' && body[body.size() - 2] == '\0')
            body.remove_suffix(2);
        return decodeUnicode(body, order);
    }
    body = trimPadding(body);
    if (prefix == kAscii || prefix == kJis || isValidUtf8(body))
        return isValidUtf8(body) ? std::string(body) : latin1ToUtf8(body);
    return latin1ToUtf8(body);
}

}
