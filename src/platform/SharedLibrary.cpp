#include "platform/SharedLibrary.h"

#include "platform/SystemLog.h"

#include <dlfcn.h>

namespace quodrix {

std::unique_ptr<SharedLibrary> SharedLibrary::load(std::string const& name, std::string* error)
{
    void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        char const* why = dlerror();
        std::string const message = why ? why : "unknown error";
        systemLog("cannot load " + name + ": " + message);
        if (error)
            *error = message;
        return nullptr;
    }
    return std::make_unique<SharedLibrary>(handle, name);
}

void* SharedLibrary::symbol(char const* name) const
{
    void* found = dlsym(m_handle, name);
    if (!found)
        systemLog("cannot load " + m_name + ": it has no " + name);
    return found;
}

}
