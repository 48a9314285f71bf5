#pragma once
// The named colours of the platform that native classes use, as {red, green, blue, alpha} from 0 to 1, and
// their form on the bridge (an array of four numbers).

#include "core/Value.h"

#include <array>

namespace quodrix {

using Color = std::array<double, 4>;

// The colour of grid lines and of a window's grid background: a light grey.
constexpr Color kGridColor { 0.8, 0.8, 0.8, 1.0 };
// Pure green.
constexpr Color kGreenColor { 0.0, 1.0, 0.0, 1.0 };

inline Value valueFromColor(Color const& color)
{
    return Value(Array { Value(color[0]), Value(color[1]), Value(color[2]), Value(color[3]) });
}

}
