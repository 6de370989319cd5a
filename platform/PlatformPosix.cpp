// POSIX realisation of the platform interface.

#include "platform/PlatformPosix.h"
#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <iconv.h>
#include <langinfo.h>
#include <linux/fs.h>
#include <pwd.h>
#include <random>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/uio.h>
#include <sys/vfs.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kestrine {

namespace {

std::string errnoText(int err) {
    return std::strerror(err);
}

Failure lastFailure() {
    return {errnoText(errno)};
}

Result<void> okOrErrno(int rc) {
    if (rc == 0)
        return {};
    return lastFailure();
}

// A folder and its missing parents, each new one with `mode` less the umask; one that is there
// already is passed over.
Result<void> makeFolders(const std::string& path, mode_t mode) {
    for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string part = path.substr(0, end);
        if (!part.empty() && ::mkdir(part.c_str(), mode) != 0 && errno != EEXIST)
            return lastFailure();
        if (end == std::string::npos)
            break;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return Failure{errnoText(ENOTDIR)};
    return {};
}

// Takes the lock without waiting; a file someone else holds is "in use".
bool lockExclusive(int fd, std::string& why) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return true;
    why = errno == EWOULDBLOCK ? "The file is in use by another program" : errnoText(errno);
    return false;
}

// File systems whose files show a size that is not their length (most read as empty), so a
// range measured on them would be nonsense.
bool sizeIsNotLength(int fd) {
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x9fa0:     // proc
    case 0x62656572: // sysfs
    case 0x64626720: // debugfs
    case 0x74726163: // tracefs
    case 0x73636673: // securityfs
    case 0x27e0eb:   // cgroup
    case 0x63677270: // cgroup2
    case 0x62656570: // configfs
    case 0xde5e81e4: // efivarfs
    case 0x6165676c: // pstore
    case 0xcafe4a11: // bpf
        return true;
    default:
        return false;
    }
}

// Why a file of this kind cannot be read as a run of bytes.
std::string notAFileReason(mode_t mode) {
    if (S_ISDIR(mode))
        return "It is a folder";
    if (S_ISCHR(mode))
        return "It is a character device";
    if (S_ISFIFO(mode))
        return "It is a FIFO";
    if (S_ISSOCK(mode))
        return "It is a socket";
    return "It is not a regular file";
}

// What an open accepts besides a regular file.
enum class Accept { RegularOnly, BlockDevices };

// Opens a regular file for reading, never blocking (O_NONBLOCK keeps a FIFO or a device from
// hanging the open), optionally locked.
Result<int> openRegular(const std::string& path, int flags, bool lock,
                        Accept accept = Accept::RegularOnly) {
    int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0)
        return lastFailure();
    std::string why;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 &&
              (S_ISREG(st.st_mode) || (accept == Accept::BlockDevices && S_ISBLK(st.st_mode)));
    if (!ok)
        why = notAFileReason(st.st_mode);
    if (ok && accept == Accept::BlockDevices && S_ISREG(st.st_mode) && sizeIsNotLength(fd)) {
        why = "It is a file of the system whose size is not its length";
        ok = false;
    }
    ok = ok && (!lock || lockExclusive(fd, why));
    if (!ok) {
        ::close(fd);
        return Failure{why};
    }
    // Regular files and disks never block; plain reads and writes are simpler without the flag.
    int fl = ::fcntl(fd, F_GETFL);
    if (fl >= 0)
        ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    return fd;
}

// Set by the stop signals' handler, read between two chunks of a copy.
volatile std::sig_atomic_t stopSignalSeen = 0;

extern "C" void noteStopSignal(int signal) {
    stopSignalSeen = signal;
}

std::string folderOrCurrent(const std::string& folder) {
    return folder.empty() ? "." : folder;
}

// Reads of one vectored read at most.
constexpr std::size_t kRunLength = 64;

Position endOf(const BlockRead& r) {
    return r.offset + static_cast<Position>(r.count);
}

