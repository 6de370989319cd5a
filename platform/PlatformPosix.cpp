// POSIX realisation of the platform interface.

#include "platform/Platform.h"
#include "platform/Text.h"

#include <cerrno>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace kestrine {

namespace {

std::string errnoText(int err) {
    return std::strerror(err);
}

// Takes the lock without waiting; a file someone else holds is "in use".
bool lockExclusive(int fd, std::string& why) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return true;
    why = errno == EWOULDBLOCK ? "The file is in use by another program" : errnoText(errno);
    return false;
}

// Opens a regular file, never blocking (O_NONBLOCK keeps a FIFO or a device from hanging the
// open), optionally locked and then truncated: the lock comes first so that a file another
// program holds is left intact.
int openRegular(const std::string& path, int flags, bool lock, bool truncate, std::string& why) {
    int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
        why = errnoText(errno);
        return -1;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (!ok)
        why = S_ISDIR(st.st_mode) ? "It is a folder" : "It is not a regular file";
    ok = ok && (!lock || lockExclusive(fd, why));
    if (ok && truncate && ::ftruncate(fd, 0) != 0) {
        why = errnoText(errno);
        ok = false;
    }
    if (!ok) {
        ::close(fd);
        return -1;
    }
    // Regular files never block; plain reads and writes are simpler without the flag.
    int fl = ::fcntl(fd, F_GETFL);
    if (fl >= 0)
        ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    return fd;
}

std::string folderOrCurrent(const std::string& folder) {
    return folder.empty() ? "." : folder;
}

} // namespace

int Platform::openExclusive(const std::string& path, std::string& why) {
    return openRegular(path, O_RDONLY, true, false, why);
}

int Platform::openShared(const std::string& path, std::string& why) {
    return openRegular(path, O_RDONLY, false, false, why);
}

int Platform::createExclusive(const std::string& path, std::string& why) {
    return openRegular(path, O_WRONLY | O_CREAT, true, true, why);
}

bool Platform::seek(int handle, FileOffset position, std::string& why) {
    if (::lseek(handle, position, SEEK_SET) == static_cast<off_t>(position))
        return true;
    why = errno ? errnoText(errno) : "Seek failed";
    return false;
}

std::int64_t Platform::read(int handle, void* buffer, std::size_t count, std::string& why) {
    for (;;) {
        ssize_t n = ::read(handle, buffer, count);
        if (n >= 0)
            return n;
        if (errno != EINTR) {
            why = errnoText(errno);
            return -1;
        }
    }
}

std::int64_t Platform::write(int handle, const void* buffer, std::size_t count, std::string& why) {
    for (;;) {
        ssize_t n = ::write(handle, buffer, count);
        if (n >= 0)
            return n;
        if (errno != EINTR) {
            why = errnoText(errno);
            return -1;
        }
    }
}

bool Platform::close(int handle, std::string& why) {
    if (::close(handle) == 0)
        return true;
    why = errnoText(errno);
    return false;
}

FileOffset Platform::sizeOf(int handle) {
    struct stat st {};
    return ::fstat(handle, &st) == 0 ? static_cast<FileOffset>(st.st_size) : -1;
}

bool Platform::fileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool Platform::directoryExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Platform::sameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    if (a.empty() || b.empty() || ::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool Platform::deleteFile(const std::string& path, std::string& why) {
    // A read-only file in a writable folder can be unlinked as it is; only the folder matters.
    if (::unlink(path.c_str()) == 0)
        return true;
    why = errnoText(errno);
    return false;
}

std::int64_t Platform::freeBytes(const std::string& folder) {
    struct statvfs vfs {};
    if (::statvfs(folderOrCurrent(folder).c_str(), &vfs) != 0)
        return -1;
    std::uint64_t bytes = 0;
    if (__builtin_mul_overflow(static_cast<std::uint64_t>(vfs.f_bavail),
                               static_cast<std::uint64_t>(vfs.f_frsize), &bytes) ||
        bytes > static_cast<std::uint64_t>(INT64_MAX))
        return INT64_MAX;
    return static_cast<std::int64_t>(bytes);
}

std::string Platform::mountPoint(const std::string& folder) {
    char* resolved = ::realpath(folderOrCurrent(folder).c_str(), nullptr);
    if (!resolved)
        return folder;
    std::string path = resolved;
    std::free(resolved);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return path;
    // Walk up while the parent is on the same device.
    while (path != "/") {
        std::string parent = path.substr(0, path.find_last_of('/'));
        if (parent.empty())
            parent = "/";
        struct stat pst {};
        if (::stat(parent.c_str(), &pst) != 0 || pst.st_dev != st.st_dev)
            break;
        path = parent;
    }
    return path;
}

std::string Platform::thousandsSeparator() {
    const char* sep = std::localeconv()->thousands_sep;
    return sep && *sep ? std::string(sep) : std::string(",");
}

std::string Platform::executablePath() {
    std::vector<char> buf(4096);
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0)
            return {};
        if (static_cast<std::size_t>(n) < buf.size())
            return std::string(buf.data(), static_cast<std::size_t>(n));
        buf.resize(buf.size() * 2);
    }
}

std::string Platform::environment(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? std::string(value) : std::string();
}

std::string Platform::homeFolder() {
    std::string home = environment("HOME");
    if (!home.empty())
        return home;
    std::vector<char> buf(16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buf.data(), buf.size(), &found) == 0 && found &&
        found->pw_dir)
        home = found->pw_dir;
    return home;
}

