#pragma once
// QDFileProperty: facts about a file given by its path, for the scripts.
//
// qdGetFileLabel: shows the item in the path control connected to `pathControl` (always, whether or not
// the item exists; an empty path clears the control) and answers the item's colour-label number in
// decimal. The label is kept in the item's extended attribute kLabelAttribute as a decimal number from 0
// to 7; an item without one, or with one that is no such number, has label 0. "none" when the item
// cannot be reached (no item, a parent that is not a folder, no permission) or its attributes cannot be read.
//
// hGetFileNameProps: on the path text alone, [file name, extension, base name]: the last path component
// (trailing "/" ignored; "/" for the root), the text after its last "." (empty when it has none; "." and
// ".." have none), and the component without that extension and its dot.
//
// `delQDFileProperty` is a delegate reference that the interface connects; it is held weakly (it may be
// this very object) and no operation reads it.

#include "core/Object.h"

#include <memory>
#include <string>
#include <vector>

namespace quodrix {

class Runtime;

class QDFileProperty : public Object {
public:
    static void registerClass(Runtime& runtime);

    static constexpr char const* kLabelAttribute = "user.quodrix.label";
    static constexpr char const* kNone = "none";

    std::string qdGetFileLabel(Runtime& runtime, std::string const& path);
    static std::string fileLabel(std::string const& path);
    static std::vector<std::string> hGetFileNameProps(std::string const& path);

    void setValueForKey(std::string const& key, Value value) override;
    Value valueForKey(std::string const& key) const override;

private:
    std::weak_ptr<Object> m_delegate;
    ObjectRef m_scriptDelegate;
};

}
