#include "core/CommandLine.h"

#include "core/Copy.h"
#include "core/Log.h"
#include "core/Names.h"
#include "core/Numbers.h"
#include "core/Text.h"

namespace kestrine {

namespace {

std::string consoleNotice() {
    std::string text = noticeText();
    const std::string copyright = "\xC2\xA9"; // ©
    for (auto pos = text.find(copyright); pos != std::string::npos; pos = text.find(copyright))
        text.replace(pos, copyright.size(), "(C)");
    return text;
}

struct NumberParam {
    const char* echo;
    const char* what;
    Field dec;
    Field hex;
};

// Takes a "d" or "h" parameter into its pair of fields; every problem gets its line.
void takeNumber(Context& ctx, const std::string& param, const NumberParam& p) {
    AddToLog(ctx, std::string(p.echo) + param);
    bool ok = false;
    const char suffix = param.empty() ? '\0' : static_cast<char>(param.back() | 0x20);
    const std::string digits = param.empty() ? std::string() : param.substr(0, param.size() - 1);
    auto error = [&](const std::string& text) {
        AddToLog(ctx, "ERROR: " + std::string(p.what) + text);
        ctx.state.CommandLineError = true;
    };
    if (suffix == 'd') {
        ctx.host.setFieldText(p.dec, digits);
        if (auto value = parseNumber(digits)) {
            ctx.host.setFieldText(p.hex, toHex(*value));
            ok = true;
        } else {
            error(" is an invalid decimal number.");
        }
    } else if (suffix == 'h') {
        // -1 stands for failure, so sixteen F are refused as well.
        const std::int64_t value = parseHex(digits).value_or(-1);
        if (value == -1) {
            error(" is an invalid hexadecimal number.");
        } else {
            ctx.host.setFieldText(p.hex, digits);
            ctx.host.setFieldText(p.dec, toDec(value));
            ok = true;
        }
    }
    if (!ok)
        error(" was not specified correctly.");
}

} // namespace

std::string usageText() {
    return "Usage: Kestrine <source> <destination> <start pos> <offset>\n"
           "<source>         Input source file name.\n"
           "<destination>  Output destination file name.\n"
           "<start pos>     Starting position; d = decimal, h = hex\n"
           "<offset>          Number of bytes to copy; d = decimal, h = hex\n"
           "\n"
           "Example: Kestrine file1.dat \"file two.dat\" 400d 5ffh";
}

std::string helpText() {
    return "Usage: kestrine <source> <destination> <start pos> <offset>\n"
           "       kestrine --help | --version\n"
           "Copies the bytes from <start pos> to <start pos> + <offset> of <source> into\n"
           "<destination>: <offset> + 1 bytes. Without parameters it opens its window.\n"
           "\n"
           "  <source>       Input source file name.\n"
           "  <destination>  Output destination file name, created or replaced.\n"
           "  <start pos>    Position of the first byte to copy, 0 for the first byte.\n"
           "  <offset>       Offset length L: L + 1 bytes are copied, 0 copies one byte.\n"
           "  --help         Print this text.\n"
           "  --version      Print the version line.\n"
           "\n"
           "Numbers end in d (decimal) or h (hexadecimal), in either case: 400d, 5FFh.\n"
           "\n"
           "Example: kestrine file1.dat \"file two.dat\" 400d 5ffh\n"
           "copies the 1536 bytes from position 400 to 1935 into \"file two.dat\".";
}

std::optional<std::string> optionText(std::string_view parameter) {
    if (parameter == "--help")
        return helpText();
    if (parameter == "--version")
        return "Kestrine - " + versionText();
    return std::nullopt;
}

std::string consoleErrorText() {
    return "Error getting a handle on the standard output StdOut.";
}

std::string consoleLostText(const std::string& why) {
    return "Kestrine: standard output cannot be written: " + why;
}

std::string noticeText() {
    return "Copyright \xC2\xA9 2026 The Kestrine developers";
}

void initState(AppState& state, Platform& platform) {
    state.ExitCode = 0;
    state.CommandLineError = false;
    const ProgramFolders folders = programFolders(platform);
    state.ProgramFolder = folders.settings;
    state.HelpFolder = folders.help;
    state.StartupTitle = "Kestrine";
}

void RunCommandLine(Context& ctx, const std::vector<std::string>& params) {
    AppState& st = ctx.state;
    Platform& pf = ctx.platform;
    Host& host = ctx.host;

    if (!pf.consoleAvailable()) {
        pf.writeStandardError(consoleErrorText() + "\n");
        st.ExitCode = 1;
        return;
    }
    st.ConsoleAttached = pf.attachConsole();
    // Ctrl+C, a closed terminal or a shutdown stops a copy between two chunks, so that the
    // older destination stays whole and no part of the new one is left.
    pf.catchStopSignals();

    AddToLog(ctx, "\nKestrine - " + versionText() + "\n" + consoleNotice() + "\n");
    host.clearLog();
    AddToLog(ctx, "Using Command-Line Parameters", true);

    const std::string& source = params.at(0);
    host.setFieldText(Field::SourceFile, source);
    const Result<void> opened = TakeOverSourceFile(ctx);
    AddToLog(ctx, "Source File = " + host.fieldText(Field::SourceFile));
    if (!pf.fileExists(source)) {
        AddToLog(ctx, "ERROR: The Source File " + source + " cannot be found.");
        st.CommandLineError = true;
    } else if (!opened) {
        // Said now, with the reason: a range checked against a size never measured would
        // only confuse.
        AddToLog(ctx, "ERROR: The source file " + source + " cannot be opened: " + opened.why());
        st.CommandLineError = true;
    }

    const std::string& dest = params.at(1);
    host.setFieldText(Field::DestFile, dest);
    AddToLog(ctx, "Destination File = " + host.fieldText(Field::DestFile));
    // No folder part means the current folder, which always exists.
    const std::string dir = directoryPart(dest);
    if (!dir.empty() && !pf.directoryExists(dir)) {
        AddToLog(ctx, "ERROR: The Destination File path " + dir + " does not exist.");
        st.CommandLineError = true;
    }

    if (sameFileNames(pf, source, dest)) {
        AddToLog(ctx, "ERROR: Source and destination files cannot be the same!");
        st.CommandLineError = true;
    } else if (pf.isStandardStream(dest)) {
        // These lines would be written into the copy.
        AddToLog(ctx, "ERROR: The Destination File " + dest +
                          " is the standard output or error of this run: the messages would be "
                          "written into the copy.");
        st.CommandLineError = true;
    }

    takeNumber(ctx, params.at(2),
               {"Start Position = ", "Start position", Field::StartDec, Field::StartHex});
    takeNumber(ctx, params.at(3),
               {"Offset Length = ", "Offset length", Field::OffsetDec, Field::OffsetHex});

    if (!st.CommandLineError && pf.stopSignal() == 0)
        ExecuteCopy(ctx);

    const Result<void> written = pf.flushConsole();
    st.ConsoleAttached = false;
    st.ExitCode = st.CommandLineError ? 1 : 0;
    // A report that reached nobody is no success, whatever the copy did.
    if (!written) {
        pf.writeStandardError(consoleLostText(written.why()) + "\n");
        st.ExitCode = 1;
    }
    // Stopped by a signal: the caller ends the process by it, as the shell expects.
    if (const int signal = pf.stopSignal(); signal != 0)
        st.ExitCode = 128 + signal;
}

} // namespace kestrine