// Reads a run whose reads each begin inside (or right at the end of) the one before and reach
// further: the bytes of the whole stretch once, each read's new part straight into its buffer,
// then each overlap copied over from the buffer before. Returns false when the file could not
// be read, having changed no `got`.
bool readRun(int handle, std::span<BlockRead> run) {
    std::array<iovec, kRunLength> parts;
    std::size_t partCount = 0;
    for (std::size_t k = 0; k < run.size(); ++k) {
        const std::size_t skip =
            k == 0 ? 0 : static_cast<std::size_t>(endOf(run[k - 1]) - run[k].offset);
        if (run[k].count > skip)
            parts[partCount++] = {static_cast<char*>(run[k].buffer) + skip, run[k].count - skip};
    }
    Position have = run.front().offset; // the stretch is read up to here
    std::size_t next = 0;
    while (next < partCount) {
        const ssize_t n = ::preadv(handle, parts.data() + next, static_cast<int>(partCount - next),
                                   static_cast<off_t>(have));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break; // the file ends here
        have += n;
        // Skip the parts now full; a part half filled goes on from where it stopped.
        auto left = static_cast<std::size_t>(n);
        while (next < partCount && left >= parts[next].iov_len)
            left -= parts[next++].iov_len;
        if (left > 0) {
            parts[next].iov_base = static_cast<char*>(parts[next].iov_base) + left;
            parts[next].iov_len -= left;
        }
    }
    for (std::size_t k = 0; k < run.size(); ++k) {
        BlockRead& r = run[k];
        const Position got = std::clamp<Position>(have - r.offset, 0, Position(r.count));
        if (k > 0) {
            const Position overlap = std::min(endOf(run[k - 1]) - r.offset, got);
            std::copy_n(static_cast<const char*>(run[k - 1].buffer) +
                            (r.offset - run[k - 1].offset),
                        overlap, static_cast<char*>(r.buffer));
        }
        r.got = got;
    }
    return true;
}

} // namespace

Platform& Platform::system() {
    static PosixPlatform instance;
    return instance;
}

