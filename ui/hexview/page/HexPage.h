#pragma once
// What the hex viewer shows and decides, without any painting: the texts of one page, cell
// positions and which cells can be chosen, the marking of a cell, the column captions, the
// position labels, and the start/finish picking with what Accept hands back.

#include "core/Colour.h"
#include "core/Search.h"
#include "core/Types.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kestrine {

constexpr int kPageBytes = 256;
constexpr int kRowBytes = 16;
// Grid geometry: column 0 holds the row headers, 1..16 one byte each, 17 the row's text;
// row 0 holds the column captions, rows 1..16 the bytes.
constexpr int kGridColumns = 18;
constexpr int kGridRows = 17;
constexpr int kTextColumn = 17;

struct HexPage {
    Position offset = 0;
    int size = 0; // bytes shown, 0..256
    // "$000001A0" for each of the 16 rows, also rows without bytes.
    std::array<std::string, 16> rowHeaders;
    // Two upper-case digits per byte, empty past `size`; [row - 1][column - 1].
    std::array<std::array<std::string, 16>, 16> cells;
    // Each row's text, one Latin-1 character per byte (U+0000..U+00FF), bytes below 0x20 as a
    // space; a partly filled row is shorter, an empty one is empty.
    std::array<std::string, 16> texts;
};

// The page for `offset` holding `bytes` (at most the first 256 are taken).
HexPage buildPage(Position offset, std::span<const std::uint8_t> bytes);

// The offset a page actually starts at: the value with bit 4 (16) cleared.
constexpr Position pageOffsetFor(Position value) {
    return value & ~Position{16};
}

// "$" and at least eight upper-case hexadecimal digits.
std::string rowHeaderText(Position position);

// File position of the byte cell (column, row), 1 <= column, row <= 16; saturates instead of
// overflowing near the largest position.
Position cellPosition(Position offset, int column, int row);

// The viewer's selection rule: a byte cell whose position lies inside the file, below its size
// (not the cell just past the last byte, which holds none). Never the text column or a header
// cell.
bool canSelectCell(Position offset, int column, int row, Position sourceFileSize);

// The character at place `column` (from 1) of a row's Latin-1 text; empty when shorter.
std::string charAt(const std::string& rowText, int column);

// The character drawn for a character of a row's Latin-1 text: every byte value shows as one
// glyph of its own width. The controls U+007F to U+009F (one of which, U+0085, breaks the line
// and others of which end the text's drawing) show as the space the bytes below 0x20 show as;
// the soft hyphen U+00AD, which draws nothing outside a line break, as "-".
char shownCharacter(char latin1);
// The row's text as drawn, character for character.
std::string shownText(std::string text);

// Captions of the 16 byte columns when the first column's positions end in hex digit `low`.
std::array<std::string, 16> columnCaptions(int low);
// The low hexadecimal digit of the last character of a header text, -1 when it is none.
int lastHexDigit(const std::string& text);

// "1F4h  500d".
std::string positionText(Position position);

struct PositionLabels {
    std::string start;
    std::string finish;
    std::string offset;
};
// The three labels for chosen positions; a position of 0 reads as undefined.
PositionLabels positionLabels(Position startPos, Position finishPos);

enum class Marking { LastFound, Start, Finish, StartIsFinish };

struct MarkStyle {
    Rgb background;
    Rgb text;
    bool bold;
};
MarkStyle markStyle(Marking marking);

// The chosen range as the viewer holds it. A position that is not chosen is 0, so that it
// never shows in the labels, takes part in the exchange or reaches Accept.
struct Picks {
    bool startSet = false;
    bool finishSet = false;
    Position startPos = 0;
    Position finishPos = 0;

    // From the main window's start and length values when the window opens: a start above 0
    // and a length value above 0 are chosen.
    static Picks atOpening(Position startPos, Position lengthValue);

    // The double-click rules at position p, then the exchange of a backwards pick.
    void doubleClick(Position p);
    void setStart(Position p);
    void setFinish(Position p);
    void clearStart();
    void clearFinish();
};

// The markings of the cell at `position`, in painting order (a later one covers an earlier).
std::vector<Marking> markingsAt(Position position, const Picks& picks, const LastHit& lastFound);

struct AcceptedRange {
    Position start = 0;
    Position lengthValue = 0;
    bool operator==(const AcceptedRange&) const = default;
};
// What Accept writes: the earlier position and the distance; only a start gives length 0.
AcceptedRange acceptedRange(const Picks& picks);
// Whether every byte of the range lies in a file of `sourceFileSize` bytes: only such a range
// is accepted.
bool rangeInFile(const AcceptedRange& range, Position sourceFileSize);

// The scroll bar over a file: enabled only for 256 < size <= 2^31 - 1.
struct ScrollSetup {
    bool enabled = false;
    int pageSize = 0;
    int maximum = 0; // the highest position a user can reach
};
ScrollSetup scrollSetup(Position sourceFileSize, int clientHeight, int arrowHeight,
                        int minimumThumb);

} // namespace kestrine
