#pragma once
// NSTextField: a text field of the interface, holding its text.

#include "app/Object.h"

#include <string>

namespace quodrix {

class Runtime;

class NSTextField : public Object {
public:
    static void registerClass(Runtime& runtime);

    std::string const& stringValue() const { return m_text; }
    void setStringValue(std::string text) { m_text = std::move(text); }
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }

private:
    std::string m_text;
    bool m_enabled = true;
};

// The platform's intValue of a text: leading white space skipped, an optional sign, the decimal digits up to
// the first other character; 0 without digits; clamped to the 32-bit signed range.
int intValueOf(std::string const& text);

}
