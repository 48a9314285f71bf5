#pragma once
// NSObjectController: the bindings controller of one content object (`content`, `setContent:`; null when
// it has none). Subclasses add their own properties.

#include "core/Object.h"

namespace quodrix {

class Runtime;

class NSObjectController : public Object {
public:
    static void registerClass(Runtime& runtime);

    ObjectRef const& content() const { return m_content; }
    void setContent(ObjectRef content) { m_content = std::move(content); }

private:
    ObjectRef m_content;
};

}
