#pragma once
// Object: the base of every instance that the bridge can hand to a script, native or script-defined.
//
// An object belongs to one class (set by the runtime when the class allocates it) and holds the fields
// that setValue:forKey: connects: outlets and properties, by their field name. Native classes read their
// outlets with field(); a field that was never set reads as null, which the bridge treats as nothing.

#include "core/Value.h"

#include <map>
#include <memory>
#include <string>

namespace quodrix {

class Class;

class Object : public std::enable_shared_from_this<Object> {
public:
    Object() = default;
    virtual ~Object() = default;
    Object(Object const&) = delete;
    Object& operator=(Object const&) = delete;

    Class const* objectClass() const { return m_class; }
    void setObjectClass(Class const* cls) { m_class = cls; }

    virtual std::string description() const;

    // Key-value access used by setValue:forKey: and valueForKey:. Subclasses that keep a property in a
    // typed member override these for that key and defer to the base for the rest.
    virtual void setValueForKey(std::string const& key, Value value);
    virtual Value valueForKey(std::string const& key) const;

    Value const& field(std::string const& key) const;

    // Whether this object is a wrapper made anew each time a script object crosses into native code. Such a
    // wrapper vanishes unless held strongly; native objects are held weakly where a cycle could form.
    virtual bool isTransientProxy() const { return false; }

private:
    Class const* m_class = nullptr;
    std::map<std::string, Value, std::less<>> m_fields;
};

}
