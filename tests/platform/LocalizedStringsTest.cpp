// Localized strings from a gettext catalog, with the caller's default where the catalog has no entry; the
// metadata editor's notice words go through it.

#include "app/NativeClasses.h"
#include "app/Runtime.h"
#include "platform/LocalizedStrings.h"
#include "platform/NSTextField.h"
#include "support/ScriptBundle.h"

#include <clocale>
#include <cstdlib>
#include <gtest/gtest.h>
#include <libintl.h>

using namespace quodrix;
using namespace quodrix::test;

TEST(LocalizedStrings, CatalogEntryOrTheDefault)
{
    EXPECT_EQ(localizedString("NotSupported", "NotSupported"), "NotSupported");
    EXPECT_EQ(localizedString("NoSuchKey", "fallback"), "fallback");

    TempDir dir;
    writeFile(dir / "xx.po",
        "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
        "msgid \"NotSupported\"\nmsgstr \"Nicht unterst\xC3\xBCtzt\"\n");
    std::filesystem::create_directories(dir / "xx" / "LC_MESSAGES");
    auto r = runCommand("msgfmt -o '" + (dir / "xx/LC_MESSAGES/Localizable.mo").string() + "' '" + (dir / "xx.po").string() + "'");
    if (r.status != 0)
        GTEST_SKIP() << "msgfmt is not available: " << r.err;
    ::setenv("LANGUAGE", "xx", 1);
    std::setlocale(LC_ALL, "C.UTF-8");
    ::bindtextdomain("Localizable", dir.str().c_str());

    EXPECT_EQ(localizedString("NotSupported", "NotSupported"), "Nicht unterst\xC3\xBCtzt");
    EXPECT_EQ(localizedString("NotSupportedOrAvailable", "NotSupportedOrAvailable"), "NotSupportedOrAvailable");

    Runtime runtime;
    registerNativeClasses(runtime);
    auto meta = runtime.instantiate("mMeta");
    auto field = runtime.instantiate<NSTextField>("NSTextField");
    meta->setValueForKey("tfExifUserComment", Value(field));
    runtime.send(Value(meta), "hiDoNothing:", { Value((dir / "missing.jpg").string()) });
    EXPECT_EQ(field->stringValue(), "Nicht unterst\xC3\xBCtzt");
    writeFile(dir / "plain.txt", "x");
    runtime.send(Value(meta), "hiDoNothing:", { Value((dir / "plain.txt").string()) });
    EXPECT_EQ(field->stringValue(), "NotSupportedOrAvailable");

    ::unsetenv("LANGUAGE");
    std::setlocale(LC_ALL, "C");
}
