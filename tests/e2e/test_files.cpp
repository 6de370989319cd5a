// The files a command-line run reads and writes: exact slices, names that meet, locks.

#include "Harness.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace e2e;

namespace {

struct Slice {
    const char* name;
    std::size_t sourceSize;
    std::size_t start;
    std::size_t count;
    const char* sizeText;
};

void PrintTo(const Slice& c, std::ostream* os) {
    *os << c.name;
}

std::string hexText(std::size_t v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%zXh", v);
    return buf;
}

} // namespace

class CopiedSlice : public CommandLineTest, public ::testing::WithParamInterface<Slice> {};

TEST_P(CopiedSlice, EqualsTheSourceBytes) {
    const Slice& c = GetParam();
    const std::string src = makeSource("src.bin", c.sourceSize, c.sourceSize);
    // Start in decimal, length in hexadecimal: both paths into the fields are used.
    const std::string start = std::to_string(c.start) + "d";
    const std::string length = hexText(c.count - 1);
    RunResult r = run({"src.bin", "out.bin", start, length});
    ASSERT_TRUE(r.exited) << r;
    EXPECT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.out,
              header("src.bin", "out.bin", start, length) + successTail(c.sizeText, "out.bin"));
    const std::string out = readFile(work("out.bin"));
    ASSERT_EQ(out.size(), c.count);
    EXPECT_TRUE(out == src.substr(c.start, c.count)) << "the copied bytes differ from the source";
    EXPECT_EQ(readFile(work("src.bin")), src);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, CopiedSlice,
    ::testing::Values(
        Slice{"FirstByte", 3 * 8192 + 5, 0, 1, "1 bytes (1KB)"},
        Slice{"JustUnderOneBlock", 3 * 8192 + 5, 0, 8191, "8,191 bytes (8KB)"},
        Slice{"OneBlock", 3 * 8192 + 5, 0, 8192, "8,192 bytes (8KB)"},
        Slice{"OneBlockAndAByte", 3 * 8192 + 5, 0, 8193, "8,193 bytes (8KB)"},
        Slice{"TwoBlocksAndAByte", 3 * 8192 + 5, 0, 2 * 8192 + 1, "16,385 bytes (16KB)"},
        Slice{"MiddleOneByte", 3 * 8192 + 5, 12345, 1, "1 bytes (1KB)"},
        Slice{"MiddleUnaligned", 3 * 8192 + 5, 4097, 8193, "8,193 bytes (8KB)"},
        Slice{"MiddleTwoBlocksAndAByte", 3 * 8192 + 5, 1001, 2 * 8192 + 1, "16,385 bytes (16KB)"},
        Slice{"LastByte", 3 * 8192 + 5, 3 * 8192 + 4, 1, "1 bytes (1KB)"},
        Slice{"BlockEndingAtLastByte", 3 * 8192 + 5, 8192 + 5, 2 * 8192, "16,384 bytes (16KB)"},
        Slice{"WholeFile", 3 * 8192 + 5, 0, 3 * 8192 + 5, "24,581 bytes (24KB)"},
        Slice{"LastByteOfHundred", 100, 99, 1, "1 bytes (1KB)"},
        Slice{"ToTheEndOfHundred", 100, 10, 90, "90 bytes (1KB)"},
        Slice{"OneMebibyte", (1u << 20) + 7, 3, 1u << 20, "1,048,576 bytes (1,024KB)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CommandLineTest, ReplacesAnExistingDestinationWithoutAsking) {
    const std::string src = makeSource("src.bin", 1000);
    makeSource("out.bin", 100000, 5);
    RunResult r = run({"src.bin", "out.bin", "10d", "9d"});
    ASSERT_TRUE(r.exited) << r;
    EXPECT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.out,
              header("src.bin", "out.bin", "10d", "9d") + successTail("10 bytes (1KB)", "out.bin"));
    EXPECT_EQ(readFile(work("out.bin")), src.substr(10, 10));
}

TEST_F(CommandLineTest, NamesWithSpacesAndNoFolderPart) {
    // The usage example: a destination without a folder is made in the working folder.
    const std::string src = makeSource("file one.dat", 4096);
    RunResult r = run({"file one.dat", "file two.dat", "400d", "5ffh"});
    ASSERT_TRUE(r.exited) << r;
    EXPECT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.out, header("file one.dat", "file two.dat", "400d", "5ffh") +
                         successTail("1,536 bytes (2KB)", "file two.dat"));
    EXPECT_EQ(readFile(work("file two.dat")), src.substr(400, 1536));
}

