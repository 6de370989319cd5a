// The copy: its checks in order, window and console behaviour, the block loop and its failures.

#include "FakeHost.h"
#include "TestPlatform.h"

#include "core/Copy.h"
#include "core/Log.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kestrine;
using namespace kestrine::testing;
namespace fs = std::filesystem;

namespace {

class CopyTest : public ::testing::Test {
protected:
    TempDir dir;
    AppState state;
    FakeHost host;
    TestPlatform platform;
    Context ctx{state, host, platform};
    std::vector<char> data;

    void makeSource(std::size_t size, const std::string& name = "src.bin") {
        data = randomBytes(size);
        writeFile(dir.file(name), data);
        host.fields[Field::SourceFile] = dir.file(name);
        ChangeSourceFile(ctx);
        ASSERT_EQ(state.SourceFileSize, static_cast<Position>(size));
    }
    void setRange(const std::string& start, const std::string& length) {
        host.fields[Field::StartDec] = start;
        host.fields[Field::OffsetDec] = length;
    }
    // Copies the range to out.bin in the test folder.
    void copyToOut(const std::string& start, const std::string& length) {
        host.fields[Field::DestFile] = dir.file("out.bin");
        setRange(start, length);
        ExecuteCopy(ctx);
    }
    std::vector<char> slice(std::size_t start, std::size_t count) const {
        return {data.begin() + static_cast<long>(start),
                data.begin() + static_cast<long>(start + count)};
    }
    std::vector<std::string> boxTexts() const {
        std::vector<std::string> out;
        for (const auto& b : host.boxes)
            out.push_back(b.text);
        return out;
    }
};

TEST_F(CopyTest, CopiesTheRangeAndLogsTheFinishingLines) {
    makeSource(5000);
    copyToOut("400", "1535");
    EXPECT_EQ(readFile(dir.file("out.bin")), slice(400, 1536));
    ASSERT_EQ(host.log.size(), 4u);
    EXPECT_EQ(host.log[0].text, "Copying started...");
    EXPECT_EQ(host.log[1].text, "1,536 bytes (2KB) written to file " + dir.file("out.bin"));
    EXPECT_EQ(host.log[2].text, "Elapsed Time: 0 seconds.");
    EXPECT_EQ(host.log[3].text, "Copying finished.");
    EXPECT_TRUE(host.log[3].bold);
    EXPECT_FALSE(host.log[1].bold);
    EXPECT_EQ(host.toggles, (std::vector<bool>{false, true}));
    EXPECT_FALSE(host.timerEnabled);
    EXPECT_EQ(host.progress, 0);
    EXPECT_EQ(host.titles.back(), "Kestrine");
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_FALSE(state.CommandLineError);
}

TEST_F(CopyTest, ElapsedSecondsAreRoundedAndGrouped) {
    makeSource(10);
    host.fields[Field::DestFile] = dir.file("out.bin");
    setRange("0", "0");
    platform.clockMs = 0;
    platform.clockStep = 1234500; // the second reading is 1234.5 s later
    platform.separator = ".";
    ExecuteCopy(ctx);
    EXPECT_EQ(host.log[2].text, "Elapsed Time: 1.235 seconds.");
}

struct BlockCase {
    std::size_t bytes;
    int pumps;
};

// Where the system cannot copy, blocks are 128 KiB; the window answers after each.
class BlockBoundaries : public CopyTest, public ::testing::WithParamInterface<BlockCase> {};

TEST_P(BlockBoundaries, EveryByteArrivesAndEachBlockPumpsOnce) {
    const auto [bytes, pumps] = GetParam();
    makeSource(bytes + 3);
    copyToOut("1", std::to_string(bytes - 1));
    EXPECT_EQ(readFile(dir.file("out.bin")), slice(1, bytes));
    EXPECT_EQ(host.pumps, pumps);
    EXPECT_EQ(state.CopyProgress, 1.0);
}

constexpr std::size_t kKiB = 1024;
INSTANTIATE_TEST_SUITE_P(Sizes, BlockBoundaries,
                         ::testing::Values(BlockCase{1, 1}, BlockCase{128 * kKiB, 1},
                                           BlockCase{128 * kKiB + 1, 2}, BlockCase{256 * kKiB, 2},
                                           BlockCase{256 * kKiB + 1, 3},
                                           BlockCase{1024 * kKiB + 7, 9}));

TEST_F(CopyTest, LastByteOfTheFile) {
    makeSource(100);
    copyToOut("99", "0");
    EXPECT_EQ(readFile(dir.file("out.bin")), slice(99, 1));
}

struct RangeCase {
    const char* start;
    const char* length;
    Field field;
    const char* written;
    const char* box;
    const char* line;
};

class RangeChecks : public CopyTest, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(RangeChecks, RefusedWithTheBoundWrittenBack) {
    const auto& c = GetParam();
    makeSource(100);
    copyToOut(c.start, c.length);
    EXPECT_FALSE(fs::exists(dir.file("out.bin")));
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].kind, BoxKind::Warning);
    EXPECT_EQ(host.boxes[0].text, c.box);
    EXPECT_EQ(host.fieldText(c.field), c.written);
    EXPECT_EQ(host.focusHistory.back(), c.field);
    EXPECT_FALSE(state.CommandLineError);

    // The console reports the same refusal as a line and sets the error flag.
    AppState consoleState;
    consoleState.SourceFileSize = 100;
    consoleState.ConsoleAttached = true;
    FakeHost consoleHost;
    consoleHost.fields = host.fields;
    consoleHost.fields[Field::StartDec] = c.start;
    consoleHost.fields[Field::OffsetDec] = c.length;
    Context consoleCtx{consoleState, consoleHost, platform};
    platform.console.clear();
    ExecuteCopy(consoleCtx);
    EXPECT_TRUE(consoleHost.boxes.empty());
    EXPECT_EQ(platform.console, std::string("ERROR: ") + c.line + "\r\n");
    EXPECT_TRUE(consoleState.CommandLineError);
    EXPECT_EQ(consoleHost.fieldText(c.field), c.written);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RangeChecks,
    ::testing::Values(
        RangeCase{"100", "0", Field::StartDec, "99", "Start position is too large.\nMaximum is 99",
                  "Start position is too large. Maximum is 99"},
        RangeCase{"10", "90", Field::OffsetDec, "89", "Offset is too large.\nMaximum is 89",
                  "Offset is too large. Maximum is 89"},
        RangeCase{"9223372036854775807", "0", Field::StartDec, "99",
                  "Start position is too large.\nMaximum is 99",
                  "Start position is too large. Maximum is 99"},
        RangeCase{"0", "9223372036854775807", Field::OffsetDec, "99",
                  "Offset is too large.\nMaximum is 99", "Offset is too large. Maximum is 99"},
        RangeCase{"-5", "0", Field::StartDec, "0", "Start position is negative.\nMinimum is 0",
                  "Start position is negative. Minimum is 0"},
        RangeCase{"-9223372036854775808", "0", Field::StartDec, "0",
                  "Start position is negative.\nMinimum is 0",
                  "Start position is negative. Minimum is 0"},
        RangeCase{"0", "-1", Field::OffsetDec, "0", "Offset is negative.\nMinimum is 0",
                  "Offset is negative. Minimum is 0"}));

