// The hex viewer's page and cell rules, at any offset and over any bytes. Properties: each row
// header is "$" and at least eight upper-case hexadecimal digits of the row's first position;
// a cell holds its byte's two upper-case digits below the page's size and nothing from there
// on; a row's text holds one character per byte below the size (a space below 0x20, else the
// byte's own Latin-1 code) and nothing past it. A cell's position is the offset plus its place,
// held at the ends of the range instead of wrapping; only byte cells at or before the file's
// size are selectable; the captions run through the sixteen digits from the one asked for.

#include "FuzzCheck.h"

#include "ui/hexview/page/HexPage.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
#include <string>

using namespace kestrine;
using kestrine::fuzz::require;

namespace {

__extension__ typedef __int128 I128;

// The parameters at the front of an input, zero where it is shorter; the rest are the bytes.
struct Input {
    Position offset = 0;
    Position fileSize = 0;
    int column = 0, row = 0, low = 0;
    std::span<const std::uint8_t> bytes;
};

Input readInput(const std::uint8_t* data, std::size_t size) {
    std::uint8_t head[20] = {};
    const std::size_t taken = std::min(size, sizeof head);
    std::memcpy(head, data, taken);
    Input in;
    std::memcpy(&in.offset, head, 8);
    std::memcpy(&in.fileSize, head + 8, 8);
    // Signed, so that columns and rows outside 1..16 come up as often as those inside.
    in.column = static_cast<std::int8_t>(head[16]);
    in.row = static_cast<std::int8_t>(head[17]);
    std::int16_t low = 0;
    std::memcpy(&low, head + 18, 2);
    in.low = low;
    in.bytes = std::span<const std::uint8_t>(data + taken, size - taken);
    return in;
}

char hexDigit(unsigned v) {
    return "0123456789ABCDEF"[v & 15];
}

// The header read again: the position's 64-bit pattern, at least eight digits.
std::string expectedHeader(std::uint64_t position) {
    std::string digits;
    do {
        digits.insert(digits.begin(), hexDigit(static_cast<unsigned>(position & 15)));
        position >>= 4;
    } while (position != 0);
    if (digits.size() < 8)
        digits.insert(0, 8 - digits.size(), '0');
    return "$" + digits;
}

Position clamped(I128 v) {
    return static_cast<Position>(std::clamp<I128>(v, std::numeric_limits<Position>::min(),
                                                  std::numeric_limits<Position>::max()));
}

void checkPage(const Input& in) {
    const HexPage page = buildPage(in.offset, in.bytes);
    const int size = static_cast<int>(std::min<std::size_t>(in.bytes.size(), kPageBytes));
    require(page.offset == in.offset, "the page keeps its offset");
    require(page.size == size, "the page holds at most 256 bytes");
    for (int r = 0; r < 16; ++r) {
        const std::uint64_t first = static_cast<std::uint64_t>(in.offset) + 16u * r;
        require(page.rowHeaders[r] == expectedHeader(first), "row header");
        require(lastHexDigit(page.rowHeaders[r]) == static_cast<int>(first & 15),
                "a header ends in its position's low digit");
        std::string text;
        for (int c = 0; c < 16; ++c) {
            const int i = r * 16 + c;
            const std::string& cell = page.cells[r][c];
            if (i >= size) {
                require(cell.empty(), "no cell text past the size");
                continue;
            }
            const std::uint8_t b = in.bytes[i];
            require(cell == std::string{hexDigit(b >> 4), hexDigit(b)}, "cell text");
            text += b < 0x20 ? ' ' : static_cast<char>(b);
        }
        require(page.texts[r] == text, "row text");
        // The character under a cell, as the window shows it for the cursor.
        for (int c : {0, 1, 16, 17, in.column}) {
            const std::string ch = charAt(page.texts[r], c);
            const bool inside = c >= 1 && c <= static_cast<int>(text.size());
            require(ch == (inside ? text.substr(c - 1, 1) : std::string()), "character at");
        }
    }
}

void checkCells(const Input& in) {
    for (int column : {1, 16, in.column})
        for (int row : {1, 16, in.row}) {
            const bool byteCell = column >= 1 && column <= 16 && row >= 1 && row <= 16;
            const Position p = clamped(I128{in.offset} + I128{row - 1} * 16 + I128{column - 1});
            if (byteCell)
                require(cellPosition(in.offset, column, row) == p, "cell position");
            require(canSelectCell(in.offset, column, row, in.fileSize) ==
                        (byteCell && p < in.fileSize),
                    "selectable exactly up to the last byte");
        }
}

void checkCaptions(int low) {
    const std::array<std::string, 16> captions = columnCaptions(low);
    const int first = ((low % 16) + 16) % 16;
    for (int i = 0; i < 16; ++i) {
        const unsigned digit = static_cast<unsigned>(first + i) % 16;
        require(captions[i] == std::string{'$', hexDigit(digit)}, "column caption");
        require(lastHexDigit(captions[i]) == static_cast<int>(digit), "caption reads back");
    }
}

// Labels and the accepted range take any positions without overflowing (the sanitizers watch).
void checkLabels(const Input& in) {
    (void)positionLabels(in.offset, in.fileSize);
    Picks picks = Picks::atOpening(in.offset, in.fileSize);
    picks.doubleClick(in.fileSize);
    const AcceptedRange range = acceptedRange(picks);
    require(range.lengthValue >= 0, "the accepted length is never negative");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Input in = readInput(data, size);
    checkPage(in);
    checkCells(in);
    checkCaptions(in.low);
    checkLabels(in);
    return 0;
}
