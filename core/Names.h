#pragma once
// File-name helpers of the file selection.

#include "platform/Platform.h"

#include <optional>
#include <string>
#include <string_view>

namespace kestrine {

// The destination name derived from a source name: a trailing digit run of the base counts up
// (file09.dat -> file10.dat), otherwise "2" is added (file.dat -> file2.dat). Returns nothing
// when the text is blank; throws std::invalid_argument with the error report's message when
// the digit run does not fit a signed 32-bit number.
std::optional<std::string> nextFileName(std::string_view source);

// The start folder of a file dialog: each existing candidate overrides the one before (last
// folder, then the preferred folder when its switch is on, then the field's folder); empty when
// none exists (the dialog keeps what it had).
std::string dialogStartFolder(Platform& platform, const std::string& lastPath, bool prefSwitch,
                              const std::string& prefPath, const std::string& fieldText);

// The two names stand for one file: the same device and inode (links, "./a" and "a"), or, for
// names of no file yet, the same path once resolved. Case and spaces are part of a name here.
bool sameFileNames(Platform& platform, const std::string& a, const std::string& b);

} // namespace kestrine