TEST_F(CopyTest, EmptySourceRefusesEveryStartWithMaximumMinusOne) {
    makeSource(0);
    copyToOut("0", "0");
    EXPECT_EQ(boxTexts(), std::vector<std::string>{"Start position is too large.\nMaximum is -1"});
    EXPECT_EQ(host.fieldText(Field::StartDec), "-1");
}

TEST_F(CopyTest, NameChecksComeFirstAndFocusTheirField) {
    struct Case {
        std::string source, dest, box;
        Field focus;
    };
    makeSource(10);
    fs::create_directory(dir.file("sub"));
    const std::vector<Case> cases = {
        {"  ", dir.file("o"), "Source file not specified!", Field::SourceFile},
        {dir.file("missing"), dir.file("o"), "Source file does not exist!", Field::SourceFile},
        {dir.file("sub"), dir.file("o"), "Source file does not exist!", Field::SourceFile},
        {dir.file("src.bin"), " \t", "Destination file not specified!", Field::DestFile},
        {dir.file("src.bin"), dir.file("nodir/o"),
         "The path " + dir.file("nodir/") + " does not exist!", Field::DestFile},
        {dir.file("src.bin"), dir.path() + "/./src.bin",
         "Source and destination files cannot be the same!", Field::DestFile},
    };
    for (const auto& c : cases) {
        host.boxes.clear();
        host.fields[Field::SourceFile] = c.source;
        host.fields[Field::DestFile] = c.dest;
        ExecuteCopy(ctx);
        ASSERT_EQ(host.boxes.size(), 1u) << c.box;
        EXPECT_EQ(host.boxes[0].kind, BoxKind::Error);
        EXPECT_EQ(host.boxes[0].text, c.box);
        EXPECT_EQ(host.focusHistory.back(), c.focus);
    }
    EXPECT_TRUE(host.log.empty());
}

