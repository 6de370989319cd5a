#pragma once
// File names are bytes, the windows show text. A name decodes as UTF-8 where it is valid; each
// byte that is not part of valid UTF-8 becomes one lone surrogate U+DC80..U+DCFF (U+DC00 + the
// byte), which encoding turns back into that byte. So a name taken from the file system, the
// settings file or a drop goes back to the file system as the very same bytes.

#include <string>
#include <string_view>

namespace kestrine {

std::u16string decodeFileName(std::string_view bytes);
// Other lone surrogates, which no decoded name holds, become U+FFFD.
std::string encodeFileName(std::u16string_view text);

} // namespace kestrine
