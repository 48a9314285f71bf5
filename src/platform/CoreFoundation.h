#pragma once
// CoreFoundation: the core library's release number as the platform stand-in reports it
// (Platform::coreLibraryVersion). Class methods `versionNumber` and, for scripts and tests that play
// another system, `setVersionNumber:`.

#include "core/Object.h"

namespace quodrix {

class Runtime;

class CoreFoundation : public Object {
public:
    static void registerClass(Runtime& runtime);
};

}
