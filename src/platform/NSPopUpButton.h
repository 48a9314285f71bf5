#pragma once
// NSPopUpButton: a pop-up menu of titled items with one selected item (index -1 when it has none).

#include "platform/NSControl.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quodrix {

class Runtime;

class NSPopUpButton : public NSControl {
public:
    static void registerClass(Runtime& runtime);

    std::vector<std::string> const& itemTitles() const { return m_titles; }
    void addItemWithTitle(std::string title);
    void removeAllItems();
    std::int64_t indexOfSelectedItem() const { return m_selected; }
    void selectItemAtIndex(std::int64_t index);
    // The selected item's title, or nullopt when nothing is selected.
    std::optional<std::string> titleOfSelectedItem() const;

    // The title as shown, with its attributes (for example a foreground colour {r, g, b, a}).
    Dictionary const& titleAttributes() const { return m_titleAttributes; }
    void setTitleAttributes(Dictionary attributes) { m_titleAttributes = std::move(attributes); }

private:
    std::vector<std::string> m_titles;
    std::int64_t m_selected = -1;
    Dictionary m_titleAttributes;
};

}
