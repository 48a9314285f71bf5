#pragma once
// Runtime: the classes reachable by name, and message sending between scripts and native code.
//
// Native classes are registered once at start (registerNativeClasses), in any order; script classes join
// when a script defines them. A class is linked to its superclass as soon as both are registered;
// checkClasses() reports a superclass that never came. Every lookup happens at the moment of the call. send() checks the receiver, the selector
// and the argument count, and reports every failure as a BridgeError that names class and selector. A
// message to null does nothing and answers null, as a message to nothing does on the original platform.

#include "core/Value.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace quodrix {

class Class;
class Platform;

class Runtime {
public:
    // The platform stand-ins are the caller's and must outlive the runtime.
    explicit Runtime(Platform& platform);
    ~Runtime();
    Runtime(Runtime const&) = delete;
    Runtime& operator=(Runtime const&) = delete;

    // Adds a class and links it with its superclass and its subclasses already registered. Throws
    // BridgeError when a class of the same name exists or when the link would make a loop.
    void registerClass(std::unique_ptr<Class> cls);
    // Throws BridgeError naming every class whose superclass is not registered.
    void checkClasses() const;
    Class const* findClass(std::string_view name) const;

    // Sends selector to a class (ClassRef), an instance (Object) or null. Throws BridgeError, or RaisedError
    // for an error that an operation raises on purpose.
    Value send(Value const& receiver, std::string_view selector, Array const& args = {});
    Value sendToClass(std::string_view className, std::string_view selector, Array const& args = {});
    // A new instance of the named class, allocated and sent init.
    ObjectRef instantiate(std::string_view className);
    template<typename T>
    std::shared_ptr<T> instantiate(std::string_view className)
    {
        return std::dynamic_pointer_cast<T>(instantiate(className));
    }

    // The platform stand-ins (panels, alerts, screens, ...).
    Platform& platform() { return *m_platform; }

    // State of the application object: the main loop ends after terminate:, with this exit status.
    bool terminateRequested() const { return m_terminateRequested; }
    void requestTerminate() { m_terminateRequested = true; }
    int exitStatus() const { return m_exitStatus; }
    void setExitStatus(int status) { m_exitStatus = status; }

private:
    std::map<std::string, std::unique_ptr<Class>, std::less<>> m_classes;
    Platform* m_platform;
    bool m_terminateRequested = false;
    int m_exitStatus = 0;
};

// Counts the arguments that a selector takes: one for each colon.
std::size_t selectorArity(std::string_view selector);

}
