// The metadata editor on real JPEG, PNG, TIFF and WebP files made by ImageMagick and ExifTool: the property tree,
// the user comment read and written (and read back by ExifTool and exiv2), the log row, and files that are
// missing, not images, or must not change.

#include "meta/ImageFixtures.h"
#include "platform/Platform.h"

#include "app/NativeClasses.h"
#include "core/Runtime.h"
#include "meta/mMeta.h"
#include "platform/NSArrayController.h"
#include "platform/NSTableView.h"
#include "platform/NSTextField.h"
#include "platform/NSTreeController.h"
#include "support/ScriptBundle.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace quodrix;
using namespace quodrix::test;

namespace {

class MetaTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        registerNativeClasses(runtime);
        meta = runtime.instantiate<mMeta>("mMeta");
        comment = runtime.instantiate<NSTextField>("NSTextField");
        activePath = runtime.instantiate<NSTextField>("NSTextField");
        tree = runtime.instantiate<NSTreeController>("NSTreeController");
        log = runtime.instantiate<NSArrayController>("NSArrayController");
        table = runtime.instantiate<NSTableView>("NSTableView");
        meta->setValueForKey("tfExifUserComment", Value(comment));
        meta->setValueForKey("tfActiveFilePath", Value(activePath));
        meta->setValueForKey("mTree", Value(tree));
        runtime.send(Value(meta), "setMymMetaLogTableViewController:", { Value(log) });
        runtime.send(Value(meta), "setThemMetaLogTable:", { Value(table) });
    }

    Value send(std::string_view selector, Array args = {}) { return runtime.send(Value(meta), selector, args); }
    std::string path(std::string const& name) const { return (dir / name).string(); }

    // The keys of a tree's nodes, in order.
    static std::vector<std::string> keys(Value const& tree)
    {
        std::vector<std::string> out;
        for (auto const& node : tree.asArray())
            out.push_back(node.asDictionary().at("key").asString());
        return out;
    }
    static Value const& child(Value const& tree, std::string const& key)
    {
        for (auto const& node : tree.asArray())
            if (node.asDictionary().at("key").asString() == key)
                return node.asDictionary().at("children");
        static Value const none;
        ADD_FAILURE() << "no node " << key;
        return none;
    }
    static Value leaf(Value const& tree, std::string const& key)
    {
        for (auto const& node : tree.asArray())
            if (node.asDictionary().at("key").asString() == key)
                return node.asDictionary().at("val");
        return Value();
    }

    TempDir dir;
    Platform platform;
    Runtime runtime { platform };
    std::shared_ptr<mMeta> meta;
    std::shared_ptr<NSTextField> comment, activePath;
    std::shared_ptr<NSTreeController> tree;
    std::shared_ptr<NSArrayController> log;
    std::shared_ptr<NSTableView> table;
};

}

