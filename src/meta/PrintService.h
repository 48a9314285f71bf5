#pragma once
// PrintService: the print system (CUPS). Lists the destinations, names the default one, and submits a file as
// one job with a set of options. Failures come back as results carrying CUPS's own message.

#include "platform/PrintInfo.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quodrix {

using PrintOptions = std::vector<std::pair<std::string, std::string>>;

struct PrintSubmission {
    int jobId = 0;      // 0 when the job was not accepted
    std::string error;  // the print system's message when it was not
};

class PrintService {
public:
    static std::vector<std::string> printers();
    static std::optional<std::string> defaultPrinter();
    static PrintSubmission submit(std::string const& printer, std::string const& file, std::string const& title,
        PrintOptions const& options);
};

// The job options that carry the page layout of the shared print settings: fit-to-page, position, margins
// (in points), and the paper and orientation chosen in the print panel; `copies` when more than one.
PrintOptions jobOptions(PrintInfo const& info, int copies);

}
