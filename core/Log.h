#pragma once

#include "core/Context.h"

#include <string>

namespace kestrine {

// Appends a line to the window log and, while a console is attached, writes it there + CR LF.
void AddToLog(Context& ctx, const std::string& text, bool bold = false);

// FormatSize with the locale's separator.
std::string FormatSize(Context& ctx, std::int64_t count);

} // namespace kestrine
