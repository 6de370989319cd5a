// The start and length parameters: the forms accepted, and every refusal with its lines.

#include "Harness.h"

using namespace e2e;

namespace {

struct Accepted {
    const char* name;
    const char* text;
    // Most forms spell 1535 (5FFh).
    std::size_t value = 1535;
    const char* sizeText = "1,536 bytes (2KB)"; // FormatSize of value + 1
};

void PrintTo(const Accepted& c, std::ostream* os) {
    *os << c.name;
}

std::string caseName(const char* name) {
    return name;
}

} // namespace

class AcceptedNumber : public CommandLineTest, public ::testing::WithParamInterface<Accepted> {};

TEST_P(AcceptedNumber, WorksAsStartAndAsLength) {
    const Accepted& c = GetParam();
    const std::string src = makeSource("src.bin", 4096);

    RunResult asStart = run({"src.bin", "a.bin", c.text, "0d"});
    ASSERT_TRUE(asStart.exited) << asStart;
    EXPECT_EQ(asStart.status, 0) << asStart;
    EXPECT_EQ(asStart.out,
              header("src.bin", "a.bin", c.text, "0d") + successTail("1 bytes (1KB)", "a.bin"));
    EXPECT_EQ(readFile(work("a.bin")), src.substr(c.value, 1));

    RunResult asLength = run({"src.bin", "b.bin", "0d", c.text});
    ASSERT_TRUE(asLength.exited) << asLength;
    EXPECT_EQ(asLength.status, 0) << asLength;
    EXPECT_EQ(asLength.out,
              header("src.bin", "b.bin", "0d", c.text) + successTail(c.sizeText, "b.bin"));
    EXPECT_EQ(readFile(work("b.bin")), src.substr(0, c.value + 1));
}

INSTANTIATE_TEST_SUITE_P(
    Forms, AcceptedNumber,
    ::testing::Values(Accepted{"Decimal", "1535d"}, Accepted{"DecimalUpperSuffix", "1535D"},
                      Accepted{"Hex", "5ffh"}, Accepted{"HexUpperSuffix", "5FFH"},
                      Accepted{"HexMixedCase", "5fFh"},
                      Accepted{"HexLeadingZerosBeyondSixteen", "00000000000000005ffh"},
                      Accepted{"Zero", "0d", 0, "1 bytes (1KB)"},
                      Accepted{"ZeroHex", "0H", 0, "1 bytes (1KB)"},
                      Accepted{"MinusZero", "-0d", 0, "1 bytes (1KB)"},
                      Accepted{"PlusSign", "+1535d"}, Accepted{"LeadingSpace", " 1535d"},
                      Accepted{"DecimalLeadingZeros", "0000000000000000000000001535d"},
                      Accepted{"ZeroXPrefixWithD", "0x5ffd"},
                      Accepted{"UpperZeroXPrefixWithD", "0X5FFD"},
                      Accepted{"XPrefixWithD", "x5ffd"}, Accepted{"DollarPrefixWithD", "$5ffd"},
                      Accepted{"SignedHexPrefixWithD", "+$5FFd"}),
    [](const auto& info) { return caseName(info.param.name); });

namespace {

struct Refused {
    const char* name;
    const char* start;
    std::vector<std::string> startErrors;
    const char* length;
    std::vector<std::string> lengthErrors;
    std::vector<std::string> copyErrors; // from the range checks, after all echo lines
};

void PrintTo(const Refused& c, std::ostream* os) {
    *os << c.name;
}

const std::string kStartNotSpecified = "ERROR: Start position was not specified correctly.";
const std::string kStartBadDec = "ERROR: Start position is an invalid decimal number.";
const std::string kStartBadHex = "ERROR: Start position is an invalid hexadecimal number.";
const std::string kLengthNotSpecified = "ERROR: Offset length was not specified correctly.";
const std::string kLengthBadDec = "ERROR: Offset length is an invalid decimal number.";
const std::string kLengthBadHex = "ERROR: Offset length is an invalid hexadecimal number.";

} // namespace

