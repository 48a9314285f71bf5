#include "platform/NSApplication.h"

#include "core/Class.h"
#include "core/Object.h"
#include "platform/NSWindow.h"

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
        .classMethod("exitStatus", [](Call const& c) { return Value(c.runtime.exitStatus()); })
        .classMethod("beginSheet:modalForWindow:modalDelegate:didEndSelector:contextInfo:", [](Call const& c) {
            auto sheet = std::dynamic_pointer_cast<NSWindow>(c.args.object(0));
            if (!sheet)
                return Value();
            auto selector = c.args[3].isNull() ? std::string() : c.args.string(3);
            sheet->beginAsSheet(c.args.object(1), c.args.object(2), std::move(selector));
            return Value();
        })
        .classMethod("endSheet:", [](Call const& c) {
            auto sheet = std::dynamic_pointer_cast<NSWindow>(c.args.object(0));
            if (!sheet)
                return Value();
            auto [delegate, selector] = sheet->endSheet();
            if (delegate && !selector.empty())
                c.runtime.send(Value(delegate), selector, { Value(ObjectRef(sheet)), Value(0), Value() });
            return Value();
        });
}

}
