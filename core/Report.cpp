#include "core/Report.h"

#include "core/Log.h"

namespace kestrine {

void refuse(Context& ctx, BoxKind kind, const std::string& text) {
    if (!ctx.state.ConsoleAttached) {
        ctx.host.messageBox(kind, text);
        return;
    }
    std::string line;
    for (char c : text)
        line += c == '\n' ? ' ' : c;
    if (kind == BoxKind::Information) {
        AddToLog(ctx, line);
        return;
    }
    AddToLog(ctx, "ERROR: " + line);
    ctx.state.CommandLineError = true;
}

void refuseAndLog(Context& ctx, BoxKind kind, const std::string& text) {
    if (!ctx.state.ConsoleAttached)
        ctx.host.messageBox(kind, text);
    AddToLog(ctx, "ERROR: " + text);
    ctx.state.CommandLineError = true;
}

void tell(Context& ctx, BoxKind kind, const std::string& text) {
    if (!ctx.state.ConsoleAttached)
        ctx.host.messageBox(kind, text);
    else
        AddToLog(ctx, text);
}

void boxWithoutWindow(Context& ctx, BoxKind kind, const std::string& text) {
    if (!ctx.state.ConsoleAttached)
        ctx.host.appendLog(text, false);
    else
        refuse(ctx, kind, text);
}

bool canAskUser(const Context& ctx) {
    return !ctx.state.ConsoleAttached;
}

} // namespace kestrine
