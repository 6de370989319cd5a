// One search through the real hex viewer window under the offscreen platform: the viewer opened
// from the main window's hex view button on the file, the text typed into SearchEdit and the
// search button pressed once, from position 0. For bench/search.sh, which wants the search
// alone: the time runs from the button press until the view shows the result, leaving out the
// start of the toolkit and of the windows.
//
//   kestrine-window-search <file> <text>
//       prints the hit's position (or "none") and the nanoseconds the press took

#include "Driver.h"
#include "ui/common/Prompts.h"
#include "ui/common/WindowOpener.h"
#include "ui/hexview/TForm4.h"
#include "ui/main/TForm1.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>

#include <chrono>
#include <cstdio>

namespace {

// Shows the viewer, searches once and closes it, instead of a modal loop waiting for a user.
class SearchOnce : public kestrine::WindowOpener {
public:
    QString text;
    bool searched = false;
    std::chrono::nanoseconds took{};
    void runModal(QDialog& window) override {
        window.show();
        window.findChild<QLineEdit*>("SearchEdit")->setText(text);
        auto* button = window.findChild<QAbstractButton*>("SearchButton");
        const auto pressed = std::chrono::steady_clock::now();
        button->click();
        took = std::chrono::steady_clock::now() - pressed;
        searched = true;
        window.close();
    }
};

} // namespace

int main(int argc, char** argv) {
    if (!kestrine::bench::argumentsGiven(argc, argv, 2, "<file> <text>"))
        return 2;
    kestrine::bench::OffscreenApp offscreen(argc, argv);
    SearchOnce opener;
    opener.text = QString::fromLocal8Bit(argv[2]);
    kestrine::setWindowOpener(&opener);

    kestrine::bench::MainWindowRun run(argv[1]);
    kestrine::TForm1& form = *run.form;
    kestrine::AppState& state = run.state;
    form.findChild<QAbstractButton*>("HexViewButton")->click();
    if (!opener.searched || offscreen.prompts.asked != 0)
        return 1;
    if (state.LastFound.made)
        std::printf("%lld", static_cast<long long>(state.LastFound.position));
    else
        std::printf("none");
    std::printf(" %lld\n", static_cast<long long>(opener.took.count()));
    return 0;
}
