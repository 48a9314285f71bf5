#pragma once
// Registers the native classes of the system with a runtime. The executable holds the base classes
// (app/BaseClasses.h) and loads the others from the classes module when a script first asks for one; a
// program that links the whole library (the tests) registers them all at once.

namespace quodrix {

class Runtime;

// The classes of the classes module: all native classes but the base ones.
void registerModuleClasses(Runtime& runtime);
// Every native class, base and module.
void registerNativeClasses(Runtime& runtime);

}
