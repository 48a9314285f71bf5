#pragma once
// Class: a class reachable by name through the runtime, native (NativeClass) or defined by a script
// (ScriptClass). A class answers class messages, allocates instances and answers instance messages
// sent to them. Method lookup walks the superclass chain.
//
// A class names its superclass; the runtime links the two when both are registered, whichever comes
// first, so classes register in any order. Until then superclass() is null.

#include "core/Args.h"
#include "core/BridgeError.h"
#include "core/Value.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quodrix {

class Object;
class Runtime;

enum class Side { Class, Instance };

// Everything a method sees of one message.
struct Call {
    Runtime& runtime;
    Class const& receiverClass;  // the class messaged, or the class of the instance messaged
    Object* receiver;            // null for class messages
    std::string_view selector;
    Args const& args;

    // The receiver as the native type that the method belongs to.
    template<typename T>
    T& self() const;
    ObjectRef selfRef() const;
};

class Class {
public:
    // An empty superclassName makes a root class.
    Class(std::string name, std::string superclassName)
        : m_name(std::move(name))
        , m_superclassName(std::move(superclassName))
    {
    }
    virtual ~Class() = default;
    Class(Class const&) = delete;
    Class& operator=(Class const&) = delete;

    std::string const& name() const { return m_name; }
    std::string const& superclassName() const { return m_superclassName; }
    // The registered class named by superclassName(), or null for a root class or one not registered yet.
    Class const* superclass() const { return m_superclass; }
    bool isKindOf(Class const& other) const;

    // Whether this class or one above it answers the selector on that side.
    virtual bool responds(std::string_view selector, Side side) const = 0;
    // Sends a message that responds() accepted. Throws BridgeError, ArgumentError or RaisedError.
    virtual Value invoke(Call const& call, Side side) const = 0;
    // Sends a message that responds() accepted and, when it answers an array and `receiver` takes `next`
    // where this class runs (a script method of the same host), sends `next` to `receiver` with that array as
    // it stands there, unconverted. Answers nullopt when it did so; otherwise what the message answered, and
    // `receiver` was sent nothing. The default only invokes.
    virtual std::optional<Value> invokeForwarding(Call const& call, Side side, Object& /*receiver*/,
        std::string_view /*next*/) const
    {
        return invoke(call, side);
    }
    // A new, uninitialised instance of this class.
    virtual ObjectRef allocate(Runtime& runtime) const = 0;

private:
    friend class Runtime;  // links superclasses as classes register
    std::string m_name;
    std::string m_superclassName;
    Class const* m_superclass = nullptr;
};

using Method = std::function<Value(Call const&)>;

class NativeClass final : public Class {
public:
    using Factory = std::function<ObjectRef()>;
    NativeClass(std::string name, std::string superclassName, Factory factory)
        : Class(std::move(name), std::move(superclassName)), m_factory(std::move(factory))
    {
    }

    void addMethod(Side side, std::string selector, Method method);

    bool responds(std::string_view selector, Side side) const override;
    Value invoke(Call const& call, Side side) const override;
    ObjectRef allocate(Runtime& runtime) const override;

private:
    Method const* find(std::string_view selector, Side side) const;

    Factory m_factory;
    std::map<std::string, Method, std::less<>> m_classMethods;
    std::map<std::string, Method, std::less<>> m_instanceMethods;
};

// Registers a native class whose instances are of C++ type T, one selector at a time:
//   ClassBuilder<cToolBox>(runtime, "cToolBox")
//       .classMethod("hGetHomeDir", [](Call const& c) { return Value(cToolBox::hGetHomeDir()); });
template<typename T>
class ClassBuilder {
public:
    // Registers the class at once; throws BridgeError when a class of that name exists. The superclass
    // may register before or after it (an empty name makes a root class).
    ClassBuilder(Runtime& runtime, std::string name, std::string superclass = "NSObject");

    ClassBuilder& classMethod(std::string selector, Method method)
    {
        m_class->addMethod(Side::Class, std::move(selector), std::move(method));
        return *this;
    }
    ClassBuilder& method(std::string selector, Method method)
    {
        m_class->addMethod(Side::Instance, std::move(selector), std::move(method));
        return *this;
    }

private:
    NativeClass* m_class;  // owned by the runtime
};

}

#include "core/Runtime.h"

namespace quodrix {

template<typename T>
T& Call::self() const
{
    auto* typed = dynamic_cast<T*>(receiver);
    if (!typed)
        throw ArgumentError("the receiver is not an instance of " + receiverClass.name());
    return *typed;
}

template<typename T>
ClassBuilder<T>::ClassBuilder(Runtime& runtime, std::string name, std::string superclass)
{
    auto cls = std::make_unique<NativeClass>(std::move(name), std::move(superclass),
        [] { return ObjectRef(std::make_shared<T>()); });
    m_class = cls.get();
    runtime.registerClass(std::move(cls));
}

}
