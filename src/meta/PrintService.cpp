#include "meta/PrintService.h"

#include "platform/SharedLibrary.h"

#include <cups/cups.h>

#include <algorithm>
#include <cmath>

namespace quodrix {

namespace {

// The print system's functions, from its library loaded on first use; null when it cannot be loaded.
struct CupsFunctions {
    decltype(&cupsGetDests2) getDests2;
    decltype(&cupsFreeDests) freeDests;
    decltype(&cupsAddOption) addOption;
    decltype(&cupsFreeOptions) freeOptions;
    decltype(&cupsPrintFile2) printFile2;
    decltype(&cupsLastErrorString) lastErrorString;
};

CupsFunctions const* cupsFunctions()
{
    return loadedFunctions<CupsFunctions>("libcups.so.2", [](SharedLibrary const& library, CupsFunctions& f) {
        return library.bind(f.getDests2, "cupsGetDests2") && library.bind(f.freeDests, "cupsFreeDests")
            && library.bind(f.addOption, "cupsAddOption") && library.bind(f.freeOptions, "cupsFreeOptions")
            && library.bind(f.printFile2, "cupsPrintFile2") && library.bind(f.lastErrorString, "cupsLastErrorString");
    });
}

struct Destinations {
    cups_dest_t* list = nullptr;
    int count = 0;
    Destinations()
    {
        if (auto const* cups = cupsFunctions())
            count = cups->getDests2(CUPS_HTTP_DEFAULT, &list);
    }
    ~Destinations()
    {
        if (auto const* cups = cupsFunctions())
            cups->freeDests(count, list);
    }
    Destinations(Destinations const&) = delete;
    Destinations& operator=(Destinations const&) = delete;
};

std::string points(double value)
{
    return std::to_string(std::lround(std::max(0.0, value)));
}

char const* position(bool horizontal, bool vertical)
{
    if (horizontal && vertical)
        return "center";
    if (horizontal)
        return "top";
    if (vertical)
        return "left";
    return "top-left";
}

}

std::vector<std::string> PrintService::printers()
{
    Destinations dests;
    std::vector<std::string> names;
    for (int i = 0; i < dests.count; ++i)
        if (!dests.list[i].instance)
            names.emplace_back(dests.list[i].name);
    return names;
}

std::optional<std::string> PrintService::defaultPrinter()
{
    Destinations dests;
    for (int i = 0; i < dests.count; ++i)
        if (dests.list[i].is_default)
            return std::string(dests.list[i].name);
    return std::nullopt;
}

PrintSubmission PrintService::submit(std::string const& printer, std::string const& file, std::string const& title,
    PrintOptions const& options)
{
    PrintSubmission result;
    auto const* cups = cupsFunctions();
    if (!cups) {
        result.error = "the print system is not installed";
        return result;
    }
    int count = 0;
    cups_option_t* list = nullptr;
    for (auto const& [name, value] : options)
        count = cups->addOption(name.c_str(), value.c_str(), count, &list);
    result.jobId = cups->printFile2(CUPS_HTTP_DEFAULT, printer.c_str(), file.c_str(), title.c_str(), count, list);
    if (result.jobId == 0) {
        char const* message = cups->lastErrorString();
        result.error = message && *message ? message : "the print system refused the job";
    }
    cups->freeOptions(count, list);
    return result;
}

PrintOptions jobOptions(PrintInfo const& info, int copies)
{
    PrintOptions options;
    if (info.horizontalPagination == Pagination::Fit || info.verticalPagination == Pagination::Fit) {
        options.emplace_back("fit-to-page", "true");
        options.emplace_back("print-scaling", "fit");
    }
    options.emplace_back("position", position(info.horizontallyCentered, info.verticallyCentered));
    options.emplace_back("page-top", points(info.topMargin));
    options.emplace_back("page-bottom", points(info.bottomMargin));
    options.emplace_back("page-left", points(info.leftMargin));
    options.emplace_back("page-right", points(info.rightMargin));
    if (info.paperName)
        options.emplace_back("media", *info.paperName);
    if (info.orientation == "portrait")
        options.emplace_back("orientation-requested", "3");
    else if (info.orientation == "landscape")
        options.emplace_back("orientation-requested", "4");
    if (copies > 1)
        options.emplace_back("copies", std::to_string(copies));
    return options;
}

}
