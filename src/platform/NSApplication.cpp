#include "platform/NSApplication.h"

#include "app/Class.h"
#include "app/Object.h"

namespace quodrix {

void NSApplication::registerClass(Runtime& runtime)
{
    ClassBuilder<Object>(runtime, "NSApp")
        .classMethod("terminate:", [](Call const& c) {
            c.runtime.requestTerminate();
            return Value();
        })
        .classMethod("setExitStatus:", [](Call const& c) {
            c.runtime.setExitStatus(int(c.args.integer(0)));
            return Value();
        })
        .classMethod("exitStatus", [](Call const& c) { return Value(c.runtime.exitStatus()); });
}

}
