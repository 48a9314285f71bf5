#include "app/MyObjectControler.h"

#include "core/BridgeError.h"
#include "core/Class.h"

namespace quodrix {

static constexpr char const* kMyModelObj = "myModelObj";

static std::shared_ptr<MyModel> modelFrom(Value const& value)
{
    if (value.isNull())
        return nullptr;
    auto model = value.kind() == Kind::Object ? std::dynamic_pointer_cast<MyModel>(value.asObject()) : nullptr;
    if (!model)
        throw ArgumentError("myModelObj must be a MyModel");
    return model;
}

void MyObjectControler::setValueForKey(std::string const& key, Value value)
{
    if (key == kMyModelObj)
        setMyModelObj(modelFrom(value));
    else
        NSObjectController::setValueForKey(key, std::move(value));
}

Value MyObjectControler::valueForKey(std::string const& key) const
{
    return key == kMyModelObj ? Value(m_model) : NSObjectController::valueForKey(key);
}

void MyObjectControler::registerClass(Runtime& runtime)
{
    ClassBuilder<MyObjectControler>(runtime, "MyObjectControler", "NSObjectController")
        .method("myModelObj", [](Call const& c) { return Value(c.self<MyObjectControler>().myModelObj()); })
        .method("setMyModelObj:", [](Call const& c) {
            c.self<MyObjectControler>().setMyModelObj(modelFrom(c.args[0]));
            return Value();
        });
}

}
