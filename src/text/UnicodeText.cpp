#include "text/UnicodeText.h"

#include <algorithm>

#include <cmath>
#include <cstdint>
#include <memory>
#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/translit.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

namespace quodrix::unicode {

namespace {

// ICU strings hold at most INT32_MAX code units; longer texts are left as they are by every operation.
bool tooLong(std::string_view text)
{
    return text.size() > std::size_t(INT32_MAX);
}

icu::UnicodeString decode(std::string_view text)
{
    if (tooLong(text))
        return icu::UnicodeString();
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), std::int32_t(text.size())));
}

std::string encode(icu::UnicodeString const& text)
{
    std::string out;
    text.toUTF8String(out);
    return out;
}

bool isWordDelimiter(UChar32 c)
{
    switch (c) {
    case '\t':
    case '\n':
    case 0x0B:
    case 0x0C:
    case '\r':
    case 0x85:
    case 0x2028:
    case 0x2029: return true;
    default: return u_charType(c) == U_SPACE_SEPARATOR;
    }
}

}

bool isAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::optional<std::u16string> toUtf16(std::string_view utf8, Malformed malformed)
{
    if (tooLong(utf8))
        return std::nullopt;
    // UTF-8 never needs more UTF-16 code units than it has bytes.
    std::u16string out(utf8.size() + 1, u'\0');
    std::int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(reinterpret_cast<UChar*>(out.data()), std::int32_t(out.size()), &length, utf8.data(),
        std::int32_t(utf8.size()), malformed == Malformed::Replace ? 0xFFFD : U_SENTINEL, nullptr, &status);
    if (U_FAILURE(status))
        return std::nullopt;
    out.resize(std::size_t(length));
    return out;
}

std::optional<std::string> toUtf8(std::u16string_view utf16, Malformed malformed)
{
    if (utf16.size() > std::size_t(INT32_MAX) / 3)
        return std::nullopt;
    std::string out(utf16.size() * 3 + 1, '\0');
    std::int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8WithSub(out.data(), std::int32_t(out.size()), &length, reinterpret_cast<UChar const*>(utf16.data()),
        std::int32_t(utf16.size()), malformed == Malformed::Replace ? 0xFFFD : U_SENTINEL, nullptr, &status);
    if (U_FAILURE(status))
        return std::nullopt;
    out.resize(std::size_t(length));
    return out;
}

std::int64_t utf16Length(std::string_view text)
{
    if (tooLong(text))
        return std::int64_t(text.size());  // an upper bound; no cut is made in such a text
    return decode(text).length();
}

std::optional<std::string> utf16Slice(std::string_view text, std::int64_t start, std::int64_t length)
{
    if (tooLong(text))
        return std::nullopt;
    icu::UnicodeString u = decode(text);
    if (start < 0 || length < 0 || start > u.length() || length > u.length() - start)
        return std::nullopt;
    return encode(u.tempSubString(std::int32_t(start), std::int32_t(length)));
}

std::optional<std::string> utf16Insert(std::string_view text, std::string_view insertion, std::int64_t position)
{
    if (tooLong(text) || tooLong(insertion))
        return std::nullopt;
    icu::UnicodeString u = decode(text);
    if (position < 0 || position > u.length())
        return std::nullopt;
    u.insert(std::int32_t(position), decode(insertion));
    return encode(u);
}

std::string lowercase(std::string_view text)
{
    if (tooLong(text))
        return std::string(text);
    return encode(decode(text).toLower(icu::Locale::getRoot()));
}

std::string uppercase(std::string_view text)
{
    if (tooLong(text))
        return std::string(text);
    return encode(decode(text).toUpper(icu::Locale::getRoot()));
}

std::string capitalized(std::string_view text)
{
    if (tooLong(text))
        return std::string(text);
    icu::UnicodeString u = decode(text);
    icu::UnicodeString out;
    std::int32_t i = 0;
    while (i < u.length()) {
        std::int32_t wordStart = i;
        while (i < u.length() && !isWordDelimiter(u.char32At(i)))
            i = u.moveIndex32(i, 1);
        if (i > wordStart) {
            icu::UnicodeString word(u, wordStart, i - wordStart);
            // The word as one segment, its first character whatever it is.
            word.toTitle(nullptr, icu::Locale::getRoot(), U_TITLECASE_WHOLE_STRING | U_TITLECASE_NO_BREAK_ADJUSTMENT);
            out.append(word);
        }
        std::int32_t delimiterStart = i;
        while (i < u.length() && isWordDelimiter(u.char32At(i)))
            i = u.moveIndex32(i, 1);
        out.append(u, delimiterStart, i - delimiterStart);
    }
    return encode(out);
}

std::string keepOnly(std::string_view text, CharacterClass cls)
{
    std::uint32_t mask = U_GC_L_MASK | U_GC_M_MASK;
    if (cls == CharacterClass::LettersMarksNumbers)
        mask |= U_GC_N_MASK;
    std::string out;
    auto const* bytes = reinterpret_cast<std::uint8_t const*>(text.data());
    std::int64_t const size = std::int64_t(text.size());
    std::int64_t i = 0;
    while (i < size) {
        std::int64_t start = i;
        UChar32 c;
        U8_NEXT(bytes, i, size, c);
        if (c >= 0 && (U_GET_GC_MASK(c) & mask) != 0)
            out.append(text.substr(std::size_t(start), std::size_t(i - start)));
    }
    return out;
}

std::string foldedCase(std::string_view text)
{
    if (isAscii(text)) {
        std::string folded(text);
        for (char& c : folded)
            c = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
        return folded;
    }
    auto const utf16 = toUtf16(text, Malformed::Refuse);
    if (!utf16)
        return std::string(text);
    icu::UnicodeString u(false, utf16->data(), std::int32_t(utf16->size()));
    return encode(u.foldCase(U_FOLD_CASE_DEFAULT));
}

bool containsIgnoringCase(std::string_view text, std::string_view needle)
{
    if (needle.empty() || tooLong(text) || tooLong(needle))
        return false;
    icu::UnicodeString folded = decode(needle).foldCase(U_FOLD_CASE_DEFAULT);
    if (folded.isEmpty())
        return false;
    return decode(text).foldCase(U_FOLD_CASE_DEFAULT).indexOf(folded) >= 0;
}

std::string flattenedToAscii(std::string_view text)
{
    if (tooLong(text))
        return std::string(text);
    icu::UnicodeString u = decode(text);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> flatten(
        icu::Transliterator::createInstance("Latin-ASCII; [:M:] Remove", UTRANS_FORWARD, status));
    if (U_SUCCESS(status) && flatten)
        flatten->transliterate(u);
    std::string out;
    for (std::int32_t i = 0; i < u.length(); i = u.moveIndex32(i, 1)) {
        UChar32 c = u.char32At(i);
        out += c < 0x80 ? char(c) : '?';
    }
    return out;
}

std::optional<std::string> localizedDateTime(double secondsSince1970)
{
    if (!std::isfinite(secondsSince1970))
        return std::nullopt;
    std::unique_ptr<icu::DateFormat> format(
        icu::DateFormat::createDateTimeInstance(icu::DateFormat::kShort, icu::DateFormat::kFull, icu::Locale::getDefault()));
    if (!format)
        return std::nullopt;
    icu::UnicodeString out;
    format->format(secondsSince1970 * 1000.0, out);
    return encode(out);
}

}
