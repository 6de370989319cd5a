#include "settings/SettingsFile.h"

#include "core/Copy.h"

#include "FailingIO.h"
#include "FakeHost.h"
#include "TempFolder.h"
#include "settings/FileTypes.h"
#include "settings/ProfileFile.h"

#include <gtest/gtest.h>

#include <latch>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrine {
namespace {

using testing::FailingIO;
using testing::FakeHost;
using testing::readFile;
using testing::TempFolder;
using testing::writeFile;

// The key names of the file in the order they stand.
std::vector<std::string> keysInOrder(const std::string& text) {
    std::vector<std::string> keys;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (auto eq = line.find('='); eq != std::string::npos)
            keys.push_back(line.substr(0, eq));
    return keys;
}

// Start-up's reading: the values, then the remembered files into the fields.
void startUp(Context& ctx) {
    RestoreRememberedFiles(ctx, ReadSettings(ctx));
}

class SettingsFileTest : public ::testing::Test {
protected:
    TempFolder folder;
    AppState state;
    FakeHost host;
    Context ctx{state, host, Platform::system()};
    std::string iniPath = folder.file("Kestrine.ini");

    void SetUp() override { state.ProgramFolder = folder.path(); }
    void writeIni(const std::string& body) { writeFile(iniPath, "[Kestrine]\n" + body); }
};

// --- Reading ---

TEST_F(SettingsFileTest, NoFileGivesEveryDefault) {
    host.desktop = {1920, 1080};
    host.fields[Field::SourceFile] = "stale";
    host.fields[Field::DestFile] = "stale";
    startUp(ctx);

    const Settings& s = state.Settings;
    EXPECT_EQ(s.Top, 1080 / 2 - 398 / 2);
    EXPECT_EQ(s.Left, 1920 / 2 - 446 / 2);
    EXPECT_TRUE(s.SaveLastSource);
    EXPECT_TRUE(s.SaveLastDest);
    EXPECT_FALSE(s.PrefSourcePathSwitch);
    EXPECT_FALSE(s.PrefDestPathSwitch);
    EXPECT_EQ(s.SourcePath, "");
    EXPECT_EQ(s.PrefDestPath, "");
    EXPECT_EQ(s.FileFilter, kDefaultFileFilter);
    EXPECT_EQ(s.FileFilter2, "\"All Files=*.*\",\"Programs=*.exe\",\"Zip Files=*.zip\"");
    EXPECT_EQ(s.FileFilterIndex1, 0);
    EXPECT_EQ(s.FileFilterIndex2, 0);
    EXPECT_EQ(s.FormColour, 0xFF00001Cu);
    EXPECT_EQ(host.fieldText(Field::SourceFile), "");
    EXPECT_EQ(host.fieldText(Field::DestFile), "");
    EXPECT_TRUE(host.log.empty());
    EXPECT_FALSE(std::filesystem::exists(iniPath));
}

TEST_F(SettingsFileTest, WithoutADesktopTheDefaultPositionIsMinusHalfTheWindow) {
    // The console host reports no desktop; odd sizes divide toward zero.
    struct OddWindow : FakeHost {
        Size windowOuterSize() const override { return {447, 399}; }
    } console;
    Context consoleCtx{state, console, Platform::system()};
    startUp(consoleCtx);
    EXPECT_EQ(state.Settings.Top, -199);
    EXPECT_EQ(state.Settings.Left, -223);
}

TEST_F(SettingsFileTest, StoredValuesAreReadAndBadNumbersFallBack) {
    host.desktop = {1000, 800};
    writeIni("Top=abc\nLeft=-40\nFormColour=0x00FF8000\nFileFilter=\nFileFilter2=||\n"
             "FileFilterIndex1=$2\nFileFilterIndex2=3x\nPrefSourcePathSwitch=5\n"
             "PrefDestPath=\"/data/in box\"\nSourcePath=/src\nDestPath=/dst\n");
    startUp(ctx);
    const Settings& s = state.Settings;
    EXPECT_EQ(s.Top, 400 - 199);
    EXPECT_EQ(s.Left, -40);
    EXPECT_EQ(s.FormColour, 0x00FF8000u);
    EXPECT_EQ(s.FileFilter, "");
    EXPECT_EQ(s.FileFilter2, "");
    EXPECT_EQ(s.FileFilterIndex1, 2);
    EXPECT_EQ(s.FileFilterIndex2, 0);
    EXPECT_TRUE(s.PrefSourcePathSwitch);
    EXPECT_EQ(s.PrefDestPath, "/data/in box");
    EXPECT_EQ(s.SourcePath, "/src");
    EXPECT_EQ(s.DestPath, "/dst");
}

TEST_F(SettingsFileTest, ListFormWithoutItsWrapperLosesFirstAndLastCharacter) {
    writeIni("FileFilter2=Text=*.txt,Log=*.log\n");
    startUp(ctx);
    EXPECT_EQ(state.Settings.FileFilter2, "ext=*.txt,Log=*.lo");
}

TEST_F(SettingsFileTest, RemembersAnExistingSourceWithTwoLogLines) {
    const std::string source = folder.file("data.bin");
    writeFile(source, std::string(1536, 'x'));
    writeIni("SaveLastSourceFile=" + source + "\n");
    startUp(ctx);

    EXPECT_EQ(host.fieldText(Field::SourceFile), source);
    EXPECT_EQ(state.SourceFileName, source);
    EXPECT_EQ(state.SourceFileSize, 1536);
    ASSERT_EQ(host.log.size(), 2u);
    EXPECT_EQ(host.log[0].text, "Source file is " + source);
    EXPECT_EQ(host.log[1].text, "Source file is 1,536 bytes (2KB)");
    EXPECT_FALSE(host.log[0].bold);
    EXPECT_FALSE(host.log[1].bold);
    EXPECT_TRUE(host.boxes.empty());
}

TEST_F(SettingsFileTest, MissingRememberedSourceLeavesTheFieldEmptyAndLogsNothing) {
    host.fields[Field::SourceFile] = "typed before";
    // A folder is not a file either.
    for (const std::string& remembered : {folder.file("gone.bin"), folder.path(), std::string()}) {
        writeIni("SaveLastSourceFile=" + remembered + "\n");
        startUp(ctx);
        EXPECT_EQ(host.fieldText(Field::SourceFile), "") << remembered;
        EXPECT_EQ(state.SourceFileName, "") << remembered;
        EXPECT_TRUE(host.log.empty()) << remembered;
        EXPECT_TRUE(host.boxes.empty()) << remembered;
    }
}

TEST_F(SettingsFileTest, RememberedDestinationIsTakenWithoutCheckingIt) {
    writeIni("SaveLastDestFile=/nowhere/out.bin\n");
    startUp(ctx);
    EXPECT_EQ(host.fieldText(Field::DestFile), "/nowhere/out.bin");
}

TEST_F(SettingsFileTest, SwitchedOffRememberingLeavesTheFieldsAlone) {
    const std::string source = folder.file("data.bin");
    writeFile(source, "abc");
    writeIni("SaveLastSource=0\nSaveLastDest=0\nSaveLastSourceFile=" + source +
             "\nSaveLastDestFile=/out\n");
    host.fields[Field::SourceFile] = "mine";
    host.fields[Field::DestFile] = "mine too";
    startUp(ctx);
    EXPECT_FALSE(state.Settings.SaveLastSource);
    EXPECT_FALSE(state.Settings.SaveLastDest);
    EXPECT_EQ(host.fieldText(Field::SourceFile), "mine");
    EXPECT_EQ(host.fieldText(Field::DestFile), "mine too");
    EXPECT_TRUE(host.log.empty());
}

// --- Writing ---

TEST_F(SettingsFileTest, FirstCloseWritesTheStateGroupOnly) {
    state.Settings.SourcePath = "/in";
    host.top = 12;
    host.left = -3;
    host.fields[Field::SourceFile] = "/in/a b.bin";
    host.fields[Field::DestFile] = "/does/not/exist";
    ASSERT_TRUE(reportWrite(host, WriteSettings(ctx, Scope(1))));
    EXPECT_EQ(readFile(iniPath), "[Kestrine]\nSourcePath=/in\nDestPath=\nTop=12\nLeft=-3\n"
                                 "SaveLastSourceFile=/in/a b.bin\n"
                                 "SaveLastDestFile=/does/not/exist\n");
    EXPECT_TRUE(host.errors.empty());
    EXPECT_EQ(folder.names(), testing::kIniAlone);
}

TEST_F(SettingsFileTest, SaveWritesStateThenPreferencesInOrder) {
    ASSERT_TRUE(reportWrite(host, WriteSettings(ctx, Scope(2))));
    const std::vector<std::string> expected = {"SourcePath",
                                               "DestPath",
                                               "Top",
                                               "Left",
                                               "SaveLastSourceFile",
                                               "SaveLastDestFile",
                                               "SaveLastSource",
                                               "SaveLastDest",
                                               "PrefSourcePathSwitch",
                                               "PrefDestPathSwitch",
                                               "PrefSourcePath",
                                               "PrefDestPath",
                                               "FileFilter",
                                               "FileFilter2",
                                               "FileFilterIndex1",
                                               "FileFilterIndex2",
                                               "FormColour"};
    const std::string text = readFile(iniPath);
    EXPECT_EQ(keysInOrder(text), expected);
    EXPECT_NE(
        text.find("\nFileFilter2=|\"All Files=*.*\",\"Programs=*.exe\",\"Zip Files=*.zip\"|\n"),
        std::string::npos);
    EXPECT_NE(text.find("\nFormColour=-16777188\n"), std::string::npos);
    EXPECT_NE(text.find("\nSaveLastSource=1\n"), std::string::npos);
    EXPECT_NE(text.find("\nPrefDestPathSwitch=0\n"), std::string::npos);
}

TEST_F(SettingsFileTest, ScopeBelowOneWritesNothing) {
    EXPECT_TRUE(reportWrite(host, WriteSettings(ctx, Scope(0))));
    EXPECT_TRUE(reportWrite(host, WriteSettings(ctx, Scope(-5))));
    EXPECT_FALSE(std::filesystem::exists(iniPath));
}

TEST_F(SettingsFileTest, RememberedFileKeyIsKeptWhileItsSwitchIsOff) {
    writeFile(iniPath, "; mine\n[Kestrine]\nSaveLastSourceFile=/old\nExtra=1\n[Other]\nX=y\n");
    state.Settings.SaveLastSource = false;
    host.fields[Field::SourceFile] = "/new";
    ASSERT_TRUE(reportWrite(host, WriteSettings(ctx, Scope(1))));
    const std::string text = readFile(iniPath);
    EXPECT_EQ(text, "; mine\n[Kestrine]\nSaveLastSourceFile=/old\nExtra=1\nSourcePath=\n"
                    "DestPath=\nTop=0\nLeft=0\nSaveLastDestFile=\n[Other]\nX=y\n");
}

TEST_F(SettingsFileTest, SavedSettingsReadBackTheSame) {
    Settings& s = state.Settings;
    s.SaveLastSource = false;
    s.PrefSourcePathSwitch = true;
    s.PrefSourcePath = " /lead space";
    s.PrefDestPath = "'quoted'";
    s.FileFilter = "Text (*.txt)|*.txt";
    s.FileFilter2 = "\"My Text=*.txt\",=";
    s.FileFilterIndex1 = 2;
    s.FileFilterIndex2 = -1;
    s.FormColour = 0x00C0FFEE;
    s.SourcePath = "/src";
    s.DestPath = "/dst";
    host.top = 100;
    host.left = 200;
    host.fields[Field::DestFile] = "/out.bin";
    ASSERT_TRUE(reportWrite(host, WriteSettings(ctx, Scope(2))));

    AppState fresh;
    fresh.ProgramFolder = folder.path();
    FakeHost freshHost;
    Context freshCtx{fresh, freshHost, Platform::system()};
    startUp(freshCtx);
    // Whole records, so a field added later cannot be left out of the round trip.
    Settings expected = s;
    expected.Top = 100;
    expected.Left = 200;
    EXPECT_EQ(fresh.Settings, expected);
    EXPECT_EQ(freshHost.fieldText(Field::DestFile), "/out.bin");
}

TEST_F(SettingsFileTest, TwoHundredFileTypesSaveAndLoadWhole) {
    std::vector<FileTypeRow> rows;
    for (int i = 0; i < 200; ++i)
        rows.push_back({"Type " + std::to_string(i) + " files", "*.t" + std::to_string(i)});
    state.Settings.FileFilter = buildDialogFilter(rows);
    state.Settings.FileFilter2 = buildListForm(rows);
    ASSERT_TRUE(reportWrite(host, WriteSettings(ctx, Scope::StateAndPreferences)));

    AppState fresh;
    fresh.ProgramFolder = folder.path();
    Context freshCtx{fresh, host, Platform::system()};
    startUp(freshCtx);
    EXPECT_EQ(fresh.Settings.FileFilter, state.Settings.FileFilter);
    EXPECT_EQ(loadListForm(fresh.Settings.FileFilter2), rows);
}

// --- Refused writes ---

TEST_F(SettingsFileTest, RefusedWriteIsReportedWithTheFullPath) {
    state.ProgramFolder = folder.file("missing/");
    EXPECT_FALSE(reportWrite(host, WriteSettings(ctx, Scope(1))));
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], "Unable to write to " + folder.file("missing/Kestrine.ini"));
}

