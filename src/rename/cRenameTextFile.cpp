#include "rename/cRenameTextFile.h"

#include "core/Class.h"
#include "fs/FileStore.h"
#include "fs/JournaledChange.h"
#include "platform/ActionLogEntry.h"
#include "platform/Outlets.h"
#include "platform/Platform.h"
#include "platform/SystemLog.h"
#include "platform/UserDefaults.h"
#include "rename/RenamePlan.h"
#include "text/TextFiles.h"
#include "toolbox/ChooserPanels.h"
#include "toolbox/cToolBox.h"
#include "util/cNSFileHandling.h"

#include <map>
#include <sys/stat.h>

namespace quodrix {

namespace {

char const* const kNoDestinationTitle = "No Destination folder selected";
char const* const kNoDestinationMessage
    = "Please select a destination folder where you like to store the renamed files.";
char const* const kNoListTitle = "No (valid) rename text file selected.";
char const* const kNoListMessage = "Please \"Load file rename text file\".";
char const* const kNoOverwriteTitle = "No overwrite allowed.";
char const* const kNoOverwriteMessage
    = "Destination folders is the same as the original folder. If you allow overwrite file names of original "
      "files, please apply check box: \"Allow overwrite\".";
char const* const kFolderPanelTitle = "Choose where to store Quodrix_filenamelist.txt";
char const* const kLineBreakInName = "the name holds a line break, which the list takes as the end of a name";
char const* const kNameNotText
    = "the name is not UTF-8 text, which a list file cannot hold (it would not be read back)";

std::string separatorForIndex(std::int64_t index)
{
    if (index == 0)
        return ";";
    if (index == 1)
        return ",";
    return "\t";
}

// One pair of the list in use: the name a file has now and the name it is to get.
struct NamePair {
    std::string present;
    std::string renamed;
};

// The stored list: every element that is an array of two texts.
std::vector<NamePair> pairsFromValue(Value const& value)
{
    std::vector<NamePair> pairs;
    if (value.kind() != Kind::Array)
        return pairs;
    for (auto const& element : value.asArray()) {
        if (element.kind() != Kind::Array || element.asArray().size() != 2)
            continue;
        auto present = element.asArray()[0].text();
        auto renamed = element.asArray()[1].text();
        if (present && renamed)
            pairs.push_back({ *present, *renamed });
    }
    return pairs;
}

// Whether two paths name one item: the same device and inode once links are followed.
bool sameItem(std::string const& a, std::string const& b)
{
    struct stat first {}, second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev
        && first.st_ino == second.st_ino;
}

std::vector<std::string> chosenPaths(Runtime& runtime)
{
    return cToolBox::hOpenDialogFiles(runtime.platform().panels(), "rename").value_or(std::vector<std::string> {});
}

}

void cRenameTextFile::hLoadRenameTextFile(Runtime& runtime)
{
    std::string separator = separatorForIndex(outletIndex(runtime, field("pubFileNameSeparator")));
    setValueForKey("myTextItemDelim", Value(separator));
    systemLog("myTextItemDelim: " + separator);

    std::vector<std::string> files = ChooserPanels(runtime.platform().panels()).chooseRenameList();
    setValueForKey("myFilesList", Value(files));
    if (files.empty())
        return;

    std::string const& path = files.front();
    setValueForKey("myMfrLogLoc", Value(path));
    auto pairs = cNSFileHandling::hReadMfrLog(path, separator);
    Value list = cNSFileHandling::pairsValue(pairs);
    setValueForKey("myRenameFilesList", list);
    setOutletString(runtime, field("tfRenameTextFile"), pairs.empty() ? std::string() : path);

    UserDefaults& defaults = runtime.platform().userDefaults();
    defaults.setObjectForKey(list, kSettingKey);
    if (Status written = defaults.synchronize(); !written)
        runtime.platform().recordFailure("write the user defaults to " + UserDefaults::filePath(), written.message());
}

void cRenameTextFile::hChooseFilesToRename(Runtime& runtime)
{
    std::string destination = outletString(runtime, field("tfDestinationOfFiles"));
    if (destination.empty()) {
        showAlert(runtime, kNoDestinationTitle, kNoDestinationMessage);
        return;
    }
    if (outletString(runtime, field("tfRenameTextFile")).empty()) {
        showAlert(runtime, kNoListTitle, kNoListMessage);
        return;
    }
    Value stored = runtime.platform().userDefaults().objectForKey(kSettingKey);
    auto pairs = pairsFromValue(stored);
    setValueForKey("myRenameFilesList", stored);

    std::int64_t overwrite = outletIntValue(runtime, field("cbOverwriteMode"));
    std::int64_t simulation = outletIntValue(runtime, field("cbSimulationMode"));
    setValueForKey("myOverwriteMode", Value(overwrite));
    setValueForKey("mySimulationMode", Value(simulation));

    std::vector<std::string> files = chosenPaths(runtime);
    if (pairs.empty() || files.empty())
        return;

    std::string const parent = FileStore::parentOf(files.front());
    std::string const sourceFolder = parent == "/" ? parent : parent + "/";
    // One folder however it is spelled ("pics", "./pics", "a/./b", a link to it): renaming in place, which
    // never replaces, not copying, which would.
    bool const sameFolder = sourceFolder == destination || sameItem(sourceFolder, destination);
    if (sameFolder && overwrite != 1) {
        // Every pair would ask for the same alert; the user sees it once for the run.
        showAlert(runtime, kNoOverwriteTitle, kNoOverwriteMessage);
        return;
    }

    // Copies replace what stands at their new names, but not one another: pairs that give one new name to
    // two files fail, each of them, instead of the later copy taking the place of the earlier.
    std::map<std::string, int> newNames;
    if (!sameFolder) {
        for (auto const& [present, renamed] : pairs)
            ++newNames[destination + renamed];
    }
    for (auto const& [present, renamed] : pairs) {
        std::string const sourcePath = sourceFolder + present;
        std::string const outputPath = destination + renamed;
        std::string status;
        if (!FileStore::isSingleComponent(present) || !FileStore::isSingleComponent(renamed)) {
            // A name that would reach outside its folder, or make the folder itself the target; refused in a
            // simulation too, so that a simulation shows what a real run would do.
            status = cToolBox::kFailed;
            // The row shows both paths: its cause is the plan's words for the same refusal.
            runtime.platform().recordFailure("", !FileStore::isSingleComponent(present)
                    ? "the present name is not one path component"
                    : (renamed.empty() ? "the new name is empty" : "not one path component"));
        } else if (simulation == 1) {
            status = "Simulation";
        } else if (!sameFolder && newNames[outputPath] > 1) {
            status = cToolBox::kFailed;
            runtime.platform().recordFailure("", kSameNewName);
        } else {
            Status cause;
            RunJournal* journal = runtime.platform().journal();
            status = sameFolder ? cToolBox::hStoreFiles3(sourcePath, outputPath, &cause, journal)
                                : cNSFileHandling::hCopyFileTo(sourcePath, outputPath, &cause, journal);
            if (!cause.ok())
                runtime.platform().recordFailure("", cause.message());
        }
        reportAction(runtime, field("theLogDataArrayController"), field("myLogTableView"),
            ActionLogEntry { "File renaming", "Rename", status, present, renamed, sourcePath, outputPath });
    }
}

void cRenameTextFile::hCreateFileNameList(Runtime& runtime)
{
    std::vector<std::string> files = chosenPaths(runtime);
    if (files.empty())
        return;
    // A line break inside a name would read back as the end of it: the list would name files that are not
    // there. A name that is not UTF-8 would make the whole file one that a rename list is not read from.
    // Such a list is not written.
    for (std::string const& file : files) {
        std::string const name = FileStore::lastComponent(file);
        if (name.find_first_of("\r\n") != std::string::npos) {
            runtime.platform().recordFailure(file, kLineBreakInName);
            return;
        }
        if (!isValidUtf8(name)) {
            runtime.platform().recordFailure(file, kNameNotText);
            return;
        }
    }
    std::string text;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (i)
            text += '\r';
        text += FileStore::lastComponent(files[i]);
    }
    setValueForKey("myFileNameListString", Value(text));

    auto folder = ChooserPanels(runtime.platform().panels()).chooseFolder(std::string(kFolderPanelTitle));
    if (!folder)
        return;
    // Recorded in the run's journal as a file the run made: undo takes it away again and brings back a list
    // that it replaced.
    Status const written = journaledWriteFile(runtime.platform().journal(), *folder + "/" + kFileNameListName, text);
    if (!written.ok())
        runtime.platform().recordFailure("", written.message());
}

void cRenameTextFile::registerClass(Runtime& runtime)
{
    ClassBuilder<cRenameTextFile> builder(runtime, "cRenameTextFile");
    builder
        .method("hLoadRenameTextFile:",
            [](Call const& c) {
                c.self<cRenameTextFile>().hLoadRenameTextFile(c.runtime);
                return Value();
            })
        .method("hChooseFilesToRename:",
            [](Call const& c) {
                c.self<cRenameTextFile>().hChooseFilesToRename(c.runtime);
                return Value();
            })
        .method("hCreateFileNameList:", [](Call const& c) {
            c.self<cRenameTextFile>().hCreateFileNameList(c.runtime);
            return Value();
        });
    addSheetMethods(builder);
}

}
