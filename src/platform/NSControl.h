#pragma once
// NSControl: what every control of the interface has: it can be enabled or disabled.

#include "core/Object.h"

namespace quodrix {

class Runtime;

class NSControl : public Object {
public:
    // Registers NSControl; text fields, buttons and pop-ups inherit its selectors.
    static void registerClass(Runtime& runtime);

    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }

private:
    bool m_enabled = true;
};

}