Result<FileHandle> PosixPlatform::openExclusive(const std::string& path) {
    const Result<int> fd = openRegular(path, O_RDONLY, true, Accept::BlockDevices);
    if (!fd)
        return fd.failure();
    // A copy reads it from start to end: the system may read further ahead.
    (void)::posix_fadvise(*fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return FileHandle(*this, *fd);
}

Result<FileHandle> PosixPlatform::openShared(const std::string& path) {
    const Result<int> fd = openRegular(path, O_RDONLY, false, Accept::BlockDevices);
    if (!fd)
        return fd.failure();
    return FileHandle(*this, *fd);
}

Result<void> PosixPlatform::seek(int handle, Position position) {
    errno = 0;
    if (::lseek(handle, position, SEEK_SET) == static_cast<off_t>(position))
        return {};
    return Failure{errno ? errnoText(errno) : "Seek failed"};
}

Result<std::size_t> PosixPlatform::read(int handle, void* buffer, std::size_t count) {
    for (;;) {
        ssize_t n = ::read(handle, buffer, count);
        if (n >= 0)
            return static_cast<std::size_t>(n);
        if (errno != EINTR)
            return lastFailure();
    }
}

Result<std::size_t> PosixPlatform::write(int handle, const void* buffer, std::size_t count) {
    for (;;) {
        ssize_t n = ::write(handle, buffer, count);
        if (n >= 0)
            return static_cast<std::size_t>(n);
        if (errno != EINTR)
            return lastFailure();
    }
}

void PosixPlatform::readBatch(int handle, std::span<BlockRead> reads) {
    for (std::size_t i = 0; i < reads.size();) {
        std::size_t j = i + 1;
        while (j < reads.size() && j - i < kRunLength && reads[j].offset >= reads[j - 1].offset &&
               reads[j].offset <= endOf(reads[j - 1]) && endOf(reads[j]) >= endOf(reads[j - 1]))
            ++j;
        const auto run = reads.subspan(i, j - i);
        // A failure is told apart read by read, so that only the blocks it hits are lost.
        if (!readRun(handle, run))
            readBatchPlain(*this, handle, run);
        i = j;
    }
}

// One reader per core, as far as a search gains by it: memory, not the cores, limits it beyond.
unsigned PosixPlatform::readersAtOnce() {
    return std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
}

Result<std::size_t> PosixPlatform::copyRange(int from, Position fromOffset, int to,
                                             Position toOffset, std::size_t count) {
    auto in = static_cast<loff_t>(fromOffset), out = static_cast<loff_t>(toOffset);
    for (;;) {
        const ssize_t n = ::copy_file_range(from, &in, to, &out, count, 0);
        if (n >= 0)
            return static_cast<std::size_t>(n);
        if (errno != EINTR)
            return lastFailure();
    }
}

Result<std::pair<Position, Position>> PosixPlatform::dataRun(int handle, Position from,
                                                             Position end) {
    // A file with all its blocks has no holes; asking would cost a walk over its pages (20 ms
    // for 512 MiB in tmpfs).
    struct stat st {};
    if (::fstat(handle, &st) == 0 && S_ISREG(st.st_mode) &&
        static_cast<Position>(st.st_blocks) * 512 >= static_cast<Position>(st.st_size))
        return std::pair{from, end};
    const off_t data = ::lseek(handle, from, SEEK_DATA);
    if (data < 0) {
        if (errno == ENXIO)
            return std::pair{end, end}; // only a hole is left (or the file ended early)
        if (errno == EINVAL)
            return std::pair{from, end}; // no holes here
        return lastFailure();
    }
    if (data >= end)
        return std::pair{end, end};
    const off_t hole = ::lseek(handle, data, SEEK_HOLE);
    if (hole < 0)
        return lastFailure();
    return std::pair{static_cast<Position>(data), std::min<Position>(hole, end)};
}

Result<void> PosixPlatform::setSize(int handle, Position size) {
    return okOrErrno(::ftruncate(handle, size));
}

Result<void> PosixPlatform::close(int handle) {
    return okOrErrno(::close(handle));
}

Result<Position> PosixPlatform::sizeOf(int handle) {
    struct stat st {};
    if (::fstat(handle, &st) != 0)
        return lastFailure();
    if (S_ISBLK(st.st_mode)) {
        std::uint64_t bytes = 0;
        if (::ioctl(handle, BLKGETSIZE64, &bytes) != 0)
            return lastFailure();
        return static_cast<Position>(bytes);
    }
    return static_cast<Position>(st.st_size);
}

bool PosixPlatform::fileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool PosixPlatform::directoryExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PosixPlatform::sameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    if (a.empty() || b.empty() || ::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

Result<void> PosixPlatform::deleteFile(const std::string& path) {
    // A read-only file in a writable folder can be unlinked as it is; only the folder matters.
    return okOrErrno(::unlink(path.c_str()));
}

Result<std::vector<FolderEntry>> PosixPlatform::listFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return lastFailure();
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        const Failure failure = lastFailure();
        ::close(fd);
        return failure;
    }
    std::vector<FolderEntry> entries;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat st {};
            isFolder = ::fstatat(fd, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        entries.push_back({std::string(name), isFolder});
    }
    ::closedir(dir);
    return entries;
}

Result<std::int64_t> PosixPlatform::freeBytes(const std::string& folder) {
    struct statvfs vfs {};
    if (::statvfs(folderOrCurrent(folder).c_str(), &vfs) != 0)
        return lastFailure();
    std::uint64_t bytes = 0;
    if (__builtin_mul_overflow(static_cast<std::uint64_t>(vfs.f_bavail),
                               static_cast<std::uint64_t>(vfs.f_frsize), &bytes) ||
        bytes > static_cast<std::uint64_t>(INT64_MAX))
        return std::int64_t{INT64_MAX};
    return static_cast<std::int64_t>(bytes);
}

