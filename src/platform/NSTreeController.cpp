#include "platform/NSTreeController.h"

#include "core/Class.h"

namespace quodrix {

void NSTreeController::registerClass(Runtime& runtime)
{
    ClassBuilder<NSTreeController>(runtime, "NSTreeController")
        .method("setContent:", [](Call const& c) {
            c.self<NSTreeController>().setContent(c.args[0]);
            return Value();
        })
        .method("content", [](Call const& c) { return c.self<NSTreeController>().content(); })
        .method("arrangedObjects", [](Call const& c) { return c.self<NSTreeController>().content(); });
}

}
