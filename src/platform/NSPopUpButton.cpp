#include "platform/NSPopUpButton.h"

#include "core/Class.h"

#include <algorithm>

namespace quodrix {

void NSPopUpButton::addItemWithTitle(std::string title)
{
    // A pop-up menu holds each title once; adding an existing title moves it to the end.
    std::erase(m_titles, title);
    m_titles.push_back(std::move(title));
    if (m_selected < 0 || m_selected >= std::int64_t(m_titles.size()))
        m_selected = 0;
}

void NSPopUpButton::removeAllItems()
{
    m_titles.clear();
    m_selected = -1;
}

void NSPopUpButton::selectItemAtIndex(std::int64_t index)
{
    m_selected = index >= 0 && index < std::int64_t(m_titles.size()) ? index : -1;
}

std::optional<std::string> NSPopUpButton::titleOfSelectedItem() const
{
    if (m_selected < 0 || m_selected >= std::int64_t(m_titles.size()))
        return std::nullopt;
    return m_titles[std::size_t(m_selected)];
}

void NSPopUpButton::registerClass(Runtime& runtime)
{
    ClassBuilder<NSPopUpButton>(runtime, "NSPopUpButton", "NSControl")
        .method("addItemWithTitle:", [](Call const& c) {
            c.self<NSPopUpButton>().addItemWithTitle(c.args.string(0));
            return Value();
        })
        .method("addItemsWithTitles:", [](Call const& c) {
            for (auto const& title : c.args.array(0))
                c.self<NSPopUpButton>().addItemWithTitle(title.description());
            return Value();
        })
        .method("removeAllItems", [](Call const& c) {
            c.self<NSPopUpButton>().removeAllItems();
            return Value();
        })
        .method("itemTitles", [](Call const& c) { return Value(c.self<NSPopUpButton>().itemTitles()); })
        .method("numberOfItems", [](Call const& c) {
            return Value(std::int64_t(c.self<NSPopUpButton>().itemTitles().size()));
        })
        .method("indexOfSelectedItem", [](Call const& c) { return Value(c.self<NSPopUpButton>().indexOfSelectedItem()); })
        .method("selectItemAtIndex:", [](Call const& c) {
            c.self<NSPopUpButton>().selectItemAtIndex(c.args.integer(0));
            return Value();
        })
        .method("selectItemWithTitle:", [](Call const& c) {
            auto& popup = c.self<NSPopUpButton>();
            auto const& titles = popup.itemTitles();
            auto it = std::find(titles.begin(), titles.end(), c.args.string(0));
            popup.selectItemAtIndex(it == titles.end() ? -1 : std::int64_t(it - titles.begin()));
            return Value();
        })
        .method("titleOfSelectedItem", [](Call const& c) { return Value(c.self<NSPopUpButton>().titleOfSelectedItem()); })
        .method("titleAttributes", [](Call const& c) { return Value(c.self<NSPopUpButton>().titleAttributes()); });
}

}