std::string PosixPlatform::mountPoint(const std::string& folder) {
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

std::string PosixPlatform::thousandsSeparator() {
    const char* sep = std::localeconv()->thousands_sep;
    return sep && *sep ? std::string(sep) : std::string(",");
}

std::string PosixPlatform::executablePath() {
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

std::string PosixPlatform::environment(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? std::string(value) : std::string();
}

std::string PosixPlatform::homeFolder() {
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

bool PosixPlatform::ownedByUser(const std::string& folder) {
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

Result<void> PosixPlatform::createFolders(const std::string& path) {
    return makeFolders(path, 0700);
}

Result<void> PosixPlatform::createSharedFolders(const std::string& path) {
    return makeFolders(path, 0777);
}

std::int64_t PosixPlatform::nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool PosixPlatform::consoleAvailable() {
    int flags = ::fcntl(STDOUT_FILENO, F_GETFL);
    return flags >= 0 && (flags & O_ACCMODE) != O_RDONLY;
}

bool PosixPlatform::attachConsole() {
    // Writes to a closed pipe then fail with EPIPE instead of killing the process mid-copy.
    ::signal(SIGPIPE, SIG_IGN);
    return true;
}

void PosixPlatform::writeConsole(std::string_view utf8) {
    std::string bytes;
    if (::isatty(STDOUT_FILENO)) {
        bytes.assign(utf8);
    } else {
        const char* codeset = ::nl_langinfo(CODESET);
        bytes = toCodeset(utf8, codeset ? codeset : "UTF-8");
    }
    // A closed pipe or a full disk: the line is lost, the run goes on.
    const Result<void> put = writeAll(*this, STDOUT_FILENO, bytes.data(), bytes.size());
    if (!put && consoleFailure_.empty() && put.why() != errnoText(EPIPE))
        consoleFailure_ = put.why();
}

// Console writes are unbuffered, so there is nothing left to flush; only a loss to report.
Result<void> PosixPlatform::flushConsole() {
    if (consoleFailure_.empty())
        return {};
    return Failure{consoleFailure_};
}

void PosixPlatform::writeStandardError(std::string_view text) {
    (void)writeAll(*this, STDERR_FILENO, text.data(), text.size());
}

Result<std::string> PosixPlatform::resolveLinks(const std::string& path) {
    std::string name = path;
    // As many links as the system itself follows before it calls the chain a loop.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(name.c_str(), &st) != 0) {
            if (errno == ENOENT)
                return name; // a link to a file not made yet: writing makes that file
            return lastFailure();
        }
        if (!S_ISLNK(st.st_mode))
            return name;
        std::vector<char> text(static_cast<std::size_t>(st.st_size) + 1);
        const ssize_t n = ::readlink(name.c_str(), text.data(), text.size());
        if (n < 0)
            return lastFailure();
        if (static_cast<std::size_t>(n) >= text.size())
            continue; // the link changed meanwhile: read it again
        std::string link(text.data(), static_cast<std::size_t>(n));
        if (link.empty())
            return Failure{errnoText(ENOENT)};
        // A relative link is taken from the link's own folder.
        if (link.front() != '/') {
            const std::size_t slash = name.rfind('/');
            if (slash != std::string::npos)
                link = name.substr(0, slash + 1) + link;
        }
        name = std::move(link);
    }
    return Failure{errnoText(ELOOP)};
}

Result<std::optional<FileStatus>> PosixPlatform::regularFileStatus(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno != ENOENT)
            return lastFailure();
        return std::optional<FileStatus>();
    }
    if (S_ISLNK(st.st_mode))
        return std::optional<FileStatus>();
    if (S_ISDIR(st.st_mode))
        return Failure{"It is a folder"};
    if (!S_ISREG(st.st_mode))
        return Failure{"It is not a regular file"};
    return std::optional<FileStatus>{FileStatus{static_cast<unsigned>(st.st_mode & 07777),
                                                static_cast<unsigned>(st.st_uid),
                                                static_cast<unsigned>(st.st_gid)}};
}

