#include "platform/Panels.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <unistd.h>

namespace quodrix {

static bool interactive()
{
    return isatty(STDIN_FILENO) == 1;
}

// Standard error is unbuffered, and the executable keeps to stdio for it: C++ streams would be set up
// at every start for these few lines.
static void writeError(std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stderr);
}

static std::optional<std::string> prompt(std::string const& question)
{
    writeError(question);
    char* buffer = nullptr;
    std::size_t capacity = 0;
    ssize_t const length = ::getline(&buffer, &capacity, stdin);
    std::unique_ptr<char, decltype(&std::free)> const owned(buffer, &std::free);
    if (length <= 0)
        return std::nullopt;
    std::string line(buffer, std::size_t(length));
    if (line.back() == '\n')
        line.pop_back();
    if (line.empty())
        return std::nullopt;
    return line;
}

std::optional<std::vector<std::string>> TerminalPanels::runOpen(OpenPanelRequest const& request)
{
    if (!interactive())
        return std::nullopt;
    std::string what = request.canChooseDirectories && !request.canChooseFiles ? "folder" : "file";
    std::string question = (request.title ? *request.title + "\n" : std::string()) + "Open " + what
        + (request.allowsMultipleSelection ? "s (one path per line, empty line to finish)" : " (path)") + ": ";
    std::vector<std::string> paths;
    while (auto line = prompt(paths.empty() ? question : "> ")) {
        paths.push_back(*line);
        if (!request.allowsMultipleSelection)
            break;
    }
    if (paths.empty())
        return std::nullopt;
    return paths;
}

std::optional<std::string> TerminalPanels::runSave(SavePanelRequest const& request)
{
    if (!interactive())
        return std::nullopt;
    std::string question = (request.title ? *request.title + "\n" : std::string()) + "Save as (path)";
    if (!request.nameFieldStringValue.empty())
        question += " [" + request.nameFieldStringValue + "]";
    return prompt(question + ": ");
}

std::optional<Dictionary> TerminalPanels::runPrint(Dictionary const& settings)
{
    if (!interactive())
        return std::nullopt;
    auto answer = prompt("Print? [y/N]: ");
    if (!answer || (*answer != "y" && *answer != "Y"))
        return std::nullopt;
    return settings;
}

void TerminalPanels::alert(std::string const& title, std::string const& message)
{
    writeError(title + ": " + message + "\n");
}

}
