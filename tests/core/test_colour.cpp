#include "core/Colour.h"

#include <gtest/gtest.h>

#include <ostream>

namespace kestrine {

void PrintTo(const Rgb& c, std::ostream* os) {
    *os << "(" << c.red << ", " << c.green << ", " << c.blue << ")";
}

namespace {

ColourValue plain(int red, int green, int blue) {
    return static_cast<ColourValue>(red) | static_cast<ColourValue>(green) << 8 |
           static_cast<ColourValue>(blue) << 16;
}

struct ShadeCase {
    const char* name;
    ColourValue form;
    Rgb text;   // amount -120
    Rgb status; // amount -30
};

void PrintTo(const ShadeCase& c, std::ostream* os) {
    *os << c.name;
}

class ShadeTest : public ::testing::TestWithParam<ShadeCase> {};

TEST_P(ShadeTest, TextAndStatusBarColours) {
    const ShadeCase& c = GetParam();
    EXPECT_EQ(ShadeColour(c.form, -120), c.text);
    EXPECT_EQ(ShadeColour(c.form, -30), c.status);
}

INSTANTIATE_TEST_SUITE_P(
    FormColours, ShadeTest,
    ::testing::Values(
        ShadeCase{"PaleBlue", plain(215, 228, 242), {49, 99, 154}, {168, 196, 226}},
        ShadeCase{"DefaultSystemColour", kDefaultFormColour, {49, 99, 154}, {168, 196, 226}},
        ShadeCase{"LightGrey", plain(240, 240, 240), {113, 113, 113}, {208, 208, 208}},
        ShadeCase{"Black", plain(0, 0, 0), {255, 255, 255}, {255, 255, 255}},
        ShadeCase{"Navy", plain(0, 0, 128), {255, 255, 255}, {0, 0, 64}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ShadeColourTest, LuminanceAboveTheScaleSaturatesAtWhite) {
    // 240,240,240 has luminance 226: +50 goes past 240 and every component past 255.
    EXPECT_EQ(ShadeColour(plain(240, 240, 240), 50), (Rgb{255, 255, 255}));
    EXPECT_EQ(ShadeColour(plain(255, 255, 255), 50), (Rgb{255, 255, 255}));
}

TEST(ShadeColourTest, DarkColourGetsWhiteOnlyBelowTheAmount) {
    // Navy's luminance is 60: below 120 (white text) but not below 30.
    EXPECT_EQ(ShadeColour(plain(0, 0, 128), -60), (Rgb{0, 0, 0}));
    EXPECT_EQ(ShadeColour(plain(0, 0, 128), -61), (Rgb{255, 255, 255}));
}

struct ResolveCase {
    ColourValue value;
    Rgb expected;
};

class ResolveTest : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(ResolveTest, Resolves) {
    EXPECT_EQ(resolveColour(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    References, ResolveTest,
    ::testing::Values(ResolveCase{0xFF00001C, {215, 228, 242}}, // system colour 28
                      ResolveCase{0xFF00000F, {240, 240, 240}}, // button face
                      ResolveCase{0xFF000005, {255, 255, 255}}, // window
                      ResolveCase{0xFF0000C8, {0, 0, 0}},       // no such system colour
                      ResolveCase{0x00F2E4D7, {215, 228, 242}}, // red in the lowest byte
                      ResolveCase{0x00000080, {128, 0, 0}},
                      // Only 0xFF0000nn is a reference; other high bytes leave a plain colour.
                      ResolveCase{0xFF000100, {0, 1, 0}}, ResolveCase{0x01800000, {0, 0, 128}}));

TEST(SystemColourTest, UnknownIndexesReadAsBlack) {
    EXPECT_EQ(systemColour(-1), (Rgb{0, 0, 0}));
    EXPECT_EQ(systemColour(31), (Rgb{0, 0, 0}));
}

} // namespace
} // namespace kestrine