// The tree is sorted by character code, groups (in braces) after letters, with the library's display labels.
TEST_F(MetaTest, JpegWithExifGpsIptcAndXmpShowsEveryGroup)
{
    ASSERT_TRUE(convert("-size 640x480 gradient:red-blue " + shellQuoted(path("a.jpg"))));
    ASSERT_TRUE(exiftool("-Make=Maker -UserComment='old comment' -GPSLatitude=48.85 -GPSLatitudeRef=N "
                         "-IPTC:Keywords=one -IPTC:Keywords=two -XMP-dc:Title='A title'",
        path("a.jpg")));
    Value result = send("hiDoNothing:", { Value(path("a.jpg")) });
    EXPECT_EQ(comment->stringValue(), "old comment");
    EXPECT_EQ(keys(result),
        (std::vector<std::string> { "ColorModel", "PixelHeight", "PixelWidth", "{Exif}", "{GPS}", "{IPTC}", "{TIFF}", "{XMP}" }));
    EXPECT_EQ(leaf(result, "PixelWidth"), Value(640));
    EXPECT_EQ(leaf(result, "ColorModel"), Value("RGB"));
    EXPECT_EQ(leaf(child(result, "{Exif}"), "User Comment"), Value("old comment"));
    EXPECT_EQ(leaf(child(result, "{TIFF}"), "Manufacturer"), Value("Maker"));
    EXPECT_EQ(leaf(child(result, "{GPS}"), "GPS Latitude Reference"), Value("N"));
    EXPECT_EQ(leaf(child(result, "{IPTC}"), "Keywords"), Value(Array { Value("one"), Value("two") }));
    EXPECT_EQ(leaf(child(child(result, "{XMP}"), "dc"), "Title"), Value("A title"));
    EXPECT_EQ(tree->content(), result);
    EXPECT_EQ(meta->currentTree(), result);
    EXPECT_EQ(send("hGetExifUc:", { Value(path("a.jpg")) }), Value("old comment"));

    // Replacing the comment keeps the other groups as other tools read them.
    std::string const tags[] = { "Make", "GPSLatitude", "Keywords", "Title" };
    std::vector<std::string> before;
    for (auto const& tag : tags)
        before.push_back(exiftoolValue(tag, path("a.jpg")));
    EXPECT_EQ(send("hSetExifData::", { Value(path("a.jpg")), Value("new comment") }), Value("OK"));
    for (std::size_t i = 0; i < std::size(tags); ++i)
        EXPECT_EQ(exiftoolValue(tags[i], path("a.jpg")), before[i]) << tags[i];
    EXPECT_EQ(before[2], "one, two");
    EXPECT_EQ(exiftoolValue("UserComment", path("a.jpg")), "new comment");
}

TEST_F(MetaTest, NumericTagsAreNumbersAndTextTagsText)
{
    ASSERT_TRUE(convert("-size 32x24 xc:blue " + shellQuoted(path("n.jpg"))));
    ASSERT_TRUE(exiftool("-Make=Maker -ISO=200 -FNumber=2.8 -ExposureTime=1/4 -XResolution=300", path("n.jpg")));
    Value result = send("hiDoNothing:", { Value(path("n.jpg")) });
    Value const& exif = child(result, "{Exif}");
    Value const& tiff = child(result, "{TIFF}");
    EXPECT_EQ(leaf(exif, "ISO Speed Ratings").kind(), Kind::Integer);
    EXPECT_EQ(leaf(exif, "ISO Speed Ratings"), Value(200));
    EXPECT_EQ(leaf(exif, "FNumber").kind(), Kind::Float);
    EXPECT_NEAR(leaf(exif, "FNumber").number().value_or(0), 2.8, 1e-6);
    EXPECT_EQ(leaf(exif, "Exposure Time"), Value(0.25));
    EXPECT_EQ(leaf(tiff, "X-Resolution"), Value(300.0));
    EXPECT_EQ(leaf(tiff, "Manufacturer"), Value("Maker"));
}

TEST_F(MetaTest, CommentWrittenIsReadBackByOtherToolsWithPixelsAndTagsKept)
{
    ASSERT_TRUE(convert("-size 96x64 plasma:fractal -seed 3 " + shellQuoted(path("src.png"))));
    struct Case {
        char const* file;
        char const* make;
    } const files[] = { { "a.jpg", "-Make=Maker" }, { "a.tif", "-Make=Maker" }, { "a.png", "" }, { "a.webp", "" } };
    std::string const texts[] = { "Hello", "h\xC3\xA9llo w\xC3\xB6rld", "\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80 emoji" };
    for (auto const& f : files) {
        ASSERT_TRUE(convert(shellQuoted(path("src.png")) + " " + shellQuoted(path(f.file))));
        if (*f.make) {
            ASSERT_TRUE(exiftool(f.make, path(f.file)));
        }
        std::string pixels = pixelDigest(path(f.file));
        // Added where there was none, then replaced.
        EXPECT_EQ(send("hGetExifUc:", { Value(path(f.file)) }), Value("")) << f.file;
        for (auto const& text : texts) {
            EXPECT_EQ(send("hSetExifData::", { Value(path(f.file)), Value(text) }), Value("OK")) << f.file;
            EXPECT_EQ(send("hGetExifUc:", { Value(path(f.file)) }), Value(text)) << f.file;
            EXPECT_EQ(exiftoolValue("UserComment", path(f.file)), text) << f.file;
            if (text.find("\xF0") == std::string::npos) {  // exiv2's own conversion cannot take surrogate pairs
                std::string charset = text == "Hello" ? "charset=Ascii " : "charset=Unicode ";
                EXPECT_EQ(exiv2Value("Exif.Photo.UserComment", path(f.file)), charset + text) << f.file;
            }
        }
        EXPECT_EQ(pixelDigest(path(f.file)), pixels) << f.file;
        if (*f.make) {
            EXPECT_EQ(exiftoolValue("Make", path(f.file)), "Maker") << f.file;
        }
        // Nothing left beside the file.
        int entries = 0;
        for ([[maybe_unused]] auto const& e : std::filesystem::directory_iterator(dir.path()))
            ++entries;
        EXPECT_EQ(entries, 1 + int(&f - files) + 1) << f.file;
    }
}

