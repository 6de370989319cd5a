#pragma once
// The copy range, taking over the source file, and the copy itself.

#include "core/Context.h"

#include <optional>
#include <string>

namespace kestrine {

// Takes over the text of SourceFileEdit as the source: SourceFileName, open check, size.
void ChangeSourceFile(Context& ctx);
// The same, answering why the file could not be opened (the report is made either way).
Result<void> TakeOverSourceFile(Context& ctx);

// Start-up: puts the remembered files into the fields; an existing source is taken over and
// logged with its size.
void RestoreRememberedFiles(Context& ctx, const RememberedFiles& files);

// Checks the names and the range, asks before replacing, copies in 8192-byte blocks.
void ExecuteCopy(Context& ctx);

// One tick of the progress timer: bar, status bar and title show the percentage.
void ProgressTimer(Context& ctx);

// The derived maxima used by the stepping and the maximum buttons.
constexpr Position maxStart(Position sourceSize, Position length) {
    return sourceSize - 1 - length;
}
constexpr Position maxLength(Position sourceSize, Position start) {
    return sourceSize - 1 - start;
}

} // namespace kestrine
