// The hex viewer's page texts, cell rules, labels and picking, without any window.

#include "ui/hexview/page/HexPage.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

using namespace kestrine;

namespace {

std::vector<std::uint8_t> bytes(std::size_t n, std::uint8_t first = 0) {
    std::vector<std::uint8_t> out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<std::uint8_t>(first + i);
    return out;
}

} // namespace

TEST(HexPage, LastPageOfA300ByteFile) {
    const auto data = bytes(44);
    const HexPage page = buildPage(0x100, data);
    EXPECT_EQ(page.size, 44);
    EXPECT_EQ(page.cells[1][15], "1F");
    EXPECT_EQ(page.cells[2][11], "2B");
    EXPECT_EQ(page.cells[2][12], "");
    EXPECT_EQ(page.texts[2].size(), 12u);
    EXPECT_EQ(page.texts[3], "");
    EXPECT_EQ(page.rowHeaders[0], "$00000100");
    EXPECT_EQ(page.rowHeaders[3], "$00000130");
    EXPECT_EQ(page.rowHeaders[15], "$000001F0");
}

TEST(HexPage, EmptyPageIsLabelledFromZero) {
    const HexPage page = buildPage(0, {});
    for (int r = 0; r < 16; ++r) {
        EXPECT_EQ(page.texts[r], "");
        for (int c = 0; c < 16; ++c)
            EXPECT_EQ(page.cells[r][c], "");
    }
    EXPECT_EQ(page.rowHeaders[15], "$000000F0");
}

TEST(HexPage, OnlyTheFirst256BytesAndHeadersAtTheEndOfTheRange) {
    const HexPage big = buildPage(0x25, bytes(300));
    EXPECT_EQ(big.size, 256);
    EXPECT_EQ(big.rowHeaders[0], "$00000025");
    const HexPage last = buildPage(std::numeric_limits<Position>::max() & ~Position{16}, bytes(3));
    EXPECT_EQ(last.rowHeaders[0], "$7FFFFFFFFFFFFFEF");
    EXPECT_EQ(cellPosition(std::numeric_limits<Position>::max(), 16, 16),
              std::numeric_limits<Position>::max());
}

class ByteText : public ::testing::TestWithParam<std::pair<std::uint8_t, const char*>> {};
TEST_P(ByteText, CellAndCharacter) {
    const auto [byte, cell] = GetParam();
    const std::uint8_t one[] = {byte};
    const HexPage page = buildPage(0, one);
    EXPECT_EQ(page.cells[0][0], cell);
    const char expected = byte < 0x20 ? ' ' : static_cast<char>(byte);
    EXPECT_EQ(page.texts[0], std::string(1, expected)); // Latin-1: U+0000..U+00FF
    EXPECT_EQ(charAt(page.texts[0], 1), std::string(1, expected));
    EXPECT_EQ(charAt(page.texts[0], 2), "");
}
INSTANTIATE_TEST_SUITE_P(Bytes, ByteText,
                         ::testing::Values(std::pair<std::uint8_t, const char*>{0x00, "00"},
                                           std::pair<std::uint8_t, const char*>{0x09, "09"},
                                           std::pair<std::uint8_t, const char*>{0x1F, "1F"},
                                           std::pair<std::uint8_t, const char*>{0x20, "20"},
                                           std::pair<std::uint8_t, const char*>{0x41, "41"},
                                           std::pair<std::uint8_t, const char*>{0x7E, "7E"},
                                           std::pair<std::uint8_t, const char*>{0x7F, "7F"},
                                           std::pair<std::uint8_t, const char*>{0x80, "80"},
                                           std::pair<std::uint8_t, const char*>{0xE9, "E9"}));

// Every byte value is drawn as one character of its own: the controls U+007F..U+009F as the
// space of the bytes below 0x20, the soft hyphen as "-", everything else as itself.
TEST(HexPage, ShownCharacterOfEveryByte) {
    for (unsigned b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        const char expected = b < 0x20 || (b >= 0x7F && b <= 0x9F) ? ' ' : b == 0xAD ? '-' : c;
        EXPECT_EQ(shownCharacter(c), expected) << b;
    }
    EXPECT_EQ(shownText("A\x9C\x85"
                        "B\xAD\xE9"),
              "A  B-\xE9");
}

