#pragma once
// Runtime: the classes reachable by name, and message sending between scripts and native code.
//
// Native classes are registered once, in any order: at start, or by a class provider the first time one of
// them is looked up. Script classes join when a script defines them. A class is linked to its superclass as
// soon as both are registered (registering a class looks its superclass up, which runs the provider that
// promises it); checkClasses() reports a superclass that never came. Every lookup happens at
// the moment of the call. send() checks the receiver, the selector and the argument count, and reports every
// failure as a BridgeError that names class and selector. A message to null does nothing and answers null, as
// a message to nothing does on the original platform.

#include "core/Value.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quodrix {

class Class;
class Object;
class Platform;
enum class Side;

class Runtime {
public:
    // The platform stand-ins are the caller's and must outlive the runtime.
    explicit Runtime(Platform& platform);
    ~Runtime();
    Runtime(Runtime const&) = delete;
    Runtime& operator=(Runtime const&) = delete;

    // Adds a class and links it with its superclass and its subclasses already registered. Throws
    // BridgeError when a class of the same name exists, when the link would make a loop, or when the
    // provider of the superclass fails.
    void registerClass(std::unique_ptr<Class> cls);
    // Throws BridgeError naming every class whose superclass is not registered.
    void checkClasses() const;
    // The class of that name; null when there is none. A name that a class provider promises registers the
    // provider's classes first.
    Class const* findClass(std::string_view name);

    // Classes registered on demand: the first lookup of one of `names` calls `provide`, which registers
    // them (and may register others). Lookups made while a provider runs do not call it again; they may
    // call other providers. A provider that throws is asked again at the next such lookup; one that
    // returns has done its work and is forgotten.
    using ClassProvider = std::function<void(Runtime&)>;
    void addClassProvider(std::set<std::string, std::less<>> names, ClassProvider provide);
    // The names of the classes registered so far, in order; a provider's classes only once it has run.
    std::vector<std::string> classNames() const;

    // Sends selector to a class (ClassRef), an instance (Object) or null. Throws BridgeError, or RaisedError
    // for an error that an operation raises on purpose.
    Value send(Value const& receiver, std::string_view selector, Array const& args = {});
    Value sendToClass(std::string_view className, std::string_view selector, Array const& args = {});
    // Sends selector to the named class as sendToClass does, then `next` to the script object `receiver`
    // with the array that the class answered as its one argument, where both are script methods of one host:
    // the array goes on as the script's own table, not converted into a bridge value and back (a row for
    // every file of a run travels this way). Answers nullopt when it did so; otherwise what the class
    // answered, and `receiver` was sent nothing, for the caller to go on the ordinary way.
    std::optional<Value> sendToClassForwarding(std::string_view className, std::string_view selector,
        Array const& args, Value const& receiver, std::string_view next);
    // The same to a class already looked up.
    std::optional<Value> sendToClassForwarding(Class const& cls, std::string_view selector, Array const& args,
        Value const& receiver, std::string_view next);
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
    // Checks a message to `cls` (its selector and argument count) and runs `invoke` with the call, turning
    // what it throws into the errors that send() reports.
    template<typename Result, typename Invoke>
    Result dispatch(Class const& cls, Object* object, Side side, std::string_view selector, Array const& args,
        Invoke const& invoke);
    Class const* registeredClass(std::string_view name) const;

    struct Provider {
        std::set<std::string, std::less<>> names;
        ClassProvider provide; // empty while it runs
    };

    std::map<std::string, std::unique_ptr<Class>, std::less<>> m_classes;
    // Held by pointer: a provider that runs may add others.
    std::vector<std::unique_ptr<Provider>> m_providers;
    Platform* m_platform;
    bool m_terminateRequested = false;
    int m_exitStatus = 0;
};

// Counts the arguments that a selector takes: one for each colon.
std::size_t selectorArity(std::string_view selector);

}