bool PosixPlatform::mayModify(const std::string& path, const FileStatus& status) {
    // A privileged user passes every access check, so the file's own bits decide for it.
    return (status.mode & 0222) != 0 && ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

Result<FileHandle> PosixPlatform::createTemporary(std::string& pathTemplate) {
    int fd = ::mkostemp(pathTemplate.data(), O_CLOEXEC);
    if (fd < 0)
        return lastFailure();
    return FileHandle(*this, fd);
}

Result<void> PosixPlatform::copyPermissions(int handle, const std::optional<FileStatus>& from) {
    if (!from) {
        // The mode an ordinary create would have given.
        mode_t mask = ::umask(0);
        ::umask(mask);
        return okOrErrno(::fchmod(handle, 0666 & ~mask));
    }
    struct stat own {};
    if (::fstat(handle, &own) != 0)
        return lastFailure();
    if (own.st_uid != from->owner) {
        // Only a privileged user can give the file back to its owner; anyone else would take
        // the user's file over by replacing it.
        if (::fchown(handle, from->owner, from->group) != 0)
            return Failure{"The file belongs to another user"};
    } else if (own.st_gid != from->group) {
        // Where the user may; elsewhere the file keeps the user's own group.
        if (::fchown(handle, static_cast<uid_t>(-1), from->group) != 0) {
        }
    }
    return okOrErrno(::fchmod(handle, from->mode));
}

Result<void> PosixPlatform::syncFile(int handle) {
    return okOrErrno(::fsync(handle));
}

Result<void> PosixPlatform::renameFile(const std::string& from, const std::string& to) {
    return okOrErrno(::rename(from.c_str(), to.c_str()));
}

void PosixPlatform::syncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
}

Result<NewFile> PosixPlatform::createBeside(const std::string& folder,
                                            std::string& hiddenTemplate) {
    // 0666: the umask makes it the mode any new file gets.
    const int fd = ::open(folderOrCurrent(folder).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0)
        return NewFile{FileHandle(*this, fd), false};
    // Only a file system without unnamed files falls back to a name; any other reason (no
    // access, a full disk) is the reason the copy cannot be made.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        return lastFailure();
    Result<FileHandle> named = createTemporary(hiddenTemplate);
    if (!named)
        return named.failure();
    return NewFile{std::move(*named), true};
}

Result<void> PosixPlatform::linkFile(int handle, std::string& path, bool unique) {
    // An unnamed file is reached through its descriptor's entry in /proc (linking the
    // descriptor itself needs a privilege).
    const std::string self = "/proc/self/fd/" + std::to_string(handle);
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (unique && path.size() >= 6)
            for (std::size_t i = path.size() - 6; i < path.size(); ++i)
                path[i] = kLetters[random() % (sizeof kLetters - 1)];
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return {};
        if (!unique || errno != EEXIST)
            return lastFailure();
    }
    return Failure{errnoText(EEXIST)};
}

bool PosixPlatform::isStandardStream(const std::string& path) {
    struct stat named {};
    if (path.empty() || ::stat(path.c_str(), &named) != 0)
        return false;
    for (int fd : {STDOUT_FILENO, STDERR_FILENO}) {
        struct stat stream {};
        if (::fstat(fd, &stream) == 0 && stream.st_dev == named.st_dev &&
            stream.st_ino == named.st_ino)
            return true;
    }
    return false;
}

std::string PosixPlatform::resolvedPath(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : resolved.string();
}

void PosixPlatform::catchStopSignals() {
    struct sigaction action {};
    action.sa_handler = noteStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART; // a read or write under way goes on; the copy asks in between
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

int PosixPlatform::stopSignal() {
    return stopSignalSeen;
}

void PosixPlatform::endBySignal(int signal) {
    ::signal(signal, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(signal);
    ::_exit(128 + signal); // only if the signal could not end the process
}

Result<std::optional<FileHandle>> PosixPlatform::tryLock(const std::string& path) {
    // O_NOFOLLOW: a link planted under the lock's name must not create a file elsewhere;
    // O_NONBLOCK: a FIFO must not hang the window.
    const int fd = ::open(
        path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0)
        return lastFailure();
    FileHandle handle(*this, fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return lastFailure();
    if (!S_ISREG(st.st_mode))
        return Failure{"It is not a regular file"};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK)
            return std::optional<FileHandle>();
        return lastFailure();
    }
    // Locked a file its holder has just removed: the turn is whoever holds the name now.
    struct stat named {};
    if (::lstat(path.c_str(), &named) != 0 || named.st_ino != st.st_ino ||
        named.st_dev != st.st_dev)
        return std::optional<FileHandle>();
    return std::optional<FileHandle>(std::move(handle));
}

void PosixPlatform::sleepMs(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
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
