// The POSIX platform: locks, refusals that must never block, free space, locale, character sets.

#include "TestPlatform.h"

#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <fcntl.h>
#include <functional>
#include <map>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kestrine;
using namespace kestrine::testing;

namespace {

TEST(PlatformFiles, ExclusiveOpenFailsWhileAnotherHolderHasTheFile) {
    TempDir dir;
    writeFile(dir.file("f"), {'x'});
    Platform& pf = Platform::system();
    Result<FileHandle> a = pf.openExclusive(dir.file("f"));
    ASSERT_TRUE(a) << a.why();
    const Result<FileHandle> second = pf.openExclusive(dir.file("f"));
    ASSERT_FALSE(second);
    EXPECT_EQ(second.why(), "The file is in use by another program");
    // Readers that share take no lock.
    EXPECT_TRUE(pf.openShared(dir.file("f")));
    a->reset();
    EXPECT_TRUE(pf.openExclusive(dir.file("f")));
}

TEST(PlatformFiles, OnlyRegularFilesOpenAndNothingBlocks) {
    TempDir dir;
    Platform& pf = Platform::system();
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(pf.openExclusive(dir.file("fifo")));
    EXPECT_FALSE(pf.openExclusive(dir.path()));
    EXPECT_FALSE(pf.openExclusive("/dev/zero"));
    // A destination of that name is refused, not opened and waited on.
    EXPECT_FALSE(pf.regularFileStatus(dir.file("fifo")));
    EXPECT_FALSE(pf.openExclusive(dir.file("none")));
    EXPECT_TRUE(pf.fileExists(dir.file("fifo")));
    EXPECT_FALSE(pf.fileExists(dir.path()));
    EXPECT_TRUE(pf.directoryExists(dir.path()));
    EXPECT_TRUE(pf.directoryExists(dir.path() + "/"));
    EXPECT_FALSE(pf.directoryExists(""));
}

TEST(PlatformFiles, SameFileByIdentity) {
    TempDir dir;
    writeFile(dir.file("a"), {'x'});
    writeFile(dir.file("b"), {'x'});
    ASSERT_EQ(::symlink(dir.file("a").c_str(), dir.file("l").c_str()), 0);
    ASSERT_EQ(::link(dir.file("a").c_str(), dir.file("h").c_str()), 0);
    Platform& pf = Platform::system();
    EXPECT_TRUE(pf.sameFile(dir.file("a"), dir.file("l")));
    EXPECT_TRUE(pf.sameFile(dir.file("a"), dir.file("h")));
    EXPECT_TRUE(pf.sameFile(dir.file("a"), dir.path() + "/./a"));
    EXPECT_FALSE(pf.sameFile(dir.file("a"), dir.file("b")));
    EXPECT_FALSE(pf.sameFile(dir.file("a"), dir.file("missing")));
}

TEST(PlatformDisk, FreeSpaceAndMountPoint) {
    Platform& pf = Platform::system();
    EXPECT_GT(pf.freeBytes("/").valueOr(-1), 0);
    EXPECT_GT(pf.freeBytes("").valueOr(-1), 0); // the current folder
    EXPECT_FALSE(pf.freeBytes("/no/such/folder/"));
    EXPECT_EQ(pf.mountPoint("/"), "/");
    const std::string mount = pf.mountPoint("/proc/self/");
    EXPECT_EQ(mount, "/proc");
}

TEST(PlatformLocale, ThousandsSeparatorFallsBackToComma) {
    Platform& pf = Platform::system();
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(pf.thousandsSeparator(), ",");
    const bool german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    const std::string sep = pf.thousandsSeparator();
    std::setlocale(LC_NUMERIC, saved.c_str());
    if (!german)
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    EXPECT_EQ(sep, ".");
}

TEST(PlatformConsole, RedirectedTextTakesTheLocaleCharacterSet) {
    EXPECT_EQ(toCodeset("Gr\xC3\xBC\xC3\x9F"
                        "e \xE2\x82\xAC",
                        "UTF-8"),
              "Gr\xC3\xBC\xC3\x9F"
              "e \xE2\x82\xAC");
    EXPECT_EQ(toCodeset("Gr\xC3\xBC\xC3\x9F"
                        "e \xE2\x82\xAC\r\n",
                        "ANSI_X3.4-1968"),
              "Gr??e ?\r\n");
    EXPECT_EQ(toCodeset("Gr\xC3\xBC\xC3\x9F"
                        "e \xE2\x82\xAC",
                        "ISO-8859-1"),
              "Gr\xFC\xDF"
              "e ?");
    EXPECT_EQ(toCodeset("a\xFF"
                        "b",
                        "ANSI_X3.4-1968"),
              "a?b"); // not UTF-8 at all
}

} // namespace

