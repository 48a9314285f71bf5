#include "meta/ImageFileFormat.h"

#include <cstdint>
#include <fstream>
#include <set>

namespace quodrix {

static std::optional<std::string> modelOfComponents(int components)
{
    switch (components) {
    case 1:
        return "Gray";
    case 3:
        return "RGB";
    case 4:
        return "CMYK";
    default:
        return std::nullopt;
    }
}

// Walks the JPEG markers up to the first start-of-frame and reads its component count.
static std::optional<std::string> jpegColorModel(std::ifstream& in)
{
    in.seekg(2);
    for (int guard = 0; guard < 4096 && in; ++guard) {
        int c = in.get();
        if (c != 0xFF)
            return std::nullopt;
        int marker = in.get();
        while (marker == 0xFF)
            marker = in.get();
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01)
            continue;
        int hi = in.get(), lo = in.get();
        if (!in)
            return std::nullopt;
        int length = (hi << 8) | lo;
        bool startOfFrame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (startOfFrame) {
            unsigned char frame[6];
            if (!in.read(reinterpret_cast<char*>(frame), 6))
                return std::nullopt;
            return modelOfComponents(frame[5]);
        }
        if (length < 2)
            return std::nullopt;
        in.seekg(length - 2, std::ios::cur);
    }
    return std::nullopt;
}

std::optional<std::string> sniffColorModel(std::string const& path)
{
    std::ifstream in(path, std::ios::binary);
    unsigned char head[32] = {};
    if (!in.read(reinterpret_cast<char*>(head), sizeof head) && in.gcount() < 12)
        return std::nullopt;
    if (head[0] == 0xFF && head[1] == 0xD8) {
        in.clear();
        return jpegColorModel(in);
    }
    if (head[0] == 0x89 && head[1] == 'P' && head[2] == 'N' && head[3] == 'G') {
        int colorType = head[25];  // IHDR follows the signature at once
        return (colorType == 0 || colorType == 4) ? std::optional<std::string>("Gray") : "RGB";
    }
    if (std::string_view(reinterpret_cast<char*>(head), 4) == "RIFF"
        && std::string_view(reinterpret_cast<char*>(head) + 8, 4) == "WEBP")
        return "RGB";
    if (std::string_view(reinterpret_cast<char*>(head), 3) == "GIF")
        return "RGB";
    return std::nullopt;
}

bool isPrintableImageFormat(std::string const& path)
{
    std::ifstream in(path, std::ios::binary);
    char head[8] = {};
    if (!in.read(head, sizeof head))
        return false;
    std::string_view bytes(head, sizeof head);
    return bytes.substr(0, 2) == "\xFF\xD8" || bytes == "\x89PNG\r\n\x1A\n" || bytes.substr(0, 4) == std::string_view("II*\0", 4)
        || bytes.substr(0, 4) == std::string_view("MM\0*", 4) || bytes.substr(0, 4) == "GIF8";
}

std::optional<std::pair<std::int64_t, std::int64_t>> gifPixelSize(std::string const& path)
{
    std::ifstream in(path, std::ios::binary);
    unsigned char head[10] = {};
    if (!in.read(reinterpret_cast<char*>(head), sizeof head))
        return std::nullopt;
    std::string_view signature(reinterpret_cast<char*>(head), 6);
    if (signature != "GIF87a" && signature != "GIF89a")
        return std::nullopt;
    std::int64_t width = head[6] | head[7] << 8, height = head[8] | head[9] << 8;
    if (width == 0 || height == 0)
        return std::nullopt;
    return std::pair(width, height);
}

std::optional<std::size_t> tiffImageCount(std::string_view bytes)
{
    if (bytes.size() < 8)
        return std::nullopt;
    bool little;
    if (bytes.substr(0, 4) == std::string_view("II*\0", 4))
        little = true;
    else if (bytes.substr(0, 4) == std::string_view("MM\0*", 4))
        little = false;
    else
        return std::nullopt;
    auto byteAt = [&](std::size_t i) { return std::uint32_t(static_cast<unsigned char>(bytes[i])); };
    auto u16 = [&](std::size_t i) { return little ? byteAt(i) | byteAt(i + 1) << 8 : byteAt(i) << 8 | byteAt(i + 1); };
    auto u32 = [&](std::size_t i) {
        return little ? byteAt(i) | byteAt(i + 1) << 8 | byteAt(i + 2) << 16 | byteAt(i + 3) << 24
                      : byteAt(i) << 24 | byteAt(i + 1) << 16 | byteAt(i + 2) << 8 | byteAt(i + 3);
    };
    std::size_t count = 0;
    std::set<std::uint32_t> seen;
    std::uint32_t offset = u32(4);
    while (offset != 0 && seen.insert(offset).second && std::size_t(offset) + 2 <= bytes.size()) {
        ++count;
        std::size_t next = std::size_t(offset) + 2 + 12 * std::size_t(u16(offset));
        if (next + 4 > bytes.size())
            break;
        offset = u32(next);
    }
    return count;
}

}
