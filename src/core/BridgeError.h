#pragma once
// Errors of the script bridge. They travel as C++ exceptions inside native code and are turned into Lua
// errors at the boundary (LuaHost); none ever reaches the main loop as an exception.

#include <stdexcept>
#include <string>

namespace quodrix {

// A call that cannot be carried out: unknown class or selector, wrong argument count, value of the wrong
// kind, or an error inside a script method called from native code. The message names class and selector.
class BridgeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An argument of the wrong kind; the runtime adds the class and selector before it reaches a script.
class ArgumentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An error that an operation raises on purpose, as the presets store does: it carries a description, the
// method and the file that raised it. Scripts see the description in the error message.
class RaisedError : public std::runtime_error {
public:
    RaisedError(std::string description, std::string method, std::string file)
        : std::runtime_error(description)
        , m_description(std::move(description))
        , m_method(std::move(method))
        , m_file(std::move(file))
    {
    }
    std::string const& description() const { return m_description; }
    std::string const& method() const { return m_method; }
    std::string const& file() const { return m_file; }

private:
    std::string m_description;
    std::string m_method;
    std::string m_file;
};

}
