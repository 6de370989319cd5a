#include "core/Fields.h"
#include "platform/PlatformPosix.h"

#include "tests/core/FakeHost.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrine {
namespace {

using testing::FakeHost;

// ---- character filters ------------------------------------------------------------------

struct FilterCase {
    char32_t typed;
    char32_t number; // what the decimal filter passes on, 0 = dropped
    char32_t hex;    // what the hexadecimal filter passes on
};

class FilterTest : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FilterTest, PassesChangesOrDrops) {
    EXPECT_EQ(FilterNumberKeys(GetParam().typed), GetParam().number);
    EXPECT_EQ(FilterHexKeys(GetParam().typed), GetParam().hex);
}

INSTANTIATE_TEST_SUITE_P(
    Characters, FilterTest,
    ::testing::Values(FilterCase{U'0', U'0', U'0'}, FilterCase{U'9', U'9', U'9'},
                      FilterCase{8, 8, 8}, FilterCase{U'a', 0, U'a'}, FilterCase{U'f', 0, U'f'},
                      FilterCase{U'A', 0, U'a'}, FilterCase{U'F', 0, U'f'}, FilterCase{U'g', 0, 0},
                      FilterCase{U'G', 0, 0}, FilterCase{U'-', 0, 0}, FilterCase{U'.', 0, 0},
                      FilterCase{U'$', 0, 0}, FilterCase{13, 0, 0},
                      // Ctrl+C, Ctrl+V, Ctrl+X, Ctrl+Z arrive as control characters.
                      FilterCase{3, 0, 0}, FilterCase{22, 0, 0}, FilterCase{24, 0, 0},
                      FilterCase{26, 0, 0},
                      // Neighbours of the accepted ranges, and digits of other scripts.
                      FilterCase{U'/', 0, 0}, FilterCase{U':', 0, 0}, FilterCase{U'@', 0, 0},
                      FilterCase{U'`', 0, 0}, FilterCase{0x0661, 0, 0}, FilterCase{0xFF10, 0, 0}));

// ---- fixture ----------------------------------------------------------------------------

class FieldsTest : public ::testing::Test {
protected:
    AppState state;
    FakeHost host;
    PosixPlatform platform;
    Context ctx{state, host, platform};

    // As the user types: the field has the focus while its text changes.
    void type(Field field, const std::string& text) {
        host.focusField(field);
        host.setFieldText(field, text);
    }
    void typeEach(Field field, const std::string& chars) {
        host.focusField(field);
        std::string text = host.fieldText(field);
        for (char c : chars)
            host.setFieldText(field, text += c);
    }
    void set(Field field, const std::string& text) { host.fields[field] = text; }
    std::string text(Field field) const { return host.fieldText(field); }
    bool press(Field field, int step) {
        host.focusField(field);
        return stepField(ctx, field, step);
    }
};

// ---- keeping a pair in step -------------------------------------------------------------

TEST_F(FieldsTest, TypingInEitherFieldMirrorsIntoItsPartner) {
    set(Field::StartDec, "");
    typeEach(Field::StartDec, "255");
    EXPECT_EQ(text(Field::StartHex), "FF");

    set(Field::OffsetHex, "");
    typeEach(Field::OffsetHex, "ff");
    EXPECT_EQ(text(Field::OffsetDec), "255");
    EXPECT_EQ(text(Field::OffsetHex), "ff"); // typed text is not rewritten
    EXPECT_EQ(text(Field::StartDec), "255"); // the other pair is untouched
    EXPECT_TRUE(host.errors.empty());
}

TEST_F(FieldsTest, EmptyingOneFieldEmptiesThePair) {
    type(Field::StartDec, "4096");
    type(Field::StartDec, "");
    EXPECT_EQ(text(Field::StartHex), "");

    type(Field::OffsetDec, "16");
    ASSERT_EQ(text(Field::OffsetHex), "10");
    type(Field::OffsetHex, "");
    EXPECT_EQ(text(Field::OffsetDec), "");
    EXPECT_TRUE(host.errors.empty());
}

TEST_F(FieldsTest, UndecodableTextIsReportedOrTakenAsZero) {
    type(Field::StartDec, "999999999999999999");
    EXPECT_EQ(text(Field::StartHex), "DE0B6B3A763FFFF");
    typeEach(Field::StartDec, "9"); // 19 nines: above the 64-bit range
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], "'9999999999999999999' is not a valid integer value");
    EXPECT_EQ(text(Field::StartHex), "DE0B6B3A763FFFF");

    // Pasted hexadecimal that does not convert gives 0 and no message.
    type(Field::OffsetHex, "xyz");
    EXPECT_EQ(text(Field::OffsetDec), "0");
    EXPECT_EQ(host.errors.size(), 1u);
}

