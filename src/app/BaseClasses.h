#pragma once
// Registers the classes that the executable itself holds: the root class and the platform stand-ins. The
// other native classes live in the classes module (app/ClassesModule.h).

namespace quodrix {

class Runtime;

void registerBaseClasses(Runtime& runtime);

}
