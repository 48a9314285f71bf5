#pragma once
// Args: the arguments of one message, with typed readers that raise ArgumentError on a value of the
// wrong kind. The runtime turns that error into one that names the class and the selector.

#include "core/Value.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace quodrix {

class Args {
public:
    explicit Args(std::span<Value const> values) : m_values(values) { }

    std::size_t size() const { return m_values.size(); }
    Value const& operator[](std::size_t i) const { return m_values[i]; }

    // A string (or a mutable string's text).
    std::string string(std::size_t i) const;
    // A string, or nullopt for null.
    std::optional<std::string> optionalString(std::size_t i) const;
    // The text form of any value ("%@" formatting): numbers in decimal, null "(null)".
    std::string text(std::size_t i) const { return m_values[i].description(); }
    // A number, rounded toward zero; a string holding a number is read as the platform's intValue does.
    std::int64_t integer(std::size_t i) const;
    double number(std::size_t i) const;
    // A boolean; numbers are true when not zero.
    bool boolean(std::size_t i) const;
    // Data, or a string's bytes.
    Data data(std::size_t i) const;
    // An array (null reads as nullopt).
    std::optional<Array> optionalArray(std::size_t i) const;
    Array array(std::size_t i) const;
    // An object (null reads as nullptr).
    ObjectRef object(std::size_t i) const;

    [[noreturn]] void wrongKind(std::size_t i, char const* expected) const;

private:
    std::span<Value const> m_values;
};

}
