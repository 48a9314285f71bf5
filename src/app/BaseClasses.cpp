#include "app/BaseClasses.h"

#include "core/Class.h"
#include "core/Object.h"
#include "platform/CoreFoundation.h"
#include "platform/NSApplication.h"
#include "platform/NSArrayController.h"
#include "platform/NSButton.h"
#include "platform/NSControl.h"
#include "platform/NSMenu.h"
#include "platform/NSObjectController.h"
#include "platform/NSPathControl.h"
#include "platform/NSPopUpButton.h"
#include "platform/NSPrintInfo.h"
#include "platform/NSSavePanel.h"
#include "platform/NSScreen.h"
#include "platform/NSTableView.h"
#include "platform/NSTextField.h"
#include "platform/NSTreeController.h"
#include "platform/NSWindow.h"

namespace quodrix {

// The root of every class: allocation, init, key-value access.
static void registerRoot(Runtime& runtime)
{
    ClassBuilder<Object>(runtime, "NSObject", "")
        .classMethod("alloc", [](Call const& c) { return Value(c.receiverClass.allocate(c.runtime)); })
        .classMethod("new", [](Call const& c) {
            Value object = c.receiverClass.allocate(c.runtime);
            return c.runtime.send(object, "init");
        })
        .classMethod("class", [](Call const& c) { return Value(ClassRef { &c.receiverClass }); })
        .classMethod("className", [](Call const& c) { return Value(c.receiverClass.name()); })
        .classMethod("respondsToSelector:", [](Call const& c) {
            return Value(c.receiverClass.responds(c.args.string(0), Side::Class));
        })
        .method("init", [](Call const& c) { return Value(c.selfRef()); })
        .method("class", [](Call const& c) { return Value(ClassRef { &c.receiverClass }); })
        .method("className", [](Call const& c) { return Value(c.receiverClass.name()); })
        .method("description", [](Call const& c) { return Value(c.receiver->description()); })
        .method("isEqual:", [](Call const& c) {
            return Value(c.args[0].kind() == Kind::Object && c.args[0].asObject().get() == c.receiver);
        })
        .method("respondsToSelector:", [](Call const& c) {
            return Value(c.receiverClass.responds(c.args.string(0), Side::Instance));
        })
        .method("setValue:forKey:", [](Call const& c) {
            c.receiver->setValueForKey(c.args.string(1), c.args[0]);
            return Value();
        })
        .method("valueForKey:", [](Call const& c) { return c.receiver->valueForKey(c.args.string(0)); });
}

// An empty class, registered under its name like the others.
static void registerEmptyClass(Runtime& runtime)
{
    ClassBuilder<Object>(runtime, "ASSuperclass");
}

namespace {

struct BaseClass {
    char const* name;
    void (*registerClass)(Runtime&);
};

// Each class names its superclass, so the order of this list is free: alphabetical.
constexpr BaseClass kBaseClasses[] {
    { "ASSuperclass", registerEmptyClass },
    { "CoreFoundation", CoreFoundation::registerClass },
    { "NSApp", NSApplication::registerClass },
    { "NSArrayController", NSArrayController::registerClass },
    { "NSButton", NSButton::registerClass },
    { "NSControl", NSControl::registerClass },
    { "NSMenu", NSMenu::registerClass },
    { "NSObject", registerRoot },
    { "NSObjectController", NSObjectController::registerClass },
    { "NSPathControl", NSPathControl::registerClass },
    { "NSPopUpButton", NSPopUpButton::registerClass },
    { "NSPrintInfo", NSPrintInfo::registerClass },
    { "NSSavePanel", NSSavePanel::registerClass },
    { "NSScreen", NSScreen::registerClass },
    { "NSTableView", NSTableView::registerClass },
    { "NSTextField", NSTextField::registerClass },
    { "NSTreeController", NSTreeController::registerClass },
    { "NSWindow", NSWindow::registerClass },
};

}

void registerBaseClasses(Runtime& runtime)
{
    for (BaseClass const& base : kBaseClasses)
        base.registerClass(runtime);
}

void provideBaseClasses(Runtime& runtime)
{
    for (BaseClass const& base : kBaseClasses)
        runtime.addClassProvider({ base.name }, base.registerClass);
}

}