struct CellCase {
    Position offset;
    int column, row;
    Position fileSize;
    Position position;
    bool selectable;
};
class Cells : public ::testing::TestWithParam<CellCase> {};
TEST_P(Cells, PositionAndSelection) {
    const CellCase c = GetParam();
    EXPECT_EQ(cellPosition(c.offset, c.column, c.row), c.position);
    EXPECT_EQ(canSelectCell(c.offset, c.column, c.row, c.fileSize), c.selectable);
}
INSTANTIATE_TEST_SUITE_P(Grid, Cells,
                         ::testing::Values(CellCase{0, 1, 1, 0, 0, false}, // empty file: no byte
                                           CellCase{0, 2, 1, 0, 1, false},
                                           CellCase{0, 4, 2, 20, 19, true},  // the last byte
                                           CellCase{0, 5, 2, 20, 20, false}, // past the last byte
                                           CellCase{0, 6, 2, 20, 21, false},
                                           CellCase{0x1E4, 1, 2, 1000, 500, true},
                                           CellCase{0x25, 16, 16, 1000, 0x25 + 255, true},
                                           CellCase{0, 17, 1, 1000, 16, false}, // text column
                                           CellCase{0, 0, 1, 1000, -1, false}));

TEST(HexPage, PageOffsetsAndCaptions) {
    EXPECT_EQ(pageOffsetFor(0x35), 0x25);
    EXPECT_EQ(pageOffsetFor(0x25), 0x25);
    EXPECT_EQ(pageOffsetFor(0x100), 0x100);
    EXPECT_EQ(pageOffsetFor(500), 484);
    const auto captions = columnCaptions(lastHexDigit(rowHeaderText(0x25)));
    EXPECT_EQ(captions[0], "$5");
    EXPECT_EQ(captions[10], "$F");
    EXPECT_EQ(captions[11], "$0");
    EXPECT_EQ(captions[15], "$4");
    EXPECT_EQ(lastHexDigit("Offset"), -1);
}

TEST(HexPage, Labels) {
    EXPECT_EQ(positionText(500), "1F4h  500d");
    const auto opening = [](Position start, Position length) {
        const Picks picks = Picks::atOpening(start, length);
        return positionLabels(picks.startPos, picks.finishPos);
    };
    const PositionLabels start500 = opening(500, 0);
    EXPECT_EQ(start500.start, "Start Pos: 1F4h  500d");
    EXPECT_EQ(start500.finish, "Finish Pos: <undefined>");
    EXPECT_EQ(start500.offset, "Offset Length: <undefined>");
    const PositionLabels finish100 = opening(0, 100);
    EXPECT_EQ(finish100.start, "Start Pos: <undefined>");
    EXPECT_EQ(finish100.finish, "Finish Pos: 64h  100d");
    EXPECT_EQ(finish100.offset, "Offset Length: <undefined>");
    // A negative length value chooses no finish, so none is shown.
    EXPECT_EQ(opening(500, -5).finish, "Finish Pos: <undefined>");
    EXPECT_EQ(positionLabels(1000, 200).offset, "Offset Length: 320h  800d"); // absolute
    EXPECT_EQ(positionLabels(0, 0).start, "Start Pos: <undefined>");
    // Values far out of any file must neither overflow nor pass for a length.
    const Position top = std::numeric_limits<Position>::max();
    EXPECT_EQ(opening(top, top).finish, "Finish Pos: 7FFFFFFFFFFFFFFFh  9223372036854775807d");
}

