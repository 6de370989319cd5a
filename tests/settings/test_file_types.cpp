#include "core/Settings.h"
#include "settings/FileTypes.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>

namespace kestrine {
namespace {

using Items = std::vector<std::string>;
using Rows = std::vector<FileTypeRow>;

const Rows kDefaultRows = {{"All Files", "*.*"}, {"Programs", "*.exe"}, {"Zip Files", "*.zip"}};

TEST(FileTypeFormsTest, DefaultRowsGiveTheDefaultTexts) {
    EXPECT_EQ(buildDialogFilter(kDefaultRows), kDefaultFileFilter);
    // "Programs=*.exe" holds no blank, so it stays bare.
    EXPECT_EQ(buildListForm(kDefaultRows), "\"All Files=*.*\",Programs=*.exe,\"Zip Files=*.zip\"");
    EXPECT_EQ(wrapInPipes(buildListForm(kDefaultRows)),
              "|\"All Files=*.*\",Programs=*.exe,\"Zip Files=*.zip\"|");
    // The stored default loads into the same rows.
    EXPECT_EQ(loadListForm(unwrapPipes(kDefaultFileFilter2Stored)), kDefaultRows);
    EXPECT_EQ(loadListForm(Settings{}.FileFilter2), kDefaultRows);
}

TEST(FileTypeFormsTest, DialogFormSkipsBlankRowsAndUsesCellsAsTheyStand) {
    EXPECT_EQ(buildDialogFilter({}), "");
    EXPECT_EQ(buildDialogFilter({{"", ""}, {" ", "\t"}}), "");
    EXPECT_EQ(buildDialogFilter({{"", ""}, {" Text ", "*.txt"}, {" ", " "}, {"", "*.log"}}),
              " Text  (*.txt)|*.txt| (*.log)|*.log");
}

TEST(FileTypeFormsTest, ListFormKeepsBlankRows) {
    EXPECT_EQ(buildListForm({}), "");
    EXPECT_EQ(buildListForm({{"", ""}}), "=");
    EXPECT_EQ(buildListForm({{"Text", "*.txt"}, {"", ""}, {"", ""}}), "Text=*.txt,=,=");
}

struct LoadCase {
    const char* name;
    const char* listForm;
    Rows rows;
};

void PrintTo(const LoadCase& c, std::ostream* os) {
    *os << c.name;
}

class LoadListFormTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LoadListFormTest, Rows) {
    EXPECT_EQ(loadListForm(GetParam().listForm), GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(
    ListForms, LoadListFormTest,
    ::testing::Values(
        LoadCase{"Empty", "", {}},
        LoadCase{"BlankItemsAfterOthersDropped",
                 "Text=*.txt,=,=,Log=*.log",
                 {{"Text", "*.txt"}, {"Log", "*.log"}}},
        LoadCase{"LeadingBlankItemStays", "=,Text=*.txt", {{"", ""}, {"Text", "*.txt"}}},
        LoadCase{"DescriptionEndingInAComma",
                 "Text=*.txt,\"Images,=*.png\"",
                 {{"Text", "*.txt"}, {"Images,", "*.png"}}},
        LoadCase{"SplitAtTheFirstEquals", "\"A=B=*.x\"", {{"A", "B=*.x"}}},
        LoadCase{"ItemWithoutEquals", "Readme", {{"Readme", ""}}},
        LoadCase{"QuotedBlanks", "\"My Docs=*.doc\"", {{"My Docs", "*.doc"}}},
        LoadCase{"UnquotedBlankSplitsTheItem", "My Docs=*.doc", {{"My", ""}, {"Docs", "*.doc"}}}),
    [](const auto& info) { return std::string(info.param.name); });

// Items and the comma text that stands for them, both ways.
struct CommaCase {
    const char* name;
    Items items;
    const char* text;
};

void PrintTo(const CommaCase& c, std::ostream* os) {
    *os << c.name;
}

class CommaTextTest : public ::testing::TestWithParam<CommaCase> {};

TEST_P(CommaTextTest, Writes) {
    EXPECT_EQ(toCommaText(GetParam().items), GetParam().text);
}
TEST_P(CommaTextTest, ParsesBack) {
    EXPECT_EQ(parseCommaText(GetParam().text), GetParam().items);
}

INSTANTIATE_TEST_SUITE_P(
    Both, CommaTextTest,
    ::testing::Values(
        CommaCase{"EmptyList", {}, ""}, CommaCase{"OneEmptyItem", {""}, "\"\""},
        CommaCase{"TwoEmptyItems", {"", ""}, ","}, CommaCase{"EmptyItemLast", {"a", ""}, "a,"},
        CommaCase{"EmptyItemFirst", {"", "a"}, ",a"}, CommaCase{"Bare", {"a=*.x", "b"}, "a=*.x,b"},
        CommaCase{"Blank", {"a b"}, "\"a b\""}, CommaCase{"Tab", {"a\tb"}, "\"a\tb\""},
        CommaCase{"Comma", {"a,b"}, "\"a,b\""},
        CommaCase{"DoubledQuotes", {"say \"hi\""}, "\"say \"\"hi\"\"\""},
        CommaCase{"OnlyAQuote", {"\""}, "\"\"\"\""},
        CommaCase{"SingleQuoteIsPlain", {"it's"}, "it's"},
        CommaCase{"Utf8IsNotBlank", {"Grüße=*.ä"}, "Grüße=*.ä"}),
    [](const auto& info) { return std::string(info.param.name); });

struct ParseCase {
    const char* name;
    const char* text;
    Items items;
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << c.name;
}

class CommaParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(CommaParseTest, Parses) {
    EXPECT_EQ(parseCommaText(GetParam().text), GetParam().items);
}

INSTANTIATE_TEST_SUITE_P(
    HandWritten, CommaParseTest,
    ::testing::Values(ParseCase{"OnlyBlanks", "  \t ", {}},
                      ParseCase{"BlanksAroundItems", "  a ,  b  ", {"a", "b"}},
                      ParseCase{"BlankSeparatesBareItems", "a b", {"a", "b"}},
                      ParseCase{"BlanksAfterTheLastComma", "a, ", {"a"}},
                      ParseCase{"CommaEndingTheText", "a,b,", {"a", "b", ""}},
                      ParseCase{"LoneComma", ",", {"", ""}},
                      ParseCase{"QuotedBlanksKept", "\" a \",b", {" a ", "b"}},
                      ParseCase{"UnclosedQuoteTakesTheRest", "\"a, b", {"a, b"}},
                      ParseCase{"TextAfterClosingQuoteIsNextItem", "\"a\"b", {"a", "b"}},
                      ParseCase{"QuoteInsideBareItemIsPlain", "a\"b", {"a\"b"}},
                      ParseCase{"EmptyQuotedItems", "\"\",\"\"", {"", ""}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PipeWrapperTest, RemovesFirstAndLastCharacterWhateverTheyAre) {
    // Whole characters, not bytes, from "ÄxyÖ" on.
    const std::pair<std::string, std::string> cases[] = {{"|a,b|", "a,b"},
                                                         {"||", ""},
                                                         {"|", ""},
                                                         {"", ""},
                                                         {"abc", "b"},
                                                         {"ÄxyÖ", "xy"},
                                                         {"€x€", "x"},
                                                         {"ä€", ""},
                                                         {wrapInPipes(""), ""},
                                                         {wrapInPipes("\"a b\",c"), "\"a b\",c"}};
    for (const auto& [text, inner] : cases)
        EXPECT_EQ(unwrapPipes(text), inner) << text;
}

} // namespace
} // namespace kestrine
