#include "platform/RowFailureScope.h"

#include "platform/Platform.h"

namespace quodrix {

RowFailureScope::RowFailureScope(Platform& platform, std::string const& status)
    : m_platform(platform)
    , m_previous(platform.rowFailure())
{
    std::optional<std::string> cause = platform.takeLastFailure();
    if (status == "Failed")
        platform.setRowFailure(cause ? std::move(cause) : std::optional<std::string>("unknown cause"));
    else
        platform.setRowFailure(std::nullopt);
}

RowFailureScope::~RowFailureScope()
{
    m_platform.setRowFailure(std::move(m_previous));
}

}
