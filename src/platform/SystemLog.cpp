#include "platform/SystemLog.h"

#include <cstdio>
#include <string>

namespace quodrix {

void systemLog(std::string_view line)
{
    std::string text(line);
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

}
