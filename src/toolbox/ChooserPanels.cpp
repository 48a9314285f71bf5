#include "toolbox/ChooserPanels.h"

#include "fs/AtomicFile.h"
#include "platform/PanelRules.h"
#include "text/TextFiles.h"

namespace quodrix {

std::optional<std::string> ChooserPanels::runSave(std::string const& type, std::string const& suggestedName)
{
    SavePanelRequest request;
    request.allowedFileTypes = std::vector<std::string> { type };
    request.allowsOtherFileTypes = false;
    request.nameFieldStringValue = suggestedName;
    return runSavePanel(m_panels, request);
}

void ChooserPanels::saveText(std::string const& type, std::optional<std::string> const& text,
    std::string const& suggestedName)
{
    auto path = runSave(type, suggestedName);
    if (path && text)
        (void)writeFileAtomically(*path, *text);
}

std::string ChooserPanels::saveActionText(std::optional<std::string> const& text, std::string const& suggestedName)
{
    auto path = runSave(kActionFileType, suggestedName);
    if (!path)
        return "";
    if (text)
        (void)writeFileAtomically(*path, *text);
    return *path;
}

std::string ChooserPanels::saveActionData(std::optional<std::string> const& bytes, std::string const& suggestedName)
{
    auto path = runSave(kActionFileType, suggestedName);
    if (!path || !bytes || !writeFileAtomically(*path, *bytes).ok())
        return "";
    return *path;
}

Value ChooserPanels::readActionFile()
{
    OpenPanelRequest request;
    request.canChooseFiles = true;
    request.canChooseDirectories = false;
    request.allowsMultipleSelection = false;
    request.allowedFileTypes = std::vector<std::string> { kActionFileType };
    auto chosen = runOpenPanel(m_panels, request);
    if (!chosen || chosen->empty())
        return Value("");
    auto text = readUtf8TextFile(chosen->back());
    return text ? Value(*text) : Value();
}

std::vector<std::string> ChooserPanels::chooseRenameList()
{
    OpenPanelRequest request;
    request.canChooseFiles = true;
    request.canChooseDirectories = false;
    request.allowsMultipleSelection = false;
    request.allowedFileTypes = std::vector<std::string> { "txt", "csv" };
    auto chosen = runOpenPanel(m_panels, request);
    if (!chosen || chosen->empty())
        return {};
    return { chosen->front() };
}

std::optional<std::string> ChooserPanels::chooseFolder(std::optional<std::string> const& title)
{
    OpenPanelRequest request;
    request.canChooseFiles = false;
    request.canChooseDirectories = true;
    request.allowsMultipleSelection = false;
    request.canCreateDirectories = true;
    request.title = title;
    auto chosen = runOpenPanel(m_panels, request);
    if (!chosen || chosen->empty())
        return std::nullopt;
    std::string path = chosen->back();
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

}
