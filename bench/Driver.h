#pragma once
// What the benchmark drivers share: prompts that never wait for a click (any box is printed and
// counted, every dialog cancelled) and a main window started as the program starts it.

#include "core/CommandLine.h"
#include "ui/common/Prompts.h"
#include "ui/main/TForm1.h"
#include "ui/main/WindowMode.h"

#include <QApplication>
#include <QTemporaryDir>

#include <QString>

#include <cstdio>
#include <memory>

namespace kestrine::bench {

// Any box ends the run as a failure.
class NoPrompts : public kestrine::Prompts {
public:
    int asked = 0;
    kestrine::Answer messageBox(QWidget*, kestrine::BoxKind, const QString& text) override {
        std::fprintf(stderr, "box: %s\n", qPrintable(text));
        ++asked;
        return kestrine::Answer::No;
    }
    void errorReport(QWidget*, const QString& text) override { messageBox(nullptr, {}, text); }
    std::optional<QString> openFileName(QWidget*, kestrine::FileDialogState&,
                                        const std::function<void()>&) override {
        return std::nullopt;
    }
    bool openUrl(const QUrl&) override { return false; }
    std::optional<QColor> chooseColour(QWidget*, const QColor&) override { return std::nullopt; }
    std::optional<QString> chooseDirectory(QWidget*, const QString&) override {
        return std::nullopt;
    }
};

// False, after the usage line on standard error, unless the driver got `count` arguments.
inline bool argumentsGiven(int argc, char** argv, int count, const char* usage) {
    if (argc == count + 1)
        return true;
    std::fprintf(stderr, "usage: %s %s\n", argv[0], usage);
    return false;
}

// The offscreen application, its event loop chosen as the program chooses it, with prompts
// that never wait.
struct OffscreenApp {
    NoPrompts prompts;
    std::unique_ptr<QApplication> app;

    OffscreenApp(int& argc, char** argv) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        kestrine::prepareEventLoop();
        app = std::make_unique<QApplication>(argc, argv);
        kestrine::setPrompts(&prompts);
    }
};

// The main window on the real platform with a program folder of its own (no settings file),
// initialised, with `source` dropped on it.
struct MainWindowRun {
    AppState state;
    Platform& platform = Platform::system();
    QTemporaryDir programFolder;
    std::unique_ptr<TForm1> form;

    explicit MainWindowRun(const char* source) {
        initState(state, platform);
        state.ProgramFolder = state.HelpFolder = programFolder.path().toStdString() + "/";
        form = std::make_unique<TForm1>(state, platform);
        form->Init();
        form->AcceptFiles({QString::fromLocal8Bit(source)});
    }
};

} // namespace kestrine::bench
