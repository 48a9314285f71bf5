#include "platform/NSTableView.h"

#include "core/Class.h"

namespace quodrix {

void NSTableView::registerClass(Runtime& runtime)
{
    ClassBuilder<NSTableView>(runtime, "NSTableView")
        .method("reloadData", [](Call const& c) {
            c.self<NSTableView>().reloadData();
            return Value();
        })
        .method("reloadCount", [](Call const& c) { return Value(c.self<NSTableView>().reloadCount()); });
}

}
