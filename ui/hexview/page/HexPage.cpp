#include "ui/hexview/page/HexPage.h"

#include "core/Numbers.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace kestrine {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

Position saturatingAdd(Position a, Position b) {
    Position sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<Position>::max() : std::numeric_limits<Position>::min();
    return sum;
}

} // namespace

std::string rowHeaderText(Position position) {
    char text[24];
    std::snprintf(text, sizeof text, "$%08llX",
                  static_cast<unsigned long long>(static_cast<std::uint64_t>(position)));
    return text;
}

HexPage buildPage(Position offset, std::span<const std::uint8_t> bytes) {
    HexPage page;
    page.offset = offset;
    page.size = static_cast<int>(std::min<std::size_t>(bytes.size(), kPageBytes));
    for (int r = 0; r < 16; ++r) {
        // Wrapping arithmetic: a header is only a text, even at the very end of the range.
        page.rowHeaders[r] = rowHeaderText(static_cast<Position>(
            static_cast<std::uint64_t>(offset) + static_cast<std::uint64_t>(r * kRowBytes)));
        for (int c = 0; c < 16; ++c) {
            const int i = r * kRowBytes + c;
            if (i >= page.size)
                break;
            const std::uint8_t b = bytes[i];
            page.cells[r][c] = {kDigits[b >> 4], kDigits[b & 15]};
            page.texts[r] += b < 0x20 ? ' ' : static_cast<char>(b);
        }
    }
    return page;
}

Position cellPosition(Position offset, int column, int row) {
    return saturatingAdd(offset, Position{row - 1} * kRowBytes + (column - 1));
}

bool canSelectCell(Position offset, int column, int row, Position sourceFileSize) {
    if (column < 1 || column > 16 || row < 1 || row > 16)
        return false;
    return cellPosition(offset, column, row) < sourceFileSize;
}

std::string charAt(const std::string& rowText, int column) {
    if (column < 1 || static_cast<std::size_t>(column) > rowText.size())
        return {};
    return rowText.substr(static_cast<std::size_t>(column - 1), 1);
}

char shownCharacter(char latin1) {
    const auto b = static_cast<unsigned char>(latin1);
    if (b < 0x20 || (b >= 0x7F && b <= 0x9F))
        return ' ';
    return b == 0xAD ? '-' : latin1;
}

std::string shownText(std::string text) {
    for (char& c : text)
        c = shownCharacter(c);
    return text;
}

std::array<std::string, 16> columnCaptions(int low) {
    std::array<std::string, 16> captions;
    for (int i = 0; i < 16; ++i)
        captions[i] = {'$', kDigits[((low % 16 + 16) + i) % 16]};
    return captions;
}

int lastHexDigit(const std::string& text) {
    if (text.empty())
        return -1;
    return hexDigit(text.back());
}

std::string positionText(Position position) {
    return toHex(position) + "h  " + toDec(position) + "d";
}

namespace {

std::string labelFor(const char* caption, Position value, bool defined) {
    return std::string(caption) + (defined ? positionText(value) : "<undefined>");
}

Position distance(Position a, Position b) {
    // Both are positive where a distance is shown, so the difference cannot overflow.
    return a > b ? a - b : b - a;
}

} // namespace

PositionLabels positionLabels(Position startPos, Position finishPos) {
    const bool both = startPos > 0 && finishPos > 0;
    return {labelFor("Start Pos: ", startPos, startPos != 0),
            labelFor("Finish Pos: ", finishPos, finishPos != 0),
            labelFor("Offset Length: ", both ? distance(finishPos, startPos) : 0, both)};
}

MarkStyle markStyle(Marking marking) {
    switch (marking) {
    case Marking::LastFound:
        return {{192, 192, 192}, {0, 0, 0}, false};
    case Marking::Start:
        return {{0, 255, 0}, {0, 0, 0}, false};
    case Marking::Finish:
        return {{255, 0, 0}, {255, 255, 255}, false};
    case Marking::StartIsFinish:
        return {{255, 255, 0}, {0, 0, 0}, true};
    }
    return {{255, 255, 255}, {0, 0, 0}, false};
}

Picks Picks::atOpening(Position startPos, Position lengthValue) {
    Picks picks;
    picks.startSet = startPos > 0;
    picks.finishSet = lengthValue > 0;
    // A length value of 0 is one byte from the start, with no finish chosen: the finish must
    // not stay behind at the start, where a later pick would exchange it into the range.
    picks.startPos = picks.startSet ? startPos : 0;
    picks.finishPos = picks.finishSet ? saturatingAdd(startPos, lengthValue) : 0;
    return picks;
}

void Picks::doubleClick(Position p) {
    if (!startSet) {
        startSet = true;
        startPos = p;
    } else if (p == startPos) {
        startSet = false;
        startPos = 0;
    } else if (!finishSet) {
        finishSet = true;
        finishPos = p;
    } else if (p == finishPos) {
        finishSet = false;
        finishPos = 0;
    }
    if (finishPos > 0 && startPos > 0 && finishPos < startPos)
        std::swap(startPos, finishPos);
}

void Picks::setStart(Position p) {
    startSet = true;
    startPos = p;
}

void Picks::setFinish(Position p) {
    finishSet = true;
    finishPos = p;
}

void Picks::clearStart() {
    startSet = false;
    startPos = 0;
}

void Picks::clearFinish() {
    finishSet = false;
    finishPos = 0;
}

std::vector<Marking> markingsAt(Position position, const Picks& picks, const LastHit& lastFound) {
    std::vector<Marking> marks;
    if (lastFound.made && position == lastFound.position)
        marks.push_back(Marking::LastFound);
    if (picks.startSet && position == picks.startPos)
        marks.push_back(Marking::Start);
    if (picks.finishSet && position == picks.finishPos)
        marks.push_back(Marking::Finish);
    if (picks.startSet && picks.finishSet && picks.startPos == picks.finishPos &&
        position == picks.startPos)
        marks.push_back(Marking::StartIsFinish);
    return marks;
}

AcceptedRange acceptedRange(const Picks& picks) {
    if (!picks.finishSet)
        return {picks.startPos, 0};
    // Set Start and Set Finish keep the order as picked; the range runs from the earlier one.
    const Position start = std::min(picks.startPos, picks.finishPos);
    const Position finish = std::max(picks.startPos, picks.finishPos);
    Position length = 0;
    if (__builtin_sub_overflow(finish, start, &length))
        length = std::numeric_limits<Position>::max();
    return {start, length};
}

bool rangeInFile(const AcceptedRange& range, Position sourceFileSize) {
    return range.start >= 0 && range.lengthValue >= 0 && range.start < sourceFileSize &&
           range.lengthValue < sourceFileSize - range.start;
}

ScrollSetup scrollSetup(Position sourceFileSize, int clientHeight, int arrowHeight,
                        int minimumThumb) {
    ScrollSetup setup;
    if (sourceFileSize <= kPageBytes || sourceFileSize > std::numeric_limits<std::int32_t>::max())
        return setup;
    setup.enabled = true;
    const Position track = std::max(0, clientHeight - 2 * arrowHeight);
    setup.pageSize =
        static_cast<int>(std::max<Position>(track / (sourceFileSize + 1), minimumThumb));
    setup.maximum = static_cast<int>(sourceFileSize - setup.pageSize + 1);
    return setup;
}

} // namespace kestrine