TEST_F(CopyTest, OneFileUnderAnotherNameIsRefusedAndKept) {
    makeSource(64);
    const std::string src = dir.file("src.bin");
    fs::create_symlink(src, dir.file("link.bin"));
    fs::create_hard_link(src, dir.file("hard.bin"));
    fs::create_directory(dir.file("sub"));
    for (const std::string& dest :
         {dir.file("link.bin"), dir.file("hard.bin"), dir.file("sub/../src.bin")}) {
        host.boxes.clear();
        host.answers = {Answer::Yes};
        host.fields[Field::DestFile] = dest;
        setRange("0", "9");
        ExecuteCopy(ctx);
        EXPECT_EQ(boxTexts(),
                  std::vector<std::string>{"Source and destination files cannot be the same!"})
            << dest;
        EXPECT_EQ(readFile(src), data) << dest;
    }
}

TEST_F(CopyTest, OverwriteQuestionNoLeavesEverythingAsItWas) {
    makeSource(100);
    writeFile(dir.file("out.bin"), {'o', 'l', 'd'});
    host.fields[Field::DestFile] = dir.file("out.bin");
    host.answers = {Answer::No};
    ExecuteCopy(ctx);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].kind, BoxKind::Confirm);
    EXPECT_EQ(host.boxes[0].text, "Destination file already exists.\nDo you want to overwrite it?");
    EXPECT_TRUE(host.log.empty());
    EXPECT_EQ(readFile(dir.file("out.bin")), (std::vector<char>{'o', 'l', 'd'}));
}

TEST_F(CopyTest, OverwriteQuestionYesReplacesAReadOnlyFile) {
    makeSource(100);
    writeFile(dir.file("out.bin"), {'o', 'l', 'd'});
    fs::permissions(dir.file("out.bin"), fs::perms::owner_read);
    copyToOut("10", "9");
    EXPECT_EQ(readFile(dir.file("out.bin")), slice(10, 10));
    // A new file, writable as any new file is.
    EXPECT_NE(fs::status(dir.file("out.bin")).permissions() & fs::perms::owner_write,
              fs::perms::none);
}

TEST_F(CopyTest, ARefusedRangeAfterYesKeepsTheOldDestination) {
    makeSource(100);
    writeFile(dir.file("out.bin"), {'o', 'l', 'd'});
    copyToOut("500", "0");
    EXPECT_EQ(boxTexts(), (std::vector<std::string>{
                              "Destination file already exists.\nDo you want to overwrite it?",
                              "Start position is too large.\nMaximum is 99"}));
    EXPECT_EQ(readFile(dir.file("out.bin")), (std::vector<char>{'o', 'l', 'd'}));
}

