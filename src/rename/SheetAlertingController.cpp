#include "rename/SheetAlertingController.h"

#include "core/Runtime.h"
#include "platform/Outlets.h"

namespace quodrix {

void SheetAlertingController::showAlert(Runtime& runtime, std::string const& title, std::string const& message)
{
    showAlertSheet(runtime, *this,
        AlertSheetOutlets { field("myAlertWindow"), field("myMainWindow"), field("tfAlertTitle"), field("tfAlertInfo") },
        title, message);
}

void SheetAlertingController::closeAlertSheetObjC(Runtime& runtime)
{
    closeAlertSheet(runtime, field("myAlertWindow"));
}

void SheetAlertingController::didEndSheet(Runtime& runtime, Value const& sheet)
{
    runtime.send(sheet, "orderOut:", { Value() });
}

}
