#include "Harness.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <random>
#include <sstream>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace e2e {

namespace {

// A child that produces nothing for this long is taken as hung and killed; only a guard, the
// runs themselves take milliseconds.
constexpr int kHangGuardMs = 120000;

bool dropped(const std::string& name) {
    // No display of any kind, no platform forced on Qt, and one known locale.
    static const char* const names[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LANG",
                                        "LANGUAGE"};
    if (name.rfind("LC_", 0) == 0)
        return true;
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

std::vector<std::string> childEnvironment(const RunOptions& options) {
    std::vector<std::pair<std::string, std::string>> env;
    for (char** e = environ; *e; ++e) {
        std::string entry(*e);
        auto eq = entry.find('=');
        if (eq == std::string::npos)
            continue;
        std::string name = entry.substr(0, eq);
        if (!dropped(name))
            env.emplace_back(name, entry.substr(eq + 1));
    }
    env.emplace_back("LC_ALL", "C.UTF-8");
    for (const auto& [name, value] : options.env) {
        std::erase_if(env, [&](const auto& kv) { return kv.first == name; });
        if (value)
            env.emplace_back(name, *value);
    }
    std::vector<std::string> out;
    for (const auto& [name, value] : env)
        out.push_back(name + "=" + value);
    return out;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> p;
    for (auto& s : strings)
        p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

} // namespace

std::ostream& operator<<(std::ostream& os, const RunResult& r) {
    os << "exited=" << r.exited << " status=" << r.status << " signal=" << r.signal
       << " hung=" << r.hung << "\n--- stdout ---\n"
       << r.out << "\n--- stderr ---\n"
       << r.err;
    return os;
}

std::string crlf(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& line : lines)
        out += line + "\r\n";
    return out;
}

std::string banner() {
    return crlf({"", "Kestrine - " KESTRINE_E2E_VERSION_TEXT,
                 "Copyright (C) 2026 The Kestrine developers", ""});
}

std::string missingSourceStart(const std::string& src) {
    return banner() +
           crlf({"Using Command-Line Parameters", "The source file " + src + " cannot be opened.",
                 "Source File = " + src, "ERROR: The Source File " + src + " cannot be found."});
}

std::string header(const std::string& src, const std::string& dst, const std::string& start,
                   const std::string& length, const std::vector<std::string>& afterUsing,
                   const std::vector<std::string>& afterSource) {
    std::string out = banner() + crlf({"Using Command-Line Parameters"}) + crlf(afterUsing);
    return out + crlf({"Source File = " + src}) + crlf(afterSource) +
           crlf({"Destination File = " + dst, "Start Position = " + start,
                 "Offset Length = " + length});
}

std::string successTail(const std::string& sizeText, const std::string& dst) {
    return crlf({"Copying started...", sizeText + " written to file " + dst,
                 "Elapsed Time: 0 seconds.", "Copying finished."});
}

std::string usage() {
    return crlf({"Usage: Kestrine <source> <destination> <start pos> <offset>",
                 "<source>         Input source file name.",
                 "<destination>  Output destination file name.",
                 "<start pos>     Starting position; d = decimal, h = hex",
                 "<offset>          Number of bytes to copy; d = decimal, h = hex", "",
                 "Example: Kestrine file1.dat \"file two.dat\" 400d 5ffh"});
}

std::string randomBytes(std::size_t size, std::uint64_t seed) {
    std::mt19937_64 gen(seed);
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; i += 8) {
        std::uint64_t v = gen();
        std::memcpy(bytes.data() + i, &v, std::min<std::size_t>(8, size - i));
    }
    return bytes;
}

