#include "toolbox/ChooserPanels.h"

#include "fs/AtomicFile.h"
#include "platform/PanelRules.h"
#include "text/TextFiles.h"

namespace quodrix {

namespace {

void keep(Status const& outcome, Status* cause)
{
    if (cause)
        *cause = outcome;
}

}

std::optional<std::string> ChooserPanels::runSave(std::string const& type, std::string const& suggestedName)
{
    SavePanelRequest request;
    request.allowedFileTypes = std::vector<std::string> { type };
    request.allowsOtherFileTypes = false;
    request.nameFieldStringValue = suggestedName;
    return runSavePanel(m_panels, request);
}

void ChooserPanels::saveText(std::string const& type, std::optional<std::string> const& text,
    std::string const& suggestedName, Status* cause)
{
    auto path = runSave(type, suggestedName);
    if (path && text)
        keep(writeFileAtomically(*path, *text), cause);
}

std::string ChooserPanels::saveActionText(std::optional<std::string> const& text, std::string const& suggestedName,
    Status* cause)
{
    auto path = runSave(kActionFileType, suggestedName);
    if (!path)
        return "";
    if (text)
        keep(writeFileAtomically(*path, *text), cause);
    return *path;
}

std::string ChooserPanels::saveActionData(std::optional<std::string> const& bytes, std::string const& suggestedName,
    Status* cause)
{
    auto path = runSave(kActionFileType, suggestedName);
    if (!path)
        return "";
    if (!bytes) {
        keep(Status::refused("save " + *path + ": no data to write"), cause);
        return "";
    }
    Status written = writeFileAtomically(*path, *bytes);
    keep(written, cause);
    return written ? *path : "";
}

Value ChooserPanels::readActionFile(Status* cause)
{
    OpenPanelRequest request;
    request.canChooseFiles = true;
    request.canChooseDirectories = false;
    request.allowsMultipleSelection = false;
    request.allowedFileTypes = std::vector<std::string> { kActionFileType };
    auto chosen = runOpenPanel(m_panels, request);
    if (!chosen || chosen->empty())
        return Value("");
    std::string const& path = chosen->back();
    std::string text;
    if (Status read = readUtf8TextFile(path, text); !read) {
        keep(read, cause);
        return Value();
    }
    return Value(std::move(text));
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
