#pragma once
// ocPopUpBtnAppearance: colours the title of the pop-up button connected to the outlet `puBtnStrip`.
// hSetNSPopUpBtnColor writes "hSetNSPopUpBtnColor entered" to the system log, then sets a green
// foreground colour over the whole attributed title of the button, keeping its other attributes. An
// outlet that is not connected (or not a pop-up button) is left alone.

#include "core/Object.h"

namespace quodrix {

class Runtime;

class ocPopUpBtnAppearance : public Object {
public:
    static void registerClass(Runtime& runtime);

    // The attribute that holds a title's foreground colour {r, g, b, a}.
    static constexpr char const* kForegroundColorAttribute = "NSForegroundColorAttributeName";

    void hSetNSPopUpBtnColor();
};

}
