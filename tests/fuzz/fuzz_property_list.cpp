// Property lists, XML and binary: the raw-byte depth inspection, then the library's parse and the
// conversion into values of what the inspection let through, and a change written back.

#include "FuzzSupport.h"
#include "text/PropertyListDepth.h"
#include "text/PropertyListFile.h"

#include <cstdint>

using namespace quodrix;

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, std::size_t size)
{
    std::string_view bytes(reinterpret_cast<char const*>(data), size);
    // A small limit as well, so that the depth checks themselves are reached by small inputs.
    inspectPropertyList(bytes, 3);
    PropertyListShape shape = inspectPropertyList(bytes);

    std::string path = fuzz::scratchFile("p.plist", bytes);
    auto root = readPropertyListFile(path);
    if (shape != PropertyListShape::Acceptable)
        QUODRIX_FUZZ_EXPECT(!root);
    if (root && root->kind() == Kind::Dictionary) {
        readPropertyListKey(path, "k");
        if (changePropertyListKey(path, "k", Value(std::string("v")))) {
            // What was written reads back, with the change.
            Value changed = readPropertyListKey(path, "k");
            QUODRIX_FUZZ_EXPECT(changed.text() == std::optional<std::string>("v"));
        }
    }
    return 0;
}
