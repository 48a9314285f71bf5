#include "platform/CoreFoundation.h"

#include "core/Class.h"
#include "platform/Platform.h"

namespace quodrix {

void CoreFoundation::registerClass(Runtime& runtime)
{
    ClassBuilder<CoreFoundation>(runtime, "CoreFoundation")
        .classMethod("versionNumber", [](Call const& c) { return Value(c.runtime.platform().coreLibraryVersion()); })
        .classMethod("setVersionNumber:", [](Call const& c) {
            c.runtime.platform().setCoreLibraryVersion(c.args.number(0));
            return Value();
        });
}

}
