#pragma once
// SharedLibrary: a library loaded when it is first needed, for those that only some commands use (the
// network client, the print system, GIO, the classes and images modules). Linking them would load them, and
// the many libraries they bring, at every start of the application, which costs each command milliseconds.
//
// A library once loaded stays loaded for the life of the process; its functions are looked up by name.

#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace quodrix {

class SharedLibrary {
public:
    // The library of that name (e.g. "libcurl.so.4") or path, or null when it cannot be loaded; `error`,
    // when given, then receives the loader's message.
    static std::unique_ptr<SharedLibrary> load(std::string const& name, std::string* error = nullptr);

    // Points `pointer` at the function of that name; false (and null) when the library has none, which the
    // system log then records.
    template<typename Function>
    bool bind(Function*& pointer, char const* name) const
    {
        pointer = reinterpret_cast<Function*>(symbol(name));
        return pointer != nullptr;
    }

    // Takes over a handle that dlopen gave for the library of that name.
    SharedLibrary(void* handle, std::string name) : m_handle(handle), m_name(std::move(name)) { }

private:
    void* symbol(char const* name) const;

    void* m_handle;
    std::string m_name;
};

// The functions that a caller needs from one library, as a struct of function pointers that `bind` fills
// (telling whether it found them all): loaded on the first call, then the same for the life of the process;
// null when the library or one of the functions is missing.
template<typename Functions, typename Bind>
Functions const* loadedFunctions(char const* libraryName, Bind bind)
{
    struct Loaded {
        std::unique_ptr<SharedLibrary> library;
        Functions functions;
    };
    static std::optional<Loaded> const loaded = [&]() -> std::optional<Loaded> {
        auto library = SharedLibrary::load(libraryName);
        Functions functions {};
        if (!library || !bind(*library, functions))
            return std::nullopt;
        return Loaded { std::move(library), functions };
    }();
    return loaded ? &loaded->functions : nullptr;
}

}
