// File names as bytes: the escaped decoding the windows use, and the folder listing and folder
// creation of the platform, which must keep every byte.

#include "TestPlatform.h"

#include "platform/FileNames.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using namespace kestrine;
using namespace kestrine::testing;

namespace {

struct NameCase {
    const char* name;
    std::string bytes;
    std::u16string text;
};
class FileNameText : public ::testing::TestWithParam<NameCase> {};
TEST_P(FileNameText, DecodesAndGoesBack) {
    const NameCase& c = GetParam();
    EXPECT_EQ(decodeFileName(c.bytes), c.text);
    EXPECT_EQ(encodeFileName(c.text), c.bytes);
}
INSTANTIATE_TEST_SUITE_P(
    Names, FileNameText,
    ::testing::Values(NameCase{"Ascii", "/tmp/a b.bin", u"/tmp/a b.bin"},
                      NameCase{"Utf8", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80",
                               u"\u00e9\u20ac\U0001F600"},
                      NameCase{"StrayBytes", "name \xff\xfe.bin", u"name \xdcff\xdcfe.bin"},
                      NameCase{"Latin1", "\xe9t\xe9", u"\xdce9t\xdce9"},
                      NameCase{"CutAtTheEnd", "a\xe2\x82", u"a\xdce2\xdc82"},
                      NameCase{"Overlong", "\xc0\xaf", u"\xdcc0\xdcaf"},
                      NameCase{"EncodedSurrogate", "\xed\xa0\x80", u"\xdced\xdca0\xdc80"},
                      NameCase{"AboveUnicode", "\xf4\x90\x80\x80", u"\xdcf4\xdc90\xdc80\xdc80"},
                      NameCase{"LoneContinuation", "\x80x", u"\xdc80x"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FileNameText, EveryShortNameGoesBackAsTheSameBytes) {
    std::string bytes(2, '\0');
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b) {
            bytes[0] = static_cast<char>(a);
            bytes[1] = static_cast<char>(b);
            ASSERT_EQ(encodeFileName(decodeFileName(bytes)), bytes) << a << " " << b;
        }
    std::mt19937 random(17);
    for (int n = 0; n < 20000; ++n) {
        std::string name(random() % 16, '\0');
        for (char& c : name)
            c = static_cast<char>(0x80 | random() % 0x80); // mostly invalid, some valid sequences
        ASSERT_EQ(encodeFileName(decodeFileName(name)), name);
    }
}

TEST(FileNameText, SurrogatesThatStandForNoByteBecomeReplacementCharacters) {
    // U+DC41 would stand for "A", which decoding never escapes; a lone high half is nothing.
    EXPECT_EQ(encodeFileName(u"\xdc41/\xd800"), "\xef\xbf\xbd/\xef\xbf\xbd");
}

TEST(PlatformFolders, ListAndCreateKeepEveryByte) {
    TempDir dir;
    Platform& pf = Platform::system();
    const std::string nested = dir.file("bad\xff/inner\xfe");
    ASSERT_TRUE(pf.createSharedFolders(nested));
    EXPECT_TRUE(pf.createSharedFolders(nested)); // already there
    const mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat st {};
    ASSERT_EQ(::stat(nested.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0777u & ~mask); // not private: the user asked for it
    writeFile(dir.file("bad\xff/file\xfd.bin"), {'x'});
    ASSERT_EQ(::symlink("inner\xfe", dir.file("bad\xff/link").c_str()), 0);

    Result<std::vector<FolderEntry>> listed = pf.listFolder(dir.file("bad\xff"));
    ASSERT_TRUE(listed);
    std::vector<std::pair<std::string, bool>> names;
    for (const FolderEntry& entry : *listed)
        names.emplace_back(entry.name, entry.isFolder);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::pair<std::string, bool>>{
                         {"file\xfd.bin", false}, {"inner\xfe", true}, {"link", true}}));

    EXPECT_FALSE(pf.listFolder(dir.file("missing")));
    EXPECT_FALSE(pf.createSharedFolders(dir.file("bad\xff/file\xfd.bin/sub")));
}

} // namespace
