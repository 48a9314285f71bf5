// File properties: the name parts of a path text, and the label of real items with the path control set.

#include "app/NativeClasses.h"
#include "core/Runtime.h"
#include "platform/NSPathControl.h"
#include "platform/Platform.h"
#include "rename/QDFileProperty.h"
#include "support/ScriptBundle.h"

#include <gtest/gtest.h>

#include <sys/xattr.h>

#include <filesystem>

using namespace quodrix;

TEST(FileNameProps, PartsOfThePathText)
{
    using Parts = std::vector<std::string>;
    struct Case {
        char const* path;
        Parts parts;
    } const cases[] = {
        { "/Users/x/photo.final.jpg", { "photo.final.jpg", "jpg", "photo.final" } },
        { "/tmp/README", { "README", "", "README" } },
        { "photo.JPG", { "photo.JPG", "JPG", "photo" } },
        { "/a.b/c", { "c", "", "c" } },
        { "/tmp/folder.d/", { "folder.d", "d", "folder" } },
        { "/tmp/trailing.", { "trailing.", "", "trailing" } },
        { "/tmp/.hidden", { ".hidden", "hidden", "" } },
        { "/tmp/..", { "..", "", ".." } },
        { "/", { "/", "", "/" } },
        { "", { "", "", "" } },
        { "/tmp/\u00e9t\u00e9 2024.jp\u00e9g", { "\u00e9t\u00e9 2024.jp\u00e9g", "jp\u00e9g", "\u00e9t\u00e9 2024" } },
    };
    for (auto const& c : cases)
        EXPECT_EQ(QDFileProperty::hGetFileNameProps(c.path), c.parts) << c.path;
}

namespace {

class FileLabel : public ::testing::Test {
protected:
    FileLabel()
    {
        registerNativeClasses(runtime);
        property = runtime.instantiate<QDFileProperty>("QDFileProperty");
        control = runtime.instantiate<NSPathControl>("NSPathControl");
        runtime.send(Value(property), "setValue:forKey:", { Value(control), "pathControl" });
    }
    std::string label(std::string const& path)
    {
        return runtime.send(Value(property), "qdGetFileLabel:", { path }).asString();
    }
    void setLabel(std::filesystem::path const& path, std::string const& value)
    {
        ASSERT_EQ(setxattr(path.c_str(), QDFileProperty::kLabelAttribute, value.data(), value.size(), 0), 0);
    }
    std::string shown() const { return control->url() ? control->url()->text : "(nothing)"; }

    Platform platform;

    Runtime runtime { platform };
    std::shared_ptr<QDFileProperty> property;
    std::shared_ptr<NSPathControl> control;
    test::TempDir dir;
};

}

TEST_F(FileLabel, LabelsOfRealItems)
{
    auto file = dir / "plain file.jpg";
    test::writeFile(file, "x");
    EXPECT_EQ(label(file), "0");
    EXPECT_EQ(shown(), "file://" + dir.str() + "/plain%20file.jpg");

    struct Case {
        char const* stored;
        char const* label;
    } const cases[] = { { "3", "3" }, { "7\n", "7" }, { "8", "0" }, { "-1", "0" }, { "", "0" }, { "red", "0" } };
    for (auto const& c : cases) {
        setLabel(file, c.stored);
        EXPECT_EQ(label(file), c.label) << '"' << c.stored << '"';
    }
    setLabel(file, std::string(200, '1'));  // longer than any label
    EXPECT_EQ(label(file), "0");

    auto folder = dir / "folder";
    std::filesystem::create_directory(folder);
    setLabel(folder, "5");
    EXPECT_EQ(label(folder.string() + "/"), "5");
}

TEST_F(FileLabel, NoneWhenTheItemCannotBeReached)
{
    auto missing = dir / "missing.jpg";
    EXPECT_EQ(label(missing), "none");
    EXPECT_EQ(shown(), "file://" + missing.string());  // the control is set all the same

    auto file = dir / "file";
    test::writeFile(file, "x");
    EXPECT_EQ(label(file.string() + "/inside"), "none");  // a file is no folder

    EXPECT_EQ(label(""), "none");
    EXPECT_EQ(shown(), "(nothing)");
    EXPECT_EQ(label(std::string("/tmp\0/x", 7)), "none");
    EXPECT_EQ(shown(), "(nothing)");

    // A link is an item of its own: it has no label, even when it leads nowhere.
    std::filesystem::create_symlink(dir / "nowhere", dir / "link");
    EXPECT_EQ(label(dir / "link"), "0");
}

TEST(FileLabelScript, FromAScriptWithAndWithoutAControl)
{
    test::ScriptBundle bundle;
    auto file = bundle.root() / "labelled.txt";
    test::writeFile(file, "x");
    ASSERT_EQ(setxattr(file.c_str(), QDFileProperty::kLabelAttribute, "2", 1, 0), 0);
    auto r = bundle.runScript(R"(
        local p = objc.QDFileProperty:alloc():init()
        p:setValue_forKey_(p, "delQDFileProperty")
        print(p:qdGetFileLabel_(")" + file.string() + R"("), p:qdGetFileLabel_("/no/such/item"), p:qdGetFileLabel_(nil))
        local control = objc.NSPathControl:new()
        p:setValue_forKey_(control, "pathControl")
        print(p:qdGetFileLabel_(")" + file.string() + R"("), control:URL():path() == ")" + file.string() + R"(")
        local parts = p:hGetFileNameProps_("/Users/x/photo.final.jpg")
        print(#parts, parts[1], parts[2], parts[3], p:valueForKey_("delQDFileProperty") == p)
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "2\tnone\tnone\n2\ttrue\n3\tphoto.final.jpg\tjpg\tphoto.final\ttrue\n");
}
