#include "core/Class.h"

#include "core/Object.h"

namespace quodrix {

ObjectRef Call::selfRef() const
{
    return receiver ? receiver->shared_from_this() : nullptr;
}

bool Class::isKindOf(Class const& other) const
{
    for (Class const* c = this; c; c = c->superclass())
        if (c == &other)
            return true;
    return false;
}

void NativeClass::addMethod(Side side, std::string selector, Method method)
{
    auto& table = side == Side::Class ? m_classMethods : m_instanceMethods;
    table[std::move(selector)] = std::move(method);
}

Method const* NativeClass::find(std::string_view selector, Side side) const
{
    auto const& table = side == Side::Class ? m_classMethods : m_instanceMethods;
    auto it = table.find(selector);
    return it == table.end() ? nullptr : &it->second;
}

bool NativeClass::responds(std::string_view selector, Side side) const
{
    return find(selector, side) || (superclass() && superclass()->responds(selector, side));
}

Value NativeClass::invoke(Call const& call, Side side) const
{
    if (auto const* method = find(call.selector, side))
        return (*method)(call);
    if (!superclass())
        throw BridgeError(name() + " does not answer " + std::string(call.selector));
    return superclass()->invoke(call, side);
}

ObjectRef NativeClass::allocate(Runtime&) const
{
    ObjectRef object = m_factory();
    object->setObjectClass(this);
    return object;
}

}
