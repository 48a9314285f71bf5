#pragma once
// ImageProperties: the platform's image reading and user-comment writing on Exiv2, with colour-space names
// from Little CMS. One instance serves the whole process (the Platform owns it); it keeps the table of display
// labels, built from Exiv2's tag lists on first use.
//
// Writing never changes the file in place: the new bytes are built in memory, checked (the comment reads
// back, no image of a multi-image file went missing), written to a temporary file beside the original and
// renamed over it. A file that the process may not write, or whose type cannot hold Exif, is refused.

#include "platform/ImageIO.h"

#include <map>
#include <string>

namespace quodrix {

class Runtime;

class ImageProperties final : public ImageIO {
public:
    ImageProperties();

    ImageReading read(std::string const& path) override;
    bool writeUserComment(std::string const& path, std::optional<std::string> const& comment,
        std::string* cause = nullptr) override;
    std::optional<std::string> colorSpaceName(std::string const& path) override;
    std::optional<std::pair<std::int64_t, std::int64_t>> pixelSize(std::string const& path) override;
    std::string label(std::string const& key) override;

private:
    std::map<std::string, std::string> m_labels;
    bool m_labelsLoaded = false;
};

// The process's shared image service: the one installed on the runtime's platform, an ImageProperties made on
// first use when none is.
ImageIO& sharedImageIO(Runtime& runtime);

}