// Source of 100 bytes; every row is refused with exit status 1 and creates nothing.
class RefusedNumber : public CommandLineTest, public ::testing::WithParamInterface<Refused> {};

TEST_P(RefusedNumber, PrintsItsErrorLinesAndCopiesNothing) {
    const Refused& c = GetParam();
    makeSource("src.bin", 100);
    RunResult r = run({"src.bin", "out.bin", c.start, c.length});
    ASSERT_TRUE(r.exited) << r;
    EXPECT_EQ(r.status, 1);
    std::string expected =
        banner() +
        crlf({"Using Command-Line Parameters", "Source File = src.bin",
              "Destination File = out.bin", std::string("Start Position = ") + c.start}) +
        crlf(c.startErrors) + crlf({std::string("Offset Length = ") + c.length}) +
        crlf(c.lengthErrors) + crlf(c.copyErrors);
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(listing(), std::vector<std::string>{"src.bin"});
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, RefusedNumber,
    ::testing::Values(
        Refused{"NoSuffix", "400", {kStartNotSpecified}, "0d", {}, {}},
        Refused{"LengthNoSuffix", "0d", {}, "5ff", {kLengthNotSpecified}, {}},
        Refused{"BothWithoutSuffix", "400", {kStartNotSpecified}, "5ff", {kLengthNotSpecified}, {}},
        Refused{"OtherSuffix", "5ffx", {kStartNotSpecified}, "0d", {}, {}},
        Refused{"Empty", "", {kStartNotSpecified}, "", {kLengthNotSpecified}, {}},
        Refused{"LoneD", "d", {kStartBadDec, kStartNotSpecified}, "0d", {}, {}},
        Refused{"LoneH", "h", {kStartBadHex, kStartNotSpecified}, "0d", {}, {}},
        Refused{"LengthLoneD", "0d", {}, "D", {kLengthBadDec, kLengthNotSpecified}, {}},
        Refused{"LengthLoneH", "0d", {}, "H", {kLengthBadHex, kLengthNotSpecified}, {}},
        Refused{"PrefixWithH", "0x5ffh", {kStartBadHex, kStartNotSpecified}, "0d", {}, {}},
        Refused{"LengthPrefixWithH", "0d", {}, "0x5ffh", {kLengthBadHex, kLengthNotSpecified}, {}},
        Refused{
            "HexOfMinusOne", "FFFFFFFFFFFFFFFFh", {kStartBadHex, kStartNotSpecified}, "0d", {}, {}},
        Refused{"LengthHexOfMinusOne",
                "0d",
                {},
                "ffffffffffffffffH",
                {kLengthBadHex, kLengthNotSpecified},
                {}},
        Refused{"SeventeenHexDigits",
                "10000000000000000h",
                {kStartBadHex, kStartNotSpecified},
                "0d",
                {},
                {}},
        Refused{"SignInHex", "-5h", {kStartBadHex, kStartNotSpecified}, "0d", {}, {}},
        Refused{"NonHexDigit", "5fgh", {kStartBadHex, kStartNotSpecified}, "0d", {}, {}},
        Refused{"HexLetterInDecimal", "12ad", {kStartBadDec, kStartNotSpecified}, "0d", {}, {}},
        Refused{"TrailingSpaceInDecimal", "5 d", {kStartBadDec, kStartNotSpecified}, "0d", {}, {}},
        Refused{"PrefixWithoutDigits", "0xd", {kStartBadDec, kStartNotSpecified}, "0d", {}, {}},
        Refused{"DecimalBeyondRange",
                "9223372036854775808d",
                {kStartBadDec, kStartNotSpecified},
                "0d",
                {},
                {}},
        Refused{"LengthDecimalBeyondRange",
                "0d",
                {},
                "-9223372036854775809d",
                {kLengthBadDec, kLengthNotSpecified},
                {}},
        Refused{"BothInvalid",
                "h",
                {kStartBadHex, kStartNotSpecified},
                "d",
                {kLengthBadDec, kLengthNotSpecified},
                {}}),
    [](const auto& info) { return caseName(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Range, RefusedNumber,
    ::testing::Values(
        Refused{"StartJustPastEnd",
                "100d",
                {},
                "0d",
                {},
                {"ERROR: Start position is too large. Maximum is 99"}},
        Refused{"StartLargest",
                "9223372036854775807d",
                {},
                "0d",
                {},
                {"ERROR: Start position is too large. Maximum is 99"}},
        Refused{"StartLargestHex",
                "7FFFFFFFFFFFFFFFh",
                {},
                "0d",
                {},
                {"ERROR: Start position is too large. Maximum is 99"}},
        Refused{"LengthOnePastEnd",
                "10d",
                {},
                "90d",
                {},
                {"ERROR: Offset is too large. Maximum is 89"}},
        Refused{"LengthFromLastByte",
                "63h",
                {},
                "1d",
                {},
                {"ERROR: Offset is too large. Maximum is 0"}},
        Refused{"LengthLargest",
                "0d",
                {},
                "7fffffffffffffffh",
                {},
                {"ERROR: Offset is too large. Maximum is 99"}},
        Refused{"StartNegative",
                "-5d",
                {},
                "0d",
                {},
                {"ERROR: Start position is negative. Minimum is 0"}},
        Refused{"StartMostNegative",
                "-9223372036854775808d",
                {},
                "0d",
                {},
                {"ERROR: Start position is negative. Minimum is 0"}},
        Refused{"StartNegativeHex",
                "8000000000000000h",
                {},
                "0d",
                {},
                {"ERROR: Start position is negative. Minimum is 0"}},
        Refused{"StartNegativeViaPrefix",
                "-$1d",
                {},
                "0d",
                {},
                {"ERROR: Start position is negative. Minimum is 0"}},
        Refused{"LengthNegative", "0d", {}, "-5d", {}, {"ERROR: Offset is negative. Minimum is 0"}},
        Refused{"LengthNegativeHex",
                "0d",
                {},
                "8000000000000000h",
                {},
                {"ERROR: Offset is negative. Minimum is 0"}},
        Refused{"LengthMinusTwoHex",
                "0d",
                {},
                "FFFFFFFFFFFFFFFEh",
                {},
                {"ERROR: Offset is negative. Minimum is 0"}}),
    [](const auto& info) { return caseName(info.param.name); });

TEST_F(CommandLineTest, ReportsEveryProblemOfOneCommandLine) {
    RunResult r = run({"missing.bin", "nodir/out.bin", "400", "d"});
    ASSERT_TRUE(r.exited) << r;
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, missingSourceStart("missing.bin") +
                         crlf({"Destination File = nodir/out.bin",
                               "ERROR: The Destination File path nodir/ does not exist.",
                               "Start Position = 400", kStartNotSpecified, "Offset Length = d",
                               kLengthBadDec, kLengthNotSpecified}));
    EXPECT_TRUE(listing().empty());
}

TEST_F(CommandLineTest, ParameterAndSourceErrorsTogether) {
    RunResult r = run({"missing.bin", "out.bin", "400", "0d"});
    ASSERT_TRUE(r.exited) << r;
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, missingSourceStart("missing.bin") +
                         crlf({"Destination File = out.bin", "Start Position = 400",
                               kStartNotSpecified, "Offset Length = 0d"}));
    EXPECT_TRUE(listing().empty());
}

TEST_F(CommandLineTest, RefusedRangeLeavesAnExistingDestinationAlone) {
    // The console run replaces a destination only when it creates the new one.
    makeSource("src.bin", 100);
    const std::string old = makeSource("out.bin", 300, 9);
    RunResult r = run({"src.bin", "out.bin", "100d", "0d"});
    ASSERT_TRUE(r.exited) << r;
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, header("src.bin", "out.bin", "100d", "0d") +
                         crlf({"ERROR: Start position is too large. Maximum is 99"}));
    EXPECT_EQ(readFile(work("out.bin")), old);
}
