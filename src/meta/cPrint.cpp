#include "meta/cPrint.h"

#include "core/Class.h"
#include "fs/FileStore.h"
#include "meta/ImageFileFormat.h"
#include "meta/ImageProperties.h"
#include "meta/PrintService.h"
#include "platform/Platform.h"

#include <algorithm>

namespace quodrix {

static Dictionary panelRequest(PrintInfo const& info, std::string const& path, std::pair<std::int64_t, std::int64_t> size)
{
    Dictionary request {
        { "file", Value(path) },
        { "imageSize", Value(Array { Value(size.first), Value(size.second) }) },
        { "printers", Value(PrintService::printers()) },
        { "copies", Value(1) },
        { "horizontalPagination", Value(std::int64_t(info.horizontalPagination)) },
        { "verticalPagination", Value(std::int64_t(info.verticalPagination)) },
        { "topMargin", Value(info.topMargin) },
        { "bottomMargin", Value(info.bottomMargin) },
        { "leftMargin", Value(info.leftMargin) },
        { "rightMargin", Value(info.rightMargin) },
        { "horizontallyCentered", Value(info.horizontallyCentered) },
        { "verticallyCentered", Value(info.verticallyCentered) },
        { "options", Value(cPrint::kUsualPanelOptions | cPrint::kPageSetupAccessory) },
        { "showsPageSetup", Value(true) },
    };
    if (auto printer = info.printer ? info.printer : PrintService::defaultPrinter())
        request["printer"] = Value(*printer);
    if (info.paperName)
        request["paperName"] = Value(*info.paperName);
    if (info.orientation)
        request["orientation"] = Value(*info.orientation);
    return request;
}

static std::optional<std::string> textAnswer(Dictionary const& answer, char const* key)
{
    auto it = answer.find(key);
    if (it == answer.end())
        return std::nullopt;
    auto text = it->second.text();
    if (!text || text->empty())
        return std::nullopt;
    return text;
}

cPrint::Result cPrint::printService(Runtime& runtime, std::string const& path)
{
    Panels& panels = runtime.platform().panels();
    auto size = sharedImageIO(runtime).pixelSize(path);
    if (!size || size->first <= 0 || size->second <= 0) {
        panels.alert(kAlertTitle, "\"" + FileStore::lastComponent(path) + "\" is not an image that can be printed.");
        return { PrintOutcome::NotAnImage, 0 };
    }
    if (!isPrintableImageFormat(path)) {
        panels.alert(kAlertTitle,
            "\"" + FileStore::lastComponent(path) + "\" is not in a format that the print system can print (JPEG, PNG, TIFF or GIF).");
        return { PrintOutcome::NotAnImage, 0 };
    }

    PrintInfo& info = runtime.platform().printInfo();
    info.horizontalPagination = Pagination::Fit;
    info.verticalPagination = Pagination::Fit;
    info.topMargin = info.bottomMargin = info.leftMargin = info.rightMargin = 0.0;
    info.horizontallyCentered = info.verticallyCentered = true;

    auto answer = panels.runPrint(panelRequest(info, path, *size));
    if (!answer)
        return { PrintOutcome::Cancelled, 0 };

    // What the panel and its page setup chose stays in the shared settings, as the page layout does.
    int copies = 1;
    if (auto it = answer->find("copies"); it != answer->end() && it->second.number())
        copies = int(std::clamp(*it->second.number(), 1.0, 999.0));
    if (auto paper = textAnswer(*answer, "paperName"))
        info.paperName = paper;
    if (auto orientation = textAnswer(*answer, "orientation"); orientation == "portrait" || orientation == "landscape")
        info.orientation = orientation;
    std::optional<std::string> printer = textAnswer(*answer, "printer");
    if (!printer)
        printer = info.printer ? info.printer : PrintService::defaultPrinter();
    auto known = PrintService::printers();
    if (!printer || std::find(known.begin(), known.end(), *printer) == known.end()) {
        std::string why;
        if (printer) {
            why = "The printer \"" + *printer + "\" is not available.";
        } else if (known.empty()) {
            why = "No printer is available.";
        } else {
            // Printers there are, but none was chosen and none is the default: they are named, so that one
            // can be chosen.
            why = "No printer was chosen, and there is no default printer (printers: ";
            for (std::size_t i = 0; i < known.size(); ++i)
                why += (i == 0 ? "" : ", ") + known[i];
            why += ").";
        }
        panels.alert(kAlertTitle, why);
        return { PrintOutcome::NoPrinter, 0 };
    }
    info.printer = printer;

    PrintSubmission job = PrintService::submit(*printer, path, FileStore::lastComponent(path), jobOptions(info, copies));
    if (job.jobId == 0) {
        panels.alert(kAlertTitle, "\"" + FileStore::lastComponent(path) + "\" could not be printed: " + job.error);
        return { PrintOutcome::Refused, 0 };
    }
    return { PrintOutcome::Printed, job.jobId };
}

void cPrint::registerClass(Runtime& runtime)
{
    ClassBuilder<cPrint>(runtime, "cPrint")
        .method("printService:", [](Call const& c) {
            auto path = c.args[0].kind() == Kind::Url ? c.args[0].asUrl().path() : c.args[0].text();
            printService(c.runtime, path.value_or(""));
            return Value();
        });
}

}
