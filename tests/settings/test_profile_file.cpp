#include "settings/ProfileFile.h"

#include "FailingIO.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <ostream>

#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrine {
namespace {

using testing::FailingIO;
using testing::readFile;
using testing::TempFolder;
using testing::writeFile;

// --- Reading hand-written text ---

struct ReadCase {
    const char* name;
    std::string text;
    const char* key;
    std::optional<std::string> expected;
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class ReadValueTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadValueTest, FindsTheValue) {
    EXPECT_EQ(findProfileValue(GetParam().text, "Kestrine", GetParam().key), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    HandWritten, ReadValueTest,
    ::testing::Values(
        ReadCase{"NamesIgnoreCase", "[kESTRINE]\ntop=5\n", "Top", "5"},
        ReadCase{"BlanksAroundNamesAndValue", "[ Kestrine ]\n\t Top =  5 \t\n", "Top", "5"},
        ReadCase{"OtherSectionIsNotOurs", "[Other]\nTop=5\n[Kestrine]\nLeft=1\n", "Top",
                 std::nullopt},
        ReadCase{"LinesBeforeAnySectionAreNotKeys", "Top=5\n[Kestrine]\n", "Top", std::nullopt},
        ReadCase{"PresentAndEmpty", "[Kestrine]\nTop=\n", "Top", ""},
        ReadCase{"DoubleQuotesRemoved", "[Kestrine]\nP=\"/tmp/a b\"\n", "P", "/tmp/a b"},
        ReadCase{"SingleQuotesRemoved", "[Kestrine]\nP='x'\n", "P", "x"},
        ReadCase{"OnlyOnePairRemoved", "[Kestrine]\nP=\"\"x\"\"\n", "P", "\"x\""},
        ReadCase{"MismatchedQuotesKept", "[Kestrine]\nP=\"x'\n", "P", "\"x'"},
        ReadCase{"QuotesNotEnclosingTheWholeValueKept", "[Kestrine]\nP=\"a\" b\n", "P", "\"a\" b"},
        ReadCase{"LoneQuoteKept", "[Kestrine]\nP=\"\n", "P", "\""},
        ReadCase{"PipeWrapperKeepsInnerQuotes", "[Kestrine]\nF=|\"a=b\",c=d|\n", "F",
                 "|\"a=b\",c=d|"},
        ReadCase{"CrLfLineEnds", "[Kestrine]\r\nTop=5\r\nLeft=7\r\n", "Left", "7"},
        ReadCase{"ByteOrderMark", "\xEF\xBB\xBF[Kestrine]\nTop=5\n", "Top", "5"},
        ReadCase{"CommentedOutKeyIgnored", "[Kestrine]\n;Top=1\n# Top=3\nTop=2\n", "Top", "2"},
        ReadCase{"OnlyACommentedOutKey", "[Kestrine]\n; Top=1\n", "Top", std::nullopt},
        ReadCase{"FirstOfTwoWins", "[Kestrine]\nTop=1\nTop=2\n", "Top", "1"},
        ReadCase{"EqualsSignInValue", "[Kestrine]\nF=a=b\n", "F", "a=b"},
        ReadCase{"LastLineUnterminated", "[Kestrine]\nTop=5", "Top", "5"},
        ReadCase{"CommentAfterHeader", "[Kestrine] ; mine\nTop=5\n", "Top", "5"},
        ReadCase{"Utf8Value", "[Kestrine]\nP=/tmp/Grüße\n", "P", "/tmp/Grüße"},
        ReadCase{"KeyIsNotAPrefixMatch", "[Kestrine]\nTopX=1\n", "Top", std::nullopt},
        ReadCase{"SectionIsNotAPrefixMatch", "[Kestrine2]\nTop=1\n", "Top", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadLengthTest, LongValuesAreReadWhole) {
    // Far beyond the 2047 characters a Windows profile read returns.
    std::string umlauts;
    for (int i = 0; i < 3000; ++i)
        umlauts += "\xC3\xBC";
    EXPECT_EQ(findProfileValue("[Kestrine]\nK=" + umlauts + "\nL=1\n", "Kestrine", "K"), umlauts);
    const std::string ascii(100000, 'a');
    EXPECT_EQ(findProfileValue("[Kestrine]\r\nK=\"" + ascii + "\"\r\n", "Kestrine", "K"), ascii);
}

// --- Writing into hand-written text ---

struct WriteCase {
    const char* name;
    std::string before;
    const char* key;
    std::string value;
    std::string after;
};

void PrintTo(const WriteCase& c, std::ostream* os) {
    *os << c.name;
}

class WriteValueTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(WriteValueTest, ChangesOnlyTheOneEntry) {
    const WriteCase& c = GetParam();
    EXPECT_EQ(setProfileValue(c.before, "Kestrine", c.key, c.value), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    HandWritten, WriteValueTest,
    ::testing::Values(
        WriteCase{"CreatesSectionInEmptyText", "", "Top", "5", "[Kestrine]\nTop=5\n"},
        WriteCase{"ReplacesInPlaceKeepingEverythingElse",
                  "; mine\n[Other]\nTop=1\n\n[Kestrine]\nA=1\nTop=2\nB=3\n\n[Last]\nC=4\n", "Top",
                  "9", "; mine\n[Other]\nTop=1\n\n[Kestrine]\nA=1\nTop=9\nB=3\n\n[Last]\nC=4\n"},
        WriteCase{"KeepsTheKeysOwnSpelling", "[KESTRINE]\n  top = 2 \n", "Top", "9",
                  "[KESTRINE]\n  top =9\n"},
        WriteCase{"NewKeyAfterTheLastEntry", "[Kestrine]\nA=1\n\n; next\n[Other]\nX=1\n", "B", "2",
                  "[Kestrine]\nA=1\nB=2\n\n; next\n[Other]\nX=1\n"},
        WriteCase{"NewKeysKeepTheirOrder", "[Kestrine]\nA=1\nB=2\n", "C", "3",
                  "[Kestrine]\nA=1\nB=2\nC=3\n"},
        WriteCase{"NewKeyUnderABareHeader", "[Kestrine]", "Top", "5", "[Kestrine]\nTop=5\n"},
        WriteCase{"NewKeyAfterUnterminatedLastLine", "[Kestrine]\nA=1", "B", "2",
                  "[Kestrine]\nA=1\nB=2\n"},
        WriteCase{"NewSectionAtTheEnd", "[Other]\nX=1", "Top", "5",
                  "[Other]\nX=1\n[Kestrine]\nTop=5\n"},
        WriteCase{"KeyOutsideTheSectionUntouched", "Top=1\n[Other]\nTop=2\n", "Top", "5",
                  "Top=1\n[Other]\nTop=2\n[Kestrine]\nTop=5\n"},
        WriteCase{"CrLfLinesKeepTheirEnds", "[Kestrine]\r\nA=1\r\nTop=2\r\nB=3\r\n", "Top", "9",
                  "[Kestrine]\r\nA=1\r\nTop=9\r\nB=3\r\n"},
        WriteCase{"NewKeyInCrLfFile", "[Kestrine]\r\nA=1\r\n\r\n[X]\r\n", "B", "2",
                  "[Kestrine]\r\nA=1\r\nB=2\r\n\r\n[X]\r\n"},
        WriteCase{"NewKeyAfterUnterminatedCrLfLine", "[Kestrine]\r\nA=1", "B", "2",
                  "[Kestrine]\r\nA=1\r\nB=2\r\n"},
        WriteCase{"NewSectionInCrLfFile", "; mine\r\n[X]\r\nA=1", "Top", "5",
                  "; mine\r\n[X]\r\nA=1\r\n[Kestrine]\r\nTop=5\r\n"},
        WriteCase{"FirstLineDecidesTheLineEnd", "[Kestrine]\nA=1\r\n", "B", "2",
                  "[Kestrine]\nA=1\r\nB=2\n"},
        WriteCase{"ByteOrderMarkKept", "\xEF\xBB\xBF[Kestrine]\nTop=1\n", "Top", "9",
                  "\xEF\xBB\xBF[Kestrine]\nTop=9\n"},
        WriteCase{"CommentedOutKeyIsNotReplaced", "[Kestrine]\n;Top=1\n", "Top", "9",
                  "[Kestrine]\nTop=9\n;Top=1\n"},
        WriteCase{"EmptyValue", "[Kestrine]\nTop=2\n", "Top", "", "[Kestrine]\nTop=\n"},
        WriteCase{"SurroundingBlanksProtected", "", "P", " a ", "[Kestrine]\nP=\" a \"\n"},
        WriteCase{"EnclosingQuotesProtected", "", "P", "'a'", "[Kestrine]\nP=\"'a'\"\n"},
        WriteCase{"InnerQuotesStoredAsTheyStand", "", "P", "a \"b\" c",
                  "[Kestrine]\nP=a \"b\" c\n"}),
    [](const auto& info) { return std::string(info.param.name); });

class RoundTripTest : public ::testing::TestWithParam<std::string> {};

TEST_P(RoundTripTest, ValueReadsBackUnchanged) {
    const std::string text = setProfileValue("[Kestrine]\nA=1\n", "Kestrine", "K", GetParam());
    EXPECT_EQ(findProfileValue(text, "Kestrine", "K"), GetParam());
    EXPECT_EQ(findProfileValue(text, "Kestrine", "A"), "1");
}

INSTANTIATE_TEST_SUITE_P(Values, RoundTripTest,
                         ::testing::Values("", "plain", " lead", "trail ", "\tboth\t", "'q'",
                                           "\"q\"", "\"", "'", "a=b", "a;b", "#x", "[x]",
                                           "/tmp/Grüße dir/ä.bin", "|\"All Files=*.*\"|"));

TEST(ProfileNamesTest, RefusesWhatALineCannotHold) {
    EXPECT_TRUE(validProfileValue("a b = c ; d"));
    EXPECT_FALSE(validProfileValue("a\nb"));
    EXPECT_FALSE(validProfileValue("a\rb"));
    EXPECT_FALSE(validProfileValue(std::string("a\0b", 3)));
    EXPECT_TRUE(validProfileName("Kestrine", true));
    EXPECT_FALSE(validProfileName("a]b", true));
    EXPECT_FALSE(validProfileName("a=b", false));
    EXPECT_FALSE(validProfileName("[a", false));
    EXPECT_FALSE(validProfileName(";a", false));
    EXPECT_FALSE(validProfileName(" a", false));
    EXPECT_FALSE(validProfileName("", false));
}

// --- Encodings ---

struct IntegerCase {
    const char* text;
    std::optional<std::int32_t> expected;
};

class IntegerEncodingTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerEncodingTest, Parses) {
    EXPECT_EQ(parseProfileInteger(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Integers, IntegerEncodingTest,
    ::testing::Values(IntegerCase{"123", 123}, IntegerCase{"+5", 5},
                      IntegerCase{"-16777188", -16777188}, IntegerCase{"00012", 12},
                      IntegerCase{"2147483647", 2147483647}, IntegerCase{"-2147483648", INT32_MIN},
                      IntegerCase{"2147483648", std::nullopt},
                      IntegerCase{"-2147483649", std::nullopt},
                      IntegerCase{"99999999999999999999", std::nullopt}, IntegerCase{"0x1C", 28},
                      IntegerCase{"0XfF", 255}, IntegerCase{"$1c", 28}, IntegerCase{"-$10", -16},
                      IntegerCase{"0xFF00001C", -16777188}, IntegerCase{"$FFFFFFFF", -1},
                      IntegerCase{"0x100000000", std::nullopt}, IntegerCase{"0x", std::nullopt},
                      IntegerCase{"$", std::nullopt}, IntegerCase{"", std::nullopt},
                      IntegerCase{"-", std::nullopt}, IntegerCase{"12a", std::nullopt},
                      IntegerCase{"1.5", std::nullopt}, IntegerCase{"0x1G", std::nullopt},
                      IntegerCase{"x10", std::nullopt}, IntegerCase{" 12", std::nullopt},
                      IntegerCase{"1 2", std::nullopt}));

TEST(IntegerEncodingTest, WritesSignedDecimal) {
    EXPECT_EQ(formatProfileInteger(-16777188), "-16777188");
    EXPECT_EQ(formatProfileInteger(0), "0");
    EXPECT_EQ(formatProfileInteger(INT32_MIN), "-2147483648");
    for (std::int32_t v : {INT32_MIN, -1, 0, 7, INT32_MAX})
        EXPECT_EQ(parseProfileInteger(formatProfileInteger(v)), v);
}

class ProfileFileTest : public ::testing::Test {
protected:
    TempFolder folder;
    std::string path = folder.file("Kestrine.ini");
};

TEST_F(ProfileFileTest, IntegerAndBooleanKeysFallBackOnAnythingButANumber) {
    writeFile(path, "[Kestrine]\nA= 0x10 \nB=\nC=abc\nD='-7'\nT=2\nF=0\nE=\nY=yes\n");
    ProfileFile file(path);
    EXPECT_EQ(file.readInteger("Kestrine", "A", 99), 16);
    EXPECT_EQ(file.readInteger("Kestrine", "B", 99), 99);
    EXPECT_EQ(file.readInteger("Kestrine", "C", 99), 99);
    EXPECT_EQ(file.readInteger("Kestrine", "D", 99), -7);
    EXPECT_EQ(file.readInteger("Kestrine", "Missing", 99), 99);
    EXPECT_TRUE(file.readBool("Kestrine", "T", false));
    EXPECT_FALSE(file.readBool("Kestrine", "F", true));
    EXPECT_TRUE(file.readBool("Kestrine", "E", true));
    EXPECT_FALSE(file.readBool("Kestrine", "E", false));
    EXPECT_TRUE(file.readBool("Kestrine", "Y", true));
}

// --- The file on disk ---

TEST_F(ProfileFileTest, MissingFileOrFolderGivesDefaultsAndIsNotCreatedByReading) {
    ProfileFile file(path);
    EXPECT_EQ(file.readString("Kestrine", "K", "dflt"), "dflt");
    EXPECT_FALSE(std::filesystem::exists(path));
    ProfileFile inMissingFolder(folder.file("none/Kestrine.ini"));
    EXPECT_EQ(inMissingFolder.readInteger("Kestrine", "K", 4), 4);
}

TEST_F(ProfileFileTest, FirstWriteCreatesTheFileWithTheUsualPermissions) {
    ProfileFile file(path);
    const Result<void> written = file.writeString("Kestrine", "K", "v");
    ASSERT_TRUE(written) << written.why();
    EXPECT_EQ(readFile(path), "[Kestrine]\nK=v\n");
    mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
    EXPECT_EQ(folder.names(), testing::kIniAlone);
}

// --- A symbolic link named Kestrine.ini: the file it stands for is written, never the link ---

struct LinkCase {
    const char* name;
    const char* link;   // what Kestrine.ini points to; "sub/next" points on to "../real.ini"
    const char* target; // the file the link stands for, in the test folder
    int mode;           // of the target before the write; -1 for no file there
    bool written;
};

void PrintTo(const LinkCase& c, std::ostream* os) {
    *os << c.name;
}

class LinkedFileTest : public ::testing::TestWithParam<LinkCase> {};

TEST_P(LinkedFileTest, WritesTheFileTheLinkStandsFor) {
    const LinkCase& c = GetParam();
    TempFolder folder;
    const std::string path = folder.file("Kestrine.ini");
    const std::string target = folder.file(c.target);
    const std::string old = "[Kestrine]\nK=old\n";
    ASSERT_TRUE(std::filesystem::create_directory(folder.file("sub")));
    ASSERT_EQ(::symlink("../real.ini", folder.file("sub/next").c_str()), 0);
    if (c.mode >= 0) {
        writeFile(target, old);
        ASSERT_EQ(::chmod(target.c_str(), static_cast<mode_t>(c.mode)), 0);
    }
    ASSERT_EQ(::symlink(c.link, path.c_str()), 0);

    const Result<void> written = ProfileFile(path).writeString("Kestrine", "K", "new");
    EXPECT_EQ(written.ok(), c.written);

    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link itself was replaced";
    if (c.written) {
        EXPECT_EQ(readFile(target), "[Kestrine]\nK=new\n");
        ASSERT_EQ(::stat(target.c_str(), &st), 0);
        if (c.mode >= 0) {
            EXPECT_EQ(st.st_mode & 07777, static_cast<unsigned>(c.mode));
        }
    } else if (c.mode >= 0) {
        EXPECT_EQ(readFile(target), old);
    } else {
        EXPECT_FALSE(std::filesystem::is_regular_file(target));
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name.find(".ini.") == std::string::npos || name == ".Kestrine.ini.lock")
            << "temporary file left: " << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Links, LinkedFileTest,
    ::testing::Values(LinkCase{"ToAFileKeepingItsPermissions", "real.ini", "real.ini", 0604, true},
                      LinkCase{"ThroughARelativeChain", "sub/next", "real.ini", 0640, true},
                      LinkCase{"ToAFileNotMadeYet", "sub/new.ini", "sub/new.ini", -1, true},
                      LinkCase{"ToAReadOnlyFile", "real.ini", "real.ini", 0444, false},
                      LinkCase{"IntoAMissingFolder", "none/new.ini", "none/new.ini", -1, false},
                      LinkCase{"ToAFolder", "sub", "sub", -1, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProfileFileTest, UnreadableNamesGiveDefaultsAndRefuseWrites) {
    // Neither a folder nor a FIFO of that name may block or be replaced.
    ASSERT_TRUE(std::filesystem::create_directory(path));
    ProfileFile dir(path);
    EXPECT_EQ(dir.readString("Kestrine", "K", "d"), "d");
    EXPECT_FALSE(dir.writeString("Kestrine", "K", "v"));
    EXPECT_TRUE(std::filesystem::is_directory(path));

    const std::string fifoPath = folder.file("fifo.ini");
    ASSERT_EQ(::mkfifo(fifoPath.c_str(), 0600), 0);
    ProfileFile fifo(fifoPath);
    EXPECT_EQ(fifo.readString("Kestrine", "K", "d"), "d");
    EXPECT_FALSE(fifo.writeString("Kestrine", "K", "v"));
    struct stat st {};
    ASSERT_EQ(::lstat(fifoPath.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(ProfileFileTest, AHugeFileIsNotReadAndNotReplaced) {
    // Sparse: no disk is used, but the size is far beyond any settings file.
    writeFile(path, "[Kestrine]\nK=v\n");
    ASSERT_EQ(::truncate(path.c_str(), kProfileFileLimit + 1), 0);
    ProfileFile file(path);
    EXPECT_EQ(file.readString("Kestrine", "K", "d"), "d");
    EXPECT_FALSE(file.writeString("Kestrine", "K", "w"));
    EXPECT_EQ(std::filesystem::file_size(path), static_cast<std::uintmax_t>(kProfileFileLimit + 1));
}

TEST_F(ProfileFileTest, FileThatCannotBeReadIsNotReplaced) {
    writeFile(path, "[Other]\nKeep=me\n");
    FailingIO io;
    io.failLoad = true;
    ProfileFile file(path, io);
    EXPECT_EQ(file.readString("Other", "Keep", "d"), "d");
    EXPECT_FALSE(file.writeString("Kestrine", "K", "v"));
    EXPECT_EQ(readFile(path), "[Other]\nKeep=me\n");
}

TEST_F(ProfileFileTest, ValueWithALineBreakIsRefused) {
    writeFile(path, "[Kestrine]\nK=old\n");
    ProfileFile file(path);
    EXPECT_FALSE(file.writeString("Kestrine", "K", "/tmp/a\n[Other]\nX=1"));
    EXPECT_EQ(readFile(path), "[Kestrine]\nK=old\n");
}

struct FailureCase {
    const char* name;
    void (*arm)(FailingIO&);
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class AtomicReplacementTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(AtomicReplacementTest, FailedWriteLeavesTheOldFileIntact) {
    TempFolder folder;
    const std::string path = folder.file("Kestrine.ini");
    std::string old = "; hand-made\n[Kestrine]\nK=old\n";
    old += "Big=" + std::string(20000, 'x') + "\n";
    writeFile(path, old);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);

    FailingIO io;
    GetParam().arm(io);
    ProfileFile file(path, io);
    const Result<void> written = file.writeString("Kestrine", "K", "new");
    ASSERT_FALSE(written);
    EXPECT_FALSE(written.why().empty());

    EXPECT_EQ(readFile(path), old);
    EXPECT_EQ(folder.names(), testing::kIniAlone);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, AtomicReplacementTest,
    ::testing::Values(FailureCase{"DiskFullMidway", [](FailingIO& io) { io.diskFullAfter = 5000; }},
                      FailureCase{"DiskFullAtOnce", [](FailingIO& io) { io.diskFullAfter = 0; }},
                      FailureCase{"TempFileRefused", [](FailingIO& io) { io.failCreate = true; }},
                      FailureCase{"SyncFails", [](FailingIO& io) { io.failSync = true; }},
                      FailureCase{"RenameFails", [](FailingIO& io) { io.failReplacement = 1; }},
                      FailureCase{"PermissionCopyFails",
                                  [](FailingIO& io) { io.failPermissions = true; }}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace kestrine
