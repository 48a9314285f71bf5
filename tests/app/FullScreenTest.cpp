// The full-screen window: its two switching operations over the screens and menu bar of the platform, the
// originalRect rule, closing, and the same window driven from a script.

#include "app/NativeClasses.h"
#include "app/QDFFullScreen.h"
#include "core/Runtime.h"
#include "platform/Platform.h"
#include "support/ScriptBundle.h"

#include <gtest/gtest.h>

using namespace quodrix;

namespace {

Rect const kCreation { 100, 200, 640, 480 };
Rect const kScreen { 0, 0, 1440, 900 };

class FullScreen : public ::testing::Test {
protected:
    FullScreen()
    {
        registerNativeClasses(runtime);
        runtime.platform().setScreenFrames({ kScreen, { 1440, 0, 800, 600 } });
        window = runtime.instantiate<QDFFullScreen>("QDFFullScreen");
        send("initWithContentRect:styleMask:backing:defer:", { valueFromRect(kCreation), 15, 2, false });
    }
    Value send(char const* selector, Array args = {}) { return runtime.send(Value(window), selector, args); }
    bool menuBarVisible() { return runtime.platform().menuBarVisible(); }

    Platform platform;

    Runtime runtime { platform };
    std::shared_ptr<QDFFullScreen> window;
};

}

TEST_F(FullScreen, ToggleCoversTheFirstScreenAndComesBack)
{
    // The window is its own delegate without holding itself: only the test holds it.
    EXPECT_EQ(send("delegate"), Value(window));
    EXPECT_EQ(window.use_count(), 1);
    window->setFrame({ 10, 20, 300, 200 }, false, false);
    send("toggleFullscreen");
    EXPECT_EQ(window->frame(), kScreen);
    EXPECT_EQ(window->fullscreenState(), 1);
    EXPECT_EQ(window->originalRect(), (Rect { 10, 20, 300, 200 }));
    EXPECT_FALSE(menuBarVisible());
    send("toggleFullscreen");
    EXPECT_EQ(window->frame(), (Rect { 10, 20, 300, 200 }));
    EXPECT_EQ(window->fullscreenState(), 0);
    EXPECT_TRUE(menuBarVisible());
    // Every change is made with display and animation.
    EXPECT_EQ(window->displayCount(), 2);
    EXPECT_EQ(window->animateCount(), 2);
}

TEST_F(FullScreen, OnlyAWindowThatDoesNotCoverTheScreenBecomesTheOriginalRect)
{
    // Disabling goes to the original rect (here the creation rect), not to where the window is.
    window->setFrame({ 5, 5, 50, 50 }, false, false);
    send("setFullscreenEnabled:", { false });
    EXPECT_EQ(window->frame(), kCreation);
    EXPECT_EQ(window->displayCount(), 1);
    // Enabled twice, the second time over a covering window: the first original rect stays, and a toggle
    // goes back to it.
    send("setFullscreenEnabled:", { true });
    send("setFullscreenEnabled:", { true });
    EXPECT_EQ(window->originalRect(), kCreation);
    send("toggleFullscreen");
    EXPECT_EQ(window->frame(), kCreation);
    EXPECT_EQ(window->fullscreenState(), 0);
    EXPECT_TRUE(menuBarVisible());
    // Only width and height are compared: a screen-sized window at another place is taken as covering.
    window->setFrame({ 30, 40, 1440, 900 }, false, false);
    send("setFullscreenEnabled:", { true });
    EXPECT_EQ(window->originalRect(), kCreation);
    EXPECT_EQ(window->frame(), kScreen);
    EXPECT_EQ(window->fullscreenState(), 1);
}

TEST_F(FullScreen, ScreenListThatChanges)
{
    send("setFullscreenEnabled:", { true });
    EXPECT_EQ(window->frame(), kScreen);
    // A larger first screen: the covering window no longer has its size, so its frame becomes originalRect.
    runtime.platform().setScreenFrames({ { 0, 0, 2560, 1440 } });
    send("setFullscreenEnabled:", { true });
    EXPECT_EQ(window->frame(), (Rect { 0, 0, 2560, 1440 }));
    EXPECT_EQ(window->originalRect(), kScreen);
}

TEST_F(FullScreen, ClosingHidesTheWindowAndShowsTheMenuBar)
{
    send("toggleFullscreen");
    window->setVisible(true);
    send("close");
    EXPECT_TRUE(menuBarVisible());
    EXPECT_FALSE(window->isVisible());
    // windowWillClose: alone shows it too.
    runtime.platform().setMenuBarVisible(false);
    send("windowWillClose:", { Value() });
    EXPECT_TRUE(menuBarVisible());
}

TEST(FullScreenScript, ScreensMenuBarAndWindowFromAScript)
{
    test::ScriptBundle bundle;
    auto r = bundle.runScript(R"(
        local function rect(r) return table.concat(r, ",") end
        print(#objc.NSScreen:screens(), rect(objc.NSScreen:screens()[1]:frame()))
        objc.NSScreen:setScreenFrames_({ { 0, 0, 1280, 800 }, { 1280, 0, 1024, 768 } })
        local screens = objc.NSScreen:screens()
        print(#screens, rect(screens[1]:frame()), rect(screens[2]:frame()), rect(objc.NSScreen:mainScreen():frame()))
        local w = objc.QDFFullScreen:alloc():initWithContentRect_styleMask_backing_defer_({ 1, 2, 300, 200 }, 1, 2, false)
        print(w:className(), w:delegate() == w, rect(w:backgroundColor()))
        w:toggleFullscreen()
        print(rect(w:frame()), w:fullscreenState(), objc.NSMenu:menuBarVisible())
        w:close()
        print(objc.NSMenu:menuBarVisible(), w:isVisible(), rect(w:originalRect()))
        objc.NSScreen:setScreenFrames_({})
        print(#objc.NSScreen:screens(), objc.NSScreen:mainScreen())
        w:setFullscreenEnabled_(false)
        w:setFullscreenEnabled_(true)
        print(rect(w:frame()), w:displayCount(), w:animateCount())
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "1\t0.0,0.0,1920.0,1080.0\n"
        "2\t0.0,0.0,1280.0,800.0\t1280.0,0.0,1024.0,768.0\t0.0,0.0,1280.0,800.0\n"
        "QDFFullScreen\ttrue\t0.8,0.8,0.8,1.0\n"
        "0.0,0.0,1280.0,800.0\t1\tfalse\n"
        "true\tfalse\t1.0,2.0,300.0,200.0\n"
        "0\tnil\n"
        "0.0,0.0,0.0,0.0\t3\t3\n");
}
