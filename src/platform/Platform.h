#pragma once
// Platform: the stand-ins for the desktop platform that native classes reach through the runtime.
//
// Each service is a narrow interface with its Linux implementation behind it; the script host replaces
// some of them (panels answered by scripts) and tests may install recording ones.

#include "platform/Panels.h"
#include "platform/UserDefaults.h"

#include <memory>

namespace quodrix {

class Platform {
public:
    Platform();
    ~Platform();

    Panels& panels() { return *m_panels; }
    void setPanels(std::unique_ptr<Panels> panels) { m_panels = std::move(panels); }

    UserDefaults& userDefaults() { return m_userDefaults; }

private:
    std::unique_ptr<Panels> m_panels;
    UserDefaults m_userDefaults;
};

}
