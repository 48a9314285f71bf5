// Image files, damaged in every way: reading their metadata, their size and colour space, and writing a
// user comment into a copy. Exiv2 is not instrumented, so the fuzzing reaches mostly the system's own
// handling of what Exiv2 gives or throws; a crash or a leak anywhere still fails the run.

#include "FuzzSupport.h"
#include "meta/ImageFileFormat.h"
#include "meta/ImageProperties.h"

#include <cstdint>

using namespace quodrix;

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, std::size_t size)
{
    std::string_view bytes(reinterpret_cast<char const*>(data), size);
    static ImageProperties images;

    std::string path = fuzz::scratchFile("image.jpg", bytes);
    images.read(path);
    images.pixelSize(path);
    images.colorSpaceName(path);
    sniffColorModel(path);
    gifPixelSize(path);
    tiffImageCount(bytes);

    if (images.writeUserComment(path, "fuzz \xE2\x9C\x93 comment")) {
        auto reading = images.read(path);
        QUODRIX_FUZZ_EXPECT(reading.userComment == std::optional<std::string>("fuzz \xE2\x9C\x93 comment"));
    }
    return 0;
}
