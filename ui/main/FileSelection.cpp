#include "ui/main/FileSelection.h"

#include "core/Names.h"
#include "core/Text.h"
#include "ui/common/FileNameText.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include <optional>
#include <utility>

namespace kestrine {

namespace {

// The name a local file's address stands for, byte for byte: the address carries the bytes
// percent-encoded, and Qt's own decoding would replace those that are not UTF-8.
QString localName(const QUrl& url) {
    if (!url.host().isEmpty())
        return url.toLocalFile();
    const QByteArray path = url.path(QUrl::FullyEncoded).toLatin1();
    return nameText(QByteArray::fromPercentEncoding(path).toStdString());
}

// The local names of a drop, or nothing when it holds anything but local files.
std::optional<QStringList> droppedFiles(const QMimeData* mime) {
    if (!mime || !mime->hasUrls())
        return std::nullopt;
    QStringList names;
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile())
            return std::nullopt;
        names << localName(url);
    }
    if (names.isEmpty())
        return std::nullopt;
    return names;
}

class FileDrops : public QObject {
public:
    FileDrops(QWidget* window, std::function<void(const QStringList&)> take)
        : QObject(window), take_(std::move(take)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != parent())
            return false;
        if (event->type() == QEvent::DragEnter) {
            auto* enter = static_cast<QDragEnterEvent*>(event);
            if (droppedFiles(enter->mimeData()))
                enter->acceptProposedAction();
            return true;
        }
        if (event->type() == QEvent::Drop) {
            auto* drop = static_cast<QDropEvent*>(event);
            if (auto names = droppedFiles(drop->mimeData())) {
                drop->acceptProposedAction();
                take_(*names);
            }
            return true;
        }
        return false;
    }

private:
    std::function<void(const QStringList&)> take_;
};

} // namespace

void takeFileDrops(QWidget* window, std::function<void(const QStringList&)> take) {
    window->installEventFilter(new FileDrops(window, std::move(take)));
}

bool takesTypedName(Qt::FocusReason reason) {
    return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
           reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason;
}

void prepareFileDialog(Platform& platform, FileDialogState& dialog, const std::string& lastPath,
                       bool prefSwitch, const std::string& prefPath, const std::string& fieldText,
                       const QString& title) {
    const std::string folder =
        dialogStartFolder(platform, lastPath, prefSwitch, prefPath, fieldText);
    if (!folder.empty())
        dialog.initialDir = nameText(folder);
    dialog.fileName = platform.fileExists(fieldText) ? nameText(namePart(fieldText)) : QString();
    dialog.title = title;
}

} // namespace kestrine
