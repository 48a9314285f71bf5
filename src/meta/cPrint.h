#pragma once
// cPrint: prints one image file. The image is scaled to fit the page, centred, without margins; these settings
// are set in the application's shared print settings and stay there for later jobs. The print panel (with the
// page setup) lets the user choose the printer, paper, orientation and copies, or cancel.
//
// A path that does not hold a readable image is refused with an alert rather than printing an empty page; a
// missing printer or a job the print system refuses is told the same way. Nothing is returned to scripts.

#include "core/Object.h"

#include <string>

namespace quodrix {

class Runtime;

enum class PrintOutcome { Printed, Cancelled, NotAnImage, NoPrinter, Refused };

class cPrint : public Object {
public:
    static void registerClass(Runtime& runtime);

    static constexpr std::int64_t kPageSetupAccessory = 0x100;
    // The panel's usual option flags: copies and page range.
    static constexpr std::int64_t kUsualPanelOptions = 0x03;
    static constexpr char const* kAlertTitle = "Print";

    struct Result {
        PrintOutcome outcome = PrintOutcome::Cancelled;
        int jobId = 0;
    };
    static Result printService(Runtime& runtime, std::string const& path);
};

}
