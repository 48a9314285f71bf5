#pragma once
// NSTextField: a text field of the interface, holding its text.

#include "platform/NSControl.h"

#include <string>

namespace quodrix {

class Runtime;

class NSTextField : public NSControl {
public:
    static void registerClass(Runtime& runtime);

    std::string const& stringValue() const { return m_text; }
    void setStringValue(std::string text) { m_text = std::move(text); }

private:
    std::string m_text;
};

// The platform's intValue of a text: leading white space skipped, an optional sign, the decimal digits up to
// the first other character; 0 without digits; clamped to the 32-bit signed range.
int intValueOf(std::string const& text);

}
