#include "platform/NSButton.h"

#include "core/Class.h"

namespace quodrix {

void NSButton::registerClass(Runtime& runtime)
{
    ClassBuilder<NSButton>(runtime, "NSButton", "NSControl")
        .method("state", [](Call const& c) { return Value(c.self<NSButton>().state()); })
        .method("setState:", [](Call const& c) {
            c.self<NSButton>().setState(c.args.integer(0));
            return Value();
        })
        .method("intValue", [](Call const& c) { return Value(c.self<NSButton>().state()); })
        .method("title", [](Call const& c) { return Value(c.self<NSButton>().title()); })
        .method("setTitle:", [](Call const& c) {
            c.self<NSButton>().setTitle(c.args.string(0));
            return Value();
        });
}

}
