#pragma once
// Reading and setting the controls that an interface connected to a controller's outlets. Every helper sends
// the control's own selector through the runtime, so any object that answers it will do; an outlet that was
// never connected (null) reads as empty text, state 0 and index -1, and setting it does nothing.

#include "core/Value.h"

#include <cstdint>
#include <string>

namespace quodrix {

class Object;
class Runtime;

std::string outletString(Runtime& runtime, Value const& outlet);                   // stringValue
void setOutletString(Runtime& runtime, Value const& outlet, std::string const& text); // setStringValue:
std::int64_t outletState(Runtime& runtime, Value const& outlet);                    // state
std::int64_t outletIntValue(Runtime& runtime, Value const& outlet);                  // intValue
std::int64_t outletIndex(Runtime& runtime, Value const& outlet);                    // indexOfSelectedItem

// Shows a controller's alert sheet: begins `sheet` on `window` through the application object with the
// controller as delegate and didEndSheet:returnCode:contextInfo: as end selector, sets the title and
// message fields, then lets the platform show the alert (objc.panels.alert, or standard error). The sheet
// stays up until the controller's closeAlertSheetObjC: ends it.
struct AlertSheetOutlets {
    Value sheet;
    Value window;
    Value titleField;
    Value messageField;
};
void showAlertSheet(Runtime& runtime, Object& controller, AlertSheetOutlets const& outlets, std::string const& title,
    std::string const& message);
// Ends the sheet: endSheet: on the application object, which calls the delegate's end selector.
void closeAlertSheet(Runtime& runtime, Value const& sheet);

}
