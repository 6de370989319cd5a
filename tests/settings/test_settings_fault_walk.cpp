// Every file-system call of one settings write failed in turn, in each way it really can fail:
// the write either gives exactly the file a clean write gives, or is reported ("Unable to write
// to ...") with the old Kestrine.ini byte for byte as it was, no temporary file beside it and no
// file left open. Kestrine.ini is a regular file, or a symbolic link into another folder that
// must stay a link whatever fails.

#include "FakeHost.h"
#include "FaultWalk.h"
#include "TestPlatform.h"

#include "settings/SettingsFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace kestrine {
namespace {

using namespace testing;

const std::string kOldFile = "; kept by hand\r\n[Other]\r\nTop=7\r\n\r\n[Kestrine]\r\nTop=10\r\n"
                             "Left = 20\r\nFormColour=0x00FF00\r\nUnknownKey=stays\r\n";

struct Outcome : PlatformTrace {
    bool written = false;
    std::vector<std::string> errors;
    std::string path;
    std::string file;
    std::vector<std::string> folder; // names in the program folder and below, sorted
    bool linkKept = true;
};

Outcome writeSettings(int failAt, Fault fault, bool linked) {
    TempDir dir;
    const std::string ini = dir.file("Kestrine.ini");
    if (linked) {
        std::filesystem::create_directory(dir.file("dotfiles"));
        writeFile(dir.file("dotfiles/kestrine.ini"),
                  std::vector<char>(kOldFile.begin(), kOldFile.end()));
        std::filesystem::create_symlink("dotfiles/kestrine.ini", ini);
    } else {
        writeFile(ini, std::vector<char>(kOldFile.begin(), kOldFile.end()));
    }

    AppState state;
    state.ProgramFolder = dir.path() + "/";
    state.Settings.FormColour = 0x00336699;
    state.Settings.PrefSourcePath = "/home/user/in";
    FakeHost host;
    host.fields[Field::SourceFile] = "/home/user/in/file one.bin";
    host.fields[Field::DestFile] = "/home/user/out/part.bin";
    host.top = 30;
    host.left = 40;
    TestPlatform platform;
    platform.failCallAt = failAt;
    platform.failKind = fault;
    Context ctx{state, host, platform};

    Outcome out;
    out.written = reportWrite(host, WriteSettings(ctx, Scope::StateAndPreferences));
    out.errors = host.errors;
    out.path = ini;
    const std::vector<char> bytes = readFile(ini);
    out.file.assign(bytes.begin(), bytes.end());
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path()))
        out.folder.push_back(entry.path().lexically_relative(dir.path()).string());
    std::sort(out.folder.begin(), out.folder.end());
    out.linkKept = !linked || std::filesystem::is_symlink(ini);
    static_cast<PlatformTrace&>(out) = platform.trace();
    return out;
}

class SettingsFaultWalk : public ::testing::TestWithParam<bool> {};

TEST_P(SettingsFaultWalk, EveryCallFailedInEveryWayKeepsTheOldFile) {
    const bool linked = GetParam();
    const Outcome clean = writeSettings(0, Fault::IoError, linked);
    ASSERT_TRUE(clean.written);
    ASSERT_TRUE(clean.linkKept);
    ASSERT_NE(clean.file, kOldFile);
    ASSERT_NE(clean.file.find("UnknownKey=stays"), std::string::npos);
    const std::vector<std::string> files =
        linked ? std::vector<std::string>{"Kestrine.ini", "dotfiles", "dotfiles/kestrine.ini"}
               : std::vector<std::string>{"Kestrine.ini"};
    ASSERT_EQ(clean.folder, files);
    // The lock file stays only where removing it failed.
    std::vector<std::string> mayStay = files;
    mayStay.insert(mayStay.begin(), ".Kestrine.ini.lock");

    int points = 0, failures = 0;
    walkEveryFailure(clean.calls, [&](int k, const std::string& call, Fault fault) {
        const Outcome run = writeSettings(k, fault, linked);
        ++points;
        EXPECT_TRUE(
            std::includes(mayStay.begin(), mayStay.end(), run.folder.begin(), run.folder.end()))
            << "a temporary file was left";
        EXPECT_TRUE(run.linkKept) << "the link was replaced by a file";
        EXPECT_EQ(run.openHandles, 0u) << "a file was left open";
        // Half a transfer, a failed close of the file read or a lock file that could not be
        // removed loses nothing.
        const bool harmless = fault == Fault::Partial || run.failureUnseen ||
                              (call == "close" && !run.failedWrittenClose) || call == "deleteFile";
        if (!isQueryCall(call)) {
            EXPECT_EQ(run.written, harmless);
        }
        if (run.written) {
            EXPECT_EQ(run.file, clean.file);
            EXPECT_TRUE(run.errors.empty());
        } else {
            ++failures;
            EXPECT_EQ(run.file, kOldFile) << "the old settings file was changed";
            EXPECT_EQ(run.errors, std::vector<std::string>{"Unable to write to " + run.path});
        }
    });
    std::printf("settings write%s: %zu calls in a clean run, %d failure points walked, %d of them "
                "failures\n",
                linked ? " through a link" : "", clean.calls.size(), points, failures);
}

INSTANTIATE_TEST_SUITE_P(File, SettingsFaultWalk, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Linked" : "Plain"; });

} // namespace
} // namespace kestrine
