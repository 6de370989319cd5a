#include "ui/about/HelpFile.h"

#include "core/Text.h"
#include "ui/common/FileNameText.h"
#include "ui/common/Prompts.h"

#include <QResource>

static void initHelpResource() {
    Q_INIT_RESOURCE(help);
}

namespace kestrine {

QByteArray helpResource() {
    initHelpResource();
    const QResource resource(QStringLiteral(":/HelpCHM"));
    if (!resource.isValid())
        return {};
    return resource.uncompressedData();
}

bool ensureHelpFile(Platform& platform, const std::string& path, std::string_view bytes,
                    std::string& error) {
    auto refuse = [&](const std::string& why) {
        error = "Cannot create file \"" + path + "\". " + why;
        return false;
    };
    // Only a regular file of the name itself can be current: a symbolic link counts as missing
    // and is replaced, never followed, and a folder, FIFO or device is reported.
    const Result<std::optional<FileStatus>> existing = platform.regularFileStatus(path);
    if (!existing)
        return refuse(existing.why());
    if (*existing) {
        const Result<FileHandle> file = platform.openExclusive(path);
        // A file another program holds is left to it.
        if (!file)
            return refuse(file.why());
        if (platform.sizeOf(file->get()).valueOr(-1) == static_cast<Position>(bytes.size()))
            return true;
    }
    // Written beside the old file and renamed over it: a full disk or a crash leaves the older
    // file as it was, never a cut-short one.
    if (const Result<void> written = replaceFile(platform, path, bytes, Links::ReplaceLink);
        !written)
        return refuse(written.why());
    return true;
}

void openHelp(Platform& platform, const std::string& helpFolder, QWidget* owner) {
    const std::string path = helpFolder + kHelpFileName;
    const QByteArray bytes = helpResource();
    std::string error;
    if (!ensureHelpFile(platform, path, std::string_view(bytes.constData(), bytes.size()), error)) {
        prompts().errorReport(owner, nameText(generalErrorText(error)));
        return;
    }
    // Without a viewer the desktop would do nothing at all; the user is told what to install.
    if (!prompts().hasViewerFor(nameText(path))) {
        prompts().messageBox(owner, BoxKind::Information, QString::fromLatin1(kNoHelpViewerText));
        return;
    }
    // What the viewer makes of it is not examined.
    prompts().openDocument(nameText(path));
}

} // namespace kestrine
