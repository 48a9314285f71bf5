#include "meta/ImageFixtures.h"

#include "support/ScriptBundle.h"

#include <gtest/gtest.h>
#include <initializer_list>
#include <lcms2.h>
#include <unistd.h>

namespace quodrix::test {

std::string shellQuoted(std::string const& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

static std::string chomp(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

static std::string convertTool()
{
    // The real ImageMagick; a wrapper earlier on the PATH may stand in for it.
    return ::access("/usr/bin/convert", X_OK) == 0 ? "/usr/bin/convert" : "convert";
}

static std::string identifyTool()
{
    return ::access("/usr/bin/identify", X_OK) == 0 ? "/usr/bin/identify" : "identify";
}

bool convert(std::string const& arguments)
{
    auto r = runCommand(convertTool() + " " + arguments);
    if (r.status != 0)
        ADD_FAILURE() << "convert " << arguments << ": " << r.err;
    return r.status == 0;
}

bool convertIfAble(std::string const& arguments)
{
    return runCommand(convertTool() + " " + arguments).status == 0;
}

std::string jpegWithoutImageData()
{
    auto bytes = [](std::initializer_list<int> values) {
        std::string out;
        for (int v : values)
            out += char(v);
        return out;
    };
    // Little-endian TIFF structure: IFD0 at 8 holds only the pointer to the Exif IFD at 26, which holds
    // ColorSpace (0xA001, SHORT) = 1, sRGB.
    std::string tiff = bytes({ 'I', 'I', 0x2A, 0, 8, 0, 0, 0 })
        + bytes({ 1, 0, 0x69, 0x87, 4, 0, 1, 0, 0, 0, 26, 0, 0, 0, 0, 0, 0, 0 })
        + bytes({ 1, 0, 0x01, 0xA0, 3, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0 });
    std::string exif = std::string("Exif\0\0", 6) + tiff;
    std::size_t length = exif.size() + 2;
    return bytes({ 0xFF, 0xD8 })
        + bytes({ 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0 })
        + bytes({ 0xFF, 0xE1, int(length >> 8), int(length & 0xFF) }) + exif
        + bytes({ 0xFF, 0xD9 });
}

bool exiftool(std::string const& arguments, std::filesystem::path const& file)
{
    auto r = runCommand("exiftool -q -q -overwrite_original " + arguments + " " + shellQuoted(file.string()));
    if (r.status != 0)
        ADD_FAILURE() << "exiftool " << arguments << ": " << r.err;
    return r.status == 0;
}

std::string exiftoolValue(std::string const& tag, std::filesystem::path const& file)
{
    return chomp(runCommand("exiftool -s3 -" + tag + " " + shellQuoted(file.string())).out);
}

std::string exiv2Value(std::string const& key, std::filesystem::path const& file)
{
    return chomp(runCommand("LC_ALL=C.UTF-8 exiv2 -q -K " + key + " -Pt " + shellQuoted(file.string())).out);
}

std::string pixelDigest(std::filesystem::path const& file)
{
    return runCommand(identifyTool() + " -format '%#\\n' " + shellQuoted(file.string())).out;
}

int imageCount(std::filesystem::path const& file)
{
    auto r = runCommand(identifyTool() + " -format 'x\\n' " + shellQuoted(file.string()));
    return int(std::count(r.out.begin(), r.out.end(), '\n'));
}

void writeProfile(std::filesystem::path const& file, std::string const& description)
{
    cmsHPROFILE profile = cmsCreate_sRGBProfile();
    cmsMLU* text = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(text, "en", "US", description.c_str());
    cmsWriteTag(profile, cmsSigProfileDescriptionTag, text);
    cmsMLUfree(text);
    ASSERT_TRUE(cmsSaveProfileToFile(profile, file.c_str()));
    cmsCloseProfile(profile);
}

}
