#pragma once
// NSTreeController: feeds an outline view from a tree of nodes (an array of records whose "children" hold
// the nodes below). Here it keeps the content it was given; null content shows nothing.

#include "core/Object.h"

namespace quodrix {

class Runtime;

class NSTreeController : public Object {
public:
    static void registerClass(Runtime& runtime);

    Value const& content() const { return m_content; }
    void setContent(Value content) { m_content = std::move(content); }

private:
    Value m_content;
};

}
