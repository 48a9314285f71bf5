// Base64: validation and decoding of arbitrary text, and the round trip of arbitrary bytes.

#include "FuzzSupport.h"
#include "text/Base64.h"

#include <cstdint>

using namespace quodrix;

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, std::size_t size)
{
    std::string_view bytes(reinterpret_cast<char const*>(data), size);
    if (auto decoded = base64::decode(bytes)) {
        // What decodes encodes to the same alphabet characters, padding aside.
        auto again = base64::decode(base64::encode(*decoded));
        QUODRIX_FUZZ_EXPECT(again == decoded);
    }
    std::string encoded = base64::encode(bytes);
    QUODRIX_FUZZ_EXPECT(encoded.size() % 4 == 0);
    auto back = base64::decode(encoded);
    QUODRIX_FUZZ_EXPECT(back.has_value() && *back == bytes);
    return 0;
}