TEST_F(CopyTest, ConsoleReplacesAnExistingDestinationWithoutAQuestion) {
    makeSource(100);
    writeFile(dir.file("out.bin"), std::vector<char>(500, 'x'));
    state.ConsoleAttached = true;
    copyToOut("0", "9");
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_EQ(readFile(dir.file("out.bin")), slice(0, 10));
}

TEST_F(CopyTest, EmptyNumberFieldsAndTextsThatAreNoNumbers) {
    makeSource(100);
    copyToOut("", "0");
    setRange("0", "");
    ExecuteCopy(ctx);
    EXPECT_EQ(boxTexts(),
              (std::vector<std::string>{"Start position not defined.", "Offset not defined."}));
    EXPECT_EQ(host.focusHistory, (std::vector<Field>{Field::StartDec, Field::OffsetDec}));
    setRange("9999999999999999999", "0");
    ExecuteCopy(ctx);
    setRange("0", "12ab");
    ExecuteCopy(ctx);
    EXPECT_EQ(host.errors,
              (std::vector<std::string>{"'9999999999999999999' is not a valid integer value",
                                        "'12ab' is not a valid integer value"}));
    EXPECT_FALSE(fs::exists(dir.file("out.bin")));
}

TEST_F(CopyTest, FreeSpaceIsNeededOnlyForTheBytesCopied) {
    makeSource(1000);
    host.fields[Field::DestFile] = dir.file("out.bin");
    setRange("1", "9");
    platform.free = 9; // ten bytes to copy
    ExecuteCopy(ctx);
    const std::string text =
        "Not enough free disk space on drive /mnt/test\nThere is 9 bytes (1KB) free disk space.";
    EXPECT_EQ(boxTexts(), std::vector<std::string>{text});
    EXPECT_EQ(host.logTexts(), std::vector<std::string>{"ERROR: " + text});
    EXPECT_TRUE(state.CommandLineError);
    EXPECT_FALSE(fs::exists(dir.file("out.bin")));

    platform.free = 10; // far less than the 999 bytes from the start to the end of the source
    host.boxes.clear();
    ExecuteCopy(ctx);
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_EQ(fs::file_size(dir.file("out.bin")), 10u);
}

TEST_F(CopyTest, AFailedFreeSpaceQueryIsMinusOneBytes) {
    makeSource(10);
    host.fields[Field::DestFile] = dir.file("out.bin");
    platform.free = -1;
    state.ConsoleAttached = true;
    ExecuteCopy(ctx);
    EXPECT_EQ(platform.console, "ERROR: Not enough free disk space on drive /mnt/test\r\nThere is "
                                "-1 bytes (1KB) free disk space.\r\n");
}

