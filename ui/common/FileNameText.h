#pragma once
// File names between the file system's bytes and the windows' text. A name that is not valid
// UTF-8 keeps each stray byte as one lone surrogate (platform/FileNames.h): the field shows a
// replacement glyph, and the name still goes back to the file system as the same bytes.

#include "platform/FileNames.h"

#include <QString>

#include <string>

namespace kestrine {

inline QString nameText(const std::string& bytes) {
    return QString::fromStdU16String(decodeFileName(bytes));
}

inline std::string nameBytes(const QString& text) {
    return encodeFileName(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                              static_cast<std::size_t>(text.size())));
}

} // namespace kestrine
