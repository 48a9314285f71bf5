#pragma once
// Opening a URL with the application that the desktop assigns to its scheme: GIO's default handler first,
// then xdg-open started in the background. Never blocks on the opened application and never fails the
// caller; without a desktop (or without GIO, loaded at the first call) nothing opens. Only URLs with a
// scheme are opened, so a URL can never be read as a command-line option.

#include <string>

namespace quodrix {

// Whether a handler was started (for diagnostics; callers do not report it).
bool openWithDefaultHandler(std::string const& url);

}