bool Platform::ownedByUser(const std::string& folder) {
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

bool Platform::createFolders(const std::string& path, std::string& why) {
    for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string part = path.substr(0, end);
        if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            why = std::strerror(errno);
            return false;
        }
        if (end == std::string::npos)
            break;
    }
    if (!directoryExists(path)) {
        why = std::strerror(ENOTDIR);
        return false;
    }
    return true;
}

std::int64_t Platform::nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool Platform::consoleAvailable() {
    int flags = ::fcntl(STDOUT_FILENO, F_GETFL);
    return flags >= 0 && (flags & O_ACCMODE) != O_RDONLY;
}

bool Platform::attachConsole() {
    // Writes to a closed pipe then fail with EPIPE instead of killing the process mid-copy.
    ::signal(SIGPIPE, SIG_IGN);
    return true;
}

void Platform::writeConsole(std::string_view utf8) {
    std::string bytes;
    if (::isatty(STDOUT_FILENO)) {
        bytes.assign(utf8);
    } else {
        const char* codeset = ::nl_langinfo(CODESET);
        bytes = toCodeset(utf8, codeset ? codeset : "UTF-8");
    }
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(STDOUT_FILENO, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // a closed pipe or a full disk: the line is lost, the run goes on
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

// Console writes are unbuffered, so there is nothing left to flush.
void Platform::flushConsole() {}

void Platform::writeStandardError(std::string_view text) {
    while (!text.empty()) {
        ssize_t n = ::write(STDERR_FILENO, text.data(), text.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::string Platform::resolveLinks(const std::string& path) {
    struct stat linkInfo {};
    if (::lstat(path.c_str(), &linkInfo) == 0 && S_ISLNK(linkInfo.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            std::string target = resolved;
            std::free(resolved);
            return target;
        }
    }
    return path;
}

std::optional<FileStatus> Platform::regularFileStatus(const std::string& path, std::string& why) {
    why.clear();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno != ENOENT)
            why = errnoText(errno);
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode)) {
        why = "It is not a regular file";
        return std::nullopt;
    }
    return FileStatus{static_cast<unsigned>(st.st_mode & 07777), static_cast<unsigned>(st.st_uid),
                      static_cast<unsigned>(st.st_gid)};
}

bool Platform::mayModify(const std::string& path, const FileStatus& status) {
    // A privileged user passes every access check, so the file's own bits decide for it.
    return (status.mode & 0222) != 0 && ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

int Platform::createTemporary(std::string& pathTemplate, std::string& why) {
    int fd = ::mkostemp(pathTemplate.data(), O_CLOEXEC);
    if (fd < 0)
        why = errnoText(errno);
    return fd;
}

bool Platform::copyPermissions(int handle, const std::optional<FileStatus>& from,
                               std::string& why) {
    if (!from) {
        // The mode an ordinary create would have given.
        mode_t mask = ::umask(0);
        ::umask(mask);
        if (::fchmod(handle, 0666 & ~mask) == 0)
            return true;
        why = errnoText(errno);
        return false;
    }
    struct stat own {};
    if (::fstat(handle, &own) != 0) {
        why = errnoText(errno);
        return false;
    }
    if (own.st_uid != from->owner) {
        // Only a privileged user can give the file back to its owner; anyone else would take
        // the user's file over by replacing it.
        if (::fchown(handle, from->owner, from->group) != 0) {
            why = "The file belongs to another user";
            return false;
        }
    } else if (own.st_gid != from->group) {
        (void)::fchown(handle, static_cast<uid_t>(-1), from->group); // where the user may
    }
    if (::fchmod(handle, from->mode) != 0) {
        why = errnoText(errno);
        return false;
    }
    return true;
}

bool Platform::syncFile(int handle, std::string& why) {
    if (::fsync(handle) == 0)
        return true;
    why = errnoText(errno);
    return false;
}

bool Platform::renameFile(const std::string& from, const std::string& to, std::string& why) {
    if (::rename(from.c_str(), to.c_str()) == 0)
        return true;
    why = errnoText(errno);
    return false;
}

void Platform::syncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
}

std::string toCodeset(std::string_view utf8, const std::string& codeset) {
    if (codeset == "UTF-8" || codeset == "utf-8" || codeset == "UTF8")
        return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    iconv_t cd = ::iconv_open(codeset.c_str(), "UTF-8");
    std::size_t i = 0;
    while (i < utf8.size()) {
        auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t len = utf8SequenceLength(lead);
        if (i + len > utf8.size())
            len = 1;
        if (lead < 0x80) {
            out.push_back(static_cast<char>(lead));
        } else {
            bool done = false;
            if (cd != reinterpret_cast<iconv_t>(-1)) {
                char in[4], conv[16];
                std::memcpy(in, utf8.data() + i, len);
                char* inp = in;
                char* outp = conv;
                std::size_t inLeft = len, outLeft = sizeof conv;
                if (::iconv(cd, &inp, &inLeft, &outp, &outLeft) != static_cast<std::size_t>(-1) &&
                    inLeft == 0) {
                    out.append(conv, static_cast<std::size_t>(outp - conv));
                    done = true;
                }
                ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
            }
            if (!done)
                out.push_back('?');
        }
        i += len;
    }
    if (cd != reinterpret_cast<iconv_t>(-1))
        ::iconv_close(cd);
    return out;
}

} // namespace kestrine
