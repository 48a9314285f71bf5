// The string operations on typed values, one table per operation, compared byte for byte. Inputs cover
// characters outside the Basic Multilingual Plane, combining marks, empty texts, negative and oversized
// counts and codes in other letter case.

#include "util/cNSStringHandling.h"

#include <gtest/gtest.h>

#include <memory>

using quodrix::cNSStringHandling;
using quodrix::Data;
using quodrix::MutableString;

namespace {

// Two UTF-16 code units each.
constexpr char const* kSmile = "\xF0\x9F\x98\x80";         // U+1F600
constexpr char const* kDeseretSmallH = "\xF0\x90\x90\xA8"; // U+10428
constexpr char const* kDeseretCapH = "\xF0\x90\x90\x80";   // U+10400
constexpr char const* kAcute = "\xCC\x81";                 // U+0301, combining
constexpr char const* kReplacement = "\xEF\xBF\xBD";       // U+FFFD

std::string s(std::initializer_list<char const*> parts)
{
    std::string out;
    for (auto p : parts)
        out += p;
    return out;
}

}

struct CaseRow {
    std::string text;
    std::string code;
    std::string expected;
};

TEST(StringHandlingCase, EachCodeOverItsTable)
{
    std::vector<CaseRow> const rows = {
        { "two words", "3", "Two Words" },
        { "hELLO wORLD", "3", "Hello World" },
        { "a\tb\nc\r\nd\re", "3", "A\tB\nC\r\nD\rE" },
        { "  lead  and trail ", "3", " \x20Lead  And Trail " },
        // Only spaces, tabs and line ends delimit words.
        { "o'neil-smith x.y (pARIS)", "3", "O'neil-smith X.y (paris)" },
        { "a\xC2\xA0" "b", "3", "A\xC2\xA0" "B" },
        { "\xC7\x86" "emal", "3", "\xC7\x85" "emal" },  // ǆ takes its title case form ǅ
        { s({ "e", kAcute, "COLE" }), "3", s({ "E", kAcute, "cole" }) },
        { s({ kDeseretSmallH, "x ", kDeseretCapH, "Y" }), "3", s({ kDeseretCapH, "x ", kDeseretCapH, "y" }) },
        { "Stra\xC3\x9F" "e", "2", "STRASSE" },
        { "\xC4\xB0", "1", "i\xCC\x87" },                            // İ: i with a dot above, whatever the language
        { "\xCE\x9F\xCE\x94\xCE\x9F\xCE\xA3", "1", "\xCE\xBF\xCE\xB4\xCE\xBF\xCF\x82" },  // final sigma
        { "MiXeD", "4", "MiXeD" },
        { "MiXeD", " 1", "MiXeD" },
        { "MiXeD", "1.0", "MiXeD" },
    };
    for (auto const& row : rows)
        EXPECT_EQ(cNSStringHandling::hChangeCaseFiles(row.text, row.code), row.expected)
            << "text " << row.text << " code " << row.code;
}

TEST(StringHandlingSplit, PiecesBetweenSeparators)
{
    using Pieces = std::vector<std::string>;
    struct Row {
        std::string text;
        std::string separator;
        Pieces expected;
    };
    std::vector<Row> const rows = {
        { "/a//b/", "/", { "", "a", "", "b", "" } },
        { "", "/", { "" } },
        { "a--b----c", "--", { "a", "b", "", "c" } },
        { "abc", "", { "abc" } },
        { s({ "x", kSmile, "y", kSmile }), kSmile, { "x", "y", "" } },
        { "aaa", "aa", { "", "a" } },
    };
    for (auto const& row : rows)
        EXPECT_EQ(cNSStringHandling::hSplitString(row.text, row.separator), row.expected) << row.text;
}

