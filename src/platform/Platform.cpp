#include "platform/Platform.h"

#include "platform/ImageIO.h"

namespace quodrix {

Platform::Platform() : m_panels(std::make_unique<TerminalPanels>()) { }

Platform::~Platform() = default;

void Platform::setImageIO(std::unique_ptr<ImageIO> imageIO)
{
    m_imageIO = std::move(imageIO);
}

}
