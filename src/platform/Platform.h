#pragma once
// Platform: the stand-ins for the desktop platform that native classes reach through the runtime.
//
// Each service is a narrow interface with its Linux implementation behind it; the script host replaces
// some of them (panels answered by scripts) and tests may install recording ones.

#include "platform/Panels.h"
#include "platform/PrintInfo.h"

#include <memory>

namespace quodrix {

class ImageIO;

class Platform {
public:
    Platform();
    ~Platform();

    Panels& panels() { return *m_panels; }
    void setPanels(std::unique_ptr<Panels> panels) { m_panels = std::move(panels); }

    // The image reading service shared by every caller; null until one is installed.
    ImageIO* imageIO() { return m_imageIO.get(); }
    void setImageIO(std::unique_ptr<ImageIO> imageIO);

    // The shared print settings.
    PrintInfo& printInfo() { return m_printInfo; }

private:
    std::unique_ptr<Panels> m_panels;
    std::unique_ptr<ImageIO> m_imageIO;
    PrintInfo m_printInfo;
};

}
