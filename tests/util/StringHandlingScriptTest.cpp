// The string operations called from a Lua script through the built executable, including the mutable
// string changed in place and the localized date in the process's locale and time zone.

#include "support/ScriptBundle.h"

#include <gtest/gtest.h>

using namespace quodrix::test;

namespace {

RunResult runLua(std::string const& body, std::map<std::string, std::string> const& environment = {})
{
    ScriptBundle bundle;
    bundle.addScript("50_test.lua", "local s = objc.cNSStringHandling:alloc():init()\n" + body);
    return bundle.run({}, environment);
}

}

TEST(StringHandlingScript, TextOperations)
{
    auto r = runLua(R"lua(
        print(s:hChangeCaseFiles__("two words", 3), s:hChangeCaseFiles__("two words", "3"),
              s:send("hChangeCaseFiles::", "stra\195\159e", 2), s:hChangeCaseFiles__("MiXeD", 4))
        local parts = s:hSplitString__("/a//b", "/")
        print(#parts, "[" .. table.concat(parts, "|") .. "]")
        print(s:hReplaceStringInString___("aaa", "aa", "b"), s:hRemoveNonLetters__("IMG_2024.jpg", "NA"),
              s:hRemoveNonLetters__("IMG_2024.jpg", "OL"), s:hRemoveNonLetters__("IMG_2024.jpg", "na"))
        print(s:hStripString___("photo.jpg", "fRight", 4), s:hStripString___("photo.jpg", "fLeft", 6),
              s:hStripString___("photo.jpg", "fRight", 10), "[" .. s:hStripString___("", "x", 3) .. "]")
        print(s:hSubsectionString___("a\240\159\152\128b", 1, 2) == "\240\159\152\128",
              s:hSubsectionString___("photo.jpg", 0, 10))
        print(s:hConcatString___("photo", "_01", ".jpg"), s:hRemoveWhiteSpace_("a b\tc"))
        print(s:hStringContainsString__("hello", "ELL"), s:hStringBeginsWith__("hello", "HE"),
              s:hStringEndWith__("hello", "LO"), s:hStringBeginsWith__("hello", ""), s:hStringEndWith__("hello", ""))
        print(s:hConvertAccentLetters_("\195\129rv\195\173zt\197\177r\197\145"), s:hNSStringToNSData_("caf\195\169"))
    )lua");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "Two Words\tTwo Words\tSTRASSE\tMiXeD\n"
        "4\t[|a||b]\n"
        "ba\tIMG2024jpg\tIMGjpg\tIMG_2024.jpg\n"
        "photo\tjpg\tphoto.jpg\t[]\n"
        "true\tphoto.jpg\n"
        "photo_01.jpg\tab\tc\n"
        "YES\tNO\tNO\tNO\tYES\n"
        "Arvizturo\tnil\n");
}

TEST(StringHandlingScript, InsertChangesTheScriptsMutableString)
{
    auto r = runLua(R"lua(
        local m = objc.mutableString("photo.jpg")
        print(s:hInsertStringInString___(m, "_01", 5), m:string())
        print(s:hInsertStringInString___(m, "!", 12), m:string())
        print(s:hInsertStringInString___(m, "?", 14), s:hInsertStringInString___(m, "?", -1), m:string())
        local plain = "photo.jpg"
        print(s:hInsertStringInString___(plain, "X", 0), plain)
        print(s:hInsertStringInString___(nil, "X", 0))
    )lua");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "photo_01.jpg\tphoto_01.jpg\n"
        "photo_01.jpg!\tphoto_01.jpg!\n"
        "photo_01.jpg!\tphoto_01.jpg!\tphoto_01.jpg!\n"
        "photo.jpg\tphoto.jpg\n"
        "nil\n");
}

