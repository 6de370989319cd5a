#include "core/Log.h"

#include "core/Text.h"

namespace kestrine {

void AddToLog(Context& ctx, const std::string& text, bool bold) {
    ctx.host.appendLog(text, bold);
    if (!ctx.state.ConsoleAttached)
        return;
    // Every console line ends in CR LF, also the lines inside a multi-line entry.
    std::string line;
    line.reserve(text.size() + 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            line.push_back('\r');
        line.push_back(text[i]);
    }
    line.append("\r\n");
    ctx.platform.writeConsole(line);
}

std::string FormatSize(Context& ctx, std::int64_t count) {
    return sizeTextWith(count, ctx.platform.thousandsSeparator());
}

} // namespace kestrine
