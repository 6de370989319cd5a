#pragma once
// Prompts for the benchmark drivers: nothing may wait for a click there, so any box is printed
// and counted, and every dialog is cancelled.

#include "ui/Prompts.h"

#include <QString>

#include <cstdio>

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

} // namespace kestrine::bench
