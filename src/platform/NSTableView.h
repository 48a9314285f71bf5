#pragma once
// NSTableView: a table that shows rows; here it counts how often it was asked to redraw.

#include "core/Object.h"

namespace quodrix {

class Runtime;

class NSTableView : public Object {
public:
    static void registerClass(Runtime& runtime);

    void reloadData() { ++m_reloadCount; }
    long reloadCount() const { return m_reloadCount; }

private:
    long m_reloadCount = 0;
};

}
