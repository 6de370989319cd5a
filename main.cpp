// Program entry: the mode is decided by the argument count before any window code is loaded,
// so the command-line mode needs no display and starts without the window toolkit.

#include "core/CommandLine.h"
#include "core/ConsoleHost.h"
#include "core/Copy.h"
#include "platform/Library.h"
#include "platform/Text.h"
#include "settings/SettingsFile.h"
#include "ui/main/WindowsEntry.h"

#include <clocale>
#include <string>
#include <vector>

namespace {

// The window library lies beside the executable in the build folder and in the private library
// folder of an installation. Loaded by its full path: a sanitizer's own dlopen would not search
// the executable's run path.
std::string windowLibraryPath() {
    const std::string folder = kestrine::executableFolder(kestrine::Platform::system());
    const std::string beside = folder + kestrine::kWindowLibrary;
    if (kestrine::Platform::system().fileExists(beside))
        return beside;
    return folder + KESTRINE_PRIVATE_LIBRARY_DIR "/" + kestrine::kWindowLibrary;
}

// Console lines end in CR LF. A reader that has gone must not end the run by SIGPIPE. False,
// said on standard error, when the lines could not be written.
bool printLines(kestrine::Platform& platform, const std::string& text) {
    platform.attachConsole();
    platform.writeConsole(kestrine::withCrLf(text) + "\r\n");
    const kestrine::Result<void> written = platform.flushConsole();
    if (!written)
        platform.writeStandardError(kestrine::consoleLostText(written.why()) + "\n");
    return written.ok();
}

// The window library, or a line on standard error saying why it cannot be used.
template <typename F> F windowEntry(kestrine::SharedLibrary& library, const char* name) {
    F entry = library.loaded() ? library.function<F>(name) : nullptr;
    if (!entry)
        kestrine::Platform::system().writeStandardError(
            std::string("Kestrine: the window library ") + kestrine::kWindowLibrary +
            " cannot be used: " + library.error() + "\n");
    return entry;
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    kestrine::Platform& platform = kestrine::Platform::system();

    if (argc == 5) {
        kestrine::AppState state;
        kestrine::initState(state, platform);
        kestrine::ConsoleHost host(state, platform);
        kestrine::Context ctx{state, host, platform};
        kestrine::RestoreRememberedFiles(ctx, kestrine::ReadSettings(ctx));
        const bool console = platform.consoleAvailable();
        kestrine::RunCommandLine(ctx, std::vector<std::string>(argv + 1, argv + 5));
        if (const int signal = platform.stopSignal(); signal != 0)
            platform.endBySignal(signal);
        if (!console) {
            kestrine::SharedLibrary windows(windowLibraryPath());
            if (auto show = windowEntry<kestrine::ShowConsoleErrorEntry>(
                    windows, kestrine::kShowConsoleErrorEntry))
                show(argc, argv, kestrine::consoleErrorText().c_str());
        }
        return state.ExitCode;
    }
    if (argc == 2) {
        if (const auto answer = kestrine::optionText(argv[1])) {
            if (!platform.consoleAvailable()) {
                platform.writeStandardError(kestrine::consoleErrorText() + "\n");
                return 1;
            }
            return printLines(platform, *answer) ? 0 : 1;
        }
    }
    // The usage text always reaches standard output; the window mode adds the box.
    const bool printed = argc == 1 || printLines(platform, kestrine::usageText());
    kestrine::SharedLibrary windows(windowLibraryPath());
    auto run = windowEntry<kestrine::RunWindowsEntry>(windows, kestrine::kRunWindowsEntry);
    if (!run)
        return argc > 1 && printed ? 0 : 1;
    const int status = run(argc, argv);
    return printed ? status : 1;
}
