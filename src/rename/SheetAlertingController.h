#pragma once
// SheetAlertingController: what the two renaming controllers share: an alert sheet of their own.
//
// The interface connects myMainWindow, myAlertWindow (the sheet, whose button calls closeAlertSheetObjC:),
// tfAlertTitle and tfAlertInfo. showAlert begins the sheet on the main window with the controller as
// delegate and sets the two fields; closeAlertSheetObjC ends it, and didEndSheet orders the sheet out.

#include "core/Class.h"
#include "core/Object.h"

#include <string>

namespace quodrix {

class Runtime;

class SheetAlertingController : public Object {
public:
    void showAlert(Runtime& runtime, std::string const& title, std::string const& message);
    void closeAlertSheetObjC(Runtime& runtime);
    static void didEndSheet(Runtime& runtime, Value const& sheet);

    // Adds closeAlertSheetObjC: and didEndSheet:returnCode:contextInfo: to a controller's table.
    template<typename T>
    static void addSheetMethods(ClassBuilder<T>& builder)
    {
        builder
            .method("closeAlertSheetObjC:",
                [](Call const& c) {
                    c.self<SheetAlertingController>().closeAlertSheetObjC(c.runtime);
                    return Value();
                })
            .method("didEndSheet:returnCode:contextInfo:", [](Call const& c) {
                didEndSheet(c.runtime, c.args[0]);
                return Value();
            });
    }
};

}