TEST(StringHandlingScript, DataAndBase64)
{
    auto r = runLua(R"lua(
        local bytes = {}
        for i = 0, 99 do bytes[#bytes + 1] = string.char((i * 37 + 11) % 256) end
        local data = objc.data(table.concat(bytes))
        local line = s:hConvertNSdToNSstr_(data)
        print(#line, line:find("\n") == nil)
        local broken = line:gsub("(.......)", "%1\r\n")
        local back = s:hConvertNSstrToNSd_(broken)
        print(back:length(), back:bytes() == data:bytes())
        print(s:hConvertNSstrToNSd_("TQ=a"), s:hConvertNSstrToNSd_("TWFu"):bytes())
        print(s:hNSDataToNSString_(objc.data("caf\195\169")), s:hNSDataToNSString_(objc.data("\255")))
        print(s:hNSStringToNSData_("abc"):bytes(), s:hConvertNSdToNSstr_("Man"))
    )lua");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "136\ttrue\n"
        "100\ttrue\n"
        "nil\tMan\n"
        "caf\xC3\xA9\tnil\n"
        "abc\tTWFu\n");
}

TEST(StringHandlingScript, WrongKindsNeverRaise)
{
    auto r = runLua(R"lua(
        local calls = {
            { "hChangeCaseFiles::", nil, 2 }, { "hSplitString::", 12, nil },
            { "hInsertStringInString:::", 1, 2, 3 }, { "hReplaceStringInString:::", nil, nil, nil },
            { "hRemoveNonLetters::", {}, "NA" }, { "hStripString:::", "abc", "fRight", "x" },
            { "hSubsectionString:::", "abc", {}, 1 }, { "hNSDateToNSString:", "today" },
            { "hNSDataToNSString:", 5 }, { "hNSStringToNSData:", 5 }, { "hConcatString:::", "a", nil, "c" },
            { "hStringContainsString::", nil, nil }, { "hStringBeginsWith::", 1, 1 },
            { "hStringEndWith::", "a", false }, { "hConvertNSdToNSstr:", 5 }, { "hConvertNSstrToNSd:", 5 },
            { "hConvertAccentLetters:", nil }, { "hRemoveWhiteSpace:", true },
        }
        for _, call in ipairs(calls) do
            local ok, result = pcall(s.send, s, call[1], table.unpack(call, 2, #call[1]:gsub("[^:]", "") + 1))
            if type(result) == "table" then result = "{" .. table.concat(result, ",") .. "}" end
            print(call[1], ok, tostring(result))
        end
    )lua");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "hChangeCaseFiles::\ttrue\t(NULL)\n"
        "hSplitString::\ttrue\t{12}\n"
        "hInsertStringInString:::\ttrue\tnil\n"
        "hReplaceStringInString:::\ttrue\tnil\n"
        "hRemoveNonLetters::\ttrue\tnil\n"
        "hStripString:::\ttrue\tabc\n"
        "hSubsectionString:::\ttrue\tabc\n"
        "hNSDateToNSString:\ttrue\tnil\n"
        "hNSDataToNSString:\ttrue\tnil\n"
        "hNSStringToNSData:\ttrue\tnil\n"
        "hConcatString:::\ttrue\tnil\n"
        "hStringContainsString::\ttrue\tNO\n"
        "hStringBeginsWith::\ttrue\tNO\n"
        "hStringEndWith::\ttrue\tNO\n"
        "hConvertNSdToNSstr:\ttrue\tnil\n"
        "hConvertNSstrToNSd:\ttrue\tnil\n"
        "hConvertAccentLetters:\ttrue\tnil\n"
        "hRemoveWhiteSpace:\ttrue\tnil\n");
}

TEST(StringHandlingScript, DateInTheUsersLocaleAndTimeZone)
{
    std::string const script = "print(s:hNSDateToNSString_(objc.date(1700000000)))\n";
    auto german = runLua(script, { { "LC_ALL", "de_DE.UTF-8" }, { "TZ", "Europe/Berlin" } });
    EXPECT_EQ(german.status, 0) << german.err;
    EXPECT_EQ(german.out, "14.11.23, 23:13:20 Mitteleurop\xC3\xA4ische Normalzeit\n");

    auto english = runLua(script, { { "LC_ALL", "en_US.UTF-8" }, { "TZ", "America/New_York" } });
    EXPECT_EQ(english.status, 0) << english.err;
    EXPECT_EQ(english.out, "11/14/23, 5:13:20\xE2\x80\xAFPM Eastern Standard Time\n");
}
