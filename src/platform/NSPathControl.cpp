#include "platform/NSPathControl.h"

#include "core/Class.h"

namespace quodrix {

void NSPathControl::registerClass(Runtime& runtime)
{
    ClassBuilder<NSPathControl>(runtime, "NSPathControl")
        .method("URL", [](Call const& c) { return Value(c.self<NSPathControl>().url()); })
        .method("setURL:", [](Call const& c) {
            auto const& value = c.args[0];
            if (value.isNull())
                c.self<NSPathControl>().setUrl(std::nullopt);
            else if (value.kind() == Kind::Url)
                c.self<NSPathControl>().setUrl(value.asUrl());
            else
                c.self<NSPathControl>().setUrl(Url::fromPath(c.args.string(0)));
            return Value();
        });
}

}
