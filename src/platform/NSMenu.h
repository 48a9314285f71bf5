#pragma once
// NSMenu: the menu bar's visibility (class methods `menuBarVisible` and `setMenuBarVisible:`), kept by the
// platform stand-in. The menu bar is visible until someone hides it.

#include "core/Object.h"

namespace quodrix {

class Runtime;

class NSMenu : public Object {
public:
    static void registerClass(Runtime& runtime);
};

}
