// Registering classes: a name is taken once; a class names its superclass and classes register in any
// order; a superclass that never comes, or a loop of superclasses, is reported.

#include "app/BaseClasses.h"
#include "app/NativeClasses.h"
#include "core/BridgeError.h"
#include "core/Class.h"
#include "core/Object.h"
#include "core/Runtime.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

using namespace quodrix;

namespace {

std::string checkMessage(Runtime const& runtime)
{
    try {
        runtime.checkClasses();
        return "complete";
    } catch (BridgeError const& e) {
        return e.what();
    }
}

}

TEST(Runtime, ANameIsTakenOnce)
{
    Platform platform;
    Runtime runtime { platform };
    registerNativeClasses(runtime);
    EXPECT_EQ(checkMessage(runtime), "complete");
    EXPECT_THROW(ClassBuilder<Object>(runtime, "cToolBox"), BridgeError);
    ClassBuilder<Object>(runtime, "Child", "ASSuperclass");
    ASSERT_NE(runtime.findClass("Child"), nullptr);
    EXPECT_TRUE(runtime.findClass("Child")->isKindOf(*runtime.findClass("NSObject")));
    // Every registered class answers alloc and init through its chain.
    EXPECT_EQ(runtime.instantiate("Child")->objectClass(), runtime.findClass("Child"));
}

TEST(Runtime, ClassesRegisterInAnyOrder)
{
    Platform platform;
    Runtime runtime { platform };
    // The grandchild first, the root last.
    ClassBuilder<Object>(runtime, "Grandchild", "Middle").method("who", [](Call const&) { return Value("grandchild"); });
    ClassBuilder<Object>(runtime, "Middle", "Root").method("depth", [](Call const&) { return Value(2); });
    EXPECT_EQ(checkMessage(runtime), "classes whose superclass is not registered: Middle (superclass Root)");
    ClassBuilder<Object>(runtime, "Root", "")
        .classMethod("alloc", [](Call const& c) { return Value(c.receiverClass.allocate(c.runtime)); })
        .method("init", [](Call const& c) { return Value(c.selfRef()); });
    EXPECT_EQ(checkMessage(runtime), "complete");

    Class const* grandchild = runtime.findClass("Grandchild");
    ASSERT_NE(grandchild, nullptr);
    EXPECT_TRUE(grandchild->isKindOf(*runtime.findClass("Root")));
    ObjectRef object = runtime.instantiate("Grandchild");
    EXPECT_EQ(runtime.send(Value(object), "depth").asInteger(), 2);
    EXPECT_EQ(runtime.send(Value(object), "who").asString(), "grandchild");
}

TEST(Runtime, ASuperclassThatNeverComesOrALoopIsReported)
{
    Platform platform;
    Runtime runtime { platform };
    registerNativeClasses(runtime);
    ClassBuilder<Object>(runtime, "Orphan", "NoSuchBase");
    EXPECT_EQ(checkMessage(runtime), "classes whose superclass is not registered: Orphan (superclass NoSuchBase)");
    // The orphan answers nothing it does not define, and says so.
    EXPECT_THROW(runtime.instantiate("Orphan"), BridgeError);

    ClassBuilder<Object>(runtime, "A", "B");
    EXPECT_THROW(ClassBuilder<Object>(runtime, "B", "A"), BridgeError);
    EXPECT_EQ(runtime.findClass("B"), nullptr);
    EXPECT_THROW(ClassBuilder<Object>(runtime, "Self", "Self"), BridgeError);
}

TEST(Runtime, AClassProviderRunsAtTheFirstLookupOfAClassItPromises)
{
    Platform platform;
    Runtime runtime { platform };
    registerBaseClasses(runtime);
    int calls = 0;
    bool fail = true;
    runtime.addClassProvider({ "Late", "Later" }, [&](Runtime& r) {
        ++calls;
        if (fail)
            throw BridgeError("not this time");
        // Lookups from inside the provider do not call it again, but do call another provider.
        EXPECT_EQ(r.findClass("Later"), nullptr);
        ClassBuilder<Object>(r, "Late", "Base").method("who", [](Call const&) { return Value("late"); });
        ClassBuilder<Object>(r, "Later", "Late");
    });
    runtime.addClassProvider({ "Base" }, [](Runtime& r) { ClassBuilder<Object>(r, "Base", "NSObject"); });
    // Names it does not promise leave it alone.
    EXPECT_EQ(runtime.findClass("Unknown"), nullptr);
    EXPECT_EQ(calls, 0);

    // A provider that fails fails the lookup, and is asked again at the next one. A class whose superclass
    // it promises looks that up, and does not register while the provider fails.
    EXPECT_THROW(runtime.findClass("Later"), BridgeError);
    EXPECT_THROW(ClassBuilder<Object>(runtime, "Early", "Late"), BridgeError);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(runtime.findClass("Early"), nullptr);
    fail = false;
    ClassBuilder<Object>(runtime, "Early", "Late");
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(checkMessage(runtime), "complete");
    EXPECT_EQ(runtime.send(Value(runtime.instantiate("Early")), "who").asString(), "late");
    ASSERT_NE(runtime.findClass("Later"), nullptr);
    EXPECT_TRUE(runtime.findClass("Later")->isKindOf(*runtime.findClass("Base")));

    // Once it has run it is forgotten.
    EXPECT_EQ(runtime.findClass("Unknown"), nullptr);
    EXPECT_EQ(calls, 3);
}

TEST(Runtime, BaseClassesRegisterAtTheirFirstLookupWithTheirSuperclasses)
{
    Platform platform;
    Runtime all { platform };
    registerBaseClasses(all);
    Runtime runtime { platform };
    provideBaseClasses(runtime);
    EXPECT_EQ(runtime.classNames(), std::vector<std::string> {});

    ASSERT_NE(runtime.findClass("NSButton"), nullptr);
    EXPECT_EQ(runtime.classNames(), (std::vector<std::string> { "NSButton", "NSControl", "NSObject" }));
    EXPECT_EQ(runtime.instantiate("NSButton")->objectClass(), runtime.findClass("NSButton"));

    // Every name promised is the name of the class registered.
    for (std::string const& name : all.classNames())
        EXPECT_NE(runtime.findClass(name), nullptr) << name;
    EXPECT_EQ(runtime.classNames(), all.classNames());
    EXPECT_EQ(checkMessage(runtime), "complete");
}
