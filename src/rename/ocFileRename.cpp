#include "rename/ocFileRename.h"

#include "core/Class.h"
#include "fs/FileStore.h"
#include "platform/ActionLogEntry.h"
#include "platform/Outlets.h"
#include "platform/Platform.h"
#include "rename/InsertName.h"
#include "toolbox/cToolBox.h"

namespace quodrix {

namespace {

constexpr char const* kMissingTextTitle = "Missing text.";
constexpr char const* kMissingTextMessage = "Please fill in text in the appropriate field.";
constexpr char const* kNoDestinationTitle = "No Destination folder selected";
constexpr char const* kNoDestinationMessage
    = "Please select a destination folder where you like to store the renamed files.";
constexpr char const* kSimulation = "Simulation";

struct Settings {
    bool simulation;
    bool overwrite;
    std::string destination;
    std::string text;
    std::string positions;
};

}

void ocFileRename::hChooseFileToRenameInsert(Runtime& runtime)
{
    Settings const settings {
        outletState(runtime, field("btnSimulationMode")) == 1,
        outletState(runtime, field("btnOverwrite")) == 1,
        outletString(runtime, field("tfFileRenameDestination")),
        outletString(runtime, field("tfInsertionString")),
        outletString(runtime, field("tfInsertionPosition")),
    };
    if (settings.text.empty() || settings.positions.empty()) {
        showAlert(runtime, kMissingTextTitle, kMissingTextMessage);
        return;
    }
    if (!settings.simulation && settings.destination.empty()) {
        showAlert(runtime, kNoDestinationTitle, kNoDestinationMessage);
        return;
    }

    auto files = cToolBox::hOpenDialogFilesOC(runtime.platform().panels(), "rename");
    if (!files || files->empty())
        return;
    auto const positions = splitPositions(settings.positions);
    std::string const destination = destinationPrefix(settings.destination);

    for (auto const& path : *files) {
        std::string fileName = FileStore::lastComponent(path);
        NameParts parts = splitFileName(fileName);
        auto working = insertAtPositions(parts.base, settings.text, positions);
        std::string newName = working.value_or(parts.base) + "." + parts.extension;
        std::string outputPath = destination + newName;

        std::string status;
        if (!working || !FileStore::isSingleComponent(newName)) {
            status = cToolBox::kFailed;
            runtime.platform().recordFailure("rename " + path + " to " + newName,
                working ? "the new name is not one path component" : "the name or the text is not valid text there");
        }
        else if (settings.simulation)
            status = kSimulation;
        else {
            Status cause;
            RunJournal* journal = runtime.platform().journal();
            status = settings.overwrite ? cToolBox::hStoreFiles3(path, outputPath, &cause, journal)
                                        : cToolBox::hStoreFiles2(path, outputPath, &cause, journal);
            if (!cause.ok())
                runtime.platform().recordFailure("", cause.message());
        }

        reportAction(runtime, field("theLogDataArrayController"), field("myLogTableView"),
            ActionLogEntry { "File renaming", "Insert", status, fileName, newName, path, outputPath });
    }
}

void ocFileRename::registerClass(Runtime& runtime)
{
    ClassBuilder<ocFileRename> builder(runtime, "ocFileRename");
    builder.method("hChooseFileToRenameInsert:", [](Call const& c) {
        c.self<ocFileRename>().hChooseFileToRenameInsert(c.runtime);
        return Value();
    });
    addSheetMethods(builder);
}

}
