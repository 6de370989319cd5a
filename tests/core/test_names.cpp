#include "core/Names.h"
#include "platform/PlatformPosix.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

namespace kestrine {
namespace {

struct NameCase {
    const char* source;
    const char* expected;
};

class NextFileNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(NextFileNameTest, DerivesDestination) {
    auto next = nextFileName(GetParam().source);
    ASSERT_TRUE(next.has_value());
    EXPECT_EQ(*next, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, NextFileNameTest,
    ::testing::Values(NameCase{"/d/file.dat", "/d/file2.dat"}, NameCase{"file2.dat", "file3.dat"},
                      NameCase{"file09.dat", "file10.dat"}, NameCase{"file007.dat", "file8.dat"},
                      NameCase{"disk1", "disk2"}, NameCase{"backup.tar.gz", "backup.tar2.gz"},
                      NameCase{"2010.log", "2011.log"}, NameCase{".profile", "2.profile"},
                      NameCase{"/home/u/.profile", "/home/u/2.profile"},
                      // Only the name part carries an extension or a counter.
                      NameCase{"/data.v1/file", "/data.v1/file2"},
                      NameCase{"/data7/file", "/data7/file2"}, NameCase{"/tmp/", "/tmp/2"},
                      NameCase{"file.", "file2."}, NameCase{"file9.", "file10."},
                      // A digit before the extension's dot is not part of the extension.
                      NameCase{"v2.7z", "v3.7z"},
                      // Leading zeros do not count towards the 32-bit limit.
                      NameCase{"part0000000000001.bin", "part2.bin"},
                      NameCase{"n2147483646", "n2147483647"},
                      // The largest counter still has a successor rather than wrapping.
                      NameCase{"n2147483647.x", "n2147483648.x"},
                      // The text is split untrimmed, only the blank test trims.
                      NameCase{" a.txt ", " a2.txt "}, NameCase{"C:\\d\\f1", "C:\\d\\f2"}));

TEST(NextFileNameTest, BlankSourceGivesNothing) {
    EXPECT_FALSE(nextFileName("").has_value());
    EXPECT_FALSE(nextFileName("   ").has_value());
    EXPECT_FALSE(nextFileName("\t \n").has_value());
}

TEST(NextFileNameTest, CounterBeyond32BitsIsAnError) {
    EXPECT_THROW(nextFileName("file2147483648.dat"), std::invalid_argument);
    try {
        nextFileName("/logs/run20100101120000.log");
        FAIL() << "a fourteen-digit stamp must not convert";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "'20100101120000' is not a valid integer value");
    }
    // A run far longer than any integer must not overflow while being read.
    EXPECT_THROW(nextFileName(std::string(400, '9')), std::invalid_argument);
}

class FolderPlatform : public PosixPlatform {
public:
    explicit FolderPlatform(std::set<std::string> folders) : folders_(std::move(folders)) {}
    bool directoryExists(const std::string& path) override { return folders_.count(path) > 0; }

private:
    std::set<std::string> folders_;
};

struct FolderCase {
    const char* name;
    std::set<std::string> existing;
    const char* lastPath;
    bool prefSwitch;
    const char* prefPath;
    const char* fieldText;
    const char* expected;
};

class DialogStartFolderTest : public ::testing::TestWithParam<FolderCase> {};

TEST_P(DialogStartFolderTest, PicksLastExistingCandidate) {
    const FolderCase& c = GetParam();
    FolderPlatform platform(c.existing);
    EXPECT_EQ(dialogStartFolder(platform, c.lastPath, c.prefSwitch, c.prefPath, c.fieldText),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Precedence, DialogStartFolderTest,
    ::testing::Values(
        FolderCase{"NoneExists", {}, "/last/", true, "/pref/", "/field/a.bin", ""},
        FolderCase{"LastFolder", {"/last/"}, "/last/", false, "/pref/", "", "/last/"},
        FolderCase{
            "PreferredNeedsSwitch", {"/last/", "/pref/"}, "/last/", false, "/pref/", "", "/last/"},
        FolderCase{
            "PreferredOverridesLast", {"/last/", "/pref/"}, "/last/", true, "/pref/", "", "/pref/"},
        FolderCase{"MissingPreferredKeepsLast", {"/last/"}, "/last/", true, "/pref/", "", "/last/"},
        FolderCase{"FieldFolderWins",
                   {"/last/", "/pref/", "/field/"},
                   "/last/",
                   true,
                   "/pref/",
                   "/field/a.bin",
                   "/field/"},
        FolderCase{"MissingFieldFolder",
                   {"/last/", "/pref/"},
                   "/last/",
                   true,
                   "/pref/",
                   "/gone/a.bin",
                   "/pref/"},
        FolderCase{"FieldWithoutFolder", {"/last/", ""}, "/last/", false, "", "a.bin", "/last/"},
        FolderCase{"EmptyPreferredWithSwitch", {""}, "", true, "", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace kestrine
