// The classes module: the executable registers the base classes and loads the others, with the libraries
// they need, the first time a script asks for one. Checked on the runtime with the whole library linked, and
// on copies of the built executable and module: which libraries a start maps, and what a missing module
// says.

#include "app/BaseClasses.h"
#include "app/ClassesModule.h"
#include "app/NativeClasses.h"
#include "core/Runtime.h"
#include "platform/Platform.h"
#include "support/ScriptBundle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

using namespace quodrix;
using quodrix::test::RunResult;
using quodrix::test::ScriptBundle;

namespace {

// The libraries that only the module's classes need.
std::vector<std::string> const heavyLibraries { "libexiv2.so", "liblcms2.so", "libicuuc.so", "libicui18n.so",
    "libsqlite3.so", "libgio-2.0.so", "libplist-2.0.so" };

// A script that prints the file names of the libraries its process maps, after `before` has run.
std::string mapsScript(std::string const& before)
{
    return before + R"(
local seen = {}
for line in io.lines("/proc/self/maps") do
  local name = line:match("/([^/]+%.so[^/]*)$")
  if name and not seen[name] then seen[name] = true; print(name) end
end
)";
}

std::vector<std::string> heavyIn(std::string const& maps)
{
    std::vector<std::string> found;
    for (auto const& library : heavyLibraries)
        if (maps.find("\n" + library) != std::string::npos || maps.rfind(library, 0) == 0)
            found.push_back(library);
    return found;
}

}

TEST(ClassesModule, ItsNamesAreThoseOfTheClassesItRegisters)
{
    Platform platform;
    Runtime base { platform };
    registerBaseClasses(base);
    std::vector<std::string> const baseNames = base.classNames();
    Runtime all { platform };
    registerNativeClasses(all);
    std::set<std::string, std::less<>> moduleNames;
    for (auto const& name : all.classNames())
        if (std::find(baseNames.begin(), baseNames.end(), name) == baseNames.end())
            moduleNames.insert(name);
    EXPECT_EQ(moduleNames, ClassesModule::classNames());
}

TEST(ClassesModule, AnEmptyScriptStartMapsNoneOfTheModulesLibraries)
{
    ScriptBundle bundle;
    RunResult const quiet = bundle.runScript(mapsScript(""));
    ASSERT_EQ(quiet.status, 0) << quiet.err;
    // Lua is part of the executable: no shared Lua library is mapped.
    EXPECT_EQ(quiet.out.find("liblua"), std::string::npos) << quiet.out;
    EXPECT_EQ(heavyIn(quiet.out), std::vector<std::string> {}) << quiet.out;
    EXPECT_EQ(quiet.out.find("quodrix-classes.so"), std::string::npos) << quiet.out;

    // The first lookup of a module class maps the module and every library it links. SQLite waits for the
    // presets store to be opened, GIO for the first item that goes to the trash or is asked for its content
    // type, the images module with Exiv2 and Little CMS for the first image whose metadata is read or
    // written.
    RunResult const loaded = bundle.runScript(mapsScript("assert(objc.mMeta)"));
    ASSERT_EQ(loaded.status, 0) << loaded.err;
    std::vector<std::string> const linked { "libicuuc.so", "libicui18n.so", "libplist-2.0.so" };
    EXPECT_EQ(heavyIn(loaded.out), linked) << loaded.out;
    EXPECT_NE(loaded.out.find("quodrix-classes.so"), std::string::npos) << loaded.out;
    EXPECT_EQ(loaded.out.find("quodrix-images.so"), std::string::npos) << loaded.out;
    EXPECT_EQ(loaded.out.find("libgobject"), std::string::npos) << loaded.out;

    RunResult const stored = bundle.runScript(mapsScript("objc.dbViewController:new():linkToPresetsDB()"));
    ASSERT_EQ(stored.status, 0) << stored.err;
    EXPECT_EQ(heavyIn(stored.out), (std::vector<std::string> { "libicuuc.so", "libicui18n.so", "libsqlite3.so",
        "libplist-2.0.so" })) << stored.out;

    RunResult const typed = bundle.runScript(
        mapsScript("assert(objc.cNSFileHandling:hGetFileType_('/') == 'inode/directory')"));
    ASSERT_EQ(typed.status, 0) << typed.err;
    EXPECT_EQ(heavyIn(typed.out), (std::vector<std::string> { "libicuuc.so", "libicui18n.so", "libgio-2.0.so",
        "libplist-2.0.so" })) << typed.out;

    std::string const image = (bundle.root() / "image.jpg").string();
    std::filesystem::copy_file(std::string(QUODRIX_SOURCE_DIR) + "/resources/Samples/Forest.jpg", image);
    RunResult const read = bundle.runScript(mapsScript("local m = objc.mMeta:new(); m:hGetExifUc_('" + image + "')"));
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(heavyIn(read.out), (std::vector<std::string> { "libexiv2.so", "liblcms2.so", "libicuuc.so",
        "libicui18n.so", "libplist-2.0.so" })) << read.out;
    EXPECT_NE(read.out.find("quodrix-images.so"), std::string::npos) << read.out;
}

TEST(ClassesModule, AMissingImagesModuleFailsOnlyWhatNeedsIt)
{
    ScriptBundle bundle;
    std::filesystem::remove(bundle.imagesModule());
    std::string const image = (bundle.root() / "image.jpg").string();
    std::filesystem::copy_file(std::string(QUODRIX_SOURCE_DIR) + "/resources/Samples/Forest.jpg", image);
    RunResult const r = bundle.runScript("print(objc.cNSFileHandling:hGetFileType_('/'))\n"
        "print(pcall(function() return objc.mMeta:new():hGetExifUc_('" + image + "') end))");
    std::string const module = bundle.imagesModule().string();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "inode/directory\nfalse\tcannot load the image support from " + module + ": " + module
        + ": cannot open shared object file: No such file or directory\n");

    // A rename plan that reads Exif tags fails before anything is renamed; one that does not, works.
    ScriptBundle app(true);
    std::filesystem::remove(app.imagesModule());
    std::filesystem::path const folder = app.root() / "pics";
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(image, folder / "a.jpg");
    RunResult const tagged = app.run({ "rename", "-x", "^a", "{exif:Model}", folder.string() });
    EXPECT_EQ(tagged.status, 1);
    std::string const appModule = app.imagesModule().string();
    EXPECT_EQ(tagged.err.substr(0, tagged.err.find('\n')), "+[AppDelegate applicationDidFinishLaunching:]: "
        "cannot load the image support from " + appModule + ": " + appModule
        + ": cannot open shared object file: No such file or directory");
    EXPECT_TRUE(std::filesystem::exists(folder / "a.jpg"));
    RunResult const plain = app.run({ "rename", "-x", "^a", "b", folder.string() });
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_TRUE(std::filesystem::exists(folder / "b.jpg"));
}

TEST(ClassesModule, AStartWithoutTheModuleRunsUntilAScriptNeedsIt)
{
    ScriptBundle bundle;
    std::filesystem::remove(bundle.classesModule());
    RunResult const base = bundle.runScript("print(objc.NSObject ~= nil, objc.NoSuchClass)");
    EXPECT_EQ(base.status, 0) << base.err;
    EXPECT_EQ(base.out, "true\tnil\n");

    RunResult const needed = bundle.runScript("print(pcall(function() return objc.cToolBox end))");
    std::string const module = bundle.classesModule().string();
    EXPECT_EQ(needed.status, 0) << needed.err;
    EXPECT_EQ(needed.out, "false\tcannot load the native classes from " + module + ": " + module
        + ": cannot open shared object file: No such file or directory\n");
}