TEST_F(MetaTest, ImageWithoutExifShowsTheNoticeAndGetsOneOnWrite)
{
    ASSERT_TRUE(convert("-size 64x48 xc:green " + shellQuoted(path("plain.png"))));
    Value result = send("hiDoNothing:", { Value(path("plain.png")) });
    EXPECT_EQ(comment->stringValue(), "NotSupportedOrAvailable");
    EXPECT_EQ(keys(result), (std::vector<std::string> { "ColorModel", "PixelHeight", "PixelWidth" }));

    activePath->setStringValue(path("plain.png"));
    comment->setStringValue("Hello");
    send("btApplyExifUserComment:", { Value() });
    EXPECT_EQ(comment->stringValue(), "Hello");
    EXPECT_EQ(keys(child(meta->currentTree(), "{Exif}")), (std::vector<std::string> { "User Comment" }));
}

TEST_F(MetaTest, EachApplyAddsOneLogRow)
{
    ASSERT_TRUE(convert("-size 32x32 xc:blue " + shellQuoted(path("b.jpg"))));
    ASSERT_TRUE(exiftool("-UserComment=before", path("b.jpg")));
    activePath->setStringValue(path("b.jpg"));
    comment->setStringValue("Hello");
    send("btApplyExifUserComment:", { Value("sender") });
    EXPECT_EQ(comment->stringValue(), "Hello");
    ASSERT_EQ(log->arrangedObjects().size(), 1u);
    auto const& row = log->arrangedObjects()[0].asDictionary();
    EXPECT_NEAR(row.at("LogDate").asDate().secondsSince1970, Date::now().secondsSince1970, 60);
    // The words of the row are checked where the command writes them to the log file (MetaCommandsTest.cpp).
    EXPECT_EQ(row.at("LogStatus"), Value("OK"));
    EXPECT_EQ(row.size(), 8u);
    EXPECT_EQ(table->reloadCount(), 1);

    activePath->setStringValue(path("gone.jpg"));
    send("btApplyExifUserComment:", { Value() });
    EXPECT_EQ(comment->stringValue(), "NotSupported");
    ASSERT_EQ(log->arrangedObjects().size(), 2u);
    EXPECT_EQ(log->arrangedObjects()[1].asDictionary().at("LogStatus"), Value("Failed"));
    EXPECT_EQ(log->arrangedObjects()[1].asDictionary().at("LogI"), Value("gone.jpg"));
    EXPECT_EQ(table->reloadCount(), 2);
    EXPECT_FALSE(std::filesystem::exists(path("gone.jpg")));
}

TEST_F(MetaTest, MissingFileHasNoSource)
{
    ASSERT_TRUE(convert("-size 32x32 xc:blue " + shellQuoted(path("b.jpg"))));
    send("hiDoNothing:", { Value(path("b.jpg")) });
    EXPECT_EQ(send("hiDoNothing:", { Value(path("missing.jpg")) }), Value());
    EXPECT_EQ(comment->stringValue(), "NotSupported");
    EXPECT_EQ(tree->content(), Value());
    EXPECT_EQ(meta->currentTree(), Value());
    EXPECT_EQ(send("hSetExifData::", { Value(path("missing.jpg")), Value("x") }), Value("Failed"));
    EXPECT_FALSE(std::filesystem::exists(path("missing.jpg")));
    EXPECT_EQ(send("hGetExifUc:", { Value(path("missing.jpg")) }), Value(""));
    EXPECT_EQ(send("hGetColorProfile:", { Value(path("missing.jpg")) }), Value());
    EXPECT_EQ(send("hGetPixelFormat:", { Value(path("missing.jpg")) }), Value(Array { Value("0"), Value("0") }));
    EXPECT_EQ(send("propTree:", { Value() }), Value(Array {}));
}

