// Localized strings from a gettext catalog in the bundle, with the caller's default where the catalog has no
// entry; the metadata editor's notice words go through it.

#include "support/ScriptBundle.h"

#include <gtest/gtest.h>

using namespace quodrix::test;

TEST(LocalizedStrings, NoticeWordsOfTheMetadataEditorFromTheBundlesCatalog)
{
    ScriptBundle bundle;
    auto folder = bundle.root() / "share/quodrix/locale/xx/LC_MESSAGES";
    std::filesystem::create_directories(folder);
    writeFile(bundle.root() / "xx.po",
        "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
        "msgid \"NotSupported\"\nmsgstr \"Nicht unterst\xC3\xBCtzt\"\n");
    auto compiled = runCommand("msgfmt -o '" + (folder / "Localizable.mo").string() + "' '"
        + (bundle.root() / "xx.po").string() + "'");
    ASSERT_EQ(compiled.status, 0) << compiled.err;
    writeFile(bundle.root() / "plain.txt", "x");
    bundle.addScript("50_test.lua", "local root = '" + bundle.root().string() + R"('
        local meta = objc.mMeta:new()
        local field = objc.NSTextField:new()
        meta:setValue_forKey_(field, "tfExifUserComment")
        meta:hiDoNothing_(root .. "/missing.jpg")
        print(field:stringValue())
        meta:hiDoNothing_(root .. "/plain.txt")
        print(field:stringValue())
    )");
    auto r = bundle.run({}, { { "LC_ALL", "" }, { "LC_MESSAGES", "" }, { "LANG", "C.UTF-8" }, { "LANGUAGE", "xx" } });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Nicht unterst\xC3\xBCtzt\nNotSupportedOrAvailable\n");
    // The language list counts whichever variable names the C locale.
    r = bundle.run({}, { { "LC_ALL", "" }, { "LANG", "" }, { "LC_MESSAGES", "C.utf8" }, { "LANGUAGE", "xx" } });
    EXPECT_EQ(r.out, "Nicht unterst\xC3\xBCtzt\nNotSupportedOrAvailable\n") << r.err;
    r = bundle.run({}, { { "LC_ALL", "C.UTF-8" }, { "LANG", "" }, { "LANGUAGE", "xx" } });
    EXPECT_EQ(r.out, "Nicht unterst\xC3\xBCtzt\nNotSupportedOrAvailable\n") << r.err;
}
