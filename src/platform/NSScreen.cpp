#include "platform/NSScreen.h"

#include "core/Class.h"
#include "platform/Platform.h"

namespace quodrix {

Rect NSScreen::firstScreenFrame(Platform const& platform)
{
    auto const& frames = platform.screenFrames();
    return frames.empty() ? Rect { 0, 0, 0, 0 } : frames.front();
}

static Value screenObject(Runtime& runtime, Rect const& frame)
{
    auto screen = runtime.instantiate<NSScreen>("NSScreen");
    screen->setFrame(frame);
    return Value(screen);
}

void NSScreen::registerClass(Runtime& runtime)
{
    ClassBuilder<NSScreen>(runtime, "NSScreen")
        .classMethod("screens", [](Call const& c) {
            Array screens;
            for (auto const& frame : c.runtime.platform().screenFrames())
                screens.push_back(screenObject(c.runtime, frame));
            return Value(std::move(screens));
        })
        .classMethod("mainScreen", [](Call const& c) {
            auto const& frames = c.runtime.platform().screenFrames();
            return frames.empty() ? Value() : screenObject(c.runtime, frames.front());
        })
        .classMethod("setScreenFrames:", [](Call const& c) {
            std::vector<Platform::ScreenFrame> frames;
            for (auto const& frame : c.args.array(0))
                frames.push_back(rectFromValue(frame));
            c.runtime.platform().setScreenFrames(std::move(frames));
            return Value();
        })
        .method("frame", [](Call const& c) { return valueFromRect(c.self<NSScreen>().frame()); });
}

}
