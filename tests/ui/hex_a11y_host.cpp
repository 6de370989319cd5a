// The hex viewer on a real X server for tests/ui/hex_accessibility.py: the main window started
// as the program starts it on the file given, its hex view button pressed; the program ends
// when the viewer is closed.
//
//   ui_hex_a11y_host <file>

#include "bench/Driver.h"
#include "ui/main/WindowMode.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>

int main(int argc, char** argv) {
    if (!kestrine::bench::argumentsGiven(argc, argv, 1, "<file>"))
        return 2;
    kestrine::prepareEventLoop();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestrine-hex-a11y"));
    kestrine::bench::NoPrompts prompts;
    kestrine::setPrompts(&prompts);
    kestrine::bench::MainWindowRun run(argv[1]);
    run.form->show();
    QTimer::singleShot(0, [&] {
        run.form->findChild<QAbstractButton*>(QStringLiteral("HexViewButton"))->click();
        QApplication::quit();
    });
    const int status = QApplication::exec();
    return prompts.asked == 0 ? status : 1;
}
