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
    if (argc > 1) {
        // The usage text always reaches standard output; the window mode adds the box. A reader
        // that has gone must not end the run by SIGPIPE.
        platform.attachConsole();
        std::string usage = kestrine::usageText();
        std::string lines;
        for (char c : usage)
            lines += c == '\n' ? std::string("\r\n") : std::string(1, c);
        platform.writeConsole(lines + "\r\n");
    }
    return kestrine::runWindowMode(argc, argv, state);
}
