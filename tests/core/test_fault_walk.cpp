// Every file-system call of one copy failed in turn, in each way it really can fail, in both
// behaviours: a failure never reports "Copying finished.", never changes the source, leaves an
// older destination exactly as it was and no other file in the folder, no open file, and ends
// in exit status 1 on the console and with the window back to idle. Calls whose failure loses
// nothing (half a read, closing a file only read, any failure of the system's own copy, which
// the read and write loop takes over from the bytes already copied, asking for holes, which
// copies the range whole) still give the exact copy.

#include "FakeHost.h"
#include "FaultWalk.h"
#include "TestPlatform.h"

#include "core/CommandLine.h"
#include "core/ConsoleHost.h"
#include "core/Copy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

using namespace kestrine;
using namespace kestrine::testing;

namespace {

// Three whole blocks and a part of one, out of the middle of the source.
constexpr std::size_t kSourceSize = 4 * 8192 + 500;
constexpr std::size_t kStart = 100;
constexpr std::size_t kBytes = 3 * 8192 + 300;

enum class Behaviour { Console, Window };
// A destination that exists is replaced (the window asks first and is answered Yes).
enum class Destination { New, Existing };

// The system copies the range in chunks of 10,000 bytes, or refuses and the copy reads and
// writes; the file system has no unnamed files, so the copy has a hidden name until it is
// whole; the source has a hole in which the range ends.
enum class Route { ReadWrite, System, HiddenName, Sparse };

struct Walk {
    Behaviour behaviour;
    Destination destination;
    Route route = Route::ReadWrite;
};

std::string hexParameter(std::size_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "%zXh", value);
    return text;
}

struct Outcome : PlatformTrace {
    bool finished = false;       // "Copying finished." was logged
    bool errorShown = false;     // an "ERROR: " line, a box or an error report
    bool idle = true;            // window: controls enabled again (or never disabled), timer off
    std::optional<int> exitCode; // console only: the window has no exit status
    bool sourceIntact = false;
    bool destExists = false;
    std::vector<std::string> folder; // the names in the test folder afterwards
    std::vector<char> dest;
    std::vector<char> expected;
    std::vector<char> oldDest;
};

// One copy with the call numbered failAt failing as `fault` (0: a clean run).
Outcome runCopy(Walk walk, int failAt, Fault fault) {
    const Behaviour behaviour = walk.behaviour;
    TempDir dir;
    std::vector<char> data = randomBytes(kSourceSize, 13);
    const std::string src = dir.file("source.bin"), dst = dir.file("part.bin");
    writeFile(src, data);
    if (walk.route == Route::Sparse) {
        // Data in the first block and in the last part, a hole between them.
        std::fill(data.begin() + 8192, data.begin() + 4 * 8192, '\0');
        std::filesystem::resize_file(src, 8192);
        std::filesystem::resize_file(src, 4 * 8192);
        std::ofstream(src, std::ios::binary | std::ios::app)
            .write(data.data() + 4 * 8192, kSourceSize - 4 * 8192);
    }
    Outcome out;
    if (walk.destination == Destination::Existing) {
        out.oldDest = randomBytes(5000, 14);
        writeFile(dst, out.oldDest);
    }

    AppState state;
    TestPlatform platform;
    platform.kernelCopy = walk.route == Route::System;
    platform.noUnnamedFiles = walk.route == Route::HiddenName;
    platform.kernelChunk = 10000;
    if (behaviour == Behaviour::Console) {
        ConsoleHost host(state, platform);
        Context ctx{state, host, platform};
        platform.failCallAt = failAt;
        platform.failKind = fault;
        RunCommandLine(ctx, {src, dst, std::to_string(kStart) + "d", hexParameter(kBytes - 1)});
        out.finished = platform.console.find("Copying finished.") != std::string::npos;
        out.errorShown = platform.console.find("ERROR: ") != std::string::npos;
        out.exitCode = state.ExitCode;
    } else {
        FakeHost host;
        Context ctx{state, host, platform};
        // The source was taken over when the user chose it; the walk starts at Copy.
        host.fields[Field::SourceFile] = src;
        ChangeSourceFile(ctx);
        host.fields[Field::DestFile] = dst;
        host.fields[Field::StartDec] = std::to_string(kStart);
        host.fields[Field::OffsetDec] = std::to_string(kBytes - 1);
        platform.calls = 0;
        platform.callNames.clear();
        platform.failCallAt = failAt;
        platform.failKind = fault;
        ExecuteCopy(ctx);
        for (const auto& line : host.log)
            out.finished = out.finished || line.text == "Copying finished.";
        out.errorShown = !host.errors.empty();
        for (const auto& box : host.boxes)
            out.errorShown = out.errorShown || box.kind != BoxKind::Confirm;
        out.idle = (host.toggles.empty() || host.toggles.back()) && !host.timerEnabled;
    }
    out.sourceIntact = readFile(src) == data;
    out.destExists = std::filesystem::exists(dst);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        out.folder.push_back(entry.path().filename().string());
    std::sort(out.folder.begin(), out.folder.end());
    if (out.destExists)
        out.dest = readFile(dst);
    out.expected.assign(data.begin() + kStart, data.begin() + kStart + kBytes);
    static_cast<PlatformTrace&>(out) = platform.trace();
    return out;
}