TEST(StringHandlingInsert, ChangesTheMutableStringInPlaceWhenThePositionFits)
{
    struct Row {
        std::string text;
        std::string insertion;
        std::int64_t position;
        std::string expected;
    };
    std::vector<Row> const rows = {
        { "abc", "X", 0, "Xabc" },
        { "abc", "X", 3, "abcX" },  // the length appends
        { "abc", "X", 4, "abc" },
        { "abc", "X", -1, "abc" },
        { "abc", "X", INT64_MAX, "abc" },
        { "", "X", 0, "X" },
        { s({ "a", kSmile, "b" }), "X", 3, s({ "a", kSmile, "Xb" }) },
        { s({ "a", kSmile, "b" }), "X", 5, s({ "a", kSmile, "b" }) },
        { s({ "e", kAcute }), "X", 1, s({ "eX", kAcute }) },
        { "abc", kSmile, 2, s({ "ab", kSmile, "c" }) },
    };
    for (auto const& row : rows) {
        MutableString target { std::make_shared<std::string>(row.text) };
        EXPECT_EQ(cNSStringHandling::hInsertStringInString(target, row.insertion, row.position), row.expected)
            << row.text << " at " << row.position;
        EXPECT_EQ(*target.text, row.expected);
    }
}

TEST(StringHandlingReplace, EveryOccurrenceFromTheStartWithoutOverlap)
{
    struct Row {
        std::string text, search, replacement, expected;
    };
    std::vector<Row> const rows = {
        { "aaa", "aa", "b", "ba" },
        { "abc", "", "x", "abc" },
        { "Abc abc ABC", "abc", "x", "Abc x ABC" },
        { "a.b.c", ".", "", "abc" },
        { "aXa", "a", "aa", "aaXaa" },
        { s({ kSmile, kSmile }), kSmile, "1", "11" },
        { s({ "e", kAcute, " \xC3\xA9" }), "\xC3\xA9", "E", s({ "e", kAcute, " E" }) },
    };
    for (auto const& row : rows)
        EXPECT_EQ(cNSStringHandling::hReplaceStringInString(row.text, row.search, row.replacement), row.expected)
            << row.text << " / " << row.search;
}

TEST(StringHandlingFilter, LettersMarksAndNumbersByCode)
{
    std::string const mixed = s({ "e", kAcute, "t\xC3\xA9 \xC2\xBD \xD9\xA3 \xF0\x9D\x94\xB8", kSmile, "!" });
    std::vector<CaseRow> const rows = {
        { "IMG_2024.jpg", "NA", "IMG2024jpg" },
        { "IMG_2024.jpg", "OL", "IMGjpg" },
        { "IMG_2024.jpg", "na", "IMG_2024.jpg" },
        { "IMG_2024.jpg", "XX", "IMG_2024.jpg" },
        // é with a combining accent, ½ (a number), Arabic-Indic three, mathematical double-struck A, an emoji.
        { mixed, "NA", s({ "e", kAcute, "t\xC3\xA9\xC2\xBD\xD9\xA3\xF0\x9D\x94\xB8" }) },
        { mixed, "OL", s({ "e", kAcute, "t\xC3\xA9\xF0\x9D\x94\xB8" }) },
        { " \t._-", "NA", "" },
    };
    for (auto const& row : rows)
        EXPECT_EQ(cNSStringHandling::hRemoveNonLetters(row.text, row.code), row.expected) << row.code;
}

TEST(StringHandlingStrip, CountsCodeUnitsFromEitherSide)
{
    struct Row {
        std::string text, code;
        std::int64_t count;
        std::string expected;
    };
    std::vector<Row> const rows = {
        { "photo.jpg", "fRight", 4, "photo" },
        { "photo.jpg", "fRight", 10, "photo.jpg" },
        { "photo.jpg", "fRight", 9, "" },
        { "photo.jpg", "fRight", -1, "photo.jpg" },
        { "photo.jpg", "fLeft", 6, "jpg" },
        { "photo.jpg", "fLeft", 10, "photo.jpg" },
        { "photo.jpg", "FRIGHT", 4, "photo.jpg" },
        { "", "fRight", 4, "" },
        { s({ "a", kSmile }), "fRight", 2, "a" },
        { s({ kSmile, "b" }), "fLeft", 2, "b" },
        { s({ "e", kAcute }), "fRight", 1, "e" },
        // A cut between the halves of a pair leaves the replacement character for the lone half.
        { s({ "a", kSmile }), "fRight", 1, s({ "a", kReplacement }) },
    };
    for (auto const& row : rows)
        EXPECT_EQ(cNSStringHandling::hStripString(row.text, row.code, row.count), row.expected)
            << row.text << " " << row.code << " " << row.count;
}