TEST_F(SettingsFileTest, ARefusedWriteWritesNoKeyOfItsCall) {
    writeIni("Keep=1\n");
    FailingIO io;
    io.failReplacement = 1;
    Context failing{state, host, io};
    EXPECT_FALSE(reportWrite(host, WriteSettings(failing, Scope::StateAndPreferences)));
    EXPECT_EQ(readFile(iniPath), "[Kestrine]\nKeep=1\n");
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], "Unable to write to " + iniPath);
    EXPECT_EQ(folder.names(), testing::kIniAlone);
}

// A name with a line break costs its own key only: the rest is saved, and the user is told
// which keys were left out and why.
TEST_F(SettingsFileTest, AValueTheFileCannotHoldIsLeftOutAndNamed) {
    writeIni("SaveLastSourceFile=/old\n");
    host.top = 5;
    host.fields[Field::SourceFile] = "/in/two\nlines.bin";
    host.fields[Field::DestFile] = std::string("/out/a\0b", 8);
    state.Settings.PrefSourcePath = "/pref\r";
    state.Settings.PrefDestPath = "/pref/ok";
    const Result<SettingsWritten> written = WriteSettings(ctx, Scope::StateAndPreferences);
    ASSERT_TRUE(written);
    const std::string why =
        " was not saved: it holds a line break, which Kestrine.ini cannot hold.";
    const std::vector<std::string> leftOut = {
        "The value of SaveLastSourceFile" + why,
        "The value of SaveLastDestFile was not saved: it holds a NUL character, which "
        "Kestrine.ini cannot hold.",
        "The value of PrefSourcePath" + why};
    EXPECT_EQ(written->leftOut, leftOut);
    const std::string text = readFile(iniPath);
    EXPECT_EQ(findProfileValue(text, "Kestrine", "SaveLastSourceFile"), "/old");
    EXPECT_EQ(findProfileValue(text, "Kestrine", "SaveLastDestFile"), std::nullopt);
    EXPECT_EQ(findProfileValue(text, "Kestrine", "PrefSourcePath"), std::nullopt);
    EXPECT_EQ(findProfileValue(text, "Kestrine", "Top"), "5");
    EXPECT_EQ(findProfileValue(text, "Kestrine", "PrefDestPath"), "/pref/ok");
    EXPECT_EQ(keysInOrder(text).size(), 15u);

    EXPECT_TRUE(reportWrite(host, written));
    EXPECT_EQ(host.errors,
              std::vector<std::string>{leftOut[0] + "\n" + leftOut[1] + "\n" + leftOut[2]});
}