TEST_F(CommandLineTest, AbsoluteNamesInOtherFolders) {
    fs::create_directories(workDir() / "in dir");
    fs::create_directories(workDir() / "out dir");
    const std::string src = makeSource("in dir/src.bin", 500);
    const std::string p1 = work("in dir/src.bin").string();
    const std::string p2 = work("out dir/out.bin").string();
    RunResult r = run({p1, p2, "0d", "1F3h"});
    ASSERT_TRUE(r.exited) << r;
    EXPECT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.out, header(p1, p2, "0d", "1F3h") + successTail("500 bytes (1KB)", p2));
    EXPECT_EQ(readFile(p2), src);
}

namespace {

enum class Link { None, Symbolic, Hard };

struct SameFile {
    const char* name;
    const char* destination; // "@" stands for the absolute path of the source
    Link link;
};

void PrintTo(const SameFile& c, std::ostream* os) {
    *os << c.name;
}

} // namespace

// Two names for one file: creating the destination would truncate the source.
class SameFileRefused : public CommandLineTest, public ::testing::WithParamInterface<SameFile> {};

TEST_P(SameFileRefused, ReportsOnceAndLeavesTheSourceIntact) {
    const SameFile& c = GetParam();
    const std::string src = makeSource("src.bin", 20000);
    std::string dst = c.destination == std::string("@") ? work("src.bin").string() : c.destination;
    if (c.link == Link::Symbolic)
        fs::create_symlink("src.bin", work(dst));
    if (c.link == Link::Hard)
        fs::create_hard_link(work("src.bin"), work(dst));
    RunResult r = run({"src.bin", dst, "0d", "4E1Fh"});
    ASSERT_TRUE(r.exited) << r;
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, banner() + crlf({"Using Command-Line Parameters", "Source File = src.bin",
                                      "Destination File = " + dst,
                                      "ERROR: Source and destination files cannot be the same!",
                                      "Start Position = 0d", "Offset Length = 4E1Fh"}));
    EXPECT_EQ(readFile(work("src.bin")), src);
}

INSTANTIATE_TEST_SUITE_P(Names, SameFileRefused,
                         ::testing::Values(SameFile{"SameText", "src.bin", Link::None},
                                           SameFile{"Absolute", "@", Link::None},
                                           SameFile{"DotSlash", "./src.bin", Link::None},
                                           SameFile{"SymbolicLink", "link.bin", Link::Symbolic},
                                           SameFile{"HardLink", "hard.bin", Link::Hard}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CommandLineTest, DestinationUnderARegularFileIsRefused) {
    makeSource("src.bin", 100);
    RunResult r = run({"src.bin", "src.bin/x", "0d", "0d"});
    ASSERT_TRUE(r.exited) << r;
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, banner() + crlf({"Using Command-Line Parameters", "Source File = src.bin",
                                      "Destination File = src.bin/x",
                                      "ERROR: The Destination File path src.bin/ does not exist.",
                                      "Start Position = 0d", "Offset Length = 0d"}));
}

namespace {

// What a copy of src.bin to `dst` from 0 prints up to the reason `dst` could not be created.
std::string cannotCreateStart(const std::string& dst, const std::string& length) {
    return header("src.bin", dst, "0d", length) + crlf({"Copying started..."}) +
           "ERROR: The destination file " + dst + " cannot be created: ";
}

} // namespace

TEST_F(CommandLineTest, DestinationThatIsAFolderCannotBeCreated) {
    makeSource("src.bin", 100);
    fs::create_directories(work("adir"));
    RunResult r = run({"src.bin", "adir", "0d", "0d"});
    ASSERT_TRUE(r.exited) << r;
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, cannotCreateStart("adir", "0d") + "It is a folder\r\n");
    // Removing a partial destination must not touch what was there.
    EXPECT_TRUE(fs::is_directory(work("adir")));
}

