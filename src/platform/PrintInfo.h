#pragma once
// PrintInfo: the application's shared print settings. A print job starts from them; what an operation sets
// here stays in force for every later job of the application.

#include <optional>
#include <string>

namespace quodrix {

enum class Pagination { Automatic = 0, Fit = 1, Clip = 2 };

struct PrintInfo {
    Pagination horizontalPagination = Pagination::Automatic;
    Pagination verticalPagination = Pagination::Automatic;
    // Margins in points.
    double topMargin = 72.0;
    double bottomMargin = 72.0;
    double leftMargin = 72.0;
    double rightMargin = 72.0;
    bool horizontallyCentered = false;
    bool verticallyCentered = false;
    // What the user last chose in the print panel; nullopt: the print system's default.
    std::optional<std::string> printer;
    std::optional<std::string> paperName;
    std::optional<std::string> orientation;  // "portrait" or "landscape"
};

}
