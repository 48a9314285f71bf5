#pragma once
// cAppUpdater: the newest published version of the application. getAppVersion reads the version text
// over HTTP from the address that the platform gives (the build setting QUODRIX_VERSION_URL unless set
// otherwise) and answers it unchanged, or null when it cannot be read: no connection, an unreachable or
// silent server (the read gives up after the platform's version timeout), an answer with an HTTP error
// status, a text that is not UTF-8, or one longer than kMaxVersionText bytes. Nothing is reported further.
// The read blocks the calling thread.

#include "core/Object.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace quodrix {

class Platform;
class Runtime;

class cAppUpdater : public Object {
public:
    static void registerClass(Runtime& runtime);

    static constexpr std::size_t kMaxVersionText = 64 * 1024;

    static std::optional<std::string> getAppVersion(Platform const& platform);
    static std::optional<std::string> readText(std::string const& url, std::chrono::milliseconds timeout);
};

}
