#include "ui/common/Prompts.h"

#include "ui/common/DirectoryChooser.h"
#include "ui/common/FileNameText.h"

#include <QColorDialog>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProcess>
#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <QUrl>

#include <algorithm>
#include <memory>

namespace kestrine {

namespace {

// The open dialog refuses a name whose folder does not exist, as the design asks; the name
// itself need not exist, so that a new destination can be typed.
class OpenDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    void accept() override {
        const QStringList files = selectedFiles();
        if (!files.isEmpty()) {
            const QFileInfo info(files.first());
            if (!info.isDir() && !QFileInfo(info.absolutePath()).isDir()) {
                QMessageBox::warning(this, windowTitle(),
                                     tr("%1\nThe path does not exist.").arg(info.absolutePath()));
                return;
            }
        }
        QFileDialog::accept();
    }
};

// One file type of a filter text: what the dialog shows, and the names it lists.
struct FileType {
    QString description;
    QList<QRegularExpression> patterns; // none: every file
};

// A pattern as Windows reads it: "*" any run, "?" any one character, everything else itself,
// without regard to case; "*.*" is every name, with a dot or without.
QRegularExpression patternExpression(const QString& pattern) {
    if (pattern == QLatin1String("*.*"))
        return QRegularExpression(QStringLiteral(".*"),
                                  QRegularExpression::DotMatchesEverythingOption);
    QString expression;
    for (const QChar c : pattern) {
        if (c == QLatin1Char('*'))
            expression += QStringLiteral(".*");
        else if (c == QLatin1Char('?'))
            expression += QLatin1Char('.');
        else
            expression += QRegularExpression::escape(QString(c));
    }
    return QRegularExpression(QRegularExpression::anchoredPattern(expression),
                              QRegularExpression::CaseInsensitiveOption |
                                  QRegularExpression::DotMatchesEverythingOption);
}

QList<FileType> fileTypes(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QList<FileType> types;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        FileType type{parts.at(i), {}};
        for (const QString& pattern : parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts))
            type.patterns << patternExpression(pattern.trimmed());
        types << type;
    }
    return types;
}

// Qt takes only a few ASCII characters in its own patterns and blanks a type it cannot read,
// so the dialog is given every file and this model keeps the names of the chosen type.
class FileTypeFilter : public QSortFilterProxyModel {
public:
    void setPatterns(const QList<QRegularExpression>& patterns) {
        patterns_ = patterns;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (!files || patterns_.isEmpty())
            return true;
        const QModelIndex index = files->index(row, 0, parent);
        if (files->isDir(index))
            return true;
        const QString name = files->fileName(index);
        return std::any_of(patterns_.begin(), patterns_.end(),
                           [&](const QRegularExpression& p) { return p.match(name).hasMatch(); });
    }

private:
    QList<QRegularExpression> patterns_;
};

class QtPrompts : public Prompts {
public:
    Answer messageBox(QWidget* parent, BoxKind kind, const QString& text) override {
        QMessageBox::Icon icon = QMessageBox::Information;
        switch (kind) {
        case BoxKind::Warning:
            icon = QMessageBox::Warning;
            break;
        case BoxKind::Error:
            icon = QMessageBox::Critical;
            break;
        case BoxKind::Information:
            icon = QMessageBox::Information;
            break;
        case BoxKind::Confirm:
            icon = QMessageBox::Question;
            break;
        }
        const bool question = kind == BoxKind::Confirm;
        QMessageBox box(icon, boxCaption(kind), text,
                        question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
        box.setTextFormat(Qt::PlainText); // file names may hold "<"
        if (question)
            box.setDefaultButton(QMessageBox::Yes);
        const int pressed = box.exec();
        if (!question)
            return Answer::Ok;
        return pressed == QMessageBox::Yes ? Answer::Yes : Answer::No;
    }

    void errorReport(QWidget* parent, const QString& text) override {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Kestrine"), text, QMessageBox::Ok,
                        parent);
        box.setTextFormat(Qt::PlainText);
        box.exec();
    }

