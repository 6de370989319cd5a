#pragma once
// Scripted prompts: answers and file choices are queued by the test, everything asked is kept.

#include "ui/common/Prompts.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <deque>
#include <optional>
#include <vector>

namespace kestrine::testing {

class FakePrompts : public Prompts {
public:
    struct Box {
        BoxKind kind;
        QString text;
    };
    // One showing of a file dialog: what it was given, and what the user does with it.
    struct Choice {
        std::optional<QString> file; // nothing: cancel
        std::optional<int> pickType; // the type picked before closing
    };

    std::vector<Box> boxes;
    std::deque<Answer> answers; // Confirm boxes; an unscripted question is answered No
    std::vector<QString> errors;
    std::vector<FileDialogState> dialogs;
    std::deque<Choice> choices; // an unscripted dialog is cancelled
    std::vector<QUrl> urls;

    // Each box and error report is a real window for the length of its answer: it takes the
    // activation and the focus from the window asking, as a real box does, and that window gets
    // them back only once events run again, as the window manager gives them back.
    bool boxesTakeFocus = false;

    Answer messageBox(QWidget* parent, BoxKind kind, const QString& text) override {
        holdFocus(parent);
        boxes.push_back({kind, text});
        if (kind != BoxKind::Confirm)
            return Answer::Ok;
        if (answers.empty())
            return Answer::No;
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    void errorReport(QWidget* parent, const QString& text) override {
        holdFocus(parent);
        errors.push_back(text);
    }
    std::optional<QString> openFileName(QWidget*, FileDialogState& state,
                                        const std::function<void()>& typeChanged) override {
        dialogs.push_back(state);
        if (choices.empty())
            return std::nullopt;
        const Choice c = choices.front();
        choices.pop_front();
        if (c.pickType) {
            state.filterIndex = *c.pickType;
            typeChanged();
        }
        return c.file;
    }
    bool helpViewer = true; // whether the desktop has a viewer for the help file
    bool hasViewerFor(const QString&) override { return helpViewer; }
    bool openUrl(const QUrl& url) override {
        urls.push_back(url);
        return true;
    }

    std::deque<std::optional<QColor>> colours; // an unscripted colour dialog is cancelled
    std::vector<QColor> colourStarts;
    std::optional<QColor> chooseColour(QWidget*, const QColor& initial) override {
        colourStarts.push_back(initial);
        return next(colours);
    }

    std::deque<std::optional<QString>> directories; // unscripted: cancelled
    std::vector<QString> directoryStarts;
    std::optional<QString> chooseDirectory(QWidget*, const QString& start) override {
        directoryStarts.push_back(start);
        return next(directories);
    }

private:
    void holdFocus(QWidget* parent) {
        if (!boxesTakeFocus)
            return;
        const QPointer<QWidget> asking = QApplication::activeWindow();
        QDialog box(parent);
        box.setObjectName("FakeBox");
        box.setWindowModality(Qt::ApplicationModal);
        auto* ok = new QPushButton("OK", &box);
        ok->setDefault(true);
        box.show();
        box.activateWindow();
        // Not qWaitForWindowActive: a window counts as active there while its parent is.
        if (!QTest::qWaitFor([&] { return QApplication::activeWindow() == &box; }))
            qFatal("the box did not take the activation");
        ok->setFocus();
        box.hide();
        if (asking)
            asking->activateWindow(); // delivered when events run again
    }

    template <typename T> static std::optional<T> next(std::deque<std::optional<T>>& queue) {
        std::optional<T> value;
        if (!queue.empty()) {
            value.swap(queue.front());
            queue.pop_front();
        }
        return value;
    }
};

} // namespace kestrine::testing
