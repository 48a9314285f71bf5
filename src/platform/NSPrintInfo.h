#pragma once
// NSPrintInfo: scripts' view of the application's shared print settings (the Platform's PrintInfo).
// `sharedPrintInfo` answers an object whose getters and setters read and change those shared settings, so a
// change made for one job is seen by every later one.

#include "core/Object.h"

namespace quodrix {

class Runtime;

class NSPrintInfo : public Object {
public:
    static void registerClass(Runtime& runtime);
};

}
