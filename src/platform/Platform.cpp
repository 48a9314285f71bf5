#include "platform/Platform.h"

namespace quodrix {

Platform::Platform() : m_panels(std::make_unique<TerminalPanels>()) { }

Platform::~Platform() = default;

}
