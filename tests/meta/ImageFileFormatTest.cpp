// Facts read from the files' own structure: the image count of TIFF streams, including damaged ones, and the
// colour model of the pixels.

#include "meta/ImageFileFormat.h"

#include "meta/ImageFixtures.h"
#include "support/ScriptBundle.h"

#include <gtest/gtest.h>

using namespace quodrix;
using namespace quodrix::test;

namespace {

// A little-endian TIFF header followed by IFDs without entries whose next pointers are `next`.
std::string tiffChain(std::initializer_list<std::uint32_t> next)
{
    auto u32 = [](std::uint32_t v) { return std::string { char(v), char(v >> 8), char(v >> 16), char(v >> 24) }; };
    std::string out = std::string("II*\0", 4) + u32(8);
    for (std::uint32_t n : next)
        out += std::string(2, '\0') + u32(n);
    return out;
}

}

TEST(ImageFileFormat, TiffImageCountFollowsTheChainAndSurvivesDamage)
{
    EXPECT_EQ(tiffImageCount(tiffChain({ 0 })), 1u);
    EXPECT_EQ(tiffImageCount(tiffChain({ 14, 20, 0 })), 3u);
    EXPECT_EQ(tiffImageCount(tiffChain({ 14, 8 })), 2u);          // a loop back to the first
    EXPECT_EQ(tiffImageCount(tiffChain({ 14, 9999 })), 2u);       // a pointer past the end
    EXPECT_EQ(tiffImageCount(tiffChain({ 0 }).substr(0, 9)), 0u); // cut inside the first IFD
    EXPECT_EQ(tiffImageCount(std::string("MM\0*", 4) + std::string("\0\0\0\x08\0\0\0\0\0\0", 10)), 1u);
    EXPECT_EQ(tiffImageCount("\xFF\xD8\xFF\xE0 not a tiff"), std::nullopt);
    EXPECT_EQ(tiffImageCount(""), std::nullopt);
}

TEST(ImageFileFormat, ColourModelOfThePixels)
{
    TempDir dir;
    struct Case {
        char const* name;
        char const* arguments;
        char const* model;
    } const cases[] = {
        { "rgb.jpg", "-size 8x8 gradient:red-blue", "RGB" },
        { "gray.jpg", "-size 8x8 xc:gray50", "Gray" },
        { "cmyk.jpg", "-size 8x8 xc:red -colorspace CMYK", "CMYK" },
        { "gray.png", "-size 8x8 xc:gray50 -colorspace Gray", "Gray" },
        { "rgb.webp", "-size 8x8 xc:red", "RGB" },
    };
    for (auto const& c : cases) {
        ASSERT_TRUE(convert(std::string(c.arguments) + " " + shellQuoted((dir / c.name).string())));
        EXPECT_EQ(sniffColorModel((dir / c.name).string()), std::optional<std::string>(c.model)) << c.name;
    }
    writeFile(dir / "text.jpg", "\xFF\xD8 but then nothing");
    EXPECT_EQ(sniffColorModel((dir / "text.jpg").string()), std::nullopt);
    EXPECT_EQ(sniffColorModel((dir / "missing.jpg").string()), std::nullopt);
}
