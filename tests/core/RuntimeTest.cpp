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
    runtime.setClassProvider({ "Late", "Later" }, [&](Runtime& r) {
        ++calls;
        if (fail)
            throw BridgeError("not this time");
        // Lookups from inside the provider do not call it again.
        EXPECT_EQ(r.findClass("Later"), nullptr);
        ClassBuilder<Object>(r, "Late", "NSObject").method("who", [](Call const&) { return Value("late"); });
        ClassBuilder<Object>(r, "Later", "Late");
    });
    // Names it does not promise, and a class whose superclass it promises, leave it alone.
    EXPECT_EQ(runtime.findClass("Unknown"), nullptr);
    ClassBuilder<Object>(runtime, "Early", "Late");
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(checkMessage(runtime), "classes whose superclass is not registered: Early (superclass Late)");

    // A provider that fails fails the lookup, and is asked again at the next one.
    EXPECT_THROW(runtime.findClass("Later"), BridgeError);
    EXPECT_EQ(calls, 1);
    fail = false;
    Class const* later = runtime.findClass("Later");
    ASSERT_NE(later, nullptr);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(checkMessage(runtime), "complete");
    EXPECT_EQ(runtime.send(Value(runtime.instantiate("Early")), "who").asString(), "late");

    // Once it has run it is forgotten.
    EXPECT_EQ(runtime.findClass("Unknown"), nullptr);
    EXPECT_NE(runtime.findClass("Late"), nullptr);
    EXPECT_EQ(calls, 2);
}
