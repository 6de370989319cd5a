#include "core/Colour.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace kestrine {

namespace {

// The Windows default scheme, so a colour setting looks the same on every desktop.
constexpr std::array<Rgb, 31> kSystemColours{{
    {200, 200, 200}, // 0 scroll bar
    {0, 0, 0},       // 1 desktop background
    {153, 180, 209}, // 2 active caption
    {191, 205, 219}, // 3 inactive caption
    {240, 240, 240}, // 4 menu
    {255, 255, 255}, // 5 window
    {100, 100, 100}, // 6 window frame
    {0, 0, 0},       // 7 menu text
    {0, 0, 0},       // 8 window text
    {0, 0, 0},       // 9 caption text
    {180, 180, 180}, // 10 active border
    {244, 247, 252}, // 11 inactive border
    {171, 171, 171}, // 12 application workspace
    {0, 120, 215},   // 13 highlight
    {255, 255, 255}, // 14 highlight text
    {240, 240, 240}, // 15 button face
    {160, 160, 160}, // 16 button shadow
    {109, 109, 109}, // 17 grey text
    {0, 0, 0},       // 18 button text
    {0, 0, 0},       // 19 inactive caption text
    {255, 255, 255}, // 20 3D highlight
    {105, 105, 105}, // 21 3D dark shadow
    {227, 227, 227}, // 22 3D light
    {0, 0, 0},       // 23 tooltip text
    {255, 255, 225}, // 24 tooltip background
    {0, 0, 0},       // 25 unused
    {0, 102, 204},   // 26 hot-tracked item
    {185, 209, 234}, // 27 active caption gradient
    {215, 228, 242}, // 28 inactive caption gradient
    {0, 120, 215},   // 29 menu highlight
    {240, 240, 240}, // 30 menu bar
}};

// Nearest integer, halves to the even neighbour.
double nearEven(double x) {
    double r = std::floor(x);
    double frac = x - r;
    if (frac > 0.5)
        return r + 1;
    if (frac < 0.5)
        return r;
    return std::fmod(r, 2.0) == 0.0 ? r : r + 1;
}

int toComponent(double value) {
    if (value > 255.0)
        return 255;
    double n = nearEven(value);
    return n < 0.0 ? 0 : static_cast<int>(n);
}

} // namespace

Rgb systemColour(int index) {
    // An index the system does not know reads as black, as the system call gives.
    if (index < 0 || index >= static_cast<int>(kSystemColours.size()))
        return {};
    return kSystemColours[static_cast<std::size_t>(index)];
}

Rgb resolveColour(ColourValue colour) {
    if ((colour & 0xFFFFFF00u) == 0xFF000000u)
        return systemColour(static_cast<int>(colour & 0xFFu));
    return {static_cast<int>(colour & 0xFFu), static_cast<int>((colour >> 8) & 0xFFu),
            static_cast<int>((colour >> 16) & 0xFFu)};
}

Rgb ShadeColour(ColourValue colour, int amount) {
    const Rgb rgb = resolveColour(colour);
    const double r = rgb.red, g = rgb.green, b = rgb.blue;
    const double max = std::max({r, g, b});
    const double min = std::min({r, g, b});

    // Hue, luminance and saturation on the 0..240 scale.
    const double lum = std::trunc(((max + min) * 240.0 + 255.0) / 510.0);
    double hue = 160.0;
    double sat = 0.0;
    if (max != min) {
        const double d = max - min;
        if (lum <= 120.0)
            sat = std::trunc((d * 240.0 + (max + min) / 2.0) / (max + min));
        else
            sat = std::trunc((d * 240.0 + (510.0 - max - min) / 2.0) / (510.0 - max - min));
        auto distance = [&](double c) { return std::trunc(((max - c) * 40.0 + d / 2.0) / d); };
        const double rd = distance(r), gd = distance(g), bd = distance(b);
        if (r == max)
            hue = bd - gd;
        else if (g == max)
            hue = 80.0 + rd - bd;
        else
            hue = 160.0 + gd - rd;
        if (hue < 0.0)
            hue += 240.0;
        if (hue > 240.0)
            hue -= 240.0;
    }

    const double lum2 = lum + amount;
    if (lum2 < 0.0)
        return {255, 255, 255};

    if (sat == 0.0) {
        const int grey = toComponent(lum2 * 255.0 / 240.0);
        return {grey, grey, grey};
    }

    const double m2 = lum2 <= 120.0 ? (lum2 * (240.0 + sat) + 120.0) / 240.0
                                    : lum2 + sat - (lum2 * sat + 120.0) / 240.0;
    const double m1 = 2.0 * lum2 - m2;
    auto level = [&](double h) {
        if (h < 0.0)
            h += 240.0;
        if (h > 240.0)
            h -= 240.0;
        if (h < 40.0)
            return nearEven(m1 + ((m2 - m1) * h + 20.0) / 40.0);
        if (h < 120.0)
            return nearEven(m2);
        if (h < 160.0)
            return nearEven(m1 + ((m2 - m1) * (160.0 - h) + 20.0) / 40.0);
        return nearEven(m1);
    };
    auto component = [&](double h) { return toComponent((level(h) * 255.0 + 120.0) / 240.0); };
    return {component(hue + 80.0), component(hue), component(hue - 80.0)};
}

} // namespace kestrine