TEST_F(CommandLineTest, DestinationLockedByAnotherProgramIsKept) {
    makeSource("src.bin", 100);
    const std::string old = makeSource("out.bin", 5000, 3);
    FileLock lock(work("out.bin"));
    ASSERT_TRUE(lock.held());
    RunResult r = run({"src.bin", "out.bin", "0d", "0d"});
    ASSERT_TRUE(r.exited) << r;
    EXPECT_EQ(r.status, 1);
    const std::string prefix = cannotCreateStart("out.bin", "0d");
    EXPECT_EQ(r.out.substr(0, prefix.size()), prefix) << r;
    EXPECT_EQ(r.out.find("\r\n", prefix.size()), r.out.size() - 2) << "one last line expected";
    EXPECT_EQ(readFile(work("out.bin")), old);
}

class LockedSourceTest : public CommandLineTest {
protected:
    // Copies src.bin to out.bin from 0 while another program holds src.bin locked: the run
    // fails, the source echo is preceded by its open failure and `error` is the last line.
    void expectLockedRunFails(const std::string& error) {
        FileLock lock(work("src.bin"));
        ASSERT_TRUE(lock.held());
        RunResult r = run({"src.bin", "out.bin", "0d", "0d"});
        ASSERT_TRUE(r.exited) << r;
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, header("src.bin", "out.bin", "0d", "0d",
                                {"The source file src.bin cannot be opened."},
                                {"ERROR: The source file src.bin cannot be opened: " + error}));
    }
};

TEST_F(LockedSourceTest, LockedSourceCannotBeOpened) {
    makeSource("src.bin", 4096);
    expectLockedRunFails("The file is in use by another program");
    EXPECT_EQ(listing(), std::vector<std::string>{"src.bin"});
}

TEST_F(LockedSourceTest, LockedSourceWithSizeFromSettingsFailsWithItsReason) {
    // A size left behind by the remembered source changes nothing: the locked file is said
    // to be locked before any range is checked against a size it never had.
    makeSource("remembered.bin", 100, 4);
    makeSource("src.bin", 4096);
    writeFile(progDir() / "Kestrine.ini",
              "[Kestrine]\nSaveLastSourceFile=" + work("remembered.bin").string() + "\n");
    expectLockedRunFails("The file is in use by another program");
    EXPECT_FALSE(fs::exists(work("out.bin")));
}

TEST_F(CommandLineTest, SourceThatIsNotARegularFile) {
    // A folder does not exist as a file; a FIFO exists but cannot be opened, and must not
    // make the run wait for a writer.
    fs::create_directories(work("adir"));
    ASSERT_EQ(::mkfifo(work("fifo").c_str(), 0644), 0);

    RunResult folder = run({"adir", "out.bin", "0d", "0d"});
    ASSERT_TRUE(folder.exited) << folder;
    EXPECT_EQ(folder.status, 1);
    EXPECT_EQ(
        folder.out,
        banner() +
            crlf({"Using Command-Line Parameters", "The source file adir cannot be opened.",
                  "Source File = adir", "ERROR: The Source File adir cannot be found.",
                  "Destination File = out.bin", "Start Position = 0d", "Offset Length = 0d"}));

    RunResult fifo = run({"fifo", "out.bin", "0d", "0d"});
    ASSERT_TRUE(fifo.exited) << fifo;
    EXPECT_EQ(fifo.status, 1);
    EXPECT_NE(fifo.out.find(crlf({"Using Command-Line Parameters",
                                  "The source file fifo cannot be opened.", "Source File = fifo",
                                  "ERROR: The source file fifo cannot be opened: It is a FIFO"})),
              std::string::npos)
        << fifo;

    // A character device has no length to cut a range from.
    RunResult device = run({"/dev/zero", "out.bin", "0d", "0d"});
    ASSERT_TRUE(device.exited) << device;
    EXPECT_EQ(device.status, 1);
    EXPECT_NE(device.out.find("Source File = /dev/zero\r\nERROR: The source file /dev/zero "
                              "cannot be opened: It is a character device\r\n"),
              std::string::npos)
        << device;
    EXPECT_EQ(fifo.out.find("Copying started..."), std::string::npos) << fifo;
    EXPECT_FALSE(fs::exists(work("out.bin")));
}

