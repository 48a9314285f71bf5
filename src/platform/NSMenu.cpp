#include "platform/NSMenu.h"

#include "core/Class.h"
#include "platform/Platform.h"

namespace quodrix {

void NSMenu::registerClass(Runtime& runtime)
{
    ClassBuilder<NSMenu>(runtime, "NSMenu")
        .classMethod("menuBarVisible", [](Call const& c) { return Value(c.runtime.platform().menuBarVisible()); })
        .classMethod("setMenuBarVisible:", [](Call const& c) {
            c.runtime.platform().setMenuBarVisible(c.args.boolean(0));
            return Value();
        });
}

}
