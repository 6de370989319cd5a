#include "ui/about/HelpFile.h"

#include "core/Text.h"
#include "ui/common/Prompts.h"

#include <QResource>

static void initHelpResource() {
    Q_INIT_RESOURCE(help);
}

namespace kestrine {

namespace {

// The size of the file at `path` as an exclusive open sees it; -1 when it cannot be opened so.
FileOffset exclusiveSize(Platform& platform, const std::string& path) {
    std::string why;
    const int handle = platform.openExclusive(path, why);
    if (handle < 0)
        return -1;
    const FileOffset size = platform.sizeOf(handle);
    platform.close(handle, why);
    return size;
}

std::string quotedFailure(const char* what, const std::string& path, const std::string& why) {
    return std::string(what) + " \"" + path + "\". " + why;
}

} // namespace

QByteArray helpResource() {
    initHelpResource();
    const QResource resource(QStringLiteral(":/HelpCHM"));
    if (!resource.isValid())
        return {};
    return resource.uncompressedData();
}

bool ensureHelpFile(Platform& platform, const std::string& path, std::string_view bytes,
                    std::string& error) {
    if (platform.fileExists(path) &&
        exclusiveSize(platform, path) == static_cast<FileOffset>(bytes.size()))
        return true;

    std::string why;
    const int handle = platform.createExclusive(path, why);
    if (handle < 0) {
        error = quotedFailure("Cannot create file", path, why);
        return false;
    }
    // A write cut short leaves a file of the wrong size, which the next request writes again.
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::int64_t n =
            platform.write(handle, bytes.data() + done, bytes.size() - done, why);
        if (n <= 0) {
            if (n == 0)
                why = "Nothing could be written";
            std::string ignored;
            platform.close(handle, ignored);
            error = quotedFailure("Cannot write file", path, why);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (!platform.close(handle, why)) {
        // A delayed write error may have lost bytes of a file that has the full size, which the
        // next request would take as current: remove it, so that one writes it again.
        std::string ignored;
        platform.deleteFile(path, ignored);
        error = quotedFailure("Cannot write file", path, why);
        return false;
    }
    return true;
}

void openHelp(Platform& platform, const std::string& helpFolder, QWidget* owner) {
    const std::string path = helpFolder + kHelpFileName;
    const QByteArray bytes = helpResource();
    std::string error;
    if (!ensureHelpFile(platform, path, std::string_view(bytes.constData(), bytes.size()), error)) {
        prompts().errorReport(owner, QString::fromStdString(generalErrorText(error)));
        return;
    }
    // What the viewer makes of it is not examined: without one nothing is reported.
    prompts().openDocument(QString::fromStdString(path));
}

} // namespace kestrine
