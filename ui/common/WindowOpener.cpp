#include "ui/common/WindowOpener.h"

#include <QDialog>

namespace kestrine {

namespace {
WindowOpener* installed = nullptr;
} // namespace

void WindowOpener::runModal(QDialog& window) {
    window.exec();
}

WindowOpener& windowOpener() {
    static WindowOpener real;
    return installed ? *installed : real;
}

void setWindowOpener(WindowOpener* replacement) {
    installed = replacement;
}

} // namespace kestrine