std::string routeName(Route route) {
    static const char* const names[] = {"", "SystemCopy", "HiddenName", "Sparse"};
    return names[static_cast<int>(route)];
}

class FaultWalk : public ::testing::TestWithParam<Walk> {};

TEST_P(FaultWalk, EveryCallFailedInEveryWayLosesNothing) {
    const Walk walk = GetParam();
    const Behaviour behaviour = walk.behaviour;
    const Outcome clean = runCopy(walk, 0, Fault::IoError);
    ASSERT_TRUE(clean.finished);
    ASSERT_EQ(clean.dest, clean.expected);
    ASSERT_NE(clean.exitCode, std::optional<int>(1));
    // The walk must see the block loop (reads and writes of every block) or the chunks the
    // system copies.
    if (walk.route == Route::System) {
        ASSERT_GE(std::count(clean.calls.begin(), clean.calls.end(), "copyRange"), 3);
        ASSERT_EQ(std::count(clean.calls.begin(), clean.calls.end(), "write"), 0);
    } else {
        ASSERT_GE(std::count(clean.calls.begin(), clean.calls.end(), "write"), 1);
    }
    if (walk.route == Route::Sparse) {
        ASSERT_GE(std::count(clean.calls.begin(), clean.calls.end(), "dataRun"), 2);
        ASSERT_EQ(std::count(clean.calls.begin(), clean.calls.end(), "setSize"), 1);
    }

    int points = 0, failures = 0;
    walkEveryFailure(clean.calls, [&](int k, const std::string& call, Fault fault) {
        const Outcome run = runCopy(walk, k, fault);
        ++points;
        EXPECT_TRUE(run.sourceIntact);
        EXPECT_EQ(run.openHandles, 0u) << "a file was left open";
        EXPECT_TRUE(run.idle);
        const std::vector<std::string> names =
            run.destExists ? std::vector<std::string>{"part.bin", "source.bin"}
                           : std::vector<std::string>{"source.bin"};
        EXPECT_EQ(run.folder, names) << "a file was left behind";
        const bool query = isQueryCall(call);
        // Half a transfer, a failed close of the source or a failed system copy loses
        // nothing: the copy completes.
        const bool harmless = fault == Fault::Partial || run.failureUnseen ||
                              (call == "close" && !run.failedWrittenClose) || call == "copyRange" ||
                              call == "dataRun" || call == "openShared";
        if (!query) {
            EXPECT_EQ(run.finished, harmless);
        }
        if (run.finished) {
            EXPECT_EQ(run.dest, run.expected);
            EXPECT_NE(run.exitCode, std::optional<int>(1));
            EXPECT_FALSE(run.errorShown);
        } else {
            ++failures;
            // The old destination may stay only as it was, when the failure came first.
            if (run.destExists) {
                EXPECT_EQ(run.dest, run.oldDest) << "a partial destination was left";
            }
            if (behaviour == Behaviour::Console) {
                EXPECT_EQ(run.exitCode, std::optional<int>(1));
            }
            EXPECT_TRUE(run.errorShown) << "the failure was not reported";
        }
    });
    std::printf(
        "route %d, %s, %s destination: %zu calls in a clean run, %d failure points walked, %d of "
        "them failures\n",
        static_cast<int>(walk.route), behaviour == Behaviour::Console ? "console" : "window",
        walk.destination == Destination::New ? "new" : "existing", clean.calls.size(), points,
        failures);
}

INSTANTIATE_TEST_SUITE_P(
    Behaviours, FaultWalk,
    ::testing::Values(Walk{Behaviour::Console, Destination::New},
                      Walk{Behaviour::Console, Destination::Existing},
                      Walk{Behaviour::Window, Destination::New},
                      Walk{Behaviour::Window, Destination::Existing},
                      Walk{Behaviour::Console, Destination::New, Route::System},
                      Walk{Behaviour::Window, Destination::Existing, Route::System},
                      Walk{Behaviour::Console, Destination::Existing, Route::HiddenName},
                      Walk{Behaviour::Window, Destination::New, Route::HiddenName},
                      Walk{Behaviour::Console, Destination::Existing, Route::Sparse},
                      Walk{Behaviour::Window, Destination::New, Route::Sparse}),
    [](const auto& info) {
        return std::string(info.param.behaviour == Behaviour::Console ? "Console" : "Window") +
               (info.param.destination == Destination::New ? "NewDestination"
                                                           : "ExistingDestination") +
               routeName(info.param.route);
    });

} // namespace
