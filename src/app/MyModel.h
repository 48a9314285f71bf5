#pragma once
// MyModel: a one-value model for bindings; `floatValue` is a double read and written directly (0 at first).

#include "core/Object.h"

namespace quodrix {

class Runtime;

class MyModel : public Object {
public:
    static void registerClass(Runtime& runtime);

    double floatValue() const { return m_floatValue; }
    void setFloatValue(double value) { m_floatValue = value; }

    void setValueForKey(std::string const& key, Value value) override;
    Value valueForKey(std::string const& key) const override;

private:
    double m_floatValue = 0;
};

}
