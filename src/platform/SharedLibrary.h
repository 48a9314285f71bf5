#pragma once
// SharedLibrary: a library loaded when it is first needed, for the few that only some commands use (the
// network client, the print system). Linking them would load them, and the many libraries they bring, at
// every start of the application, which costs each command about ten milliseconds.
//
// A library once loaded stays loaded for the life of the process; its functions are looked up by name.

#include <memory>
#include <string>

namespace quodrix {

class SharedLibrary {
public:
    // The library of that name (e.g. "libcurl.so.4"), or null when it cannot be loaded.
    static std::unique_ptr<SharedLibrary> load(std::string const& name);

    // Points `pointer` at the function of that name; false (and null) when the library has none.
    template<typename Function>
    bool bind(Function*& pointer, char const* name) const
    {
        pointer = reinterpret_cast<Function*>(symbol(name));
        return pointer != nullptr;
    }

    // Takes over a handle that dlopen gave.
    explicit SharedLibrary(void* handle) : m_handle(handle) { }

private:
    void* symbol(char const* name) const;

    void* m_handle;
};

}
