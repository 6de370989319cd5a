#pragma once
// Every message box, file dialog and shell call of the windows goes through Prompts, so that
// tests can answer them without anything modal appearing.

#include "core/Host.h"

#include <QColor>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QFileDialog;
class QUrl;
class QWidget;

namespace kestrine {

// What a file-open dialog keeps between two showings; the main window holds one per dialog.
struct FileDialogState {
    QString filter = QStringLiteral("Any file (*.*)|*.*"); // "Desc (*.x)|*.x|..." form
    int filterIndex = 1;                                   // the first type is 1
    QString initialDir;                                    // empty: the platform chooses
    QString fileName;                                      // name part offered in the dialog
    QString title;
};

class Prompts {
public:
    virtual ~Prompts() = default;

    // A box captioned "Warning", "Error", "Information" or "Confirm"; OK, or Yes and No for
    // Confirm. Returns the button pressed (No when a question is dismissed).
    virtual Answer messageBox(QWidget* parent, BoxKind kind, const QString& text) = 0;
    // The general error box: title "Kestrine", error icon, OK. The text arrives finished.
    virtual void errorReport(QWidget* parent, const QString& text) = 0;
    // A file-open dialog. Each time the user picks another file type, state.filterIndex is
    // updated and typeChanged runs. Returns the chosen full name, nothing when cancelled.
    virtual std::optional<QString> openFileName(QWidget* parent, FileDialogState& state,
                                                const std::function<void()>& typeChanged) = 0;
    // Opens a document or address with the desktop's handler.
    virtual bool openUrl(const QUrl& url) = 0;
    // Opens a local file with its default application; the result is not examined.
    virtual void openDocument(const QString& path);
    // Whether the desktop has an application that opens files of this kind.
    virtual bool hasViewerFor(const QString& path);
    // The colour dialog with its custom colours shown; nothing when cancelled.
    virtual std::optional<QColor> chooseColour(QWidget* parent, const QColor& initial) = 0;
    // The modal directory chooser, starting at `start`; the folder accepted (absolute, and it
    // need not exist yet), nothing when cancelled.
    virtual std::optional<QString> chooseDirectory(QWidget* parent, const QString& start) = 0;
};

// The prompts in use: the installed ones, else the real Qt ones.
Prompts& prompts();
// The real Qt ones, whatever is installed (a test drives one real dialog through them).
Prompts& systemPrompts();
// Installs replacement prompts (tests); nullptr goes back to the real ones.
void setPrompts(Prompts* replacement);

// The caption of a box of this kind.
QString boxCaption(BoxKind kind);

// The file-open dialog that openFileName shows, built from `state` (tests show it without a
// modal loop). The filter text "All Files (*.*)|*.*|Zip Files (*.zip)|*.zip" gives the file
// types: each is shown by its description and lists the names its patterns match as Windows
// matches them ("*.*" takes every name, also one without a dot).
std::unique_ptr<QFileDialog> makeOpenDialog(QWidget* parent, FileDialogState& state,
                                            const std::function<void()>& typeChanged);
// The 1-based index of the filter actually shown: out of range means the first.
int effectiveFilterIndex(int filterIndex, int filterCount);

} // namespace kestrine
