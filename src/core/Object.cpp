#include "core/Object.h"

#include "core/Class.h"

#include <cstdio>

namespace quodrix {

std::string Object::description() const
{
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<void const*>(this));
    return "<" + (m_class ? m_class->name() : std::string("Object")) + ": " + address + ">";
}

void Object::setValueForKey(std::string const& key, Value value)
{
    m_fields[key] = std::move(value);
}

Value Object::valueForKey(std::string const& key) const
{
    return field(key);
}

Value const& Object::field(std::string const& key) const
{
    static Value const null;
    auto it = m_fields.find(key);
    return it == m_fields.end() ? null : it->second;
}

}
