#pragma once
// cToolBox: the toolbox of panels and simple file placement.
//
// Storing: four class methods copy or move one item to a new place and answer "successfull" or "Failed";
// they never create folders and never replace or remove an item at the destination. Two more give the
// home folder and the temporary folder "Temp" inside it.
//
// Collection: two class methods run the open panel that an action name sets up and answer the paths of
// the files to process (FileCollector holds the actions' rows); a third lists a folder's direct contents.

#include "core/Object.h"
#include "fs/Status.h"

#include <optional>
#include <string>
#include <vector>

namespace quodrix {

class Panels;
class RunJournal;
class Runtime;

class cToolBox : public Object {
public:
    static void registerClass(Runtime& runtime);

    static constexpr char const* kSuccess = "successfull";
    static constexpr char const* kFailed = "Failed";

    // Each storing is recorded in `journal` when one is given (a run is open): see fs/JournaledChange.h.
    // A copy of the source beside it, under a new name (one path component).
    static std::string hStoreFiles(std::string const& source, std::string const& newName, Status* cause = nullptr,
        RunJournal* journal = nullptr);
    // A copy of the source at a full destination path.
    static std::string hStoreFiles2(std::string const& source, std::string const& destination, Status* cause = nullptr,
        RunJournal* journal = nullptr);
    // The source moved to a full destination path.
    static std::string hStoreFiles3(std::string const& source, std::string const& destination, Status* cause = nullptr,
        RunJournal* journal = nullptr);
    // A copy of the source in the temporary folder, under a name.
    static std::string hStoreTempFile(std::string const& source, std::string const& name, Status* cause = nullptr,
        RunJournal* journal = nullptr);
    static std::string hGetTempDir();
    static std::string hGetHomeDir();

    // The format accessory of a save panel: the file-type pop-up sets myFileType and extensions, gives the
    // panel (field `panel`) that type, and enables the compression pop-up for "jpeg" only; the compression
    // pop-up sets myCompType.
    void hChooseFileType(Runtime& runtime);
    void hChooseCompType(Runtime& runtime);

    // The paths collected for an action name, or nullopt (null): for an unknown name without a panel, or
    // for a cancelled panel whose row answers null.
    static std::optional<std::vector<std::string>> hOpenDialogFiles(Panels& panels, std::string const& action);
    static std::optional<std::vector<std::string>> hOpenDialogFilesOC(Panels& panels, std::string const& action);
    // File URLs of the folder's direct contents, hidden items left out (a folder's URL ends with "/"), or
    // nullopt when the folder cannot be read.
    static std::optional<Array> hGetFilesInDir(std::string const& path);
};

}
