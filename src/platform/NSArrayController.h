#pragma once
// NSArrayController: an in-memory list of rows, as the log lists of the controllers use it.

#include "core/Object.h"

namespace quodrix {

class Runtime;

class NSArrayController : public Object {
public:
    static void registerClass(Runtime& runtime);

    Array const& arrangedObjects() const { return m_content; }
    void addObjects(Array const& objects) { m_content.insert(m_content.end(), objects.begin(), objects.end()); }
    void addObject(Value object) { m_content.push_back(std::move(object)); }
    void setContent(Array content) { m_content = std::move(content); }

private:
    Array m_content;
};

}