namespace kestrine {
namespace {

// Counts closes, so a handle that closed twice (or never) shows.
class CountingPlatform : public PosixPlatform {
public:
    int closes = 0;
    Result<void> close(int handle) override {
        ++closes;
        return PosixPlatform::close(handle);
    }
};

TEST(PlatformFiles, HandleClosesItsDescriptorExactlyOnce) {
    CountingPlatform pf;
    {
        Result<FileHandle> a = pf.openShared("/proc/self/exe");
        ASSERT_TRUE(a) << a.why();
        FileHandle b = std::move(*a);
        EXPECT_FALSE(a->isOpen());
        FileHandle c;
        c = std::move(b);
        EXPECT_TRUE(c.close());
        EXPECT_TRUE(c.close()); // already closed: nothing to do
    }
    EXPECT_EQ(pf.closes, 1);
    { const Result<FileHandle> dropped = pf.openShared("/proc/self/exe"); }
    EXPECT_EQ(pf.closes, 2);
}

// The queued reads of the system's platform and the plain ones built on seek and read give the
// same bytes and counts: overlapping blocks, more of them than one vectored read takes, the
// short block at the end, reads past the end or out of order, and a handle that cannot be read.
TEST(PlatformFiles, BatchedReadsAgreeWithPlainReads) {
    TempDir dir;
    std::vector<char> content(100000);
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 7 + i / 251);
    writeFile(dir.file("f"), content);
    struct Read {
        Position offset;
        std::size_t count;
    };
    std::vector<Read> wanted;
    for (Position at = 0; at < 100000; at += 1400) // 72 blocks overlapping by 600
        wanted.push_back({at, 2000});
    wanted.push_back({99990, 100});
    wanted.push_back({100000, 10});
    wanted.push_back({250000, 10});
    wanted.push_back({5, 0});
    wanted.push_back({50, 100}); // back to the start, then one inside the one before
    wanted.push_back({60, 10});

    Platform& pf = Platform::system();
    const auto plain = [&pf](int handle, std::span<BlockRead> reads) {
        readBatchPlain(pf, handle, reads);
    };
    const auto gathered = [&pf](int handle, std::span<BlockRead> reads) {
        pf.readBatch(handle, reads);
    };
    using Batch = std::function<void(int, std::span<BlockRead>)>;
    for (const Batch& readBatch : {Batch(gathered), Batch(plain)}) {
        Result<FileHandle> file = pf.openShared(dir.file("f"));
        ASSERT_TRUE(file) << file.why();
        std::vector<std::vector<char>> buffers;
        std::vector<BlockRead> reads;
        for (const Read& w : wanted)
            buffers.emplace_back(w.count + 1, '?');
        for (std::size_t i = 0; i < wanted.size(); ++i)
            reads.push_back({wanted[i].offset, buffers[i].data(), wanted[i].count, -5});
        readBatch(file->get(), reads);
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            const auto from = std::min<std::size_t>(std::size_t(wanted[i].offset), content.size());
            const auto expected = std::min(wanted[i].count, content.size() - from);
            ASSERT_EQ(reads[i].got, std::int64_t(expected)) << "read " << i;
            EXPECT_TRUE(std::equal(content.begin() + long(from),
                                   content.begin() + long(from + expected), buffers[i].begin()));
            EXPECT_EQ(buffers[i][expected], '?') << "nothing is written past the count read";
        }

        const int writeOnly = ::open(dir.file("f").c_str(), O_WRONLY | O_CLOEXEC);
        std::vector<BlockRead> refused(40, BlockRead{0, buffers[0].data(), 100, 0});
        readBatch(writeOnly, refused);
        ::close(writeOnly);
        for (const BlockRead& r : refused)
            EXPECT_EQ(r.got, -1);
    }
}

// Where the settings and help files go, from where the executable lies and the environment.
class FolderPlatform : public PosixPlatform {
public:
    std::string exe, home = "/home/u";
    std::map<std::string, std::string> env;
    bool marker = false, owned = true;
    std::vector<std::string> created;

