// What a command-line run prints, how it ends, and what it leaves alone.

#include "Harness.h"

using namespace e2e;

namespace {

const std::vector<std::string> kUsageExample = {"src.bin", "out.bin", "400d", "5ffh"};

} // namespace

TEST_F(CommandLineTest, SuccessfulRunPrintsExactLinesAndCopiesTheRange) {
    const std::string src = makeSource("src.bin", 4096);
    RunResult r = run(kUsageExample);
    ASSERT_TRUE(r.exited) << r;
    EXPECT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.out, header("src.bin", "out.bin", "400d", "5ffh") +
                         successTail("1,536 bytes (2KB)", "out.bin"));
    // Nothing else to say, and in particular nothing from a GUI toolkit looking for a display.
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readFile(work("out.bin")), src.substr(400, 1536));
}

TEST_F(CommandLineTest, OutputToAFileHasTheSameBytesAsToAPipe) {
    makeSource("src.bin", 4096);
    RunResult piped = run(kUsageExample);
    ASSERT_TRUE(piped.exited) << piped;
    const fs::path outFile = workDir().parent_path() / "stdout.txt";
    RunResult filed = run(kUsageExample, RunOptions{.stdoutFile = outFile});
    ASSERT_TRUE(filed.exited) << filed;
    EXPECT_EQ(filed.status, 0);
    EXPECT_EQ(filed.out, piped.out);
    EXPECT_EQ(filed.out, header("src.bin", "out.bin", "400d", "5ffh") +
                             successTail("1,536 bytes (2KB)", "out.bin"));
}

TEST_F(CommandLineTest, ErrorLinesReachARedirectedFileToo) {
    const fs::path outFile = workDir().parent_path() / "stdout.txt";
    RunResult r = run({"missing.bin", "out.bin", "0d", "0d"}, RunOptions{.stdoutFile = outFile});
    ASSERT_TRUE(r.exited) << r;
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, missingSourceStart("missing.bin") +
                         crlf({"Destination File = out.bin", "Start Position = 0d",
                               "Offset Length = 0d"}));
}

// Names that the output character set cannot hold are shown with "?", one per character; the
// file itself is still found under its real name.
struct CharsetCase {
    const char* locale;
    const char* shownAs;
};

void PrintTo(const CharsetCase& c, std::ostream* os) {
    *os << c.locale;
}

class OutputCharset : public CommandLineTest, public ::testing::WithParamInterface<CharsetCase> {};

TEST_P(OutputCharset, NamesAreWrittenInTheLocaleCharacterSet) {
    const std::string name = "donn\xC3\xA9"
                             "es \xE2\x82\xAC.bin"; // "données €.bin"
    const std::string src = makeSource(name, 100);
    RunResult r = run({name, "out.bin", "10d", "9d"},
                      RunOptions{.env = {{"LC_ALL", std::string(GetParam().locale)}}});
    ASSERT_TRUE(r.exited) << r;
    EXPECT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.out, header(GetParam().shownAs, "out.bin", "10d", "9d") +
                         successTail("10 bytes (1KB)", "out.bin"));
    EXPECT_EQ(readFile(work("out.bin")), src.substr(10, 10));
}

INSTANTIATE_TEST_SUITE_P(Locales, OutputCharset,
                         ::testing::Values(CharsetCase{"C.UTF-8", "donn\xC3\xA9"
                                                                  "es \xE2\x82\xAC.bin"},
                                           CharsetCase{"C", "donn?es ?.bin"}));

// Any count but four (and none) prints the usage text and copies nothing.
class UsageText : public CommandLineTest,
                  public ::testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(UsageText, IsPrintedWithExitStatusZeroAndNoCopy) {
    makeSource("src.bin", 100);
    RunResult r = run(GetParam());
    ASSERT_TRUE(r.exited) << r;
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, usage());
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(listing(), std::vector<std::string>{"src.bin"});
}

INSTANTIATE_TEST_SUITE_P(
    ArgumentCounts, UsageText,
    ::testing::Values(std::vector<std::string>{"src.bin"},
                      std::vector<std::string>{"src.bin", "out.bin"},
                      std::vector<std::string>{"src.bin", "out.bin", "0d"},
                      std::vector<std::string>{"src.bin", "out.bin", "0d", "0d", "extra"},
                      std::vector<std::string>{"src.bin", "out.bin", "0d", "0d", "a", "b"},
                      // Only the exact words alone are options.
                      std::vector<std::string>{"--Version"}, std::vector<std::string>{"-h"},
                      std::vector<std::string>{"--help", "--version"}));

// "--version" and "--help" alone answer on standard output, with no display, and write nothing.
TEST_F(CommandLineTest, VersionAndHelpAnswerOnStandardOutput) {
    for (const auto& [option, answer] :
         {std::pair{"--version", crlf({"Kestrine - " KESTRINE_E2E_VERSION_TEXT})},
          std::pair{"--help", std::string("Usage: kestrine <source> <destination>")}}) {
        RunResult r = run({option});
        ASSERT_TRUE(r.exited) << r;
        EXPECT_EQ(r.status, 0) << option;
        EXPECT_EQ(r.out.substr(0, answer.size()), answer);
        EXPECT_EQ(r.out.substr(r.out.size() - 2), "\r\n");
        EXPECT_EQ(r.err, "");
    }
    EXPECT_TRUE(listing().empty());
    EXPECT_FALSE(fs::exists(progDir() / "Kestrine.ini"));
}

