#pragma once
// Window colours: system colour references and the luminance shading of every window.

#include "core/Settings.h"

#include <cstdint>

namespace kestrine {

struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
    bool operator==(const Rgb&) const = default;
};

// The standard default value of system colour `index` (index 28 is 215, 228, 242).
Rgb systemColour(int index);
// Resolves 0xFF0000nn through the system colour table, anything else as 0x00BBGGRR.
Rgb resolveColour(ColourValue colour);
// Moves a colour's luminance by `amount` on the 0..240 scale; below 0 gives white.
Rgb ShadeColour(ColourValue colour, int amount);

} // namespace kestrine
