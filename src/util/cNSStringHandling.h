#pragma once
// cNSStringHandling: the text operations that the application scripts use to build file names and to move
// values between texts, dates and data. Every operation returns a new value and changes nothing else,
// except hInsertStringInString, which changes the mutable string it is given. Positions, counts and
// lengths are UTF-16 code units; texts are never normalised.
//
// Nothing is raised to the caller. Codes (case, filter, side) are compared exactly, letter case included;
// an unknown code returns the text unchanged, and so does a position or count out of range. Conversions
// that cannot be made give null. From scripts, an argument that may be anything is first turned into its
// text form (a number its decimal text, null "(null)"); an argument that must be a string, data or a date
// and is something else makes the input unusable: text results are then null, the three tests answer
// "NO", and a position or count that is not a number returns the text unchanged.
//
// The instance keeps no state; the typed operations are static so that C++ callers need no instance.

#include "core/Object.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quodrix {

class Runtime;

class cNSStringHandling : public Object {
public:
    static void registerClass(Runtime& runtime);

    static constexpr char const* kYes = "YES";
    static constexpr char const* kNo = "NO";

    // "0" none, "1" lower case, "2" upper case, "3" capitalised words; any other code: none.
    static std::string hChangeCaseFiles(std::string const& text, std::string const& caseCode);
    // The pieces between occurrences of the separator; an empty separator gives the whole text.
    static std::vector<std::string> hSplitString(std::string const& text, std::string const& separator);
    // Inserts before code unit `position` of the mutable string, in place, when 0 <= position <= length;
    // returns the string's text after the call.
    static std::string hInsertStringInString(
        MutableString const& target, std::string const& insertion, std::int64_t position);
    // Every non-overlapping occurrence, from the start, exactly; an empty search text changes nothing.
    static std::string hReplaceStringInString(
        std::string const& text, std::string const& search, std::string const& replacement);
    // "NA" keeps letters, marks and numbers; "OL" letters and marks; any other code keeps everything.
    static std::string hRemoveNonLetters(std::string const& text, std::string const& filterCode);
    // "fRight" drops `count` code units from the end, "fLeft" from the start.
    static std::string hStripString(std::string const& text, std::string const& sideCode, std::int64_t count);
    // `length` code units from `start`, or the whole text when the range does not fit.
    static std::string hSubsectionString(std::string const& text, std::int64_t start, std::int64_t length);
    // Short date and full time in the user's locale and time zone; null for a date that is not finite.
    static std::optional<std::string> hNSDateToNSString(Date date);
    // The bytes as UTF-8 text; null when they are not valid UTF-8.
    static std::optional<std::string> hNSDataToNSString(Data const& data);
    // The text as 7-bit ASCII bytes; null when it holds anything outside ASCII.
    static std::optional<Data> hNSStringToNSData(std::string const& text);
    static std::string hConcatString(std::string const& first, std::string const& second, std::string const& third);
    // Letter case ignored; an empty search text answers "NO".
    static std::string hStringContainsString(std::string const& text, std::string const& search);
    // Letter case significant; an empty prefix answers "NO".
    static std::string hStringBeginsWith(std::string const& text, std::string const& prefix);
    // Letter case significant; an empty suffix answers "YES".
    static std::string hStringEndWith(std::string const& text, std::string const& suffix);
    // One line of base64.
    static std::string hConvertNSdToNSstr(Data const& data);
    // Characters outside the base64 alphabet are skipped; null when the rest is not valid base64.
    static std::optional<Data> hConvertNSstrToNSd(std::string const& text);
    // Lossy ASCII: base letters for accented ones, "?" for characters without an ASCII form.
    static std::string hConvertAccentLetters(std::string const& text);
    // Removes every U+0020 space; other white space stays.
    static std::string hRemoveWhiteSpace(std::string const& text);
};

}
