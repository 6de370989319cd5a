// The command-line run in-process: the exact console bytes, every parameter line, the exit code.

#include "TestPlatform.h"

#include "core/CommandLine.h"
#include "core/ConsoleHost.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sstream>
#include <sys/file.h>
#include <unistd.h>

using namespace kestrine;
using namespace kestrine::testing;
namespace fs = std::filesystem;

namespace {

const std::string kBanner = "\r\nKestrine - Version 1.0 Release 0 Build 1\r\n"
                            "Copyright (C) 2026 The Kestrine developers\r\n\r\n"
                            "Using Command-Line Parameters\r\n";

class CommandLineTest : public ::testing::Test {
protected:
    TempDir dir;
    AppState state;
    TestPlatform platform;
    ConsoleHost host{state, platform};
    Context ctx{state, host, platform};
    std::vector<char> data = randomBytes(5000);

    void SetUp() override { writeFile(dir.file("src.bin"), data); }

    // Runs with the four parameters and returns the console lines after the banner.
    std::vector<std::string> run(const std::string& src, const std::string& dst,
                                 const std::string& start, const std::string& length) {
        RunCommandLine(ctx, {src, dst, start, length});
        std::vector<std::string> lines;
        std::string out = platform.console;
        EXPECT_EQ(out.rfind(kBanner, 0), 0u) << out;
        out.erase(0, kBanner.size());
        for (std::size_t pos; (pos = out.find("\r\n")) != std::string::npos; out.erase(0, pos + 2))
            lines.push_back(out.substr(0, pos));
        EXPECT_TRUE(out.empty()) << "a line without CR LF: " << out;
        return lines;
    }
};

TEST_F(CommandLineTest, SuccessfulRunPrintsEveryStep) {
    const std::string src = dir.file("src.bin"), dst = dir.file("part two.bin");
    auto lines = run(src, dst, "400d", "5ffh");
    EXPECT_EQ(lines, (std::vector<std::string>{"Source File = " + src, "Destination File = " + dst,
                                               "Start Position = 400d", "Offset Length = 5ffh",
                                               "Copying started...",
                                               "1,536 bytes (2KB) written to file " + dst,
                                               "Elapsed Time: 0 seconds.", "Copying finished."}));
    EXPECT_EQ(state.ExitCode, 0);
    EXPECT_FALSE(state.ConsoleAttached); // released at the end
    EXPECT_EQ(readFile(dst), std::vector<char>(data.begin() + 400, data.begin() + 1936));
    // Both fields of each pair were filled from the parameters.
    EXPECT_EQ(host.fieldText(Field::StartHex), "190");
    EXPECT_EQ(host.fieldText(Field::OffsetHex), "5ff");
    EXPECT_EQ(host.fieldText(Field::OffsetDec), "1535");
    // The window log holds neither the banner nor anything from before the run.
    ASSERT_FALSE(host.log().empty());
    EXPECT_EQ(host.log().front().text, "Using Command-Line Parameters");
    EXPECT_TRUE(host.log().front().bold);
}

TEST_F(CommandLineTest, LinesReadWhileLoadingSettingsStayOffTheConsole) {
    host.appendLog("Source file is x", false);
    state.ConsoleAttached = false;
    host.setFieldText(Field::SourceFile, dir.file("missing"));
    run(dir.file("src.bin"), dir.file("o"), "0d", "0d");
    EXPECT_EQ(platform.console.find("Source file is x"), std::string::npos);
}

struct ParamCase {
    const char* start;
    const char* length;
    std::vector<std::string> errors; // the ERROR lines, in order
};

class NumberParams : public CommandLineTest, public ::testing::WithParamInterface<ParamCase> {};

TEST_P(NumberParams, ReportEveryProblemAndSkipTheCopy) {
    const auto& c = GetParam();
    auto lines = run(dir.file("src.bin"), dir.file("out.bin"), c.start, c.length);
    std::vector<std::string> errors;
    for (const auto& l : lines)
        if (l.rfind("ERROR: ", 0) == 0)
            errors.push_back(l.substr(7));
    EXPECT_EQ(errors, c.errors);
    EXPECT_EQ(state.ExitCode, c.errors.empty() ? 0 : 1);
    EXPECT_EQ(fs::exists(dir.file("out.bin")), c.errors.empty());
}

const char* kStartBad = "Start position was not specified correctly.";
const char* kOffsetBad = "Offset length was not specified correctly.";

INSTANTIATE_TEST_SUITE_P(
    Table, NumberParams,
    ::testing::Values(
        ParamCase{"400D", "5FFH", {}}, ParamCase{"0x5ffd", "0d", {}}, ParamCase{"$10d", "aBcH", {}},
        ParamCase{"400", "0d", {kStartBad}},
        ParamCase{"0x5ffh", "0d", {"Start position is an invalid hexadecimal number.", kStartBad}},
        ParamCase{"d",
                  "h",
                  {"Start position is an invalid decimal number.", kStartBad,
                   "Offset length is an invalid hexadecimal number.", kOffsetBad}},
        ParamCase{"0d",
                  "FFFFFFFFFFFFFFFFh",
                  {"Offset length is an invalid hexadecimal number.", kOffsetBad}},
        ParamCase{
            "12x4d", "", {"Start position is an invalid decimal number.", kStartBad, kOffsetBad}},
        ParamCase{"5000d", "0d", {"Start position is too large. Maximum is 4999"}},
        ParamCase{"4990d", "10d", {"Offset is too large. Maximum is 9"}},
        ParamCase{"-5d", "0d", {"Start position is negative. Minimum is 0"}},
        ParamCase{"0d", "8000000000000000h", {"Offset is negative. Minimum is 0"}}));

TEST_F(CommandLineTest, NameProblemsAreAllReportedInOneRun) {
    const std::string missing = dir.file("missing.bin");
    auto lines = run(missing, dir.file("nodir/out.bin"), "400", "0d");
    EXPECT_EQ(
        lines,
        (std::vector<std::string>{
            "The source file " + missing + " cannot be opened.", "Source File = " + missing,
            "ERROR: The Source File " + missing + " cannot be found.",
            "Destination File = " + dir.file("nodir/out.bin"),
            "ERROR: The Destination File path " + dir.file("nodir/") + " does not exist.",
            "Start Position = 400", "ERROR: " + std::string(kStartBad), "Offset Length = 0d"}));
    EXPECT_EQ(state.ExitCode, 1);
}

TEST_F(CommandLineTest, SameFileByTextOrByIdentityIsOneError) {
    fs::create_symlink(dir.file("src.bin"), dir.file("alias.bin"));
    for (const std::string& dest : {dir.path() + "/./src.bin", dir.file("alias.bin")}) {
        platform.console.clear();
        state.CommandLineError = false;
        auto lines = run(dir.file("src.bin"), dest, "0d", "0d");
        int count = 0;
        for (const auto& l : lines)
            count += l == "ERROR: Source and destination files cannot be the same!";
        EXPECT_EQ(count, 1) << dest;
        EXPECT_EQ(state.ExitCode, 1);
    }
    EXPECT_EQ(readFile(dir.file("src.bin")), data);
}

TEST_F(CommandLineTest, ADestinationWithoutAFolderGoesToTheCurrentFolder) {
    const auto cwd = fs::current_path();
    fs::current_path(dir.path());
    auto lines = run("src.bin", "file two.dat", "0d", "9d");
    fs::current_path(cwd);
    EXPECT_EQ(state.ExitCode, 0) << ::testing::PrintToString(lines);
    EXPECT_EQ(readFile(dir.file("file two.dat")),
              std::vector<char>(data.begin(), data.begin() + 10));
}

TEST_F(CommandLineTest, ALockedSourceIsReportedAsNotOpenable) {
    writeFile(dir.file("big.bin"), data);
    // Measure it first, as a remembered source would be, then lock it.
    host.setFieldText(Field::SourceFile, dir.file("big.bin"));
    int holder = ::open(dir.file("big.bin").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    auto lines = run(dir.file("big.bin"), dir.file("out.bin"), "0d", "0d");
    ::close(holder);
    EXPECT_EQ(lines.front(), "The source file " + dir.file("big.bin") + " cannot be opened.");
    // The reason, not a range refused against a size never measured.
    EXPECT_EQ(lines.at(2), "ERROR: The source file " + dir.file("big.bin") +
                               " cannot be opened: The file is in use by another program");
    EXPECT_EQ(lines.back(), "Offset Length = 0d");
    EXPECT_EQ(state.ExitCode, 1);
}

TEST_F(CommandLineTest, NoStandardOutputMeansExitOneAndNothingPrinted) {
    platform.consoleOk = false;
    RunCommandLine(ctx, {dir.file("src.bin"), dir.file("out.bin"), "0d", "0d"});
    EXPECT_EQ(state.ExitCode, 1);
    EXPECT_TRUE(platform.console.empty());
    EXPECT_EQ(platform.standardError, "Error getting a handle on the standard output StdOut.\n");
    EXPECT_FALSE(fs::exists(dir.file("out.bin")));
}

TEST_F(CommandLineTest, AnEmptyDestinationIsRefusedWithoutWaiting) {
    auto lines = run(dir.file("src.bin"), "", "0d", "0d");
    EXPECT_EQ(lines.back(), "ERROR: Destination file not specified!");
    EXPECT_EQ(state.ExitCode, 1);
}

TEST(UsageText, SevenLinesWithTheirSpacing) {
    const std::string expected = "Usage: Kestrine <source> <destination> <start pos> <offset>\n"
                                 "<source>" +
                                 std::string(9, ' ') +
                                 "Input source file name.\n"
                                 "<destination>" +
                                 std::string(2, ' ') +
                                 "Output destination file name.\n"
                                 "<start pos>" +
                                 std::string(5, ' ') +
                                 "Starting position; d = decimal, h = hex\n"
                                 "<offset>" +
                                 std::string(10, ' ') +
                                 "Number of bytes to copy; d = decimal, h = hex\n"
                                 "\n"
                                 "Example: Kestrine file1.dat \"file two.dat\" 400d 5ffh";
    EXPECT_EQ(usageText(), expected);
}

// --help names the real command and the real length rule, its descriptions in one column and
// every line within a terminal's 80 columns.
TEST(HelpText, TrueAndAligned) {
    const std::string help = helpText();
    EXPECT_EQ(help.rfind("Usage: kestrine <source> <destination> <start pos> <offset>\n", 0), 0u);
    EXPECT_NE(help.find("L + 1 bytes are copied"), std::string::npos);
    EXPECT_NE(help.find("Example: kestrine file1.dat \"file two.dat\" 400d 5ffh\n"
                        "copies the 1536 bytes from position 400 to 1935"),
              std::string::npos);
    EXPECT_EQ(help.find("Kestrine file1"), std::string::npos);
    std::set<std::size_t> columns;
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LT(line.size(), 80u) << line;
        if (line.rfind("  <", 0) == 0 || line.rfind("  --", 0) == 0)
            columns.insert(line.find_first_not_of(' ', line.find("  ", 2)));
    }
    EXPECT_EQ(columns.size(), 1u) << "descriptions start in " << columns.size() << " columns";
    EXPECT_EQ(optionText("--help"), help);
}

TEST(InitState, ProgramFolderEndsInASeparator) {
    AppState state;
    state.ExitCode = 7;
    state.CommandLineError = true;
    TestPlatform platform;
    initState(state, platform);
    EXPECT_EQ(state.ExitCode, 0);
    EXPECT_FALSE(state.CommandLineError);
    ASSERT_FALSE(state.ProgramFolder.empty());
    EXPECT_EQ(state.ProgramFolder.back(), '/');
    EXPECT_TRUE(fs::exists(state.ProgramFolder + "core_test_commandline"));
}

} // namespace
