#include "core/Runtime.h"

#include "core/BridgeError.h"
#include "core/Class.h"
#include "core/Object.h"

#include <algorithm>
#include <utility>

namespace quodrix {

Runtime::Runtime(Platform& platform) : m_platform(&platform) { }

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
    if (!cls->superclassName().empty()) {
        // A loop would make every method lookup of its classes endless.
        if (cls->superclassName() == name)
            throw BridgeError("class " + name + " cannot be its own superclass");
        Class const* superclass = findClass(cls->superclassName());
        if (m_classes.contains(name))
            throw BridgeError("class " + name + " is already defined");
        for (Class const* c = superclass; c; c = c->superclass())
            if (c->name() == name || c->superclassName() == name)
                throw BridgeError("class " + name + " cannot be a subclass of " + cls->superclassName()
                    + ", which descends from it");
        cls->m_superclass = superclass;
    }
    Class* added = cls.get();
    m_classes.emplace(std::move(name), std::move(cls));
    for (auto& [_, other] : m_classes)
        if (other->m_superclass == nullptr && other->superclassName() == added->name())
            other->m_superclass = added;
}

void Runtime::checkClasses() const
{
    std::string missing;
    for (auto const& [name, cls] : m_classes) {
        if (!cls->superclassName().empty() && !cls->superclass())
            missing += (missing.empty() ? "" : ", ") + name + " (superclass " + cls->superclassName() + ")";
    }
    if (!missing.empty())
        throw BridgeError("classes whose superclass is not registered: " + missing);
}

Class const* Runtime::registeredClass(std::string_view name) const
{
    auto it = m_classes.find(name);
    return it == m_classes.end() ? nullptr : it->second.get();
}

Class const* Runtime::findClass(std::string_view name)
{
    if (Class const* cls = registeredClass(name))
        return cls;
    auto const promised = std::find_if(m_providers.begin(), m_providers.end(),
        [name](std::unique_ptr<Provider> const& p) { return p->provide && p->names.contains(name); });
    if (promised == m_providers.end())
        return nullptr;
    // Emptied while it runs, so that its own registrations and lookups do not call it again; given back
    // for the next lookup when it fails.
    Provider* const provider = promised->get();
    ClassProvider provide = std::exchange(provider->provide, nullptr);
    try {
        provide(*this);
    } catch (...) {
        provider->provide = std::move(provide);
        throw;
    }
    std::erase_if(m_providers, [provider](std::unique_ptr<Provider> const& p) { return p.get() == provider; });
    return registeredClass(name);
}

std::vector<std::string> Runtime::classNames() const
{
    std::vector<std::string> names;
    for (auto const& [name, _] : m_classes)
        names.push_back(name);
    return names;
}

void Runtime::addClassProvider(std::set<std::string, std::less<>> names, ClassProvider provide)
{
    m_providers.push_back(std::make_unique<Provider>(Provider { std::move(names), std::move(provide) }));
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

    return dispatch<Value>(*cls, object, side, selector, args, [&](Call const& call) { return cls->invoke(call, side); });
}

template<typename Result, typename Invoke>
Result Runtime::dispatch(Class const& cls, Object* object, Side side, std::string_view selector, Array const& args,
    Invoke const& invoke)
{
    // The name for error messages, made only when there is an error: this runs for every message sent.
    auto const name = [&] { return callName(cls, side, selector); };
    if (!cls.responds(selector, side))
        throw BridgeError(name() + ": unrecognized selector");
    std::size_t arity = selectorArity(selector);
    if (args.size() != arity)
        throw BridgeError(name() + ": expects " + std::to_string(arity) + " argument" + (arity == 1 ? "" : "s")
            + ", got " + std::to_string(args.size()));

    Args typed(args);
    Call call { *this, cls, object, selector, typed };
    try {
        return invoke(call);
    } catch (ArgumentError const& e) {
        throw BridgeError(name() + ": " + e.what());
    } catch (BridgeError const&) {
        throw;
    } catch (RaisedError const&) {
        throw;
    } catch (std::exception const& e) {
        throw BridgeError(name() + ": " + e.what());
    }
}

Value Runtime::sendToClass(std::string_view className, std::string_view selector, Array const& args)
{
    Class const* cls = findClass(className);
    if (!cls)
        throw BridgeError("no class named " + std::string(className));
    return send(ClassRef { cls }, selector, args);
}

std::optional<Value> Runtime::sendToClassForwarding(std::string_view className, std::string_view selector,
    Array const& args, Value const& receiver, std::string_view next)
{
    Class const* cls = findClass(className);
    if (!cls)
        throw BridgeError("no class named " + std::string(className));
    return sendToClassForwarding(*cls, selector, args, receiver, next);
}

std::optional<Value> Runtime::sendToClassForwarding(Class const& cls, std::string_view selector, Array const& args,
    Value const& receiver, std::string_view next)
{
    Object* target = receiver.kind() == Kind::Object ? receiver.asObject().get() : nullptr;
    // Whether the receiver takes `next` is left to the class: it forwards only to a script method that it
    // finds, and otherwise answers as send() would.
    if (!target || !target->objectClass() || selectorArity(next) != 1)
        return send(ClassRef { &cls }, selector, args);
    return dispatch<std::optional<Value>>(cls, nullptr, Side::Class, selector, args,
        [&](Call const& call) { return cls.invokeForwarding(call, Side::Class, *target, next); });
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
