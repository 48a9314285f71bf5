#pragma once
// cRenameTextFile: the controller behind renaming from a list.
//
// A load reads a rename text file (or an application log) into pairs [present name, new name] with the
// separator chosen in a pop-up and keeps them in the user defaults under "renameFileListArray". A renaming
// run takes the folder of the first file the user chooses and gives every file that the list names there
// its new name: as a copy in the destination folder, or renamed in place when the destination is that very
// folder and overwriting is allowed; in simulation mode it only logs. Every pair is reported to the action
// log. The controller also exports the names of chosen files as "Quodrix_filenamelist.txt".
//
// Outlets (connected with setValue:forKey:): tfRenameTextFile, tfDestinationOfFiles,
// theLogDataArrayController, myLogTableView, cbOverwriteMode, cbSimulationMode, myMainWindow, myAlertWindow,
// tfAlertTitle, tfAlertInfo, pubFileNameSeparator. Own state, readable with valueForKey:: myTextItemDelim,
// myMfrLogLoc, myRenameFilesList, myFilesList, myFileNameListString, myOverwriteMode, mySimulationMode.

#include "rename/SheetAlertingController.h"

#include <string>

namespace quodrix {

class Runtime;

class cRenameTextFile : public SheetAlertingController {
public:
    static void registerClass(Runtime& runtime);

    static constexpr char const* kSettingKey = "renameFileListArray";
    static constexpr char const* kFileNameListName = "Quodrix_filenamelist.txt";

    void hLoadRenameTextFile(Runtime& runtime);
    void hChooseFilesToRename(Runtime& runtime);
    // Writes the names of the chosen files, divided by CR, into the list in a chosen folder. A name that holds a
    // line break is refused (recorded as the failure), and nothing is written.
    void hCreateFileNameList(Runtime& runtime);
};

}