TEST(StringHandlingSubrange, WholeTextUnlessTheRangeFits)
{
    struct Row {
        std::string text;
        std::int64_t start, length;
        std::string expected;
    };
    std::vector<Row> const rows = {
        { "photo.jpg", 0, 9, "photo.jpg" },
        { "photo.jpg", 0, 10, "photo.jpg" },
        { "photo.jpg", 6, 3, "jpg" },
        { "photo.jpg", 9, 0, "" },
        { "photo.jpg", 10, 0, "photo.jpg" },
        { "photo.jpg", -1, 2, "photo.jpg" },
        { "photo.jpg", 2, -1, "photo.jpg" },
        { "photo.jpg", INT64_MAX, INT64_MAX, "photo.jpg" },
        { "photo.jpg", 1, INT64_MAX, "photo.jpg" },
        { s({ "a", kSmile, "b" }), 1, 2, kSmile },
        { s({ "a", kSmile, "b" }), 3, 1, "b" },
        { s({ "e", kAcute, "x" }), 0, 2, s({ "e", kAcute }) },
    };
    for (auto const& row : rows)
        EXPECT_EQ(cNSStringHandling::hSubsectionString(row.text, row.start, row.length), row.expected)
            << row.text << " " << row.start << "+" << row.length;
}

TEST(StringHandlingDataText, Utf8DecodingIsStrict)
{
    struct Row {
        std::string bytes;
        std::optional<std::string> expected;
    };
    std::vector<Row> const rows = {
        { "abc", "abc" },
        { std::string("a\0b", 3), std::string("a\0b", 3) },
        { s({ "caf\xC3\xA9 ", kSmile }), s({ "caf\xC3\xA9 ", kSmile }) },
        { "\xFF", std::nullopt },
        { "\xED\xA0\x80", std::nullopt },       // an encoded surrogate
    };
    for (auto const& row : rows)
        EXPECT_EQ(cNSStringHandling::hNSDataToNSString(Data { row.bytes }), row.expected);
}

TEST(StringHandlingDataText, AsciiEncodingWithoutLoss)
{
    EXPECT_EQ(cNSStringHandling::hNSStringToNSData("abc~\x7F"), Data { "abc~\x7F" });
    EXPECT_EQ(cNSStringHandling::hNSStringToNSData(""), Data {});
    EXPECT_EQ(cNSStringHandling::hNSStringToNSData("caf\xC3\xA9"), std::nullopt);
    EXPECT_EQ(cNSStringHandling::hNSStringToNSData(kSmile), std::nullopt);
}

TEST(StringHandlingTests, ContainsBeginsEnds)
{
    struct Row {
        std::string text, other;
        char const* contains;
        char const* begins;
        char const* ends;
    };
    std::vector<Row> const rows = {
        { "hello world", "WORLD", "YES", "NO", "NO" },
        { "hello world", "world", "YES", "NO", "YES" },
        { "hello world", "hello", "YES", "YES", "NO" },
        { "hello", "", "NO", "NO", "YES" },
        { "lo", "hello", "NO", "NO", "NO" },
        { "Stra\xC3\x9F" "e", "STRASSE", "YES", "NO", "NO" },
        { s({ "x", kDeseretCapH }), kDeseretSmallH, "YES", "NO", "NO" },
        // The suffix test compares code units: a combining accent alone ends a decomposed é only.
        { s({ "e", kAcute }), kAcute, "YES", "NO", "YES" },
        { "\xC3\xA9", kAcute, "NO", "NO", "NO" },
    };
    for (auto const& row : rows) {
        EXPECT_EQ(cNSStringHandling::hStringContainsString(row.text, row.other), row.contains) << row.text;
        EXPECT_EQ(cNSStringHandling::hStringBeginsWith(row.text, row.other), row.begins) << row.text;
        EXPECT_EQ(cNSStringHandling::hStringEndWith(row.text, row.other), row.ends) << row.text;
    }
}