TEST_F(MetaTest, FileThatIsNotAnImageYieldsAnEmptyTreeAndStaysAsItWas)
{
    ASSERT_TRUE(convert("-size 32x32 xc:blue " + shellQuoted(path("b.jpg"))));
    writeFile(path("notes.jpg"), "just some text\n");
    EXPECT_FALSE(keys(send("hiDoNothing:", { Value(path("b.jpg")) })).empty());
    EXPECT_EQ(send("hiDoNothing:", { Value(path("notes.jpg")) }), Value(Array {}));
    EXPECT_EQ(comment->stringValue(), "NotSupportedOrAvailable");
    EXPECT_EQ(tree->content(), Value(Array {}));
    EXPECT_EQ(send("hSetExifData::", { Value(path("notes.jpg")), Value("x") }), Value("Failed"));
    EXPECT_EQ(readFile(path("notes.jpg")), "just some text\n");
    EXPECT_EQ(send("hGetExifUc:", { Value(path("notes.jpg")) }), Value(""));
    EXPECT_EQ(send("hGetColorProfile:", { Value(path("notes.jpg")) }), Value());
    EXPECT_EQ(send("hGetPixelFormat:", { Value(path("notes.jpg")) }), Value(Array { Value("0"), Value("0") }));
    // A folder where a file is expected: refused even for root.
    std::filesystem::create_directory(path("folder.jpg"));
    EXPECT_EQ(send("hSetExifData::", { Value(path("folder.jpg")), Value("x") }), Value("Failed"));
    EXPECT_EQ(send("hiDoNothing:", { Value(path("folder.jpg")) }), Value());
}

TEST_F(MetaTest, PixelSizeAndColourSpace)
{
    ASSERT_TRUE(convert("-size 640x480 gradient:red-blue " + shellQuoted(path("w.jpg"))));
    EXPECT_EQ(send("hGetPixelFormat:", { Value(path("w.jpg")) }), Value(Array { Value("640"), Value("480") }));
    EXPECT_EQ(send("hGetColorProfile:", { Value(path("w.jpg")) }), Value("Generic RGB"));
    ASSERT_TRUE(exiftool("-ColorSpace=sRGB", path("w.jpg")));
    EXPECT_EQ(send("hGetColorProfile:", { Value(path("w.jpg")) }), Value("sRGB"));

    writeProfile(path("test.icc"), "Quodrix Test RGB");
    ASSERT_TRUE(convert("-size 200x100 xc:red -profile " + shellQuoted(path("test.icc")) + " " + shellQuoted(path("p.jpg"))));
    EXPECT_EQ(send("hGetColorProfile:", { Value(path("p.jpg")) }), Value("Quodrix Test RGB"));
    EXPECT_EQ(leaf(send("hiDoNothing:", { Value(path("p.jpg")) }), "Profile Name"), Value("Quodrix Test RGB"));
    EXPECT_EQ(send("hSetExifData::", { Value(path("p.jpg")), Value("kept") }), Value("OK"));
    EXPECT_EQ(send("hGetColorProfile:", { Value(path("p.jpg")) }), Value("Quodrix Test RGB"));

    ASSERT_TRUE(convert("-size 30x20 xc:gray50 -colorspace Gray " + shellQuoted(path("g.png"))));
    EXPECT_EQ(send("hGetColorProfile:", { Value(path("g.png")) }), Value("Generic Gray"));
    EXPECT_EQ(send("hGetPixelFormat:", { Value(path("g.png")) }), Value(Array { Value("30"), Value("20") }));
}

