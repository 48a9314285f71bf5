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

Array ActionLogEntry::values() const
{
    return Array { Value(process), Value(action), Value(status), Value(inputName), Value(outputName),
        Value(inputPath), Value(outputPath) };
}

Array reportAction(Runtime& runtime, Value const& logController, Value const& logTable, ActionLogEntry const& entry)
{
    // The rows go to the log list as the one argument of addObjects:, moved there rather than copied: this
    // runs for every file of a run.
    Array arguments(1, Value(Array()));
    // The log call and the log list see this row's own cause (objc.rowFailure()).
    RowFailureScope const cause(runtime.platform(), entry.status);
    try {
        if (!runtime.findClass("myAppLog"))
            return {};
        Value result = runtime.sendToClass("myAppLog", "hLogMyActions:::::::", entry.values());
        if (result.kind() == Kind::Array)
            arguments.front() = std::move(result);
        else if (!result.isNull())
            systemLog("myAppLog hLogMyActions:::::::: the result is not an array");
    } catch (std::exception const& e) {
        systemLog(e.what());
        return {};
    }
    try {
        runtime.send(logController, "addObjects:", arguments);
        runtime.send(logTable, "reloadData");
    } catch (std::exception const& e) {
        systemLog(e.what());
    }
    return std::move(arguments.front().asArray());
}

}
