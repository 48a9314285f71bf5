#include "platform/DisplayedText.h"

#include "fs/ByteWords.h"

#include <cstdio>

namespace quodrix {

namespace {

bool isControl(unsigned char c)
{
    return c < 0x20 || c == 0x7f;
}

bool isContinuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

// The length of the one valid UTF-8 character at the start of `text`, 0 when none starts there. A
// character is valid when its lead byte announces as many continuation bytes as follow it, it is not an
// overlong form, not a surrogate and not above U+10FFFF.
std::size_t characterLength(std::string_view text)
{
    auto const lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 0;
    char32_t value = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        auto const c = static_cast<unsigned char>(text[i]);
        if (!isContinuation(c))
            return 0;
        value = (value << 6) | (c & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return length;
}

// Whether the one valid character `character` is a C1 control (U+0080 to U+009F): as much a control as
// the C0 ones, and some terminals act on U+009B as they do on ESC [.
bool isC1Control(std::string_view character)
{
    return character.size() == 2 && static_cast<unsigned char>(character[0]) == 0xC2
        && static_cast<unsigned char>(character[1]) < 0xA0;
}

}

bool showsAsItIs(std::string_view text)
{
    // Names and paths are mostly printable ASCII: eight bytes at a time while they are.
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        if (!allBytesBetween(byteWordAt(text, i), 0x20, 0x7e))
            break;
    }
    while (i < text.size()) {
        auto const c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (isControl(c))
                return false;
            ++i;
            continue;
        }
        std::size_t const length = characterLength(text.substr(i));
        if (length == 0 || isC1Control(text.substr(i, length)))
            return false;
        i += length;
    }
    return true;
}

std::string displayedText(std::string_view text)
{
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        auto const c = static_cast<unsigned char>(text[i]);
        if (c >= 0xC2 && c <= 0xF4) {
            // A lead byte with all the continuation bytes that follow it: shown as it is only when that is
            // exactly one valid character and not a control, else byte by byte.
            std::size_t end = i + 1;
            while (end < text.size() && isContinuation(static_cast<unsigned char>(text[end])))
                ++end;
            std::string_view const run = text.substr(i, end - i);
            if (characterLength(run) == run.size() && !isC1Control(run)) {
                shown += run;
                i = end;
                continue;
            }
        }
        if (c == '\t') {
            shown += "\\t";
        } else if (c == '\n') {
            shown += "\\n";
        } else if (c >= 0x80 || isControl(c)) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            shown += escaped;
        } else {
            shown += char(c);
        }
        ++i;
    }
    return shown;
}

}