TEST_F(FieldsTest, TextSetWithoutFocusIsNotMirrored) {
    host.focus.reset();
    host.setFieldText(Field::StartDec, "77");
    EXPECT_EQ(text(Field::StartHex), "0");
    // ...but emptiness still spreads.
    host.setFieldText(Field::StartHex, "");
    EXPECT_EQ(text(Field::StartDec), "");
}

TEST_F(FieldsTest, LargeAndNegativeValuesMirrorAsTwosComplement) {
    type(Field::StartDec, "-1");
    EXPECT_EQ(text(Field::StartHex), "FFFFFFFFFFFFFFFF");
    type(Field::StartHex, "8000000000000000");
    EXPECT_EQ(text(Field::StartDec), "-9223372036854775808");
}

// ---- stepping ---------------------------------------------------------------------------

TEST_F(FieldsTest, UpCountsToTheBoundThenStops) {
    state.SourceFileSize = 100;
    type(Field::OffsetDec, "9");
    int steps = 0;
    while (press(Field::StartDec, +1))
        ++steps;
    EXPECT_EQ(steps, 90);
    EXPECT_EQ(text(Field::StartDec), "90");
    EXPECT_EQ(text(Field::StartHex), "5A");
    // Start + length reaches the last byte and no further.
    EXPECT_FALSE(press(Field::StartHex, +1));
    EXPECT_EQ(text(Field::StartHex), "5A");
    EXPECT_TRUE(host.errors.empty());
}

TEST_F(FieldsTest, DownStopsAtZero) {
    state.SourceFileSize = 100;
    type(Field::StartDec, "1");
    EXPECT_TRUE(press(Field::StartDec, -1));
    EXPECT_EQ(text(Field::StartDec), "0");
    EXPECT_FALSE(press(Field::StartDec, -1));
    EXPECT_FALSE(press(Field::StartHex, -1));
    EXPECT_EQ(text(Field::StartDec), "0");
    EXPECT_EQ(text(Field::StartHex), "0");
}

TEST_F(FieldsTest, NoSourceRefusesEveryStep) {
    for (Field f : {Field::StartDec, Field::StartHex, Field::OffsetDec, Field::OffsetHex}) {
        EXPECT_FALSE(press(f, +1));
        EXPECT_FALSE(press(f, -1));
    }
    for (Field f : {Field::StartDec, Field::StartHex, Field::OffsetDec, Field::OffsetHex})
        EXPECT_EQ(text(f), "0");
    EXPECT_TRUE(host.errors.empty());
}

TEST_F(FieldsTest, ValueBeyondTheBoundStepsDownOnlyIntoIt) {
    state.SourceFileSize = 100;
    type(Field::OffsetDec, "9");
    type(Field::StartDec, "95");
    EXPECT_FALSE(press(Field::StartDec, +1));
    EXPECT_FALSE(press(Field::StartDec, -1)); // 94 is still beyond 90
    type(Field::StartDec, "91");
    EXPECT_TRUE(press(Field::StartDec, -1));
    EXPECT_EQ(text(Field::StartDec), "90");
}

TEST_F(FieldsTest, HexStepIsBoundByTheOtherDecimalField) {
    state.SourceFileSize = 300;
    type(Field::OffsetHex, "FF");
    EXPECT_TRUE(press(Field::OffsetHex, +1));
    EXPECT_EQ(text(Field::OffsetHex), "100");
    EXPECT_EQ(text(Field::OffsetDec), "256");

    // The start's hexadecimal field is ignored: only StartDec bounds the length.
    set(Field::StartHex, "0");
    set(Field::StartDec, "43");
    EXPECT_FALSE(press(Field::OffsetHex, +1)); // 257 > 300 - 1 - 43
    set(Field::StartDec, "42");
    EXPECT_TRUE(press(Field::OffsetHex, +1));
    EXPECT_EQ(text(Field::OffsetDec), "257");
}

TEST_F(FieldsTest, HexStepTakesUndecodableTextAsZero) {
    state.SourceFileSize = 100;
    set(Field::StartHex, "zz");
    EXPECT_TRUE(press(Field::StartHex, +1));
    EXPECT_EQ(text(Field::StartHex), "1");
    EXPECT_EQ(text(Field::StartDec), "1");
    EXPECT_TRUE(host.errors.empty());
}

