#pragma once
// A scripted host for core tests: fields in memory, every box and error recorded, answers queued.

#include "core/Fields.h"
#include "core/Host.h"

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kestrine::testing {

class FakeHost : public Host {
public:
    struct Box {
        BoxKind kind;
        std::string text;
    };
    struct Line {
        std::string text;
        bool bold;
    };

    std::map<Field, std::string> fields{{Field::StartDec, "0"},
                                        {Field::StartHex, "0"},
                                        {Field::OffsetDec, "0"},
                                        {Field::OffsetHex, "0"}};
    // The field that has the keyboard focus; the change handlers only mirror that one.
    std::optional<Field> focus;
    std::vector<Field> focusHistory;
    std::vector<Box> boxes;
    std::deque<Answer> answers; // answers to Confirm boxes, Yes when empty
    std::vector<std::string> errors;
    std::vector<Line> log;
    std::vector<bool> toggles;
    std::vector<std::string> titles;
    std::vector<std::string> statusTexts;
    int progress = 0;
    bool timerEnabled = false;
    int pumps = 0;
    Size desktop{};
    int top = 0, left = 0;

    std::string fieldText(Field field) const override {
        auto it = fields.find(field);
        return it == fields.end() ? std::string() : it->second;
    }
    void setFieldText(Field field, const std::string& text) override {
        if (fieldText(field) == text)
            return;
        fields[field] = text;
        if (field != Field::SourceFile && field != Field::DestFile)
            keepPairInStep(*this, field, focus == field);
    }
    void focusField(Field field) override {
        focus = field;
        focusHistory.push_back(field);
    }
    Answer messageBox(BoxKind kind, const std::string& text) override {
        boxes.push_back({kind, text});
        if (kind != BoxKind::Confirm)
            return Answer::Ok;
        if (answers.empty())
            return Answer::Yes;
        Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    void reportError(const std::string& message) override { errors.push_back(message); }
    void appendLog(const std::string& text, bool bold) override {
        log.push_back({text, bold});
        focus.reset(); // the log takes the focus
    }
    void clearLog() override { log.clear(); }
    void ToggleFormControls(bool enabled) override { toggles.push_back(enabled); }
    void setProgressPosition(int position) override { progress = position; }
    int progressPosition() const override { return progress; }
    void setProgressTimerEnabled(bool enabled) override { timerEnabled = enabled; }
    void setStatusText(const std::string& text) override { statusTexts.push_back(text); }
    void setTitle(const std::string& title) override { titles.push_back(title); }
    void pumpEvents() override { ++pumps; }
    // The copy is asked to stop once this many message passes have run (0: never).
    int stopAtPump = 0;
    bool copyStopRequested() const override { return stopAtPump > 0 && pumps >= stopAtPump; }
    Size desktopSize() const override { return desktop; }
    int windowTop() const override { return top; }
    int windowLeft() const override { return left; }

    std::vector<std::string> logTexts() const {
        std::vector<std::string> out;
        for (const auto& l : log)
            out.push_back(l.text);
        return out;
    }
};

} // namespace kestrine::testing
