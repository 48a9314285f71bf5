#pragma once
// NSApplication: the application object, reachable by scripts as the class `NSApp`. It ends the main loop
// (terminate:) and carries the exit status.

namespace quodrix {

class Runtime;

class NSApplication {
public:
    static void registerClass(Runtime& runtime);
};

}
