#include "app/Runtime.h"

#include "app/BridgeError.h"
#include "app/Class.h"
#include "app/Object.h"
#include "platform/Platform.h"

#include <algorithm>

namespace quodrix {

Runtime::Runtime() : m_platform(std::make_unique<Platform>()) { }

Runtime::~Runtime() = default;

std::size_t selectorArity(std::string_view selector)
{
    return std::size_t(std::count(selector.begin(), selector.end(), ':'));
}

void Runtime::registerClass(std::unique_ptr<Class> cls)
{
    std::string name = cls->name();
    if (m_classes.contains(name))
        throw BridgeError("class " + name + " is already defined");
    m_classes.emplace(std::move(name), std::move(cls));
}

Class const* Runtime::findClass(std::string_view name) const
{
    auto it = m_classes.find(name);
    return it == m_classes.end() ? nullptr : it->second.get();
}

static std::string callName(Class const& cls, Side side, std::string_view selector)
{
    return std::string(side == Side::Class ? "+[" : "-[") + cls.name() + " " + std::string(selector) + "]";
}

Value Runtime::send(Value const& receiver, std::string_view selector, Array const& args)
{
    Class const* cls = nullptr;
    Object* object = nullptr;
    Side side = Side::Class;
    switch (receiver.kind()) {
    case Kind::Null:
        return {};
    case Kind::Class:
        cls = receiver.asClass().cls;
        break;
    case Kind::Object:
        object = receiver.asObject().get();
        if (!object)
            return {};
        cls = object->objectClass();
        side = Side::Instance;
        if (!cls)
            throw BridgeError("cannot send " + std::string(selector) + " to an object of no class");
        break;
    default:
        throw BridgeError("cannot send " + std::string(selector) + " to a value of kind "
            + std::string(kindName(receiver.kind())));
    }

    std::string const name = callName(*cls, side, selector);
    if (!cls->responds(selector, side))
        throw BridgeError(name + ": unrecognized selector");
    std::size_t arity = selectorArity(selector);
    if (args.size() != arity)
        throw BridgeError(name + ": expects " + std::to_string(arity) + " argument" + (arity == 1 ? "" : "s")
            + ", got " + std::to_string(args.size()));

    Args typed(args);
    Call call { *this, *cls, object, selector, typed };
    try {
        return cls->invoke(call, side);
    } catch (ArgumentError const& e) {
        throw BridgeError(name + ": " + e.what());
    } catch (BridgeError const&) {
        throw;
    } catch (RaisedError const&) {
        throw;
    } catch (std::exception const& e) {
        throw BridgeError(name + ": " + e.what());
    }
}

Value Runtime::sendToClass(std::string_view className, std::string_view selector, Array const& args)
{
    Class const* cls = findClass(className);
    if (!cls)
        throw BridgeError("no class named " + std::string(className));
    return send(ClassRef { cls }, selector, args);
}

ObjectRef Runtime::instantiate(std::string_view className)
{
    Value allocated = sendToClass(className, "alloc");
    Value initialised = send(allocated, "init");
    if (initialised.kind() != Kind::Object)
        throw BridgeError("+[" + std::string(className) + " alloc] init did not give an object");
    return initialised.asObject();
}

}