// Metadata is not an image: a file that carries an Exif colour space but no pixel data has neither a size nor
// a colour space, while the same segments in front of real image data give both.
TEST_F(MetaTest, JpegWithoutImageDataHasNoSizeAndNoColourSpace)
{
    std::string const header = jpegWithoutImageData();
    writeFile(path("nodata.jpg"), header);
    EXPECT_EQ(exiv2Value("Exif.Photo.ColorSpace", path("nodata.jpg")), "sRGB");
    EXPECT_EQ(send("hGetPixelFormat:", { Value(path("nodata.jpg")) }), Value(Array { Value("0"), Value("0") }));
    EXPECT_EQ(send("hGetColorProfile:", { Value(path("nodata.jpg")) }), Value());
    // Its metadata is still read.
    EXPECT_EQ(leaf(child(send("hiDoNothing:", { Value(path("nodata.jpg")) }), "{Exif}"), "Color Space"), Value(1));

    ASSERT_TRUE(convert("-size 48x32 xc:red " + shellQuoted(path("red.jpg"))));
    std::string const image = readFile(path("red.jpg"));
    ASSERT_EQ(image.substr(0, 2), "\xFF\xD8");
    writeFile(path("withdata.jpg"), header.substr(0, header.size() - 2) + image.substr(2));
    EXPECT_EQ(send("hGetPixelFormat:", { Value(path("withdata.jpg")) }), Value(Array { Value("48"), Value("32") }));
    EXPECT_EQ(send("hGetColorProfile:", { Value(path("withdata.jpg")) }), Value("sRGB"));
}

// A format whose metadata the library reads but whose pixels it does not load.
TEST_F(MetaTest, HeicHasNoSizeAndNoColourSpace)
{
    if (!convertIfAble("-size 64x48 xc:red " + shellQuoted(path("h.heic"))))
        GTEST_SKIP() << "ImageMagick cannot write HEIC here";
    EXPECT_EQ(send("hGetPixelFormat:", { Value(path("h.heic")) }), Value(Array { Value("0"), Value("0") }));
    EXPECT_EQ(send("hGetColorProfile:", { Value(path("h.heic")) }), Value());
}

TEST_F(MetaTest, MultiImageTiffKeepsItsImagesOrIsRefused)
{
    ASSERT_TRUE(convert("-size 40x30 xc:red xc:green xc:blue " + shellQuoted(path("three.tif"))));
    std::string pixels = pixelDigest(path("three.tif"));
    EXPECT_EQ(send("hSetExifData::", { Value(path("three.tif")), Value("pages") }), Value("OK"));
    EXPECT_EQ(imageCount(path("three.tif")), 3);
    EXPECT_EQ(pixelDigest(path("three.tif")), pixels);
    EXPECT_EQ(exiftoolValue("UserComment", path("three.tif")), "pages");

    // More images than the metadata library carries over: the write is refused and the file untouched.
    ASSERT_TRUE(convert("-size 40x30 xc:red xc:green xc:blue xc:white xc:black xc:yellow " + shellQuoted(path("six.tif"))));
    std::string before = readFile(path("six.tif"));
    EXPECT_EQ(send("hSetExifData::", { Value(path("six.tif")), Value("pages") }), Value("Failed"));
    EXPECT_EQ(readFile(path("six.tif")), before);
}

