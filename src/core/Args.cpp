#include "core/Args.h"

#include "core/BridgeError.h"

#include <cmath>
#include <cstdlib>

namespace quodrix {

void Args::wrongKind(std::size_t i, char const* expected) const
{
    throw ArgumentError("argument " + std::to_string(i + 1) + " must be " + expected + ", not "
        + std::string(kindName(m_values[i].kind())));
}

std::string Args::string(std::size_t i) const
{
    if (auto t = m_values[i].text())
        return *t;
    wrongKind(i, "a string");
}

std::optional<std::string> Args::optionalString(std::size_t i) const
{
    if (m_values[i].isNull())
        return std::nullopt;
    return string(i);
}

double Args::number(std::size_t i) const
{
    if (auto n = m_values[i].number())
        return *n;
    if (auto t = m_values[i].text())
        return std::strtod(t->c_str(), nullptr);
    wrongKind(i, "a number");
}

std::int64_t Args::integer(std::size_t i) const
{
    if (auto whole = m_values[i].integer())
        return *whole;
    return *Value(number(i)).integer();
}

bool Args::boolean(std::size_t i) const
{
    if (m_values[i].isNull())
        return false;
    return number(i) != 0;
}

Data Args::data(std::size_t i) const
{
    if (m_values[i].kind() == Kind::Data)
        return m_values[i].asData();
    if (auto t = m_values[i].text())
        return Data { *t };
    wrongKind(i, "data");
}

std::optional<Array> Args::optionalArray(std::size_t i) const
{
    if (m_values[i].isNull())
        return std::nullopt;
    return array(i);
}

Array Args::array(std::size_t i) const
{
    if (m_values[i].kind() == Kind::Array)
        return m_values[i].asArray();
    if (m_values[i].kind() == Kind::PathList) {
        Array array;
        array.reserve(m_values[i].asPathList().size());
        m_values[i].asPathList().forEach([&](std::string_view path) { array.emplace_back(path); });
        return array;
    }
    wrongKind(i, "an array");
}

ObjectRef Args::object(std::size_t i) const
{
    if (m_values[i].isNull())
        return nullptr;
    if (m_values[i].kind() == Kind::Object)
        return m_values[i].asObject();
    wrongKind(i, "an object");
}

}
