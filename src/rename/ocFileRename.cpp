#include "rename/ocFileRename.h"

#include "core/Class.h"
#include "fs/FileStore.h"
#include "fs/JournaledChange.h"
#include "platform/ActionLogEntry.h"
#include "platform/Outlets.h"
#include "platform/Platform.h"
#include "rename/InsertName.h"
#include "toolbox/cToolBox.h"

#include <algorithm>
#include <vector>

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

    // The files go a batch at a time: the moves of a batch are recorded in the run's journal ahead, in one
    // write, and each file is then renamed and logged before the next one.
    struct Renaming {
        std::string fileName;
        std::string newName;
        std::string outputPath;
        char const* problem;  // why the new name cannot be given, or null
        bool made;            // whether the new name was made (else it is the present one, for the row)
    };
    std::vector<Renaming> batch;
    std::vector<MoveAhead> moves;
    for (std::size_t begin = 0; begin < files->size(); begin += kMovesAheadAtMost) {
        std::size_t const end = std::min(files->size(), begin + kMovesAheadAtMost);
        batch.clear();
        moves.clear();
        for (std::size_t i = begin; i < end; ++i) {
            std::string fileName = FileStore::lastComponent((*files)[i]);
            NameParts parts = splitFileName(fileName);
            auto working = insertAtPositions(parts.base, settings.text, positions);
            std::string newName;
            appendNewFileName(newName, fileName, parts, working);
            std::string outputPath = destination + newName;
            char const* problem = !working                             ? whyNotInserted(parts.base, settings.text)
                : !FileStore::isSingleComponent(newName) ? "the new name is not one path component"
                                                          : nullptr;
            batch.push_back({ std::move(fileName), std::move(newName), std::move(outputPath), problem,
                working.has_value() });
        }
        RunJournal* journal = settings.simulation ? nullptr : runtime.platform().journal();
        if (journal && settings.overwrite) {
            for (std::size_t i = begin; i < end; ++i) {
                if (!batch[i - begin].problem)
                    moves.push_back({ (*files)[i], batch[i - begin].outputPath });
            }
            // A journal that cannot take the records refuses each of the moves below with its cause.
            (void)journaledMovesAhead(journal, moves);
        }
        for (std::size_t i = begin; i < end; ++i) {
            std::string const& path = (*files)[i];
            Renaming& renaming = batch[i - begin];
            std::string status;
            if (renaming.problem) {
                status = cToolBox::kFailed;
                runtime.platform().recordFailure(
                    "rename " + path + (renaming.made ? " to " + renaming.newName : ""), renaming.problem);
            } else if (settings.simulation)
                status = kSimulation;
            else {
                Status cause;
                status = settings.overwrite ? cToolBox::hStoreFiles3(path, renaming.outputPath, &cause, journal)
                                            : cToolBox::hStoreFiles2(path, renaming.outputPath, &cause, journal);
                if (!cause.ok())
                    runtime.platform().recordFailure("", cause.message());
            }
            reportAction(runtime, field("theLogDataArrayController"), field("myLogTableView"),
                ActionLogEntry { "File renaming", "Insert", status, std::move(renaming.fileName),
                    std::move(renaming.newName), path, std::move(renaming.outputPath) });
        }
        journaledEndOfMovesAhead(journal);
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