TEST_F(FieldsTest, EmptyOrUndecodableFieldRefusesTheStep) {
    state.SourceFileSize = 100;
    set(Field::StartDec, "");
    set(Field::StartHex, "");
    EXPECT_FALSE(press(Field::StartDec, +1));
    EXPECT_FALSE(press(Field::StartHex, +1));
    EXPECT_TRUE(host.errors.empty());

    set(Field::StartDec, "12a");
    EXPECT_FALSE(press(Field::StartDec, +1));
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], notANumberMessage("12a"));

    // An empty other decimal field cannot bound the step.
    set(Field::StartHex, "0");
    set(Field::OffsetDec, "");
    EXPECT_FALSE(press(Field::StartHex, +1));
    ASSERT_EQ(host.errors.size(), 2u);
    EXPECT_EQ(host.errors[1], notANumberMessage(""));
    EXPECT_EQ(text(Field::StartHex), "0");
}

TEST_F(FieldsTest, SteppingAtThe64BitLimitsNeverWraps) {
    state.SourceFileSize = 100;
    set(Field::OffsetDec, "-9223372036854775808");
    type(Field::StartDec, "9223372036854775806");
    EXPECT_TRUE(press(Field::StartDec, +1));
    EXPECT_EQ(text(Field::StartDec), "9223372036854775807");
    EXPECT_FALSE(press(Field::StartDec, +1));
    EXPECT_EQ(text(Field::StartDec), "9223372036854775807");

    // A hexadecimal pattern of -1 steps up to 0, never down.
    set(Field::OffsetDec, "0");
    type(Field::StartHex, "FFFFFFFFFFFFFFFF");
    EXPECT_FALSE(press(Field::StartHex, -1));
    EXPECT_TRUE(press(Field::StartHex, +1));
    EXPECT_EQ(text(Field::StartDec), "0");
}

// ---- minimum and maximum ----------------------------------------------------------------

TEST_F(FieldsTest, MaximumLeavesRoomForTheOtherValue) {
    state.SourceFileSize = 100;
    type(Field::OffsetDec, "9");
    host.focus.reset();
    setMaximum(ctx, Field::StartDec);
    EXPECT_EQ(host.focus, Field::StartDec);
    EXPECT_EQ(text(Field::StartDec), "90");
    EXPECT_EQ(text(Field::StartHex), "5A");

    setMaximum(ctx, Field::OffsetDec);
    EXPECT_EQ(text(Field::OffsetDec), "9"); // 100 - 1 - 90
    setMinimum(ctx, Field::StartDec);
    setMaximum(ctx, Field::OffsetDec);
    EXPECT_EQ(text(Field::OffsetDec), "99");
    EXPECT_EQ(text(Field::OffsetHex), "63");
}

TEST_F(FieldsTest, MaximumIsNotClamped) {
    state.SourceFileSize = 100;
    type(Field::OffsetDec, "100");
    setMaximum(ctx, Field::StartDec);
    EXPECT_EQ(text(Field::StartDec), "-1");
    EXPECT_EQ(text(Field::StartHex), "FFFFFFFFFFFFFFFF");

    // Far out of range the result is held at the 64-bit limit instead of wrapping around.
    set(Field::OffsetDec, "-9223372036854775808");
    setMaximum(ctx, Field::StartDec);
    EXPECT_EQ(text(Field::StartDec), "9223372036854775807");
}

TEST_F(FieldsTest, MaximumNeedsASourceAndADecimalOtherValue) {
    set(Field::StartDec, "");
    setMaximum(ctx, Field::OffsetDec);
    EXPECT_EQ(host.focus, Field::OffsetDec);
    EXPECT_EQ(text(Field::OffsetDec), "0");
    EXPECT_TRUE(host.errors.empty()); // without a source nothing is even converted

    state.SourceFileSize = 100;
    setMaximum(ctx, Field::OffsetDec);
    EXPECT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(text(Field::OffsetDec), "0");
}

TEST_F(FieldsTest, MinimumSetsZeroInBothFieldsWithoutASource) {
    type(Field::StartDec, "");
    type(Field::OffsetHex, "ff");
    host.focus.reset();
    setMinimum(ctx, Field::StartDec); // also refills an emptied pair
    setMinimum(ctx, Field::OffsetDec);
    for (Field f : {Field::StartDec, Field::StartHex, Field::OffsetDec, Field::OffsetHex})
        EXPECT_EQ(text(f), "0");
    EXPECT_EQ(host.focus, Field::OffsetDec);
}

} // namespace
} // namespace kestrine