// A disk, a partition or a loop device is a file with a length.
TEST_F(CommandLineTest, ABlockDeviceIsCopiedLikeAFile) {
    const std::string data = makeSource("disk.img", 1 << 20, 5);
    const std::string attach =
        "losetup --find --show " + work("disk.img").string() + " 2>/dev/null";
    std::string device;
    if (FILE* p = ::popen(attach.c_str(), "r")) {
        char line[256] = {};
        if (std::fgets(line, sizeof line, p))
            device = line;
        ::pclose(p);
    }
    while (!device.empty() && device.back() == '\n')
        device.pop_back();
    if (device.empty())
        GTEST_SKIP() << "no loop device can be made here";
    struct Detach {
        std::string device;
        ~Detach() { [[maybe_unused]] const int rc = std::system(("losetup -d " + device).c_str()); }
    } detach{device};
    RunResult r = run({device, "out.bin", "1000d", "FFFh"});
    ASSERT_TRUE(r.exited) << r;
    EXPECT_EQ(r.status, 0) << r;
    EXPECT_EQ(readFile(work("out.bin")), data.substr(1000, 4096));
    // Its length is the device's, not the 0 its node shows.
    RunResult tooFar = run({device, "out2.bin", "0d", "100000h"});
    EXPECT_NE(tooFar.out.find("ERROR: Offset is too large. Maximum is 1048575"), std::string::npos)
        << tooFar;
}

// The console lines would be written into the copy.
TEST_F(CommandLineTest, TheStandardOutputIsRefusedAsDestination) {
    makeSource("src.bin", 100);
    for (const std::string dest : {"/dev/stdout", "/proc/self/fd/1", "so.txt", "/dev/stderr"}) {
        SCOPED_TRACE(dest);
        RunResult r = run({"src.bin", dest, "0d", "63h"}, RunOptions{.stdoutFile = work("so.txt")});
        ASSERT_TRUE(r.exited) << r;
        EXPECT_EQ(r.status, 1);
        const std::string out = readFile(work("so.txt"));
        EXPECT_NE(out.find("Destination File = " + dest + "\r\nERROR: The Destination File " +
                           dest + " is the standard output or error of this run"),
                  std::string::npos)
            << out;
        EXPECT_EQ(out.find("Copying started..."), std::string::npos) << out;
    }
}

TEST_F(CommandLineTest, DeviceDestinationIsRefusedAndKept) {
    // A device node is no file to truncate, and certainly none to remove after a failure.
    makeSource("src.bin", 100);
    if (::mknod(work("full").c_str(), S_IFCHR | 0644, ::makedev(1, 7)) != 0)
        GTEST_SKIP() << "cannot make a device node here: " << std::strerror(errno);
    RunResult r = run({"src.bin", "full", "0d", "63h"});
    ASSERT_TRUE(r.exited) << r;
    EXPECT_EQ(r.status, 1);
    const std::string prefix = cannotCreateStart("full", "63h");
    EXPECT_EQ(r.out.substr(0, prefix.size()), prefix) << r;
    EXPECT_EQ(r.out.find("written to file"), std::string::npos) << r;
    struct stat st {};
    ASSERT_EQ(::lstat(work("full").c_str(), &st), 0) << "the device node was removed";
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

namespace {

struct WriteLimit {
    const char* name;
    std::uint64_t limit;
    std::size_t count;
};

void PrintTo(const WriteLimit& c, std::ostream* os) {
    *os << c.name;
}

} // namespace

// A write that fails part way (here: the file-size limit) ends the copy with its reason, no
// success lines and no partial destination left behind.
class FailedWrite : public CommandLineTest, public ::testing::WithParamInterface<WriteLimit> {};

TEST_P(FailedWrite, IsReportedAndThePartialDestinationRemoved) {
    const WriteLimit& c = GetParam();
    makeSource("src.bin", 4 * 8192);
    const std::string length = std::to_string(c.count - 1) + "d";
    RunResult r = run({"src.bin", "out.bin", "0d", length}, RunOptions{.fileSizeLimit = c.limit});
    ASSERT_TRUE(r.exited) << r;
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, header("src.bin", "out.bin", "0d", length) +
                         crlf({"Copying started...",
                               "ERROR: The destination file out.bin cannot be written: " +
                                   std::string(std::strerror(EFBIG))}));
    EXPECT_EQ(listing(), std::vector<std::string>{"src.bin"});
}

INSTANTIATE_TEST_SUITE_P(Limits, FailedWrite,
                         ::testing::Values(WriteLimit{"FirstByte", 0, 1},
                                           WriteLimit{"FirstBlock", 4096, 8192},
                                           WriteLimit{"InsideSecondBlock", 10000, 3 * 8192},
                                           WriteLimit{"Remainder", 8192, 8193}),
                         [](const auto& info) { return std::string(info.param.name); });