TEST_F(SettingsFileTest, EachCallReplacesTheFileOnce) {
    FailingIO io;
    Context counted{state, host, io};
    ASSERT_TRUE(reportWrite(host, WriteSettings(counted, Scope::State)));
    EXPECT_EQ(io.replacements, 1);
    ASSERT_TRUE(reportWrite(host, WriteSettings(counted, Scope::StateAndPreferences)));
    EXPECT_EQ(io.replacements, 2);
    EXPECT_EQ(keysInOrder(readFile(iniPath)).size(), 17u);
}

TEST_F(SettingsFileTest, AReadOnlyFileIsNeitherReplacedNorTakenOver) {
    writeIni("Keep=1\n");
    ASSERT_EQ(::chmod(iniPath.c_str(), 0444), 0);
    EXPECT_FALSE(reportWrite(host, WriteSettings(ctx, Scope::State)));
    EXPECT_EQ(readFile(iniPath), "[Kestrine]\nKeep=1\n");
    struct stat st {};
    ASSERT_EQ(::stat(iniPath.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    EXPECT_EQ(host.errors.size(), 1u);
}

// --- Writers in two processes ---

TEST_F(SettingsFileTest, AWriteWaitsItsTurnAndGivesUpWithTheUsualReport) {
    writeIni("Keep=1\n");
    // Another Kestrine in the middle of its write.
    const std::string lockPath = folder.file(".Kestrine.ini.lock");
    const int other = ::open(lockPath.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);

    FailingIO io;
    Context waiting{state, host, io};
    EXPECT_FALSE(reportWrite(host, WriteSettings(waiting, Scope::State)));
    EXPECT_EQ(host.errors, std::vector<std::string>{"Unable to write to " + iniPath});
    EXPECT_EQ(readFile(iniPath), "[Kestrine]\nKeep=1\n");
    EXPECT_GE(io.clockMs, kProfileLockWaitMs) << "gave up without waiting";
    EXPECT_EQ(io.replacements, 0);

    ::close(other);
    host.errors.clear();
    EXPECT_TRUE(reportWrite(host, WriteSettings(waiting, Scope::State)));
    EXPECT_TRUE(host.errors.empty());
}

// Two writers of distinct keys at the same time: every write reported done is in the file (one
// that waited too long is reported, never lost in silence).
TEST_F(SettingsFileTest, TwoWritersAtOnceLoseNoKeys) {
    constexpr int kKeys = 100;
    std::latch start(2);
    auto writer = [&](char prefix, std::vector<std::string>& done) {
        ProfileFile file(iniPath);
        start.arrive_and_wait();
        for (int i = 0; i < kKeys; ++i) {
            const std::string key = prefix + std::to_string(i);
            if (file.writeString("Kestrine", key, key))
                done.push_back(key);
        }
    };
    std::vector<std::string> doneA, doneB;
    std::thread a(writer, 'A', std::ref(doneA));
    std::thread b(writer, 'B', std::ref(doneB));
    a.join();
    b.join();

    EXPECT_FALSE(doneA.empty());
    EXPECT_FALSE(doneB.empty());
    const std::string text = readFile(iniPath);
    int lost = 0;
    for (const auto* done : {&doneA, &doneB})
        for (const std::string& key : *done)
            lost += findProfileValue(text, "Kestrine", key) != key;
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(folder.names(), testing::kIniAlone);
}

// Another user may neither take the file over nor ignore its protection: whether the write is
// refused is decided in a child that runs as "nobody".
TEST_F(SettingsFileTest, AnotherUserCannotReplaceTheFile) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    ASSERT_EQ(::chmod(folder.path().c_str(), 0777), 0);
    for (unsigned mode : {0644u, 0666u}) {
        writeIni("Keep=1\n");
        ASSERT_EQ(::chmod(iniPath.c_str(), mode), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            const bool ok = ::setgid(65534) == 0 && ::setuid(65534) == 0;
            ::_exit(ok && !reportWrite(host, WriteSettings(ctx, Scope::State)) ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << std::oct << mode;
        struct stat st {};
        ASSERT_EQ(::stat(iniPath.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 0u);
        EXPECT_EQ(readFile(iniPath), "[Kestrine]\nKeep=1\n");
    }
}

} // namespace
} // namespace kestrine
