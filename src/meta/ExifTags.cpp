#include "meta/ExifTags.h"

#include <exiv2/exiv2.hpp>
#include <filesystem>
#include <memory>
#include <mutex>
#include <sys/stat.h>

namespace quodrix {

ExifTags::Tags ExifTags::read(std::string const& path)
{
    static std::once_flag muted;
    std::call_once(muted, [] { Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute); });
    Tags tags;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return tags;
    try {
        // An absolute path: Exiv2 reads "-", "http://..." and the like as other sources than a file.
        Exiv2::Image::AutoPtr opened = Exiv2::ImageFactory::open(std::filesystem::absolute(path).string(), false);
        std::unique_ptr<Exiv2::Image> image(opened.release());
        image->readMetadata();
        for (auto const& datum : image->exifData()) {
            std::string value = datum.toString();
            while (!value.empty() && value.back() == '\0')
                value.pop_back();
            tags.emplace(datum.tagName(), std::move(value));
        }
    } catch (std::exception const&) {
        tags.clear();
    }
    return tags;
}

}
