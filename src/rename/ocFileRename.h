#pragma once
// ocFileRename: the controller of renaming by inserted text.
//
// The interface connects its outlets by field name (setValue:forKey:): btnSimulationMode, btnOverwrite,
// tfFileRenameDestination, theLogDataArrayController, myLogTableView, myMainWindow, myAlertWindow,
// tfAlertTitle, tfAlertInfo, tfInsertionString, tfInsertionPosition. It keeps nothing else: every call
// reads the controls afresh, and an outlet left unconnected reads as empty text and state 0.
//
// hChooseFileToRenameInsert checks the input (missing text, missing positions, missing destination outside
// simulation), showing the alert sheet and stopping at the first failure; asks for the files with the
// "rename" panel; and for each file builds the new name (InsertName), stores it at destination + new name
// by copying, or moving when the overwrite switch is on, or only pretends to in simulation, and reports the
// file to the action log with the status word. A destination text that names an existing folder without its
// final "/" is taken as that folder (destinationPrefix). A new name that is not one path component, or not valid
// text, is not stored: the file is logged as "Failed". A failed file never stops the others.

#include "rename/SheetAlertingController.h"

#include <string>

namespace quodrix {

class Runtime;

class ocFileRename : public SheetAlertingController {
public:
    static void registerClass(Runtime& runtime);

    void hChooseFileToRenameInsert(Runtime& runtime);
};

}
