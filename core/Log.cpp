#include "core/Log.h"

#include "core/Text.h"

namespace kestrine {

void AddToLog(Context& ctx, const std::string& text, bool bold) {
    ctx.host.appendLog(text, bold);
    if (!ctx.state.ConsoleAttached)
        return;
    // Every console line ends in CR LF, also the lines inside a multi-line entry.
    ctx.platform.writeConsole(withCrLf(text) + "\r\n");
}

std::string FormatSize(Context& ctx, std::int64_t count) {
    return sizeTextWith(count, ctx.platform.thousandsSeparator());
}

} // namespace kestrine
