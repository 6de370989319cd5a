#pragma once
// Reporting a user error the one way the run allows (see Host.h for how failures travel).

#include "core/Context.h"

#include <string>

namespace kestrine {

// A box of `kind` in window behaviour; while a console is attached an "ERROR: " line (the text's
// line feeds as spaces) and CommandLineError, or a plain line for an Information box.
void refuse(Context& ctx, BoxKind kind, const std::string& text);
// A box in window behaviour; in both behaviours the "ERROR: " line with the text as it stands
// goes to the log, and CommandLineError is set.
void refuseAndLog(Context& ctx, BoxKind kind, const std::string& text);
// A box in window behaviour; while a console is attached a plain line of the log, without
// "ERROR: " and without CommandLineError (the command line reports the matter itself).
void tell(Context& ctx, BoxKind kind, const std::string& text);
// A box asked of a host without a window: before the console is attached the text stays in the
// host's own (invisible) log; afterwards it is refused as a console line.
void boxWithoutWindow(Context& ctx, BoxKind kind, const std::string& text);
// A question is asked only in window behaviour; on the console nobody is there to answer it.
bool canAskUser(const Context& ctx);

} // namespace kestrine
