// Image files that are damaged, cut short or far too large: every reading gives its failure result, a
// comment write gives false and leaves the file as it was, and nothing crashes.

#include "meta/ImageFixtures.h"
#include "meta/ImageProperties.h"
#include "support/ScriptBundle.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace quodrix;
using namespace quodrix::test;
namespace fs = std::filesystem;

TEST(HostileImages, AHugeSparseFileIsRefusedWithoutBeingRead)
{
    TempDir dir;
    fs::path path = dir / "huge.jpg";
    writeFile(path, "");
    ASSERT_EQ(::truncate(path.c_str(), off_t(3) << 30), 0);  // 3 GiB of nothing, no disk used
    ImageProperties images;
    EXPECT_EQ(images.read(path.string()).source, ImageSource::NoImage);
    EXPECT_EQ(images.pixelSize(path.string()), std::nullopt);
    EXPECT_EQ(images.colorSpaceName(path.string()), std::nullopt);
    EXPECT_FALSE(images.writeUserComment(path.string(), "too big"));
    EXPECT_EQ(fs::file_size(path), std::uintmax_t(3) << 30);
}

TEST(HostileImages, CutAndDamagedFilesNeverCrashAndAreNeverHalfWritten)
{
    TempDir dir;
    fs::path source = dir / "source.jpg";
    ASSERT_TRUE(convert("-size 16x12 xc:red -quality 60 " + shellQuoted(source.string())));
    ASSERT_TRUE(exiftool("-q -overwrite_original -Make=Maker -UserComment=hello -XMP-dc:Title=t -IPTC:Keywords=k",
        source));
    std::string const original = readFile(source);
    ImageProperties images;
    fs::path path = dir / "damaged.jpg";
    auto check = [&](std::string const& bytes) {
        writeFile(path, bytes);
        images.read(path.string());
        images.pixelSize(path.string());
        images.colorSpaceName(path.string());
        if (images.writeUserComment(path.string(), "ünïcode ✓"))
            EXPECT_EQ(images.read(path.string()).userComment, std::optional<std::string>("ünïcode ✓"));
        else
            EXPECT_EQ(readFile(path), bytes);
    };
    // Cut short at every length, in steps.
    for (std::size_t length = 0; length < original.size(); length += 37)
        check(original.substr(0, length));
    // Bytes of the metadata segments overwritten with extreme values.
    for (std::size_t at = 2; at < std::min<std::size_t>(original.size(), 600); at += 11) {
        for (char value : { '\x00', '\xFF', '\x7F' }) {
            std::string damaged = original;
            damaged[at] = value;
            damaged[at + 1] = value;
            check(damaged);
        }
    }
}

// One process reads hostile and good images in any order: an XMP packet that claims the prefix "dc" for
// another address leaves no trace in how later images are read or labelled.
TEST(HostileImages, AnImageThatClaimsAKnownXmpPrefixChangesNoLaterReading)
{
    TempDir dir;
    fs::path good = dir / "good.jpg";
    ASSERT_TRUE(convert("-size 16x12 xc:blue " + shellQuoted(good.string())));
    ASSERT_TRUE(exiftool("-q -overwrite_original -XMP-dc:Title='A title' -XMP-dc:Creator=Someone", good));
    std::string bytes = readFile(good);
    std::string const address = "http://purl.org/dc/elements/1.1/";
    auto at = bytes.find(address);
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at, address.size(), "http://example.org/elements/1.1/");  // same length: the segment stays whole
    fs::path hostile = dir / "hostile.jpg";
    writeFile(hostile, bytes);

    // What a fresh reader shows for the good image: its dc group, with the titles of its properties.
    auto titleOf = [&](ImageProperties& images) {
        ImageReading reading = images.read(good.string());
        Value const* xmp = reading.properties.count("{XMP}") ? &reading.properties.at("{XMP}") : nullptr;
        if (!xmp || !xmp->asDictionary().count("dc"))
            return std::string("no dc group");
        auto const& dc = xmp->asDictionary().at("dc").asDictionary();
        if (!dc.count("title"))
            return std::string("no title");
        return images.label("title") + "=" + dc.at("title").description() + ", " + images.label("creator");
    };
    std::string const expected = "Title=A title, Creator";
    {
        ImageProperties first;
        EXPECT_EQ(titleOf(first), expected);
    }
    for (int round = 0; round < 2; ++round) {
        ImageProperties images;
        ImageReading reading = images.read(hostile.string());
        EXPECT_EQ(reading.source, ImageSource::Image);
        EXPECT_TRUE(images.writeUserComment(hostile.string(), "still writable"));
        // The same reader, and a new one whose labels are read only now.
        EXPECT_EQ(titleOf(images), expected) << round;
        ImageProperties later;
        EXPECT_EQ(titleOf(later), expected) << round;
    }
}
