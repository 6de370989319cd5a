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

void Platform::readBatch(int handle, std::span<BlockRead> reads) {
    std::string why;
    for (BlockRead& r : reads) {
        r.got = -1;
        if (!seek(handle, r.offset, why))
            continue;
        std::size_t have = 0;
        bool failed = false;
        while (have < r.count) {
            const std::int64_t n =
                read(handle, static_cast<char*>(r.buffer) + have, r.count - have, why);
            if (n <= 0) {
                failed = n < 0;
                break;
            }
            have += static_cast<std::size_t>(n);
        }
        if (!failed)
            r.got = static_cast<std::int64_t>(have);
    }
}

LoadResult Platform::loadFile(const std::string& path, std::int64_t limit, std::string& content) {
    content.clear();
    std::string why;
    // Opened before anything is asked about the name: only a name that cannot be opened and is
    // not there counts as missing, so a failed query never makes an existing file look absent
    // (a write would then replace it by a file holding only the keys written).
    FileHandle file(*this, openShared(path, why));
    if (!file.isOpen())
        return fileExists(path) || directoryExists(path) ? LoadResult::Failed : LoadResult::Missing;
    // A file far larger than expected is not read at all rather than read in part.
    const FileOffset size = sizeOf(file.get());
    if (size < 0 || size > limit)
        return LoadResult::Failed;
    char buffer[8192];
    for (;;) {
        const std::int64_t n = read(file.get(), buffer, sizeof buffer, why);
        if (n < 0 || static_cast<std::int64_t>(content.size()) + n > limit) {
            content.clear();
            return LoadResult::Failed;
        }
        if (n == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(n));
    }
    // Ending before the size measured at the start, the text read is not the whole file.
    if (static_cast<FileOffset>(content.size()) < size) {
        content.clear();
        return LoadResult::Failed;
    }
    return LoadResult::Ok;
}

bool Platform::replaceFile(const std::string& path, std::string_view content, std::string& why) {
    const std::string target = resolveLinks(path);
    const std::optional<FileStatus> old = regularFileStatus(target, why);
    if (!old && !why.empty())
        return false;
    if (old && !mayModify(target, *old)) {
        why = "The file is read-only";
        return false;
    }

    std::string temp = target + ".XXXXXX";
    FileHandle file(*this, createTemporary(temp, why));
    if (!file.isOpen())
        return false;
    auto fail = [&] {
        file.reset();
        std::string ignored;
        deleteFile(temp, ignored);
        return false;
    };

    const char* data = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const std::int64_t n = write(file.get(), data, left, why);
        if (n <= 0) {
            if (n == 0)
                why = "No space left on device";
            return fail();
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    if (!copyPermissions(file.get(), old, why) || !syncFile(file.get(), why) || !file.close(why) ||
        !renameFile(temp, target, why))
        return fail();
    syncFolder(folderOf(target));
    return true;
}

ProgramFolders Platform::programFolders() {
    const std::string exe = executablePath();
    const std::string beside =
        exe.rfind('/') == std::string::npos ? std::string("./") : exe.substr(0, exe.rfind('/') + 1);
    if (!fileExists(beside + kInstalledMarker) && ownedByUser(beside))
        return {beside, beside};
    auto userFolder = [this](const char* variable, const char* fallback) {
        std::string base = environment(variable);
        if (base.empty() || base.front() != '/') {
            base = homeFolder();
            while (!base.empty() && base.back() == '/')
                base.pop_back();
            base += fallback;
        }
        const std::string folder = base + (base.back() == '/' ? "" : "/") + "kestrine/";
        // One that cannot be made is reported when a file is written there.
        std::string ignored;
        createFolders(folder, ignored);
        return folder;
    };
    return {userFolder("XDG_CONFIG_HOME", "/.config"), userFolder("XDG_CACHE_HOME", "/.cache")};
}

} // namespace kestrine
