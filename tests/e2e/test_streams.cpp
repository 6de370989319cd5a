// Standard output that is closed, or a pipe nobody reads: the run never dies half-way.

#include "Harness.h"

#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace e2e {
namespace {

// Starts the executable with its standard output replaced by `outFd` (-1: closed), standard
// error by `errFd` (-1: /dev/null), and no display unless one is named.
pid_t startWithStdout(int outFd, const std::vector<std::string>& args, const fs::path& cwd,
                      const std::string& display = {}, int errFd = -1) {
    pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGPIPE, SIG_DFL); // as a shell would start it
        if (::chdir(cwd.c_str()) != 0)
            ::_exit(120);
        ::dup2(errFd >= 0 ? errFd : ::open("/dev/null", O_WRONLY), STDERR_FILENO);
        if (outFd >= 0)
            ::dup2(outFd, STDOUT_FILENO);
        else
            ::close(STDOUT_FILENO);
        std::vector<char*> argv{const_cast<char*>(KESTRINE_EXE)};
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (display.empty())
            ::unsetenv("DISPLAY");
        else
            ::setenv("DISPLAY", display.c_str(), 1);
        ::unsetenv("WAYLAND_DISPLAY");
        ::unsetenv("QT_QPA_PLATFORM");
        ::execv(KESTRINE_EXE, argv.data());
        ::_exit(127);
    }
    return pid;
}

int runWithStdout(int outFd, const std::vector<std::string>& args, const fs::path& cwd,
                  const std::string& display = {}, int errFd = -1) {
    const pid_t pid = startWithStdout(outFd, args, cwd, display, errFd);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

class Streams : public CommandLineTest {};

TEST_F(Streams, AReaderThatWentAwayDoesNotStopTheCopy) {
    const std::string data = makeSource("src.bin", 3 * 8192 + 5);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]); // every console write now meets a broken pipe
    int status = runWithStdout(fds[1], {"src.bin", "out.bin", "0d", "24580d"}, workDir());
    ::close(fds[1]);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readFile(work("out.bin")), data);
}

TEST_F(Streams, AClosedStandardOutputEndsWithStatusOneAndNoCopy) {
    makeSource("src.bin", 100);
    int status = runWithStdout(-1, {"src.bin", "out.bin", "0d", "9d"}, workDir());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_FALSE(fs::exists(work("out.bin")));
}

// Lines that cannot be written end every kind of run with status 1 and the reason on standard
// error, as the usual tools do; the copy itself is still made.
TEST_F(Streams, AFullStandardOutputEndsWithStatusOneAndTheReason) {
    const std::string data = makeSource("src.bin", 100);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"src.bin", "out.bin", "10d", "9d"}, {"--version"}, {"--help"}, {"src.bin"}}) {
        const int full = ::open("/dev/full", O_WRONLY);
        const int err = ::open(work("err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(full, 0);
        const int status = runWithStdout(full, args, workDir(), {}, err);
        ::close(full);
        ::close(err);
        ASSERT_TRUE(WIFEXITED(status)) << args[0];
        EXPECT_EQ(WEXITSTATUS(status), 1) << args[0];
        EXPECT_EQ(readFile(work("err.txt")),
                  "Kestrine: standard output cannot be written: No space left on device\n")
            << args[0];
    }
    EXPECT_EQ(readFile(work("out.bin")), data.substr(10, 10));
}

// Paths that may add a box: with a display that is named but cannot be reached they skip the
// box and keep their exit status; the usage text to a reader that has gone ends with 0.
struct StatusCase {
    const char* name;
    std::vector<std::string> args;
    bool closedStdout;
    bool unreachableDisplay;
    int status;
};

void PrintTo(const StatusCase& c, std::ostream* os) {
    *os << c.name;
}

class StreamStatus : public CommandLineTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(StreamStatus, EndsWithItsOwnStatus) {
    const StatusCase& c = GetParam();
    makeSource("src.bin", 100);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    const int status = runWithStdout(c.closedStdout ? -1 : fds[1], c.args, workDir(),
                                     c.unreachableDisplay ? unusedDisplay() : std::string());
    ::close(fds[1]);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), c.status);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StreamStatus,
    ::testing::Values(StatusCase{"UsageToAReaderThatWentAway", {"a"}, false, false, 0},
                      StatusCase{"VersionToAClosedStdout", {"--version"}, true, false, 1},
                      StatusCase{"ClosedStdoutWithAnUnreachableDisplay",
                                 {"src.bin", "out.bin", "0d", "9d"},
                                 true,
                                 true,
                                 1}),
    [](const auto& info) { return std::string(info.param.name); });

// A replacement stopped half way by a real signal: the older destination stays whole, nothing
// else is left in its folder, and the process ends by that signal, as the shell expects.
class StopSignal : public CommandLineTest, public ::testing::WithParamInterface<int> {
protected:
    // One large source for every row, outside the test folders.
    static void SetUpTestSuite() {
        source_ = fs::temp_directory_path() / ("kestrine-stop-" + std::to_string(::getpid()));
        std::string block = randomBytes(1 << 20, 9);
        std::ofstream out(source_, std::ios::binary);
        for (int i = 0; i < 512; ++i) {
            block[static_cast<std::size_t>(i)] ^= 1; // no two blocks alike
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
        }
    }
    static void TearDownTestSuite() { fs::remove(source_); }
    static inline fs::path source_;
};

TEST_P(StopSignal, KeepsTheOlderDestinationWhole) {
    const int signal = GetParam();
    const std::string older = makeSource("out.bin", 100 << 10, 3);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t pid =
        startWithStdout(fds[1], {source_.string(), "out.bin", "0d", "1FFFFFFFh"}, workDir());
    ::close(fds[1]);
    std::string out;
    char buffer[4096];
    bool signalled = false;
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) {
        out.append(buffer, static_cast<std::size_t>(n));
        if (!signalled && out.find("Copying started...") != std::string::npos) {
            ::kill(pid, signal);
            signalled = true;
        }
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status) && out.find("Copying finished.") != std::string::npos)
        GTEST_SKIP() << "the copy was done before the signal came";
    ASSERT_TRUE(WIFSIGNALED(status)) << out;
    EXPECT_EQ(WTERMSIG(status), signal);
    EXPECT_EQ(out.find("ERROR"), std::string::npos) << out;
    EXPECT_EQ(readFile(work("out.bin")), older);
    EXPECT_EQ(listing(), std::vector<std::string>{"out.bin"});
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignal, ::testing::Values(SIGINT, SIGTERM, SIGHUP, SIGKILL),
                         [](const auto& info) { return std::string(::sigabbrev_np(info.param)); });

} // namespace
} // namespace e2e
