#pragma once
// UnicodeText: the ICU adapter behind the string operations. Texts come and go as UTF-8; every position,
// count and length is in UTF-16 code units, as the platform's strings count them. Nothing is normalised.
//
// A byte sequence that is not valid UTF-8 is read as U+FFFD wherever a text has to be decoded; a cut that
// falls between the two halves of a surrogate pair leaves U+FFFD in place of the lone half. Case mapping
// and character classes follow the Unicode tables, independent of the user's language. A text of more
// than INT32_MAX bytes, beyond what ICU holds, is returned unchanged (no position fits in it).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quodrix::unicode {

// What a conversion does with bytes that are not UTF-8, or code units that are not UTF-16 (a lone half of
// a surrogate pair): put U+FFFD in their place, or refuse the whole text.
enum class Malformed { Replace, Refuse };
// Whether every byte is ASCII: then each byte is one UTF-16 code unit, and the text needs no converting.
bool isAscii(std::string_view text);
// The UTF-16 code units of a UTF-8 text; nullopt when refused.
std::optional<std::u16string> toUtf16(std::string_view utf8, Malformed malformed);
// The UTF-8 text of UTF-16 code units; nullopt when refused.
std::optional<std::string> toUtf8(std::u16string_view utf16, Malformed malformed);

// The length in UTF-16 code units.
std::int64_t utf16Length(std::string_view text);
// The `length` code units from `start`; nullopt when the range does not lie inside the text.
std::optional<std::string> utf16Slice(std::string_view text, std::int64_t start, std::int64_t length);
// The text with `insertion` placed before code unit `position`; nullopt when the position is outside
// 0...length.
std::optional<std::string> utf16Insert(std::string_view text, std::string_view insertion, std::int64_t position);

std::string lowercase(std::string_view text);
// Full mapping: a character may become several (ß becomes SS).
std::string uppercase(std::string_view text);
// The first character of each word in title case, the rest in lower case. Words are delimited by space
// separators, tabs and line ends only.
std::string capitalized(std::string_view text);

enum class CharacterClass { LettersMarksNumbers, LettersMarks };
// Only the characters of the class remain, in their order.
std::string keepOnly(std::string_view text, CharacterClass cls);

// The text with its letter case folded (full case folding), so that two texts that differ in case alone
// give one text, as a file system that does not tell case apart sees names. A text that is not UTF-8 is
// returned as it is.
std::string foldedCase(std::string_view text);

// Whether `needle` occurs in `text` with letter case ignored (full case folding); an empty needle is
// never found.
bool containsIgnoringCase(std::string_view text, std::string_view needle);

// Lossy 7-bit ASCII: accents and other diacritics are dropped to the base letter (é to e, ø to o),
// Latin ligatures and punctuation get their ASCII spelling (ß to ss, “ to "), and every other character
// outside ASCII becomes one "?".
std::string flattenedToAscii(std::string_view text);

// A moment in the user's locale and time zone: the date in the short style, the time in the full style
// (with the time zone's name). Nullopt for a moment that is not a finite number or when no formatter
// can be made.
std::optional<std::string> localizedDateTime(double secondsSince1970);

}
