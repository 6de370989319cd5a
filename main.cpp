// Program entry: the mode is decided by the argument count before any QApplication exists, so
// the command-line mode needs no display.

#include "core/CommandLine.h"
#include "core/ConsoleHost.h"
#include "core/Copy.h"
#include "settings/SettingsFile.h"
#include "ui/main/WindowMode.h"

#include <clocale>
#include <string>
#include <vector>

namespace {

// Console lines end in CR LF. A reader that has gone must not end the run by SIGPIPE.
void printLines(kestrine::Platform& platform, const std::string& text) {
    platform.attachConsole();
    std::string lines;
    for (char c : text)
        lines += c == '\n' ? std::string("\r\n") : std::string(1, c);
    platform.writeConsole(lines + "\r\n");
    platform.flushConsole();
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    kestrine::AppState state;
    kestrine::Platform& platform = kestrine::Platform::system();

    if (argc == 5) {
        kestrine::initState(state, platform);
        kestrine::ConsoleHost host(state, platform);
        kestrine::Context ctx{state, host, platform};
        kestrine::RestoreRememberedFiles(ctx, kestrine::ReadSettings(ctx));
        const bool console = platform.consoleAvailable();
        kestrine::RunCommandLine(ctx, std::vector<std::string>(argv + 1, argv + 5));
        if (!console)
            kestrine::showConsoleError(argc, argv, kestrine::consoleErrorText());
        return state.ExitCode;
    }
    if (argc == 2) {
        if (const auto answer = kestrine::optionText(argv[1])) {
            if (!platform.consoleAvailable()) {
                platform.writeStandardError(kestrine::consoleErrorText() + "\n");
                return 1;
            }
            printLines(platform, *answer);
            return 0;
        }
    }
    // The usage text always reaches standard output; the window mode adds the box.
    if (argc > 1)
        printLines(platform, kestrine::usageText());
    return kestrine::runWindowMode(argc, argv, state);
}
