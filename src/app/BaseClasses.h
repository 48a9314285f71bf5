#pragma once
// The classes that the executable itself holds: the root class and the platform stand-ins. The other
// native classes live in the classes module (app/ClassesModule.h).

namespace quodrix {

class Runtime;

// Registers every base class now.
void registerBaseClasses(Runtime& runtime);
// Registers each base class at its first lookup (its superclass with it, through the same lookup): a start
// pays only for the classes its scripts use.
void provideBaseClasses(Runtime& runtime);

}
