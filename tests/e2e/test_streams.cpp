// Standard output that is closed, or a pipe nobody reads: the run never dies half-way.

#include "Harness.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace e2e {
namespace {

// Runs the executable with its standard output replaced by `outFd` (-1: closed).
int runWithStdout(int outFd, const std::vector<std::string>& args, const fs::path& cwd) {
    pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGPIPE, SIG_DFL); // as a shell would start it
        if (::chdir(cwd.c_str()) != 0)
            ::_exit(120);
        int devnull = ::open("/dev/null", O_WRONLY);
        ::dup2(devnull, STDERR_FILENO);
        if (outFd >= 0)
            ::dup2(outFd, STDOUT_FILENO);
        else
            ::close(STDOUT_FILENO);
        std::vector<char*> argv{const_cast<char*>(KESTRINE_EXE)};
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        ::execv(KESTRINE_EXE, argv.data());
        ::_exit(127);
    }
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

} // namespace
} // namespace e2e
