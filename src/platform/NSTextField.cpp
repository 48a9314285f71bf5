#include "platform/NSTextField.h"

#include "core/Class.h"

#include <climits>

namespace quodrix {

int intValueOf(std::string const& text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r'
               || text[i] == '\v' || text[i] == '\f'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 1LL + INT_MAX)
            value = 1LL + INT_MAX;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return int(value);
}

void NSTextField::registerClass(Runtime& runtime)
{
    ClassBuilder<NSTextField>(runtime, "NSTextField", "NSControl")
        .method("stringValue", [](Call const& c) { return Value(c.self<NSTextField>().stringValue()); })
        .method("setStringValue:", [](Call const& c) {
            c.self<NSTextField>().setStringValue(c.args[0].isNull() ? std::string() : c.args[0].description());
            return Value();
        })
        .method("intValue", [](Call const& c) { return Value(intValueOf(c.self<NSTextField>().stringValue())); })
        .method("setIntValue:", [](Call const& c) {
            c.self<NSTextField>().setStringValue(std::to_string(c.args.integer(0)));
            return Value();
        });
}

}
