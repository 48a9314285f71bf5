#include "app/MyModel.h"

#include "core/BridgeError.h"
#include "core/Class.h"

namespace quodrix {

static constexpr char const* kFloatValue = "floatValue";

void MyModel::setValueForKey(std::string const& key, Value value)
{
    if (key != kFloatValue)
        return Object::setValueForKey(key, std::move(value));
    auto number = value.number();
    if (!number)
        throw ArgumentError("floatValue must be a number");
    m_floatValue = *number;
}

Value MyModel::valueForKey(std::string const& key) const
{
    return key == kFloatValue ? Value(m_floatValue) : Object::valueForKey(key);
}

void MyModel::registerClass(Runtime& runtime)
{
    ClassBuilder<MyModel>(runtime, "MyModel")
        .method("floatValue", [](Call const& c) { return Value(c.self<MyModel>().floatValue()); })
        .method("setFloatValue:", [](Call const& c) {
            c.self<MyModel>().setFloatValue(c.args.number(0));
            return Value();
        });
}

}
