#include "platform/Outlets.h"

#include "core/Object.h"
#include "core/Runtime.h"
#include "platform/Platform.h"

#include <cmath>

namespace quodrix {

static std::int64_t integerOf(Value const& value, std::int64_t fallback)
{
    return value.integer().value_or(fallback);
}

std::string outletString(Runtime& runtime, Value const& outlet)
{
    if (outlet.isNull())
        return {};
    Value text = runtime.send(outlet, "stringValue");
    return text.isNull() ? std::string() : text.description();
}

void setOutletString(Runtime& runtime, Value const& outlet, std::string const& text)
{
    runtime.send(outlet, "setStringValue:", { Value(text) });
}

std::int64_t outletState(Runtime& runtime, Value const& outlet)
{
    if (outlet.isNull())
        return 0;
    return integerOf(runtime.send(outlet, "state"), 0);
}

std::int64_t outletIntValue(Runtime& runtime, Value const& outlet)
{
    if (outlet.isNull())
        return 0;
    return integerOf(runtime.send(outlet, "intValue"), 0);
}

std::int64_t outletIndex(Runtime& runtime, Value const& outlet)
{
    if (outlet.isNull())
        return -1;
    return integerOf(runtime.send(outlet, "indexOfSelectedItem"), -1);
}

void showAlertSheet(Runtime& runtime, Object& controller, AlertSheetOutlets const& outlets, std::string const& title,
    std::string const& message)
{
    runtime.sendToClass("NSApp", "beginSheet:modalForWindow:modalDelegate:didEndSelector:contextInfo:",
        { outlets.sheet, outlets.window, Value(controller.shared_from_this()),
            Value("didEndSheet:returnCode:contextInfo:"), Value() });
    setOutletString(runtime, outlets.titleField, title);
    setOutletString(runtime, outlets.messageField, message);
    runtime.platform().panels().alert(title, message);
}

void closeAlertSheet(Runtime& runtime, Value const& sheet)
{
    runtime.sendToClass("NSApp", "endSheet:", { sheet });
}

}
