#pragma once
// How failures travel in Kestrine:
// - A user error that a handler expects (a missing name, a range out of bounds, a locked file)
//   is reported by the handler through refuse() or refuseAndLog(), which choose between a box
//   (window behaviour) and an "ERROR: " line with CommandLineError (console attached). No other
//   code makes that choice.
// - Operations that can fail for reasons of the system (opening, reading, writing a file)
//   return false or -1 with the reason as text; the caller words the report.
// - A text that does not convert, met where no handler expects it, is thrown as
//   std::runtime_error and shown by the general error report (Host::reportError).

#include "core/Context.h"

#include <string>

namespace kestrine {

// A box of `kind` in window behaviour; while a console is attached an "ERROR: " line (the text's
// line feeds as spaces) and CommandLineError, or a plain line for an Information box.
void refuse(Context& ctx, BoxKind kind, const std::string& text);
// A box in window behaviour; in both behaviours the "ERROR: " line with the text as it stands
// goes to the log, and CommandLineError is set.
void refuseAndLog(Context& ctx, BoxKind kind, const std::string& text);
// A question is asked only in window behaviour; on the console nobody is there to answer it.
bool canAskUser(const Context& ctx);

} // namespace kestrine
