#pragma once
// NSWindow: a window of the interface: its frame, whether it is on screen, and the sheet state that the
// application object's beginSheet:... and endSheet: keep on the sheet window.

#include "core/Object.h"

#include <array>
#include <memory>
#include <string>

namespace quodrix {

class Runtime;

using Rect = std::array<double, 4>;  // x, y, width, height

class NSWindow : public Object {
public:
    static void registerClass(Runtime& runtime);

    Rect const& frame() const { return m_frame; }
    virtual void setFrame(Rect const& frame, bool display, bool animate);
    bool isVisible() const { return m_visible; }
    void setVisible(bool visible) { m_visible = visible; }
    std::string const& title() const { return m_title; }
    void setTitle(std::string title) { m_title = std::move(title); }

    // While this window is up as a sheet: the window it is attached to, and who hears of its end.
    bool isSheet() const { return m_sheetActive; }
    void beginAsSheet(std::shared_ptr<Object> const& parent, std::shared_ptr<Object> const& delegate,
        std::string endSelector);
    // Ends the sheet and gives back its delegate and end selector (empty when it was not a sheet).
    std::pair<std::shared_ptr<Object>, std::string> endSheet();
    std::shared_ptr<Object> sheetParent() const { return m_sheetParent.lock(); }

    long displayCount() const { return m_displayCount; }
    long animateCount() const { return m_animateCount; }

private:
    Rect m_frame { 0, 0, 0, 0 };
    bool m_visible = false;
    std::string m_title;
    bool m_sheetActive = false;
    std::weak_ptr<Object> m_sheetParent;
    std::weak_ptr<Object> m_sheetDelegate;
    std::shared_ptr<Object> m_sheetScriptDelegate;  // a script delegate is held until the sheet ends
    std::string m_sheetEndSelector;
    long m_displayCount = 0;
    long m_animateCount = 0;
};

// A rectangle from a bridge value {x, y, width, height}; throws ArgumentError otherwise.
Rect rectFromValue(Value const& value);
Value valueFromRect(Rect const& rect);

}
