#include "platform/NSWindow.h"

#include "core/BridgeError.h"
#include "core/Class.h"

namespace quodrix {

Rect rectFromValue(Value const& value)
{
    if (value.kind() != Kind::Array || value.asArray().size() != 4)
        throw ArgumentError("a rectangle must be an array {x, y, width, height}");
    Rect rect {};
    for (std::size_t i = 0; i < 4; ++i) {
        auto n = value.asArray()[i].number();
        if (!n)
            throw ArgumentError("a rectangle must be an array of four numbers");
        rect[i] = *n;
    }
    return rect;
}

Value valueFromRect(Rect const& rect)
{
    return Value(Array { Value(rect[0]), Value(rect[1]), Value(rect[2]), Value(rect[3]) });
}

void NSWindow::setFrame(Rect const& frame, bool display, bool animate)
{
    m_frame = frame;
    if (display)
        ++m_displayCount;
    if (animate)
        ++m_animateCount;
}

void NSWindow::beginAsSheet(std::shared_ptr<Object> const& parent, std::shared_ptr<Object> const& delegate,
    std::string endSelector)
{
    m_sheetActive = true;
    m_visible = true;
    m_sheetParent = parent;
    m_sheetDelegate = delegate;
    m_sheetScriptDelegate = delegate && delegate->isTransientProxy() ? delegate : nullptr;
    m_sheetEndSelector = std::move(endSelector);
}

std::pair<std::shared_ptr<Object>, std::string> NSWindow::endSheet()
{
    if (!m_sheetActive)
        return {};
    m_sheetActive = false;
    auto result = std::make_pair(m_sheetDelegate.lock(), std::move(m_sheetEndSelector));
    m_sheetDelegate.reset();
    m_sheetScriptDelegate.reset();
    m_sheetParent.reset();
    m_sheetEndSelector.clear();
    return result;
}

void NSWindow::registerClass(Runtime& runtime)
{
    ClassBuilder<NSWindow>(runtime, "NSWindow")
        .method("frame", [](Call const& c) { return valueFromRect(c.self<NSWindow>().frame()); })
        .method("setFrame:display:", [](Call const& c) {
            c.self<NSWindow>().setFrame(rectFromValue(c.args[0]), c.args.boolean(1), false);
            return Value();
        })
        .method("setFrame:display:animate:", [](Call const& c) {
            c.self<NSWindow>().setFrame(rectFromValue(c.args[0]), c.args.boolean(1), c.args.boolean(2));
            return Value();
        })
        .method("orderOut:", [](Call const& c) {
            c.self<NSWindow>().setVisible(false);
            return Value();
        })
        .method("makeKeyAndOrderFront:", [](Call const& c) {
            c.self<NSWindow>().setVisible(true);
            return Value();
        })
        .method("isVisible", [](Call const& c) { return Value(c.self<NSWindow>().isVisible()); })
        .method("isSheet", [](Call const& c) { return Value(c.self<NSWindow>().isSheet()); })
        .method("title", [](Call const& c) { return Value(c.self<NSWindow>().title()); })
        .method("setTitle:", [](Call const& c) {
            c.self<NSWindow>().setTitle(c.args.string(0));
            return Value();
        });
}

}