TEST(StringHandlingBase64, HundredBytesRoundTripThroughLineBreaks)
{
    std::string bytes;
    for (int i = 0; i < 100; ++i)
        bytes += char(i * 37 + 11);
    std::string line = cNSStringHandling::hConvertNSdToNSstr(Data { bytes });
    ASSERT_EQ(line.size(), 136u);
    EXPECT_EQ(line.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
        std::string::npos);
    EXPECT_EQ(line.substr(134), "==");

    for (std::size_t every : { 1u, 7u, 64u, 76u }) {
        std::string broken;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (i && i % every == 0)
                broken += i % 2 ? "\r\n" : "\n ";
            broken += line[i];
        }
        EXPECT_EQ(cNSStringHandling::hConvertNSstrToNSd(broken + "\n"), Data { bytes }) << "every " << every;
    }
}

TEST(StringHandlingBase64, DecodingSkipsOutsideCharactersAndRefusesBrokenText)
{
    struct Row {
        std::string text;
        std::optional<std::string> expected;
    };
    std::vector<Row> const rows = {
        { "TWFu", "Man" },
        { "TWE=", "Ma" },
        { "TQ==", "M" },
        { "!!! \n", "" },
        { "TW-F_u", "Man" },  // the URL alphabet's letters are not part of this one
        { "+/8=", "\xFB\xFF" },
        { "TWE", std::nullopt },
        { "TQ=a", std::nullopt },
        { "T===", std::nullopt },
        { "TQ==TQ==", std::nullopt },
    };
    for (auto const& row : rows) {
        std::optional<Data> expected;
        if (row.expected)
            expected = Data { *row.expected };
        EXPECT_EQ(cNSStringHandling::hConvertNSstrToNSd(row.text), expected) << row.text;
    }
    EXPECT_EQ(cNSStringHandling::hConvertNSdToNSstr(Data { "\xFB\xFF" }), "+/8=");
    EXPECT_EQ(cNSStringHandling::hConvertNSdToNSstr(Data {}), "");
}

TEST(StringHandlingAccents, LossyAsciiWithBaseLetters)
{
    struct Row {
        std::string text, expected;
    };
    std::vector<Row> const rows = {
        { "\xC3\x81rv\xC3\xADzt\xC5\xB1r\xC5\x91 t\xC3\xBCk\xC3\xB6rf\xC3\xBAr\xC3\xB3g\xC3\xA9p",
            "Arvizturo tukorfurogep" },
        { s({ "e", kAcute, "cole" }), "ecole" },
        { "na\xC3\xAFve \xC3\x98RSTED \xC5\x81\xC3\xB3" "d\xC5\xBA", "naive ORSTED Lodz" },
        { "Stra\xC3\x9F" "e", "Strasse" },
        { "plain ASCII ~!@\t\n", "plain ASCII ~!@\t\n" },
        { "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0", "??????" },  // Москва
        { s({ "a", kSmile, "b" }), "a?b" },
    };
    for (auto const& row : rows)
        EXPECT_EQ(cNSStringHandling::hConvertAccentLetters(row.text), row.expected) << row.text;
}

TEST(StringHandlingWhiteSpace, OnlyPlainSpacesGo)
{
    EXPECT_EQ(cNSStringHandling::hRemoveWhiteSpace("a b\tc\xC2\xA0" "d\n e  "), "ab\tc\xC2\xA0" "d\ne");
    EXPECT_EQ(cNSStringHandling::hRemoveWhiteSpace("   "), "");
    EXPECT_EQ(cNSStringHandling::hRemoveWhiteSpace(""), "");
}
