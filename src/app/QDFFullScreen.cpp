#include "app/QDFFullScreen.h"

#include "core/Class.h"
#include "platform/NSScreen.h"
#include "platform/Platform.h"

namespace quodrix {

void QDFFullScreen::initWithContentRect(Rect const& contentRect, std::int64_t styleMask, std::int64_t, bool)
{
    // The window stand-in takes its frame, style and nothing more; backing and deferral have no meaning here.
    NSWindow::setFrame(contentRect, false, false);
    m_styleMask = styleMask;
    m_originalRect = contentRect;
    m_fullscreenState = 0;
    m_backgroundColor = kGridColor;
    setDelegate(shared_from_this());
}

void QDFFullScreen::windowWillClose(Platform& platform)
{
    platform.setMenuBarVisible(true);
}

void QDFFullScreen::restoreOriginal(Platform& platform)
{
    setFrame(m_originalRect, true, true);
    platform.setMenuBarVisible(true);
    m_fullscreenState = 0;
}

void QDFFullScreen::coverScreen(Platform& platform)
{
    platform.setMenuBarVisible(false);
    setFrame(NSScreen::firstScreenFrame(platform), true, true);
    m_fullscreenState = 1;
}

void QDFFullScreen::toggleFullscreen(Platform& platform)
{
    if (m_fullscreenState != 0) {
        restoreOriginal(platform);
        return;
    }
    m_originalRect = frame();
    coverScreen(platform);
}

void QDFFullScreen::setFullscreenEnabled(Platform& platform, bool enabled)
{
    if (!enabled) {
        restoreOriginal(platform);
        return;
    }
    Rect const current = frame();
    Rect const screen = NSScreen::firstScreenFrame(platform);
    if (current[2] != screen[2] || current[3] != screen[3])
        m_originalRect = current;
    coverScreen(platform);
}

ObjectRef QDFFullScreen::delegate()
{
    if (m_ownDelegate)
        return shared_from_this();
    if (m_scriptDelegate)
        return m_scriptDelegate;
    return m_delegate.lock();
}

void QDFFullScreen::setDelegate(ObjectRef const& delegate)
{
    // Never a reference to itself: a window that held itself would never go away.
    m_ownDelegate = delegate.get() == this;
    m_delegate = m_ownDelegate ? std::weak_ptr<Object>() : std::weak_ptr<Object>(delegate);
    m_scriptDelegate = !m_ownDelegate && delegate && delegate->isTransientProxy() ? delegate : nullptr;
}

void QDFFullScreen::close(Runtime& runtime)
{
    if (ObjectRef listener = delegate()) {
        Value target(listener);
        if (runtime.send(target, "respondsToSelector:", { Value("windowWillClose:") }) == Value(true)) {
            Dictionary notification { { "name", Value("NSWindowWillCloseNotification") },
                { "object", Value(shared_from_this()) } };
            runtime.send(target, "windowWillClose:", { Value(std::move(notification)) });
        }
    }
    setVisible(false);
}

void QDFFullScreen::registerClass(Runtime& runtime)
{
    ClassBuilder<QDFFullScreen>(runtime, "QDFFullScreen", "NSWindow")
        .method("initWithContentRect:styleMask:backing:defer:", [](Call const& c) {
            c.self<QDFFullScreen>().initWithContentRect(
                rectFromValue(c.args[0]), c.args.integer(1), c.args.integer(2), c.args.boolean(3));
            return Value(c.selfRef());
        })
        .method("canBecomeKeyWindow", [](Call const& c) { return Value(c.self<QDFFullScreen>().canBecomeKeyWindow()); })
        .method("windowWillClose:", [](Call const& c) {
            c.self<QDFFullScreen>().windowWillClose(c.runtime.platform());
            return Value();
        })
        .method("toggleFullscreen", [](Call const& c) {
            c.self<QDFFullScreen>().toggleFullscreen(c.runtime.platform());
            return Value();
        })
        .method("setFullscreenEnabled:", [](Call const& c) {
            c.self<QDFFullScreen>().setFullscreenEnabled(c.runtime.platform(), c.args.boolean(0));
            return Value();
        })
        .method("fullscreenState", [](Call const& c) { return Value(c.self<QDFFullScreen>().fullscreenState()); })
        .method("originalRect", [](Call const& c) { return valueFromRect(c.self<QDFFullScreen>().originalRect()); })
        .method("backgroundColor", [](Call const& c) { return valueFromColor(c.self<QDFFullScreen>().backgroundColor()); })
        .method("styleMask", [](Call const& c) { return Value(c.self<QDFFullScreen>().styleMask()); })
        .method("delegate", [](Call const& c) { return Value(c.self<QDFFullScreen>().delegate()); })
        .method("setDelegate:", [](Call const& c) {
            c.self<QDFFullScreen>().setDelegate(c.args.object(0));
            return Value();
        })
        .method("displayCount", [](Call const& c) { return Value(c.self<QDFFullScreen>().displayCount()); })
        .method("animateCount", [](Call const& c) { return Value(c.self<QDFFullScreen>().animateCount()); })
        .method("close", [](Call const& c) {
            c.self<QDFFullScreen>().close(c.runtime);
            return Value();
        });
}

}
