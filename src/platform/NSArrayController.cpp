#include "platform/NSArrayController.h"

#include "core/Class.h"

namespace quodrix {

void NSArrayController::registerClass(Runtime& runtime)
{
    ClassBuilder<NSArrayController>(runtime, "NSArrayController")
        .method("addObjects:", [](Call const& c) {
            c.self<NSArrayController>().addObjects(c.args.array(0));
            return Value();
        })
        .method("addObject:", [](Call const& c) {
            c.self<NSArrayController>().addObject(c.args[0]);
            return Value();
        })
        .method("setContent:", [](Call const& c) {
            c.self<NSArrayController>().setContent(c.args.optionalArray(0).value_or(Array {}));
            return Value();
        })
        .method("removeAllObjects", [](Call const& c) {
            c.self<NSArrayController>().setContent({});
            return Value();
        })
        .method("arrangedObjects", [](Call const& c) { return Value(c.self<NSArrayController>().arrangedObjects()); })
        .method("content", [](Call const& c) { return Value(c.self<NSArrayController>().arrangedObjects()); });
}

}
