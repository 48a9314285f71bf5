#pragma once
// ActionLogEntry: one row of the action log, what happened to one file, and the action-log call by which
// the renaming controllers report it.

#include "core/Value.h"

#include <string>

namespace quodrix {

class Runtime;

struct ActionLogEntry {
    std::string process;     // "File renaming"
    std::string action;      // "Insert", "Rename"
    std::string status;      // the status word of the operation, or "Simulation"
    std::string inputName;   // last path component of the input
    std::string outputName;
    std::string inputPath;
    std::string outputPath;

    // The record with the eight keys, "LogDate" set to the given date.
    Dictionary record(Date date) const;
    // The seven values in the order of the log call, the texts moved out of the entry.
    Array values() &&;
};

// Reports one processed file: looks up the script class "myAppLog" now, sends it hLogMyActions::::::: with
// the seven values, appends the returned rows to `logController` (addObjects:) and then redraws
// `logTable` (reloadData). A missing class, a script error or a result that is not an array appends nothing
// (the error goes to the system log); the caller's work is never stopped by it. During both calls the
// platform's rowFailure() holds the row's cause (RowFailureScope). A log list of the scripts receives the
// array as the log call's script made it (Runtime::sendToClassForwarding).
void reportAction(Runtime& runtime, Value const& logController, Value const& logTable, ActionLogEntry entry);

}
