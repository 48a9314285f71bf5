#pragma once
// NSButton: a button or check box of the interface; a check box is on when its state is 1.

#include "platform/NSControl.h"

#include <cstdint>
#include <string>

namespace quodrix {

class Runtime;

class NSButton : public NSControl {
public:
    static void registerClass(Runtime& runtime);

    std::int64_t state() const { return m_state; }
    void setState(std::int64_t state) { m_state = state; }
    std::string const& title() const { return m_title; }
    void setTitle(std::string title) { m_title = std::move(title); }

private:
    std::int64_t m_state = 0;
    std::string m_title;
};

}
