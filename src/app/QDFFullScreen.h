#pragma once
// QDFFullScreen: a window that switches between its normal frame and a frame covering the first screen,
// by resizing itself, hiding the menu bar while it covers the screen.
//
// State: `fullscreenState` is 0 while the window has its normal frame and 1 while it covers the screen;
// `originalRect` is the normal frame to return to. Every frame change is made with display and animation.
// Covering uses the first screen's frame, or the empty rectangle when there is no screen.
//  - toggleFullscreen: from 1, back to `originalRect` with the menu bar shown; from 0, the current frame
//    becomes `originalRect`, the menu bar is hidden and the window covers the screen.
//  - setFullscreenEnabled(false): back to `originalRect`, menu bar shown, state 0, whatever the state.
//  - setFullscreenEnabled(true): the current frame becomes `originalRect` only when its width or height
//    differs from the screen's (a window already of the screen's size keeps its `originalRect`); then the
//    menu bar is hidden and the window covers the screen, state 1.
// Created through initWithContentRect:..., the window is its own delegate (a flag, never a reference to
// itself), so closing it always leaves the menu bar visible.

#include "platform/Colors.h"
#include "platform/NSWindow.h"

#include <cstdint>
#include <memory>

namespace quodrix {

class Platform;
class Runtime;

class QDFFullScreen : public NSWindow {
public:
    static void registerClass(Runtime& runtime);

    void initWithContentRect(Rect const& contentRect, std::int64_t styleMask, std::int64_t backing, bool defer);
    bool canBecomeKeyWindow() const { return true; }
    void windowWillClose(Platform& platform);
    void toggleFullscreen(Platform& platform);
    void setFullscreenEnabled(Platform& platform, bool enabled);
    // Closes the window: its delegate hears windowWillClose: first, then the window leaves the screen.
    void close(Runtime& runtime);

    std::int32_t fullscreenState() const { return m_fullscreenState; }
    Rect const& originalRect() const { return m_originalRect; }
    Color const& backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(Color const& color) { m_backgroundColor = color; }
    std::int64_t styleMask() const { return m_styleMask; }

    // The delegate: this window itself, another object (held weakly, a script's wrapper strongly), or none.
    ObjectRef delegate();
    void setDelegate(ObjectRef const& delegate);

private:
    void restoreOriginal(Platform& platform);
    void coverScreen(Platform& platform);

    std::int32_t m_fullscreenState = 0;
    Rect m_originalRect { 0, 0, 0, 0 };
    Color m_backgroundColor { 1, 1, 1, 1 };
    std::int64_t m_styleMask = 0;
    bool m_ownDelegate = false;
    std::weak_ptr<Object> m_delegate;
    ObjectRef m_scriptDelegate;
};

}
