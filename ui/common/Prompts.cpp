#include "ui/common/Prompts.h"

#include "ui/common/DirectoryChooser.h"

#include <QColorDialog>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

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
        OpenDialog dialog(parent, state.title);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setOption(QFileDialog::HideNameFilterDetails);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setSizeGripEnabled(true);
        if (!state.initialDir.isEmpty())
            dialog.setDirectory(state.initialDir);

        const QStringList filters = qtNameFilters(state.filter);
        if (!filters.isEmpty()) {
            dialog.setNameFilters(filters);
            dialog.selectNameFilter(
                filters.at(effectiveFilterIndex(state.filterIndex, int(filters.size())) - 1));
        }
        dialog.selectFile(state.fileName);

        // The dialog reports a type by its shown text, which it builds itself; its list of
        // types keeps the order of the filters, so the row picked is the index.
        if (auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
            QObject::connect(types, &QComboBox::activated, &dialog, [&](int row) {
                if (row < 0 || row >= filters.size())
                    return;
                state.filterIndex = row + 1;
                if (typeChanged)
                    typeChanged();
            });
        }
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().first();
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

void Prompts::openDocument(const QString& path) {
    (void)openUrl(QUrl::fromLocalFile(path));
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

QStringList qtNameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (QString pattern : parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            pattern = pattern.trimmed();
            // Qt's wildcard "*.*" wants a dot; the Windows one takes every name.
            patterns << (pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern);
        }
        if (patterns.isEmpty())
            patterns << QStringLiteral("*");
        // The dialog shows only the text before the last bracketed group, so the description
        // is shown exactly as written and the group after it is what Qt matches.
        out << parts.at(i) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                   QLatin1Char(')');
    }
    return out;
}

int effectiveFilterIndex(int filterIndex, int filterCount) {
    return filterIndex >= 1 && filterIndex <= filterCount ? filterIndex : 1;
}

} // namespace kestrine