TEST_F(MetaTest, WriteKeepsPermissionsAndWritesThroughLinks)
{
    ASSERT_TRUE(convert("-size 32x32 xc:blue " + shellQuoted(path("b.jpg"))));
    ::chmod(path("b.jpg").c_str(), 0640);
    std::filesystem::create_symlink("b.jpg", path("link.jpg"));
    EXPECT_EQ(send("hSetExifData::", { Value(path("link.jpg")), Value("via link") }), Value("OK"));
    EXPECT_TRUE(std::filesystem::is_symlink(path("link.jpg")));
    EXPECT_EQ(exiftoolValue("UserComment", path("b.jpg")), "via link");
    struct stat st {};
    ASSERT_EQ(::stat(path("b.jpg").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(MetaTest, ReadOnlyFileIsRefusedForAnUnprivilegedUser)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run the command as another user";
    if (runCommand("command -v setpriv").status != 0)
        GTEST_SKIP() << "setpriv is not installed";
    ASSERT_TRUE(convert("-size 32x32 xc:blue " + shellQuoted(path("ro.jpg"))));
    ::chmod(dir.path().c_str(), 0777);
    ::chmod(path("ro.jpg").c_str(), 0644);  // owned by root: readable, not writable, by nobody
    ScriptBundle bundle(true);
    ::chmod(bundle.root().c_str(), 0755);
    std::string before = readFile(path("ro.jpg"));
    auto r = runCommand("cd / && HOME=" + shellQuoted(dir.str()) + " setpriv --reuid=nobody --regid=nogroup --clear-groups "
        + shellQuoted(bundle.executable().string()) + " comment " + shellQuoted(path("ro.jpg")) + " changed");
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("Edit meta data\tFailed\tro.jpg"), std::string::npos) << r.out;
    EXPECT_EQ(readFile(path("ro.jpg")), before);
}

TEST_F(MetaTest, InvalidUtf8CommentIsWrittenWithReplacementCharacters)
{
    ASSERT_TRUE(convert("-size 32x32 xc:blue " + shellQuoted(path("u.jpg"))));
    EXPECT_EQ(send("hSetExifData::", { Value(path("u.jpg")), Value("caf\xE9!") }), Value("OK"));
    EXPECT_EQ(send("hGetExifUc:", { Value(path("u.jpg")) }), Value("caf\xEF\xBF\xBD!"));
    EXPECT_EQ(exiftoolValue("UserComment", path("u.jpg")), "caf\xEF\xBF\xBD!");
}

// That a GIF takes no comment, and says why, is in MetaCommandsTest.cpp.
TEST_F(MetaTest, GifAndBmpHaveTheirSize)
{
    ASSERT_TRUE(convert("-size 50x40 xc:red " + shellQuoted(path("g.gif"))));
    EXPECT_EQ(send("hGetPixelFormat:", { Value(path("g.gif")) }), Value(Array { Value("50"), Value("40") }));
    EXPECT_EQ(keys(send("hiDoNothing:", { Value(path("g.gif")) })),
        (std::vector<std::string> { "ColorModel", "PixelHeight", "PixelWidth" }));
    EXPECT_EQ(comment->stringValue(), "NotSupportedOrAvailable");
    ASSERT_TRUE(convert("-size 20x10 xc:red " + shellQuoted(path("b.bmp"))));
    EXPECT_EQ(send("hGetPixelFormat:", { Value(path("b.bmp")) }), Value(Array { Value("20"), Value("10") }));
}

TEST_F(MetaTest, DamagedFilesGiveResultsAndAreNeverHarmed)
{
    ASSERT_TRUE(convert("-size 64x48 plasma:fractal -seed 5 " + shellQuoted(path("src.png"))));
    for (char const* name : { "d.jpg", "d.tif", "d.png", "d.webp" }) {
        ASSERT_TRUE(convert(shellQuoted(path("src.png")) + " " + shellQuoted(path(name))));
        ASSERT_TRUE(exiftool("-UserComment=original -Make=Maker", path(name)) || std::string(name) == "d.webp");
        std::string whole = readFile(path(name));
        for (std::size_t cut : { std::size_t(3), std::size_t(12), whole.size() / 4, whole.size() / 2, whole.size() - 5 }) {
            std::string damaged = whole.substr(0, cut);
            // Flip a byte in the middle as well as cutting the end.
            if (damaged.size() > 40)
                damaged[damaged.size() / 2] = char(~damaged[damaged.size() / 2]);
            writeFile(path("damaged"), damaged);
            send("hiDoNothing:", { Value(path("damaged")) });
            send("hGetPixelFormat:", { Value(path("damaged")) });
            send("hGetColorProfile:", { Value(path("damaged")) });
            Value status = send("hSetExifData::", { Value(path("damaged")), Value("new") });
            if (status == Value("Failed"))
                EXPECT_EQ(readFile(path("damaged")), damaged) << name << " cut at " << cut;
            else
                EXPECT_EQ(send("hGetExifUc:", { Value(path("damaged")) }), Value("new")) << name << " cut at " << cut;
        }
    }
}
