// The URL and system services of the toolbox: escaping, the URL check, opening through the desktop's
// default handler, and the system generation word.

#include "app/NativeClasses.h"
#include "core/Runtime.h"
#include "platform/Platform.h"
#include "support/ScriptBundle.h"
#include "toolbox/UrlServices.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

using namespace quodrix;

TEST(UrlServices, EscapesWhatMayNotStandInAUrl)
{
    struct Case {
        char const* text;
        char const* escaped;
    } const cases[] = {
        { "http://example.com/my file.html", "http://example.com/my%20file.html" },
        { "https://u:p@h:8080/p;q=1,2/+$!*'()~_-.@", "https://u:p@h:8080/p;q=1,2/+$!*'()~_-.@" },
        { "http://example.com/caf\u00e9", "http://example.com/caf%C3%A9" },
        { "\"<>\\^`{}|", "%22%3C%3E%5C%5E%60%7B%7D%7C" },
        { "a\tb\nc\x7f", "a%09b%0Ac%7F" },
        { "50%off %2", "50%25off%20%252" },
        { "already%20escaped%C3%a9", "already%20escaped%C3%a9" },
    };
    for (auto const& c : cases)
        EXPECT_EQ(percentEscapeForUrl(c.text), c.escaped) << c.text;
}

TEST(UrlServices, TextThatMakesNoUrl)
{
    EXPECT_EQ(urlFromText("http://example.com/a b"), "http://example.com/a%20b");
    EXPECT_EQ(urlFromText("relative/path name"), "relative/path%20name");
    EXPECT_EQ(urlFromText("http://[::1]:8080/x"), "http://[::1]:8080/x");
    for (char const* text : { "", "http://[::1/", "http://host:99999999/", "http://h/a#b#c", "http://h/[x]",
             "http://h/?q=[1]" })
        EXPECT_EQ(urlFromText(text), std::nullopt) << text;
}

TEST(UrlServices, SystemGenerationWord)
{
    struct Case {
        double version;
        char const* word;
    } const cases[] = { { 855.999999, "108" }, { 856.0, "109+" }, { 1953.1, "109+" }, { -1, "108" } };
    for (auto const& c : cases)
        EXPECT_EQ(systemGenerationWord(c.version), c.word) << c.version;
}

TEST(UrlServices, SelectorsAnswerWithoutRaising)
{
    Platform platform;
    Runtime runtime { platform };
    registerNativeClasses(runtime);
    std::vector<std::string> opened;
    runtime.platform().setUrlOpener([&](std::string const& url) { opened.push_back(url); });

    EXPECT_EQ(runtime.sendToClass("cToolBox", "hNSStrToUrl:", { "http://example.com/a b?x=\u00e9&y" }),
        Value(Url { "http://example.com/a%20b?x=%C3%A9&y" }));
    EXPECT_EQ(runtime.sendToClass("cToolBox", "hNSStrToUrl:", { Value() }), Value());
    EXPECT_EQ(runtime.sendToClass("cToolBox", "hNSStrToUrl:", { 42 }), Value());

    runtime.sendToClass("cToolBox", "hShowURL:", { "https://example.com/search?q=a b" });
    runtime.sendToClass("cToolBox", "hShowURL:", { "http://h/a#b#c" });  // no URL: nothing opens
    runtime.sendToClass("cToolBox", "hShowURL:", { "-version" });        // no scheme: never an option
    runtime.sendToClass("cToolBox", "hShowURL:", { Value() });
    EXPECT_EQ(opened, (std::vector<std::string> { "https://example.com/search?q=a%20b" }));
}

TEST(UrlServices, OpensThroughTheDesktopsHandlerFromAScript)
{
    // No desktop handler is registered (an empty data folder), so GIO fails and xdg-open runs: here a
    // stand-in that records the URL it was given.
    test::ScriptBundle bundle;
    test::TempDir tools;
    auto record = tools / "opened.txt";
    test::writeFile(tools / "xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > '" + record.string() + "'\n");
    std::filesystem::permissions(tools / "xdg-open", std::filesystem::perms::owner_all);
    std::filesystem::create_directories(tools / "data");
    bundle.addScript("50_test.lua", R"(
        objc.cToolBox:hShowURL_("http://example.com/new version?v=2")
        print(objc.cToolBox:hGetMacOSVersion(), objc.CoreFoundation:versionNumber() > 856)
        objc.CoreFoundation:setVersionNumber_(855.11)
        print(objc.cToolBox:hGetMacOSVersion())
        print(tostring(objc.cToolBox:hNSStrToUrl_("http://example.com/\u{e9}t\u{e9}?a=1&b=2")))
    )");
    auto r = bundle.run({}, { { "PATH", tools.str() + ":/usr/bin:/bin" }, { "XDG_DATA_DIRS", (tools / "data").string() } });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "109+\ttrue\n108\nhttp://example.com/%C3%A9t%C3%A9?a=1&b=2\n");
    // The handler runs detached from the application; give it a moment to write.
    for (int i = 0; i < 100 && !std::filesystem::exists(record); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(test::readFile(record), "http://example.com/new%20version?v=2");
}

TEST(UrlServices, OpeningWithoutAnyHandlerDoesNotFailTheCaller)
{
    test::ScriptBundle bundle;
    test::TempDir empty;
    bundle.addScript("50_test.lua", R"(
        print(objc.cToolBox:hShowURL_("https://example.com/"))
        print("still running")
    )");
    auto r = bundle.run({}, { { "PATH", empty.str() }, { "XDG_DATA_DIRS", empty.str() } });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "nil\nstill running\n");
}