// A picking sequence: 'd' double click, 's'/'f' Set Start/Finish, 'S'/'F' Clear, at a position.
struct PickCase {
    const char* name;
    Position openStart, openLength;
    std::vector<std::pair<char, Position>> steps;
    Picks expected;
    AcceptedRange accepted;
};
class Picking : public ::testing::TestWithParam<PickCase> {};
TEST_P(Picking, RulesAndAccept) {
    const PickCase& c = GetParam();
    Picks picks = Picks::atOpening(c.openStart, c.openLength);
    for (auto [what, p] : c.steps) {
        switch (what) {
        case 'd':
            picks.doubleClick(p);
            break;
        case 's':
            picks.setStart(p);
            break;
        case 'f':
            picks.setFinish(p);
            break;
        case 'S':
            picks.clearStart();
            break;
        case 'F':
            picks.clearFinish();
            break;
        }
    }
    EXPECT_EQ(picks.startSet, c.expected.startSet);
    EXPECT_EQ(picks.finishSet, c.expected.finishSet);
    EXPECT_EQ(picks.startPos, c.expected.startPos);
    EXPECT_EQ(picks.finishPos, c.expected.finishPos);
    EXPECT_EQ(acceptedRange(picks), c.accepted);
    // The labels read the positions, so one that is not chosen must be 0.
    EXPECT_TRUE(picks.startSet || picks.startPos == 0);
    EXPECT_TRUE(picks.finishSet || picks.finishPos == 0);
}
INSTANTIATE_TEST_SUITE_P(
    Sequences, Picking,
    ::testing::Values(
        PickCase{"OpenWithStartOnly", 500, 0, {}, {true, false, 500, 0}, {500, 0}},
        // The start cleared and picked again: no finish was ever chosen to exchange with.
        PickCase{"UnchosenFinishStaysOut",
                 500,
                 0,
                 {{'d', 500}, {'d', 600}},
                 {true, false, 600, 0},
                 {600, 0}},
        PickCase{"NegativeStartIsNotChosen", -40, 100, {}, {false, true, 0, 60}, {0, 60}},
        PickCase{"OpenWithFinishOnly", 0, 100, {}, {false, true, 0, 100}, {0, 100}},
        PickCase{"FirstPickAtZero", 0, 0, {{'d', 0}}, {true, false, 0, 0}, {0, 0}},
        PickCase{
            "BackwardsIsExchanged", 1000, 0, {{'d', 200}}, {true, true, 200, 1000}, {200, 800}},
        PickCase{"StartAgainClears", 0, 0, {{'d', 40}, {'d', 40}}, {false, false, 0, 0}, {0, 0}},
        PickCase{"FinishAgainClears", 10, 20, {{'d', 30}}, {true, false, 10, 0}, {10, 0}},
        PickCase{"ThirdCellChangesNothing", 10, 20, {{'d', 99}}, {true, true, 10, 30}, {10, 20}},
        PickCase{
            "SameCellForBoth", 0, 0, {{'d', 7}, {'s', 7}, {'f', 7}}, {true, true, 7, 7}, {7, 0}},
        PickCase{"SetFinishBelowStartKeepsOrder",
                 0,
                 0,
                 {{'s', 900}, {'f', 100}},
                 {true, true, 900, 100},
                 {100, 800}},
        PickCase{
            "ClearThenDoubleClick", 50, 10, {{'S', 0}, {'d', 70}}, {true, true, 60, 70}, {60, 10}},
        PickCase{"HugeOpeningDoesNotOverflow",
                 std::numeric_limits<Position>::max(),
                 5,
                 {},
                 {true, true, std::numeric_limits<Position>::max(),
                  std::numeric_limits<Position>::max()},
                 {std::numeric_limits<Position>::max(), 0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HexPage, MarkingsInPaintingOrder) {
    Picks both = Picks::atOpening(0x30, 0);
    both.setFinish(0x30);
    using M = std::vector<Marking>;
    EXPECT_EQ(markingsAt(0x30, both, {true, 0x30}),
              (M{Marking::LastFound, Marking::Start, Marking::Finish, Marking::StartIsFinish}));
    EXPECT_EQ(markingsAt(0, Picks{}, {}), M{}); // no hit yet: position 0 is not silver
    EXPECT_EQ(markingsAt(0, Picks{}, {true, 0}), M{Marking::LastFound}); // a hit at 0 is
    EXPECT_EQ(markingsAt(0x31, both, {true, 0x30}), M{});
    EXPECT_EQ(markStyle(Marking::LastFound).background, (Rgb{192, 192, 192}));
    EXPECT_EQ(markStyle(Marking::Start).background, (Rgb{0, 255, 0}));
    EXPECT_EQ(markStyle(Marking::Finish).text, (Rgb{255, 255, 255}));
    EXPECT_TRUE(markStyle(Marking::StartIsFinish).bold);
    EXPECT_FALSE(markStyle(Marking::Finish).bold);
}

TEST(HexPage, ScrollBarOnlyForFilesOfMoreThanOnePage) {
    EXPECT_FALSE(scrollSetup(256, 308, 17, 20).enabled);
    EXPECT_FALSE(scrollSetup(Position{1} << 31, 308, 17, 20).enabled);
    const ScrollSetup small = scrollSetup(257, 308, 17, 20);
    EXPECT_TRUE(small.enabled);
    EXPECT_EQ(small.pageSize, 20); // the minimum thumb, used as a count of positions
    EXPECT_EQ(small.maximum, 238);
    EXPECT_EQ(scrollSetup((Position{1} << 31) - 1, 308, 17, 20).maximum, 2147483647 - 19);
}
