#include "platform/ActionLogEntry.h"

#include "core/BridgeError.h"
#include "core/Runtime.h"
#include "platform/RowFailureScope.h"
#include "platform/SystemLog.h"

namespace quodrix {

Dictionary ActionLogEntry::record(Date date) const
{
    return Dictionary {
        { "LogDate", Value(date) },
        { "LogProcess", Value(process) },
        { "LogAction", Value(action) },
        { "LogStatus", Value(status) },
        { "LogI", Value(inputName) },
        { "LogO", Value(outputName) },
        { "LogIpath", Value(inputPath) },
        { "LogOpath", Value(outputPath) },
    };
}

Array ActionLogEntry::values() &&
{
    return Array { Value(std::move(process)), Value(std::move(action)), Value(std::move(status)),
        Value(std::move(inputName)), Value(std::move(outputName)), Value(std::move(inputPath)),
        Value(std::move(outputPath)) };
}

void reportAction(Runtime& runtime, Value const& logController, Value const& logTable, ActionLogEntry entry)
{
    // The log call and the log list see this row's own cause (objc.rowFailure()).
    RowFailureScope const cause(runtime.platform(), entry.status);
    std::optional<Value> answered;
    try {
        Class const* log = runtime.findClass("myAppLog");
        if (!log)
            return;
        // A log list of the scripts gets the rows as the log call made them; this runs for every file of a
        // run, and converting a row into a bridge value and back cost more than the rest of its report.
        answered = runtime.sendToClassForwarding(*log, "hLogMyActions:::::::", std::move(entry).values(),
            logController, "addObjects:");
    } catch (std::exception const& e) {
        systemLog(e.what());
        return;
    }
    try {
        if (answered) {
            // The rows go to the log list as the one argument of addObjects:, moved there rather than copied.
            Array arguments(1, Value(Array()));
            if (answered->kind() == Kind::Array)
                arguments.front() = std::move(*answered);
            else if (!answered->isNull())
                systemLog("myAppLog hLogMyActions:::::::: the result is not an array");
            runtime.send(logController, "addObjects:", arguments);
        }
        runtime.send(logTable, "reloadData");
    } catch (std::exception const& e) {
        systemLog(e.what());
    }
}

}
