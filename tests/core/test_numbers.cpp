// Number conversion, output forms and the size and version texts.

#include "core/Numbers.h"
#include "core/Text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <optional>

using namespace kestrine;

namespace {

struct ParseCase {
    const char* text;
    std::optional<std::int64_t> value;
};

class ParseNumber : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseNumber, ConvertsOrFails) {
    const auto& c = GetParam();
    EXPECT_EQ(parseNumber(c.text), c.value) << "text: '" << c.text << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseNumber,
    ::testing::Values(
        ParseCase{"0", 0}, ParseCase{"255", 255}, ParseCase{"  42", 42}, ParseCase{"+7", 7},
        ParseCase{"-7", -7}, ParseCase{"007", 7},
        // hexadecimal prefixes in a decimal text
        ParseCase{"0x5ff", 1535}, ParseCase{"0X5FF", 1535}, ParseCase{"$5ff", 1535},
        ParseCase{"x10", 16}, ParseCase{"X10", 16}, ParseCase{"-$10", -16}, ParseCase{"0x10", 16},
        // the edges of the signed 64-bit range
        ParseCase{"9223372036854775807", INT64_MAX}, ParseCase{"9223372036854775808", std::nullopt},
        ParseCase{"-9223372036854775808", INT64_MIN},
        ParseCase{"-9223372036854775809", std::nullopt},
        ParseCase{"9999999999999999999", std::nullopt},
        ParseCase{"99999999999999999999999", std::nullopt},
        // sixteen hexadecimal digits are two's complement; seventeen significant ones fail
        ParseCase{"0xFFFFFFFFFFFFFFFF", -1}, ParseCase{"$8000000000000000", INT64_MIN},
        ParseCase{"0x7FFFFFFFFFFFFFFF", INT64_MAX}, ParseCase{"0x10000000000000000", std::nullopt},
        ParseCase{"0x0000000000000000FF", 255},
        // the whole text must be consumed
        ParseCase{"", std::nullopt}, ParseCase{" ", std::nullopt}, ParseCase{"-", std::nullopt},
        ParseCase{"$", std::nullopt}, ParseCase{"0x", std::nullopt}, ParseCase{"12 ", std::nullopt},
        ParseCase{"1a", std::nullopt}, ParseCase{"--1", std::nullopt},
        ParseCase{"0x5ffh", std::nullopt}, ParseCase{"1.5", std::nullopt},
        ParseCase{"\t1", std::nullopt}, ParseCase{"- 1", std::nullopt}));

TEST(ParseHex, PutsThePrefixInFront) {
    EXPECT_EQ(parseHex("5ff"), 1535);
    EXPECT_EQ(parseHex("FF"), parseNumber("255"));
    EXPECT_EQ(parseHex("10"), 16);
    EXPECT_EQ(parseHex("ffffffffffffffff"), -1);
    EXPECT_EQ(parseHex("0x5ff"), std::nullopt); // a second prefix
    EXPECT_EQ(parseHex(""), std::nullopt);
    EXPECT_EQ(parseHex("-5"), std::nullopt);
    EXPECT_EQ(parseHex("g"), std::nullopt);
    EXPECT_EQ(parseHex("00000000000000001"), 1); // leading zeros are not significant
}

TEST(OutputForms, DecimalAndHexadecimal) {
    EXPECT_EQ(toDec(0), "0");
    EXPECT_EQ(toDec(-1), "-1");
    EXPECT_EQ(toDec(INT64_MIN), "-9223372036854775808");
    EXPECT_EQ(toHex(0), "0");
    EXPECT_EQ(toHex(255), "FF");
    EXPECT_EQ(toHex(90), "5A");
    EXPECT_EQ(toHex(-1), "FFFFFFFFFFFFFFFF");
    EXPECT_EQ(toHex(INT64_MIN), "8000000000000000");
    EXPECT_EQ(toHex(std::int64_t{1} << 60), "1000000000000000");
}

