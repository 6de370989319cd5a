// One copy through the real main window under the offscreen platform, started by its Copy
// button, with the window's event pump after every chunk. Prints the nanoseconds from the press
// to the end of the copy, which the window's own start-up does not reach. For
// bench/window-copy.sh.
//
//   kestrine-window-copy <source> <destination> <start> <length>   (decimal numbers)

#include "Driver.h"
#include "ui/main/TForm1.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTextEdit>

int main(int argc, char** argv) {
    if (!kestrine::bench::argumentsGiven(argc, argv, 4, "<source> <destination> <start> <length>"))
        return 2;
    kestrine::bench::OffscreenApp offscreen(argc, argv);

    kestrine::bench::MainWindowRun run(argv[1]);
    kestrine::TForm1& form = *run.form;
    form.setFieldText(kestrine::Field::DestFile, argv[2]);
    form.setFieldText(kestrine::Field::StartDec, argv[3]);
    form.setFieldText(kestrine::Field::OffsetDec, argv[4]);
    QElapsedTimer clock;
    clock.start();
    form.findChild<QPushButton*>("CopyBitBtn")->click();
    std::printf("%lld\n", static_cast<long long>(clock.nsecsElapsed()));

    const QString log = form.findChild<QTextEdit*>("RichEdit1")->toPlainText();
    return offscreen.prompts.asked == 0 && log.endsWith("Copying finished.") ? 0 : 1;
}
