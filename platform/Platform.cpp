// The operations every system shares, built on the platform's own calls.

#include "platform/Platform.h"

namespace kestrine {

const char* const kInstalledMarker = KESTRINE_INSTALLED_MARKER;

namespace {

std::string folderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

Result<std::size_t> readFull(Platform& platform, int handle, void* buffer, std::size_t count) {
    std::size_t have = 0;
    while (have < count) {
        const Result<std::size_t> n =
            platform.read(handle, static_cast<char*>(buffer) + have, count - have);
        if (!n)
            return n.failure();
        if (*n == 0)
            break; // the file ends here
        have += *n;
    }
    return have;
}

Result<void> writeAll(Platform& platform, int handle, const void* buffer, std::size_t count) {
    std::size_t put = 0;
    while (put < count) {
        const Result<std::size_t> n =
            platform.write(handle, static_cast<const char*>(buffer) + put, count - put);
        if (!n)
            return n.failure();
        // A regular file takes nothing only when its file system is full.
        if (*n == 0)
            return Failure{"No space left on device"};
        put += *n;
    }
    return {};
}

void readBatchPlain(Platform& platform, int handle, std::span<BlockRead> reads) {
    for (BlockRead& r : reads) {
        r.got = -1;
        if (!platform.seek(handle, r.offset))
            continue;
        if (const Result<std::size_t> n = readFull(platform, handle, r.buffer, r.count))
            r.got = static_cast<std::int64_t>(*n);
    }
}

Result<std::optional<std::string>> loadFile(Platform& platform, const std::string& path,
                                            std::int64_t limit) {
    // Opened before anything is asked about the name: only a name that cannot be opened and is
    // not there counts as missing, so a failed query never makes an existing file look absent
    // (a write would then replace it by a file holding only the keys written).
    Result<FileHandle> file = platform.openShared(path);
    if (!file) {
        if (platform.fileExists(path) || platform.directoryExists(path))
            return file.failure();
        return std::optional<std::string>();
    }
    // A file far larger than expected is not read at all rather than read in part.
    const Result<Position> size = platform.sizeOf(file->get());
    if (!size)
        return size.failure();
    if (*size < 0 || *size > limit)
        return Failure{"The file is too large"};
    std::string content;
    char buffer[8192];
    for (;;) {
        const Result<std::size_t> n = readFull(platform, file->get(), buffer, sizeof buffer);
        if (!n)
            return n.failure();
        if (static_cast<std::int64_t>(content.size() + *n) > limit)
            return Failure{"The file is too large"};
        content.append(buffer, *n);
        if (*n < sizeof buffer)
            break;
    }
    // Ending before the size measured at the start, the text read is not the whole file.
    if (static_cast<Position>(content.size()) < *size)
        return Failure{"The file ended early"};
    return std::optional<std::string>(std::move(content));
}

Result<void> replaceFile(Platform& platform, const std::string& path, std::string_view content,
                         Links links) {
    std::string target = path;
    if (links == Links::ReplaceTarget) {
        // A name that cannot be followed is refused: writing the name itself would put a
        // regular file where the user keeps a link.
        Result<std::string> resolved = platform.resolveLinks(path);
        if (!resolved)
            return resolved.failure();
        target = std::move(*resolved);
    }
    const Result<std::optional<FileStatus>> old = platform.regularFileStatus(target);
    if (!old)
        return old.failure();
    if (*old && !platform.mayModify(target, **old))
        return Failure{"The file is read-only"};

    std::string temp = target + ".XXXXXX";
    Result<FileHandle> file = platform.createTemporary(temp);
    if (!file)
        return file.failure();
    auto fail = [&](const Failure& failure) -> Result<void> {
        file->reset();
        (void)platform.deleteFile(temp);
        return failure;
    };

    if (Result<void> r = writeAll(platform, file->get(), content.data(), content.size()); !r)
        return fail(r.failure());
    if (Result<void> r = platform.copyPermissions(file->get(), *old); !r)
        return fail(r.failure());
    if (Result<void> r = platform.syncFile(file->get()); !r)
        return fail(r.failure());
    if (Result<void> r = file->close(); !r)
        return fail(r.failure());
    if (Result<void> r = platform.renameFile(temp, target); !r)
        return fail(r.failure());
    platform.syncFolder(folderOf(target));
    return {};
}

std::string executableFolder(Platform& platform) {
    const std::string exe = platform.executablePath();
    const std::size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
}

ProgramFolders programFolders(Platform& platform) {
    const std::string beside = executableFolder(platform);
    if (!platform.fileExists(beside + kInstalledMarker) && platform.ownedByUser(beside))
        return {beside, beside};
    auto userFolder = [&platform](const char* variable, const char* fallback) {
        std::string base = platform.environment(variable);
        if (base.empty() || base.front() != '/') {
            base = platform.homeFolder();
            while (!base.empty() && base.back() == '/')
                base.pop_back();
            base += fallback;
        }
        const std::string folder = base + (base.back() == '/' ? "" : "/") + "kestrine/";
        // One that cannot be made is reported when a file is written there.
        (void)platform.createFolders(folder);
        return folder;
    };
    return {userFolder("XDG_CONFIG_HOME", "/.config"), userFolder("XDG_CACHE_HOME", "/.cache")};
}

} // namespace kestrine