TEST_F(CommandLineTest, RunsWithoutAnyDisplayOrQtPlatform) {
    // Not even a runtime folder: anything that reached for the window system would abort or
    // at least complain on standard error.
    makeSource("src.bin", 100);
    RunOptions options{.env = {{"DISPLAY", std::nullopt},
                               {"WAYLAND_DISPLAY", std::nullopt},
                               {"QT_QPA_PLATFORM", std::nullopt},
                               {"XDG_RUNTIME_DIR", std::nullopt}}};
    RunResult r = run({"src.bin", "out.bin", "0d", "63h"}, options);
    ASSERT_TRUE(r.exited) << r;
    EXPECT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readFile(work("out.bin")).size(), 100u);
}

TEST_F(CommandLineTest, CopiesWithoutTheWindowLibraryAndSaysWhenAWindowNeedsIt) {
    fs::remove(progDir() / "libkestrine-windows.so");
    makeSource("src.bin", 100);
    RunResult copy = run({"src.bin", "out.bin", "0d", "63h"});
    ASSERT_TRUE(copy.exited) << copy;
    EXPECT_EQ(copy.status, 0) << copy;
    EXPECT_EQ(copy.err, "");
    EXPECT_EQ(readFile(work("out.bin")), readFile(work("src.bin")));

    RunResult window = run({});
    ASSERT_TRUE(window.exited) << window;
    EXPECT_EQ(window.status, 1);
    EXPECT_NE(window.err.find("window library libkestrine-windows.so cannot be used"),
              std::string::npos)
        << window;

    RunResult usageRun = run({"a", "b", "c"});
    ASSERT_TRUE(usageRun.exited) << usageRun;
    EXPECT_EQ(usageRun.status, 0);
    EXPECT_EQ(usageRun.out, usage());
}

TEST_F(CommandLineTest, DoesNotWriteTheSettingsFile) {
    makeSource("src.bin", 100);
    RunResult ok = run({"src.bin", "out.bin", "0d", "0d"});
    ASSERT_TRUE(ok.exited) << ok;
    EXPECT_EQ(ok.status, 0);
    RunResult bad = run({"src.bin", "out.bin", "400", "0d"});
    ASSERT_TRUE(bad.exited) << bad;
    EXPECT_EQ(bad.status, 1);
    EXPECT_FALSE(fs::exists(progDir() / "Kestrine.ini"));
    EXPECT_FALSE(fs::exists(workDir() / "Kestrine.ini"));
}

TEST_F(CommandLineTest, SettingsAreReadButNeitherEchoedNorRewritten) {
    // A remembered source logs "Source file is" lines while the settings are read; those stay
    // in the window log, and the file is left byte for byte as it was.
    makeSource("remembered.bin", 100, 7);
    makeSource("src.bin", 4096);
    const std::string ini = "[Kestrine]\nSaveLastSourceFile=" + work("remembered.bin").string() +
                            "\nSaveLastDestFile=" + work("remembered-out.bin").string() +
                            "\nTop=10\nLeft=20\n";
    writeFile(progDir() / "Kestrine.ini", ini);
    RunResult r = run(kUsageExample);
    ASSERT_TRUE(r.exited) << r;
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, header("src.bin", "out.bin", "400d", "5ffh") +
                         successTail("1,536 bytes (2KB)", "out.bin"));
    EXPECT_EQ(readFile(progDir() / "Kestrine.ini"), ini);
    EXPECT_FALSE(fs::exists(work("remembered-out.bin")));
}

TEST_F(CommandLineTest, SizesAreGroupedWithTheLocaleSeparator) {
    makeSource("src.bin", 4096);
    RunResult r = run(kUsageExample, RunOptions{.env = {{"LC_ALL", std::string("de_DE.UTF-8")}}});
    ASSERT_TRUE(r.exited) << r;
    if (r.out.find("1,536 bytes") != std::string::npos)
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    EXPECT_EQ(r.out, header("src.bin", "out.bin", "400d", "5ffh") +
                         successTail("1.536 bytes (2KB)", "out.bin"));
}

TEST_F(CommandLineTest, ADisplayThatCannotBeReachedCountsAsNone) {
    RunOptions options{.env = {{"DISPLAY", unusedDisplay()}}};
    RunResult usageRun = run({"a", "b", "c"}, options);
    ASSERT_TRUE(usageRun.exited) << usageRun;
    EXPECT_EQ(usageRun.status, 0);
    EXPECT_EQ(usageRun.out, usage());
    RunResult windowRun = run({}, options);
    ASSERT_TRUE(windowRun.exited) << windowRun;
    EXPECT_EQ(windowRun.status, 1);
    EXPECT_NE(windowRun.err.find("no display could be reached"), std::string::npos) << windowRun;
}

TEST_F(CommandLineTest, NoParametersAndNoDisplayExplainInsteadOfAborting) {
    RunResult r = run({});
    ASSERT_TRUE(r.exited) << r;
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("no display"), std::string::npos) << r;
    EXPECT_TRUE(listing().empty());
}
