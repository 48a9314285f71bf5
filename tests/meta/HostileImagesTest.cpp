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
