#pragma once
// The main window shows its modal windows (hex viewer, settings, About) through the opener, so
// a test can stand in one that opens a window without a modal loop.

class QDialog;

namespace kestrine {

class WindowOpener {
public:
    virtual ~WindowOpener() = default;
    // Shows `window` modally and returns once it is closed.
    virtual void runModal(QDialog& window);
};

// The opener in use: the installed one, else the one that runs the modal loop.
WindowOpener& windowOpener();
// Installs a replacement (tests); nullptr goes back to the real one.
void setWindowOpener(WindowOpener* replacement);

} // namespace kestrine