std::string unusedDisplay() {
    std::ifstream in("/proc/net/unix");
    const std::string sockets((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
    for (int n = 97;; ++n) {
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
        if (!fs::exists(socket) && sockets.find(socket + "\n") == std::string::npos)
            return ":" + std::to_string(n);
    }
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        ADD_FAILURE() << "cannot write " << path;
}

FileLock::FileLock(const fs::path& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

FileLock::~FileLock() {
    if (fd_ >= 0)
        ::close(fd_);
}

void CommandLineTest::SetUp() {
    std::string pattern = (fs::temp_directory_path() / "kestrine-e2e-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr) << std::strerror(errno);
    root_ = pattern;
    prog_ = root_ / "prog";
    work_ = root_ / "work";
    fs::create_directories(prog_);
    fs::create_directories(work_);
    // The program reads its settings beside itself: a private copy keeps the build folder out.
    exe_ = prog_ / "kestrine";
    std::error_code ec;
    fs::create_hard_link(KESTRINE_EXE, exe_, ec);
    if (ec)
        fs::copy_file(KESTRINE_EXE, exe_);
    // The window library is found beside the executable.
    const fs::path library = fs::path(KESTRINE_EXE).parent_path() / "libkestrine-windows.so";
    fs::create_symlink(library, prog_ / library.filename());
}

void CommandLineTest::TearDown() {
    std::error_code ec;
    // A folder made read-only by a test must not stop the clean-up.
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root_, ec);
}

std::string CommandLineTest::makeSource(const std::string& name, std::size_t size,
                                        std::uint64_t seed) {
    std::string bytes = randomBytes(size, seed);
    writeFile(work_ / name, bytes);
    return bytes;
}

std::vector<std::string> CommandLineTest::listing() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(work_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

RunResult CommandLineTest::run(const std::vector<std::string>& args, const RunOptions& options) {
    RunResult result;

    std::vector<std::string> argvStrings{exe_.string()};
    argvStrings.insert(argvStrings.end(), args.begin(), args.end());
    std::vector<std::string> envStrings = childEnvironment(options);
    std::vector<char*> argv = pointers(argvStrings);
    std::vector<char*> envp = pointers(envStrings);
    const std::string exe = exe_.string();
    const std::string cwd = work_.string();

    int outPipe[2] = {-1, -1};
    int errPipe[2] = {-1, -1};
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return result;
    }
    int outFd = -1;
    if (options.stdoutFile) {
        outFd = ::open(options.stdoutFile->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    } else if (::pipe2(outPipe, O_CLOEXEC) == 0) {
        outFd = outPipe[1];
    }
    int nullFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (outFd < 0 || nullFd < 0) {
        ADD_FAILURE() << "cannot prepare the child's streams: " << std::strerror(errno);
        return result;
    }

    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    const bool limitSize = options.fileSizeLimit.has_value();
    const rlimit sizeLimit{options.fileSizeLimit.value_or(0), options.fileSizeLimit.value_or(0)};

    pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls from here on. An ignored SIGXFSZ survives the exec, so
        // an oversized write fails instead of killing the child.
        if (limitSize && (::sigaction(SIGXFSZ, &ignore, nullptr) != 0 ||
                          ::setrlimit(RLIMIT_FSIZE, &sizeLimit) != 0))
            ::_exit(125);
        if (::chdir(cwd.c_str()) != 0 || ::dup2(nullFd, 0) < 0 || ::dup2(outFd, 1) < 0 ||
            ::dup2(errPipe[1], 2) < 0)
            ::_exit(126);
        ::execve(exe.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(nullFd);
    ::close(outFd);
    ::close(errPipe[1]);
    if (pid < 0) {
        ADD_FAILURE() << "fork: " << std::strerror(errno);
        ::close(errPipe[0]);
        if (outPipe[0] >= 0)
            ::close(outPipe[0]);
        return result;
    }

    std::vector<pollfd> fds;
    if (outPipe[0] >= 0)
        fds.push_back({outPipe[0], POLLIN, 0});
    fds.push_back({errPipe[0], POLLIN, 0});
    while (!fds.empty()) {
        int n = ::poll(fds.data(), fds.size(), kHangGuardMs);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            result.hung = true;
            ::kill(pid, SIGKILL);
            break;
        }
        for (std::size_t i = 0; i < fds.size();) {
            if (fds[i].revents == 0) {
                ++i;
                continue;
            }
            char buf[65536];
            ssize_t got = ::read(fds[i].fd, buf, sizeof buf);
            if (got > 0) {
                (fds[i].fd == errPipe[0] ? result.err : result.out)
                    .append(buf, static_cast<std::size_t>(got));
                ++i;
            } else {
                ::close(fds[i].fd);
                fds.erase(fds.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
    }
    for (const auto& p : fds)
        ::close(p.fd);

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) {
        result.exited = !result.hung;
        result.status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    if (options.stdoutFile)
        result.out = readFile(*options.stdoutFile);
    return result;
}

} // namespace e2e
