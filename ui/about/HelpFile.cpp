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
Position exclusiveSize(Platform& platform, const std::string& path) {
    const Result<FileHandle> file = platform.openExclusive(path);
    if (!file)
        return -1;
    return platform.sizeOf(file->get()).valueOr(-1);
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
        exclusiveSize(platform, path) == static_cast<Position>(bytes.size()))
        return true;

    Result<FileHandle> file = platform.createExclusive(path);
    if (!file) {
        error = quotedFailure("Cannot create file", path, file.why());
        return false;
    }
    // A write cut short leaves a file of the wrong size, which the next request writes again.
    if (const Result<void> written = writeAll(platform, file->get(), bytes.data(), bytes.size());
        !written) {
        error = quotedFailure("Cannot write file", path, written.why());
        return false;
    }
    if (const Result<void> closed = file->close(); !closed) {
        // A delayed write error may have lost bytes of a file that has the full size, which the
        // next request would take as current: remove it, so that one writes it again.
        (void)platform.deleteFile(path);
        error = quotedFailure("Cannot write file", path, closed.why());
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
