#include "platform/NSObjectController.h"

#include "core/Class.h"

namespace quodrix {

void NSObjectController::registerClass(Runtime& runtime)
{
    ClassBuilder<NSObjectController>(runtime, "NSObjectController")
        .method("content", [](Call const& c) { return Value(c.self<NSObjectController>().content()); })
        .method("setContent:", [](Call const& c) {
            c.self<NSObjectController>().setContent(c.args.object(0));
            return Value();
        });
}

}
