// Bookmark records: arbitrary bytes, and arbitrary payloads signed with the key, so that the decoding
// behind the signature check is reached too.

#include "FuzzSupport.h"
#include "presets/BookmarkRecord.h"

#include <cstdint>
#include <glib.h>

using namespace quodrix;

namespace {

constexpr std::string_view kKey = "fuzzing key, not a user's";

std::string signedRecord(std::string_view payload)
{
    std::string bytes("QDBM\x01", 5);
    bytes.append(payload);
    GHmac* hmac = g_hmac_new(G_CHECKSUM_SHA256, reinterpret_cast<guchar const*>(kKey.data()), kKey.size());
    g_hmac_update(hmac, reinterpret_cast<guchar const*>(bytes.data()), gssize(bytes.size()));
    std::string digest(32, '\0');
    gsize length = digest.size();
    g_hmac_get_digest(hmac, reinterpret_cast<guint8*>(digest.data()), &length);
    g_hmac_unref(hmac);
    return bytes + digest;
}

}

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, std::size_t size)
{
    std::string_view bytes(reinterpret_cast<char const*>(data), size);
    presets::resolveBookmark(bytes, kKey);
    presets::resolveBookmark(bytes, "");
    auto url = presets::resolveBookmark(signedRecord(bytes), kKey);
    if (url) {
        // Only a record of an item that exists resolves; its URL makes a record again.
        auto again = presets::makeBookmark(*url, kKey);
        QUODRIX_FUZZ_EXPECT(again.has_value());
    }
    return 0;
}
