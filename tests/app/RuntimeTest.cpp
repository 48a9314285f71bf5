// Registering classes: a name is taken once, and a class can only build on one that is registered.

#include "app/BridgeError.h"
#include "app/Class.h"
#include "app/NativeClasses.h"
#include "app/Object.h"
#include "app/Runtime.h"

#include <gtest/gtest.h>

using namespace quodrix;

TEST(Runtime, ANameIsTakenOnceAndSuperclassesMustExist)
{
    Runtime runtime;
    registerNativeClasses(runtime);
    EXPECT_THROW(ClassBuilder<Object>(runtime, "cToolBox"), BridgeError);
    EXPECT_THROW(ClassBuilder<Object>(runtime, "Orphan", "NoSuchBase"), BridgeError);
    EXPECT_EQ(runtime.findClass("Orphan"), nullptr);
    ClassBuilder<Object>(runtime, "Child", "ASSuperclass");
    ASSERT_NE(runtime.findClass("Child"), nullptr);
    EXPECT_TRUE(runtime.findClass("Child")->isKindOf(*runtime.findClass("NSObject")));
    // Every registered class answers alloc and init through its chain.
    EXPECT_EQ(runtime.instantiate("Child")->objectClass(), runtime.findClass("Child"));
}
