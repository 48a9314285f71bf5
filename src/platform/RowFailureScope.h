#pragma once
// RowFailureScope: while one action-log row is reported (the log call, the log list's addObjects:), the
// platform's rowFailure() holds that row's own cause: the failure its operation recorded just before, when
// the row's status is "Failed", and nothing otherwise. The recorded failure is taken, so a later row can
// never show it. The previous row cause comes back when the scope ends (reports do not nest in practice,
// but a script may send messages from its log callback).

#include <optional>
#include <string>

namespace quodrix {

class Platform;

class RowFailureScope {
public:
    RowFailureScope(Platform& platform, std::string const& status);
    ~RowFailureScope();
    RowFailureScope(RowFailureScope const&) = delete;
    RowFailureScope& operator=(RowFailureScope const&) = delete;

private:
    Platform& m_platform;
    std::optional<std::string> m_previous;
};

}
