#include "platform/Panels.h"

#include <cstdio>
#include <iostream>
#include <unistd.h>

namespace quodrix {

static bool interactive()
{
    return isatty(STDIN_FILENO) == 1;
}

static std::optional<std::string> prompt(std::string const& question)
{
    std::cerr << question << std::flush;
    std::string line;
    if (!std::getline(std::cin, line) || line.empty())
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
    std::cerr << title << ": " << message << std::endl;
}

}
