#pragma once
// Runs the real executable as a child process, in a folder of its own, with no display.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

namespace fs = std::filesystem;

struct RunOptions {
    // Environment changes on top of the clean one: a value sets, nullopt removes.
    std::vector<std::pair<std::string, std::optional<std::string>>> env = {};
    // Standard output goes to this file instead of a pipe when set.
    std::optional<fs::path> stdoutFile = std::nullopt;
    // Largest file the child may write (RLIMIT_FSIZE); writes beyond it fail with EFBIG.
    std::optional<std::uint64_t> fileSizeLimit = std::nullopt;
};

struct RunResult {
    bool exited = false; // ended by exit(), not by a signal or the hang guard
    int status = -1;     // exit status when exited
    int signal = 0;
    bool hung = false;
    std::string out; // standard output bytes
    std::string err; // standard error bytes
};

std::ostream& operator<<(std::ostream& os, const RunResult& r);

// "line1\r\nline2\r\n": every line ends in CR LF.
std::string crlf(const std::vector<std::string>& lines);

// The banner every command-line run starts with.
std::string banner();

// Banner, headline and the four echo lines; `afterUsing` are lines logged right after the
// headline (a source that cannot be opened), `afterSource` right after the source's echo.
std::string header(const std::string& src, const std::string& dst, const std::string& start,
                   const std::string& length, const std::vector<std::string>& afterUsing = {},
                   const std::vector<std::string>& afterSource = {});

// Banner, headline, and the echo and error of a source file that does not exist.
std::string missingSourceStart(const std::string& src);

// The lines of a successful copy after the echo lines.
std::string successTail(const std::string& sizeText, const std::string& dst);

std::string usage();

// A display like ":123" that no X server on this machine listens on.
std::string unusedDisplay();

// Deterministic pseudo-random bytes.
std::string randomBytes(std::size_t size, std::uint64_t seed);

std::string readFile(const fs::path& path);
void writeFile(const fs::path& path, const std::string& bytes);

// Holds flock(LOCK_EX) on a file for its lifetime, as another program would.
class FileLock {
public:
    explicit FileLock(const fs::path& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// Each test gets a fresh folder: prog/ holds a private copy of the executable (so its settings
// file is the test's own), work/ is the child's working folder.
class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    RunResult run(const std::vector<std::string>& args, const RunOptions& options = {});

    // Writes `size` random bytes to work/name and returns them.
    std::string makeSource(const std::string& name, std::size_t size, std::uint64_t seed = 1);

    fs::path work(const std::string& name) const { return work_ / name; }
    const fs::path& workDir() const { return work_; }
    const fs::path& progDir() const { return prog_; }
    // Names in work/, sorted.
    std::vector<std::string> listing() const;

private:
    fs::path root_;
    fs::path prog_;
    fs::path work_;
    fs::path exe_;
};

} // namespace e2e