TEST(OutputForms, RoundTripThroughBothConversions) {
    for (std::int64_t v : {std::int64_t{0}, std::int64_t{1}, std::int64_t{1535}, INT64_MAX,
                           INT64_MIN, std::int64_t{-42}}) {
        EXPECT_EQ(parseHex(toHex(v)), v);
        EXPECT_EQ(parseNumber(toDec(v)), v);
    }
}

struct SizeCase {
    std::int64_t count;
    const char* comma;
    const char* dot;
};

class FormatSizeTable : public ::testing::TestWithParam<SizeCase> {};

TEST_P(FormatSizeTable, GroupsAndRoundsHalfUp) {
    EXPECT_EQ(sizeTextWith(GetParam().count, ","), GetParam().comma);
    EXPECT_EQ(sizeTextWith(GetParam().count, "."), GetParam().dot);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormatSizeTable,
    ::testing::Values(SizeCase{0, "0 bytes (1KB)", "0 bytes (1KB)"},
                      SizeCase{1023, "1,023 bytes (1KB)", "1.023 bytes (1KB)"},
                      SizeCase{1024, "1,024 bytes (1KB)", "1.024 bytes (1KB)"},
                      SizeCase{1535, "1,535 bytes (1KB)", "1.535 bytes (1KB)"},
                      SizeCase{1536, "1,536 bytes (2KB)", "1.536 bytes (2KB)"},
                      SizeCase{2560, "2,560 bytes (3KB)", "2.560 bytes (3KB)"},
                      SizeCase{1048576, "1,048,576 bytes (1,024KB)", "1.048.576 bytes (1.024KB)"},
                      SizeCase{-1, "-1 bytes (1KB)", "-1 bytes (1KB)"},
                      SizeCase{-1234567, "-1,234,567 bytes (1KB)", "-1.234.567 bytes (1KB)"},
                      SizeCase{INT64_MAX,
                               "9,223,372,036,854,775,807 bytes (9,007,199,254,740,992KB)",
                               "9.223.372.036.854.775.807 bytes (9.007.199.254.740.992KB)"}));

TEST(FormatSeconds, RoundsHalfUpAndGroups) {
    EXPECT_EQ(formatSeconds(0.0, ","), "0");
    EXPECT_EQ(formatSeconds(0.499, ","), "0");
    EXPECT_EQ(formatSeconds(0.5, ","), "1");
    EXPECT_EQ(formatSeconds(2.5, ","), "3");
    EXPECT_EQ(formatSeconds(12345.4, ","), "12,345");
    EXPECT_EQ(formatSeconds(1234567.0, "."), "1.234.567");
}

TEST(TextHelpers, TrimLowerAndPathParts) {
    EXPECT_EQ(trimmed(" \t a b \r\n"), "a b");
    EXPECT_EQ(trimmed("   "), "");
    EXPECT_EQ(lowerAZ("ABC xyz ÄÖ"), "abc xyz ÄÖ");
    EXPECT_EQ(directoryPart("/tmp/a/b.bin"), "/tmp/a/");
    EXPECT_EQ(directoryPart("b.bin"), "");
    EXPECT_EQ(directoryPart("/b"), "/");
    EXPECT_EQ(namePart("/tmp/a/b.bin"), "b.bin");
}

TEST(TextHelpers, GeneralErrorAppendsAFullStopAfterLettersOnly) {
    EXPECT_EQ(generalErrorText("Unable to write to /x/Kestrine.ini"),
              "Unable to write to /x/Kestrine.ini.");
    EXPECT_EQ(generalErrorText("Done."), "Done.");
    EXPECT_EQ(generalErrorText("Really!"), "Really!"); // "!" is below "."
    EXPECT_EQ(generalErrorText("Value 5"), "Value 5.");
    EXPECT_EQ(generalErrorText(""), "");
}

TEST(VersionText, UsesTheCompiledInNumbers) {
    const std::string v = versionText();
    EXPECT_EQ(v.rfind("Version ", 0), 0u);
    EXPECT_NE(v.find(" Release "), std::string::npos);
    EXPECT_NE(v.find(" Build "), std::string::npos);
}

} // namespace
