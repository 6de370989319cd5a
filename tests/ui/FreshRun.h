#pragma once
// What every window test starts from: a temporary program folder (so "Kestrine.ini" starts
// absent), a test platform, the run's state and scripted prompts.

#include "core/CommandLine.h"
#include "tests/core/TestPlatform.h"
#include "tests/ui/FakePrompts.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

#include <filesystem>
#include <memory>

namespace kestrine::testing {

// The shown top-level window of type W, such as a modal dialog that a test drives from a timer.
template <typename W> W* shownWindow() {
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<W*>(top); found && found->isVisible())
            return found;
    return nullptr;
}

struct FreshRun {
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TestPlatform> platform;
    std::unique_ptr<AppState> state;
    std::unique_ptr<FakePrompts> fake;

    void beginRun() {
        dir = std::make_unique<QTemporaryDir>();
        platform = std::make_unique<TestPlatform>();
        state = std::make_unique<AppState>();
        initState(*state, *platform);
        state->ProgramFolder = state->HelpFolder = dir->path().toStdString() + "/";
        fake = std::make_unique<FakePrompts>();
        setPrompts(fake.get());
    }

    // Puts the real prompts back and checks that no window was left open.
    void endRun() {
        setPrompts(nullptr);
        // Qt does not see names that are not UTF-8, so it could not remove them.
        std::error_code ignored;
        std::filesystem::remove_all(dir->path().toStdString(), ignored);
        for (QWidget* top : QApplication::topLevelWidgets())
            QVERIFY2(!top->isVisible(), qPrintable(top->objectName() + " left open"));
    }
};

} // namespace kestrine::testing