    std::string executablePath() override { return exe; }
    std::string environment(const std::string& name) override {
        return env.count(name) ? env[name] : std::string();
    }
    std::string homeFolder() override { return home; }
    bool fileExists(const std::string& path) override {
        return marker && path == exe.substr(0, exe.rfind('/') + 1) + kInstalledMarker;
    }
    bool ownedByUser(const std::string&) override { return owned; }
    Result<void> createFolders(const std::string& path) override {
        created.push_back(path);
        return {};
    }
};

struct FoldersCase {
    const char* name;
    std::string exe;
    bool marker, owned;
    std::map<std::string, std::string> env;
    std::string home;
    std::string settings, help;
};

void PrintTo(const FoldersCase& c, std::ostream* os) {
    *os << c.name;
}

class ProgramFoldersRule : public ::testing::TestWithParam<FoldersCase> {};

TEST_P(ProgramFoldersRule, BesideAnOwnedCopyInXdgFoldersWhenInstalled) {
    const FoldersCase& c = GetParam();
    FolderPlatform pf;
    pf.exe = c.exe;
    pf.marker = c.marker;
    pf.owned = c.owned;
    pf.env = c.env;
    pf.home = c.home;
    const ProgramFolders folders = programFolders(pf);
    EXPECT_EQ(folders.settings, c.settings);
    EXPECT_EQ(folders.help, c.help);
    // Only the user's own folders are made, never the program's.
    if (c.settings == c.help)
        EXPECT_TRUE(pf.created.empty());
    else
        EXPECT_EQ(pf.created, (std::vector<std::string>{c.settings, c.help}));
}

const std::map<std::string, std::string> kXdg = {{"XDG_CONFIG_HOME", "/x/conf"},
                                                 {"XDG_CACHE_HOME", "/x/cache/"}};

const std::map<std::string, std::string> kUnset;
const std::map<std::string, std::string> kRelative = {{"XDG_CONFIG_HOME", "conf"},
                                                      {"XDG_CACHE_HOME", "cache"}};

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgramFoldersRule,
    ::testing::Values(
        FoldersCase{"BuildFolder", "/src/build/kestrine", false, true, kXdg, "/home/u",
                    "/src/build/", "/src/build/"},
        FoldersCase{"NoExecutablePath", "", false, true, kXdg, "/home/u", "./", "./"},
        FoldersCase{"Installed", "/usr/bin/kestrine", true, true, kXdg, "/root",
                    "/x/conf/kestrine/", "/x/cache/kestrine/"},
        FoldersCase{"InstalledIntoTheUsersPrefix", "/home/u/.local/bin/kestrine", true, true,
                    kUnset, "/home/u", "/home/u/.config/kestrine/", "/home/u/.cache/kestrine/"},
        FoldersCase{"SomeoneElsesFolder", "/opt/k/kestrine", false, false, kUnset, "/home/u/",
                    "/home/u/.config/kestrine/", "/home/u/.cache/kestrine/"},
        FoldersCase{"RelativeXdgValuesAreIgnored", "/usr/bin/kestrine", true, true, kRelative,
                    "/home/u", "/home/u/.config/kestrine/", "/home/u/.cache/kestrine/"},
        FoldersCase{"HomeIsTheRoot", "/usr/bin/kestrine", true, true, kUnset, "/",
                    "/.config/kestrine/", "/.cache/kestrine/"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PlatformFolders, CreatedPrivateWithTheirParentsAndOwned) {
    TempDir dir;
    Platform& pf = Platform::system();
    Result<void> made = pf.createFolders(dir.file("a/b/kestrine/"));
    ASSERT_TRUE(made) << made.why();
    EXPECT_TRUE(pf.createFolders(dir.file("a/b/kestrine/"))); // already there
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("a/b/kestrine").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(pf.ownedByUser(dir.file("a/b/kestrine/")));
    EXPECT_FALSE(pf.ownedByUser(dir.file("missing/")));
    writeFile(dir.file("file"), {'x'});
    Result<void> refused = pf.createFolders(dir.file("file/kestrine/"));
    ASSERT_FALSE(refused);
    EXPECT_FALSE(refused.why().empty());
}

} // namespace
} // namespace kestrine
