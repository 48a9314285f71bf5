// The string operations called from a Lua script through the built executable: arguments of the kinds only a
// script passes, and the localized date in the process's locale and time zone. What each operation gives is
// in cNSStringHandlingTest.cpp, and arguments as the runtime sends them in StringHandlingArgumentsTest.cpp.

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
