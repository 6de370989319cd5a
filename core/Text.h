#pragma once
// Small text helpers shared by the copy, the command line and the windows.

#include "platform/Text.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrine {

// The folder part of a path, up to and including the last separator; empty when there is none.
std::string directoryPart(std::string_view path);
// The name part of a path, after the last separator.
std::string namePart(std::string_view path);

// A whole number grouped in threes with `separator`.
std::string groupThousands(std::int64_t value, std::string_view separator);
// The text of FormatSize with a given separator, "1,536 bytes (2KB)": the count grouped, and
// its kilobytes rounded half up ("1KB" below 1024).
std::string sizeTextWith(std::int64_t count, std::string_view separator);
// Seconds rounded half up and grouped, for the elapsed-time line.
std::string formatSeconds(double seconds, std::string_view separator);

// "Version 1.0 Release 0 Build 1" from the version compiled in.
std::string versionText();

// The general error report's text: a "." appended when the last character's code is above ".".
std::string generalErrorText(std::string_view message);

} // namespace kestrine
