#pragma once
// Registers every native class of the system, and the platform stand-ins, with a runtime.

namespace quodrix {

class Runtime;

void registerNativeClasses(Runtime& runtime);

}
