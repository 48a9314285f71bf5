// The control stand-ins as scripts and controllers use them: text fields, check boxes, pop-ups, windows
// and the alert-sheet round trip through the application object.

#include "platform/NSTextField.h"
#include "support/ScriptBundle.h"

#include <climits>
#include <gtest/gtest.h>

using namespace quodrix::test;

TEST(Controls, TextFieldButtonAndPopUp)
{
    ScriptBundle bundle;
    auto r = bundle.runScript(R"(
        local tf = objc.NSTextField:new()
        print(tf:stringValue() == "", tf:intValue())
        tf:setStringValue_("  -42abc")
        print(tf:stringValue(), tf:intValue())
        tf:setStringValue_(7)
        print(tf:stringValue())
        local b = objc.NSButton:new()
        print(b:state(), b:intValue())
        b:setState_(1)
        print(b:state())
        local p = objc.NSPopUpButton:new()
        print(p:indexOfSelectedItem(), p:titleOfSelectedItem())
        p:addItemsWithTitles_({ "Semicolon", "Comma", "Tab" })
        p:selectItemAtIndex_(2)
        print(p:indexOfSelectedItem(), p:titleOfSelectedItem(), p:numberOfItems())
        p:selectItemAtIndex_(9)
        print(p:indexOfSelectedItem())
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "true\t0\n  -42abc\t-42\n7\n0\t0\n1\n-1\tnil\n2\tTab\t3\n-1\n");
}

TEST(Controls, IntValueReadsLikeThePlatform)
{
    struct Case {
        char const* text;
        int value;
    } const cases[] = {
        { "", 0 }, { "abc", 0 }, { "12", 12 }, { " \t\n 12x", 12 }, { "+5", 5 }, { "-0", 0 }, { "- 5", 0 },
        { "3.9", 3 }, { "2147483647", INT_MAX }, { "2147483648", INT_MAX }, { "-2147483649", INT_MIN },
        { "99999999999999999999999", INT_MAX }, { "--1", 0 },
    };
    for (auto const& c : cases)
        EXPECT_EQ(quodrix::intValueOf(c.text), c.value) << '"' << c.text << '"';
}

TEST(Controls, SheetEndsThroughTheDelegatesEndSelector)
{
    ScriptBundle bundle;
    auto r = bundle.runScript(R"(
        local Ctl = objc.defineClass("Ctl")
        function Ctl.didEndSheet_returnCode_contextInfo_(self, sheet, code, context)
            print("ended", code, context)
            sheet:orderOut_(nil)
        end
        local ctl = Ctl:new()
        local main = objc.NSWindow:new()
        local sheet = objc.NSWindow:new()
        objc.NSApp:beginSheet_modalForWindow_modalDelegate_didEndSelector_contextInfo_(sheet, main, ctl,
            "didEndSheet:returnCode:contextInfo:", nil)
        print(sheet:isSheet(), sheet:isVisible())
        objc.NSApp:endSheet_(sheet)
        print(sheet:isSheet(), sheet:isVisible())
        objc.NSApp:endSheet_(sheet)  -- a second end does nothing
        objc.NSApp:endSheet_(nil)
        local w = objc.NSWindow:new()
        w:setFrame_display_animate_({ 1, 2, 300, 200.5 }, true, true)
        local f = w:frame()
        print(f[1], f[2], f[3], f[4])
        print(pcall(function() w:setFrame_display_({ 1, 2 }, true) end))
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "true\ttrue\nended\t0\tnil\nfalse\tfalse\n1.0\t2.0\t300.0\t200.5\n"
        "false\t-[NSWindow setFrame:display:]: a rectangle must be an array {x, y, width, height}\n");
}