    std::optional<QString> openFileName(QWidget* parent, FileDialogState& state,
                                        const std::function<void()>& typeChanged) override {
        const std::unique_ptr<QFileDialog> dialog = makeOpenDialog(parent, state, typeChanged);
        if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
            return std::nullopt;
        return dialog->selectedFiles().first();
    }

    bool openUrl(const QUrl& url) override { return QDesktopServices::openUrl(url); }

    std::optional<QColor> chooseColour(QWidget* parent, const QColor& initial) override {
        QColorDialog dialog(initial, parent);
        dialog.setOption(QColorDialog::DontUseNativeDialog);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.selectedColor();
    }

    std::optional<QString> chooseDirectory(QWidget* parent, const QString& start) override {
        DirectoryChooser chooser(start, parent);
        if (chooser.exec() != QDialog::Accepted)
            return std::nullopt;
        return chooser.directory();
    }
};

Prompts* installed = nullptr;

} // namespace

bool Prompts::hasViewerFor(const QString& path) {
    // The desktop's own answer: xdg-open opens a file with the default application of its type.
    const QString type =
        QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name();
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!query.waitForFinished(5000) || query.exitStatus() != QProcess::NormalExit)
        return false;
    return !query.readAllStandardOutput().trimmed().isEmpty();
}

void Prompts::openDocument(const QString& path) {
    // The address carries the name's own bytes, also those that are not UTF-8.
    const QByteArray bytes = QByteArray::fromStdString(nameBytes(path));
    (void)openUrl(QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/")));
}

Prompts& systemPrompts() {
    static QtPrompts real;
    return real;
}

Prompts& prompts() {
    return installed ? *installed : systemPrompts();
}

void setPrompts(Prompts* replacement) {
    installed = replacement;
}

QString boxCaption(BoxKind kind) {
    switch (kind) {
    case BoxKind::Warning:
        return QStringLiteral("Warning");
    case BoxKind::Error:
        return QStringLiteral("Error");
    case BoxKind::Information:
        return QStringLiteral("Information");
    case BoxKind::Confirm:
        return QStringLiteral("Confirm");
    }
    return {};
}

std::unique_ptr<QFileDialog> makeOpenDialog(QWidget* parent, FileDialogState& state,
                                            const std::function<void()>& typeChanged) {
    auto dialog = std::make_unique<OpenDialog>(parent, state.title);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setSizeGripEnabled(true);
    auto* filter = new FileTypeFilter;
    dialog->setProxyModel(filter); // the dialog owns it

    const QList<FileType> types = fileTypes(state.filter);
    // The dialog shows the text before the last bracketed group, so the description appears
    // as written (with its blanks run together); "(*)" is a group Qt always reads.
    QStringList names;
    for (const FileType& type : types)
        names << type.description + QStringLiteral(" (*)");
    auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    if (combo) {
        QObject::connect(combo, &QComboBox::currentIndexChanged, filter, [filter, types](int row) {
            filter->setPatterns(row >= 0 && row < types.size() ? types.at(row).patterns
                                                               : QList<QRegularExpression>());
        });
    }
    if (!names.isEmpty()) {
        dialog->setNameFilters(names);
        // By row: two descriptions may read the same once their blanks are run together.
        if (combo)
            combo->setCurrentIndex(effectiveFilterIndex(state.filterIndex, int(names.size())) - 1);
    }
    if (!state.initialDir.isEmpty())
        dialog->setDirectory(state.initialDir);
    dialog->selectFile(state.fileName);

    // The list of types keeps the order of the filter, so the row picked is the index.
    if (combo) {
        const qsizetype count = names.size();
        QObject::connect(combo, &QComboBox::activated, dialog.get(),
                         [&state, typeChanged, count](int row) {
                             if (row < 0 || row >= count)
                                 return;
                             state.filterIndex = row + 1;
                             if (typeChanged)
                                 typeChanged();
                         });
    }
    return dialog;
}

int effectiveFilterIndex(int filterIndex, int filterCount) {
    return filterIndex >= 1 && filterIndex <= filterCount ? filterIndex : 1;
}

} // namespace kestrine
