// The Exif user comment: decoding stored bytes as other tools write them, in either byte order, and
// encoding text for writing.

#include "FuzzSupport.h"
#include "meta/UserComment.h"
#include "text/TextFiles.h"

#include <cstdint>

using namespace quodrix;

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, std::size_t size)
{
    std::string_view bytes(reinterpret_cast<char const*>(data), size);
    for (ByteOrder order : { ByteOrder::Little, ByteOrder::Big }) {
        // Whatever is stored reads as UTF-8.
        QUODRIX_FUZZ_EXPECT(isValidUtf8(decodeUserComment(bytes, order)));

        std::string stored = encodeUserComment(bytes, order);
        QUODRIX_FUZZ_EXPECT(stored.size() >= 8);
        std::string text = decodeUserComment(stored, order);
        QUODRIX_FUZZ_EXPECT(isValidUtf8(text));
        // ASCII text without trailing NULs (which are padding) reads back as written.
        bool ascii = true;
        for (char c : bytes)
            ascii = ascii && (unsigned char)c < 0x80;
        if (ascii && (bytes.empty() || bytes.back() != '\0'))
            QUODRIX_FUZZ_EXPECT(text == bytes);
    }
    return 0;
}
