#pragma once
// NSScreen: the screens of the display, as the platform stand-in keeps them (Platform::screenFrames).
// `screens` answers one NSScreen per frame, first screen first (an empty array when there is none);
// `mainScreen` the first one or null. `setScreenFrames:` (an array of {x, y, width, height}) lets scripts
// and tests lay out the display.

#include "core/Object.h"
#include "platform/NSWindow.h"

namespace quodrix {

class Platform;
class Runtime;

class NSScreen : public Object {
public:
    static void registerClass(Runtime& runtime);

    Rect const& frame() const { return m_frame; }
    void setFrame(Rect const& frame) { m_frame = frame; }

    // The frame of the first screen, or the empty rectangle when there is no screen.
    static Rect firstScreenFrame(Platform const& platform);

private:
    Rect m_frame { 0, 0, 0, 0 };
};

}
