#include "platform/NSControl.h"

#include "core/Class.h"

namespace quodrix {

void NSControl::registerClass(Runtime& runtime)
{
    ClassBuilder<NSControl>(runtime, "NSControl")
        .method("isEnabled", [](Call const& c) { return Value(c.self<NSControl>().isEnabled()); })
        .method("setEnabled:", [](Call const& c) {
            c.self<NSControl>().setEnabled(c.args.boolean(0));
            return Value();
        });
}

}