TEST_F(CopyTest, ALockedSourceCannotBeOpened) {
    makeSource(100);
    host.fields[Field::DestFile] = dir.file("out.bin");
    int holder = ::open(dir.file("src.bin").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    ExecuteCopy(ctx);
    ::close(holder);
    const std::string text = "The source file " + dir.file("src.bin") + " cannot be opened.";
    EXPECT_EQ(boxTexts(), std::vector<std::string>{text});
    EXPECT_EQ(host.logTexts(), std::vector<std::string>{"ERROR: " + text});
    EXPECT_FALSE(fs::exists(dir.file("out.bin")));
}

struct FailureCase {
    const char* name;
    int failWriteAt, failReadAt, shortReadAt;
    bool failCreate;
    const char* expected; // the text after the file name
};

class CopyFailures : public CopyTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(CopyFailures, StopRemoveThePartialFileAndReturnToIdle) {
    const auto& c = GetParam();
    makeSource(3 << 20); // six blocks
    host.fields[Field::DestFile] = dir.file("out.bin");
    setRange("0", std::to_string((3 << 20) - 1));
    platform.failWriteAt = c.failWriteAt;
    platform.failReadAt = c.failReadAt;
    platform.shortReadAt = c.shortReadAt;
    platform.failCreate = c.failCreate;
    ExecuteCopy(ctx);

    const bool writing = c.failWriteAt > 0 || c.failCreate;
    const std::string file = writing ? dir.file("out.bin") : dir.file("src.bin");
    const std::string text =
        std::string(writing ? "The destination file " : "The source file ") + file + c.expected;
    EXPECT_EQ(boxTexts(), std::vector<std::string>{text});
    EXPECT_EQ(host.logTexts(), (std::vector<std::string>{"Copying started...", "ERROR: " + text}));
    EXPECT_TRUE(state.CommandLineError);
    EXPECT_FALSE(fs::exists(dir.file("out.bin")));
    EXPECT_EQ(host.toggles, (std::vector<bool>{false, true}));
    EXPECT_FALSE(host.timerEnabled);
    EXPECT_EQ(host.progress, 0);
    EXPECT_EQ(host.titles.back(), "Kestrine");
    EXPECT_EQ(readFile(dir.file("src.bin")), data);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CopyFailures,
    ::testing::Values(
        FailureCase{"ThirdWrite", 3, 0, 0, false, " cannot be written: No space left on device"},
        FailureCase{"FirstWrite", 1, 0, 0, false, " cannot be written: No space left on device"},
        FailureCase{"SecondRead", 0, 2, 0, false, " cannot be read: Input/output error"},
        FailureCase{"ShrunkSource", 0, 0, 4, false,
                    " cannot be read: it ended before the range was copied"},
        FailureCase{"Create", 0, 0, 0, true, " cannot be created: Permission denied"}),
    [](const auto& info) { return std::string(info.param.name); });

struct SystemCopyCase {
    const char* name;
    int refuseRangeAt; // the system copy refused, 0 never
    int failWriteAt;
    bool shrink;          // the source lost half of its bytes after it was measured
    const char* expected; // the text after the file name; empty: the copy finishes
};

class SystemCopy : public CopyTest, public ::testing::WithParamInterface<SystemCopyCase> {};

// The system copies chunks until it refuses; the read and write loop goes on from there, never
// copying a byte twice or skipping one, and its faults are reported as ever.
TEST_P(SystemCopy, HandsOverToTheLoopWithoutLosingOrRepeatingAByte) {
    const auto& c = GetParam();
    constexpr std::size_t kBytes = 5 * 8192 + 7;
    makeSource(kBytes + 10);
    if (c.shrink) {
        ASSERT_EQ(::truncate(dir.file("src.bin").c_str(), kBytes / 2), 0);
    }
    host.fields[Field::DestFile] = dir.file("out.bin");
    setRange("3", std::to_string(kBytes - 1));
    platform.kernelCopy = true;
    platform.kernelChunk = 10000;
    platform.refuseRangeAt = c.refuseRangeAt;
    platform.failWriteAt = c.failWriteAt;
    ExecuteCopy(ctx);

    if (*c.expected == '\0') {
        EXPECT_EQ(readFile(dir.file("out.bin")), slice(3, kBytes));
        EXPECT_TRUE(host.boxes.empty());
    } else {
        const bool writing = c.failWriteAt > 0;
        EXPECT_EQ(boxTexts(), std::vector<std::string>{
                                  (writing ? "The destination file " : "The source file ") +
                                  dir.file(writing ? "out.bin" : "src.bin") + c.expected});
        EXPECT_FALSE(fs::exists(dir.file("out.bin")));
    }
    if (c.refuseRangeAt == 0 && !c.shrink) {
        // Each chunk lets the window answer; the reads and writes never ran.
        EXPECT_EQ(host.pumps, platform.copyRanges);
        EXPECT_EQ(state.CopyProgress, 1.0);
        EXPECT_EQ(platform.writes, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, SystemCopy,
    ::testing::Values(SystemCopyCase{"AllInTheSystem", 0, 0, false, ""},
                      SystemCopyCase{"RefusedAtOnce", 1, 0, false, ""},
                      SystemCopyCase{"RefusedAfterTwoChunks", 3, 0, false, ""},
                      SystemCopyCase{"WriteFailsAfterTheHandOver", 2, 1, false,
                                     " cannot be written: No space left on device"},
                      SystemCopyCase{"SourceShrank", 0, 0, true,
                                     " cannot be read: it ended before the range was copied"}),
    [](const auto& info) { return std::string(info.param.name); });

// Chunks follow the time the last one took, and stay whole multiples of 64 KiB so that every
// one starts on a page of the destination.
TEST_F(CopyTest, SystemChunksFollowTheClockAndKeepToWholePages) {
    constexpr std::size_t kBytes = 3 << 20;
    makeSource(kBytes + 1);
    host.fields[Field::DestFile] = dir.file("out.bin");
    platform.kernelCopy = true;
    for (const auto& [msPerChunk, grows] :
         {std::pair{33, false}, std::pair{27, false}, std::pair{3, true}}) {
        SCOPED_TRACE(msPerChunk);
        platform.chunksAsked.clear();
        platform.clockStep = msPerChunk;
        setRange("1", std::to_string(kBytes - 1));
        ExecuteCopy(ctx);
        ASSERT_EQ(readFile(dir.file("out.bin")), slice(1, kBytes));
        const auto& asked = platform.chunksAsked;
        ASSERT_GE(asked.size(), 3u);
        for (std::size_t i = 0; i + 1 < asked.size(); ++i)
            EXPECT_EQ(asked[i] % (64 << 10), 0u) << "chunk " << i << ": " << asked[i];
        EXPECT_EQ(asked[2] > asked[1], grows);
    }
}

TEST_F(CopyTest, ASourceThatShrankSinceItWasMeasured) {
    makeSource(20000);
    ASSERT_EQ(::truncate(dir.file("src.bin").c_str(), 10000), 0);
    host.fields[Field::DestFile] = dir.file("out.bin");
    state.ConsoleAttached = true;
    setRange("0", "19999");
    ExecuteCopy(ctx);
    EXPECT_NE(platform.console.find("ERROR: The source file " + dir.file("src.bin") +
                                    " cannot be read: it ended before the range was copied\r\n"),
              std::string::npos);
    EXPECT_EQ(platform.console.find("Copying finished."), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.file("out.bin")));
}

TEST_F(CopyTest, ADestinationLockedByAnotherProgramIsNotTruncated) {
    makeSource(100);
    writeFile(dir.file("out.bin"), {'k', 'e', 'e', 'p'});
    int holder = ::open(dir.file("out.bin").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    state.ConsoleAttached = true;
    host.fields[Field::DestFile] = dir.file("out.bin");
    ExecuteCopy(ctx);
    ::close(holder);
    EXPECT_TRUE(state.CommandLineError);
    EXPECT_EQ(readFile(dir.file("out.bin")), (std::vector<char>{'k', 'e', 'e', 'p'}));
}

// A source with holes: `data` runs of 64 KiB at the given multiples of 1 MiB in an 8 MiB file.
struct HoleCase {
    const char* name;
    std::vector<int> dataAtMiB;
    Position start, bytes;
};

class Holes : public CopyTest, public ::testing::WithParamInterface<HoleCase> {};

// Only the data is copied and the holes stay holes; the bytes read back are the source's.
TEST_P(Holes, StayHolesAndReadBackAsTheSource) {
    const HoleCase& c = GetParam();
    constexpr Position kMiB = 1 << 20;
    const std::string src = dir.file("src.bin");
    data.assign(8 * kMiB, '\0');
    {
        const std::vector<char> run = randomBytes(64 << 10, 7);
        int fd = ::open(src.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        for (int at : c.dataAtMiB) {
            ASSERT_EQ(::pwrite(fd, run.data(), run.size(), at * kMiB), Position(run.size()));
            std::copy(run.begin(), run.end(), data.begin() + at * kMiB);
        }
        ASSERT_EQ(::ftruncate(fd, 8 * kMiB), 0);
        ::close(fd);
    }
    host.fields[Field::SourceFile] = src;
    ChangeSourceFile(ctx);
    for (bool system : {false, true}) {
        SCOPED_TRACE(system ? "system copy" : "read and write");
        platform.kernelCopy = system;
        fs::remove(dir.file("out.bin"));
        copyToOut(std::to_string(c.start), std::to_string(c.bytes - 1));
        ASSERT_EQ(readFile(dir.file("out.bin")), slice(std::size_t(c.start), std::size_t(c.bytes)));
        struct stat st {};
        ASSERT_EQ(::stat(dir.file("out.bin").c_str(), &st), 0);
        // Every data run is 64 KiB; a file system may round each up to a few blocks.
        EXPECT_LE(st.st_blocks * 512, Position(c.dataAtMiB.size() + 1) * (128 << 10));
        EXPECT_EQ(state.CopyProgress, 1.0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Holes,
    ::testing::Values(HoleCase{"DataAtTheStart", {0}, 0, 8 << 20},
                      HoleCase{"DataAtTheEnd", {7}, 0, 8 << 20}, HoleCase{"NoData", {}, 0, 8 << 20},
                      HoleCase{"StartsInAHole", {3, 6}, (1 << 20) + 5, 6 << 20},
                      HoleCase{"EndsInAHole", {0, 2}, 100, (3 << 20) - 7},
                      HoleCase{"StartsAndEndsInsideData", {2}, (2 << 20) + 9, 1000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CopyTest, ASourceWithHolesNeedsRoomForItsDataOnly) {
    const std::string src = dir.file("src.bin");
    writeFile(src, std::vector<char>(4096, 'd'));
    fs::resize_file(src, 64 << 20);
    host.fields[Field::SourceFile] = src;
    ChangeSourceFile(ctx);
    host.fields[Field::DestFile] = dir.file("out.bin");
    setRange("0", std::to_string((64 << 20) - 1));
    platform.free = 1 << 20;
    ExecuteCopy(ctx);
    EXPECT_TRUE(host.boxes.empty()) << host.boxes.front().text;
    EXPECT_EQ(fs::file_size(dir.file("out.bin")), std::uintmax_t{64} << 20);
}

// Stopped between two chunks (the window's close box, a signal on the console): the older
// destination is as it was, nothing else is left and nothing further is logged.
TEST_F(CopyTest, AStoppedCopyKeepsTheOlderDestinationAndLeavesNoFile) {
    makeSource(3 << 20);
    for (bool existing : {true, false}) {
        SCOPED_TRACE(existing ? "older destination" : "new destination");
        fs::remove(dir.file("out.bin"));
        if (existing)
            writeFile(dir.file("out.bin"), {'o', 'l', 'd'});
        host.log.clear();
        host.toggles.clear();
        host.pumps = 0;
        host.stopAtPump = 2;
        copyToOut("0", std::to_string((3 << 20) - 1));
        EXPECT_EQ(host.logTexts(), std::vector<std::string>{"Copying started..."});
        EXPECT_EQ(host.toggles, (std::vector<bool>{false, true}));
        EXPECT_FALSE(host.timerEnabled);
        EXPECT_EQ(fs::exists(dir.file("out.bin")), existing);
        if (existing) {
            EXPECT_EQ(readFile(dir.file("out.bin")), (std::vector<char>{'o', 'l', 'd'}));
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()),
                  existing ? 2 : 1);
    }
}

TEST_F(CopyTest, OtherLettersOrSpacesNameAnotherFile) {
    makeSource(100);
    for (const std::string name : {"SRC.BIN", " src.bin", "src.bin "}) {
        host.boxes.clear();
        host.fields[Field::DestFile] = dir.file(name);
        setRange("0", "9");
        ExecuteCopy(ctx);
        EXPECT_TRUE(host.boxes.empty()) << name;
        EXPECT_EQ(readFile(dir.file(name)), slice(0, 10)) << name;
    }
    EXPECT_EQ(readFile(dir.file("src.bin")), data);
}

// A new file gets the mode of any new file; written over on the console, the older file's
// mode stays, as an overwrite keeps it.
TEST_F(CopyTest, ModesOfNewAndReplacedDestinations) {
    makeSource(100);
    const mode_t mask = ::umask(027);
    copyToOut("0", "9");
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("out.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    ::chmod(dir.file("out.bin").c_str(), 0600);
    state.ConsoleAttached = true;
    copyToOut("5", "9");
    ::umask(mask);
    ASSERT_EQ(::stat(dir.file("out.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(readFile(dir.file("out.bin")), slice(5, 10));
}

// The same rig serves the steps a copy is made of.
using ChangeSourceFileTest = CopyTest;
using ProgressTimerTest = CopyTest;
using AddToLogTest = CopyTest;

TEST_F(ChangeSourceFileTest, MeasuresOrReportsAndKeepsTheLastSize) {
    writeFile(dir.file("a"), std::vector<char>(1536, 'a'));

    host.fields[Field::SourceFile] = dir.file("a");
    ChangeSourceFile(ctx);
    EXPECT_EQ(state.SourceFileSize, 1536);
    EXPECT_EQ(state.SourceFileName, dir.file("a"));

    host.fields[Field::SourceFile] = "";
    ChangeSourceFile(ctx);
    EXPECT_EQ(state.SourceFileName, dir.file("a"));
    EXPECT_TRUE(host.boxes.empty());

    for (const std::string& bad : {dir.file("missing"), dir.path()}) {
        host.fields[Field::SourceFile] = bad;
        ChangeSourceFile(ctx);
        EXPECT_EQ(state.SourceFileSize, 1536);
        EXPECT_EQ(state.SourceFileName, bad);
        ASSERT_FALSE(host.boxes.empty());
        EXPECT_EQ(host.boxes.back().text, "The source file " + bad + " cannot be opened.");
        EXPECT_EQ(host.boxes.back().kind, BoxKind::Error);
    }

    // With a console the report is a plain line, not an error.
    state.ConsoleAttached = true;
    host.boxes.clear();
    ChangeSourceFile(ctx);
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_EQ(platform.console, "The source file " + dir.path() + " cannot be opened.\r\n");
    EXPECT_FALSE(state.CommandLineError);
}

TEST_F(ChangeSourceFileTest, NeverBlocksOnAPipe) {
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    host.fields[Field::SourceFile] = dir.file("fifo");
    ChangeSourceFile(ctx); // must return: a FIFO with no writer would block a plain open
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(state.SourceFileSize, 0);
}

TEST_F(ProgressTimerTest, ShowsThePercentInBarStatusAndTitle) {
    state.StartupTitle = "Kestrine";
    state.CopyProgress = 0.42;
    ProgressTimer(ctx);
    EXPECT_EQ(host.progress, 42);
    EXPECT_EQ(host.statusTexts.back(), "42%");
    EXPECT_EQ(host.titles.back(), "42% Kestrine");
    state.CopyProgress = 0.125; // 12.5 goes to the even neighbour
    ProgressTimer(ctx);
    EXPECT_EQ(host.progress, 12);
    state.CopyProgress = 0.135;
    ProgressTimer(ctx);
    EXPECT_EQ(host.progress, 14);
}

TEST_F(AddToLogTest, ConsoleLinesEndInCrLfOnlyWhileAttached) {
    AddToLog(ctx, "window only");
    EXPECT_TRUE(platform.console.empty());
    state.ConsoleAttached = true;
    AddToLog(ctx, "bold", true);
    AddToLog(ctx, "\nTwo\nlines\n");
    EXPECT_EQ(platform.console, "bold\r\n\r\nTwo\r\nlines\r\n\r\n");
    ASSERT_EQ(host.log.size(), 3u);
    EXPECT_TRUE(host.log[1].bold);
    EXPECT_EQ(host.log[2].text, "\nTwo\nlines\n"); // the window log keeps the text as it is
}

} // namespace
