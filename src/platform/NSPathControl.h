#pragma once
// NSPathControl: a control that shows the location of one URL (`URL`, `setURL:`; null when it shows
// nothing). A URL given as a path text is taken as a file URL.

#include "core/Object.h"

#include <optional>

namespace quodrix {

class Runtime;

class NSPathControl : public Object {
public:
    static void registerClass(Runtime& runtime);

    std::optional<Url> const& url() const { return m_url; }
    void setUrl(std::optional<Url> url) { m_url = std::move(url); }

private:
    std::optional<Url> m_url;
};

}
