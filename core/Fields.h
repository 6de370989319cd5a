#pragma once
// The start-position and offset-length fields: keeping each decimal/hexadecimal pair in step,
// the key filters, stepping by one and the minimum and maximum buttons.

#include "core/Context.h"

#include <string>

namespace kestrine {

// The partner of a number field (StartDec <-> StartHex, OffsetDec <-> OffsetHex).
Field partnerOf(Field field);
bool isDecimalField(Field field);
bool isStartField(Field field);

// Character filters: returns the character to pass on (possibly changed), or 0 to drop it.
// Decimal: "0".."9" and Backspace (8). Hexadecimal: also "a".."f", with "A".."F" lowered.
char32_t FilterNumberKeys(char32_t ch);
char32_t FilterHexKeys(char32_t ch);

// Runs after any change of a number field's text. When the changed field has the focus and is
// not empty, its value is written into the partner; then an empty field empties the pair.
// A decimal text that does not convert goes to the general error report.
void keepPairInStep(Host& host, Field changed, bool changedHasFocus);

// Stepping by one (Up: +1, Down: -1) in `field`, bounded by 0 and SourceFileSize - 1 - other.
// Returns true when the field was changed (the key is consumed), false to leave the key alone.
bool stepField(Context& ctx, Field field, int step);

// The minimum and maximum buttons: each focuses the decimal field first (StartDec or OffsetDec).
void setMinimum(Context& ctx, Field decimalField);
void setMaximum(Context& ctx, Field decimalField);

// The general error report's message for a text that is not a number.
std::string notANumberMessage(const std::string& text);

} // namespace kestrine
