#pragma once
// The host of a command-line run: fields in memory, an invisible log, nothing that waits.

#include "core/Host.h"

#include <map>
#include <string>
#include <vector>

namespace kestrine {

struct AppState;
class Platform;

class ConsoleHost : public Host {
public:
    ConsoleHost(AppState& state, Platform& platform) : state_(state), platform_(platform) {}

    std::string fieldText(Field field) const override;
    void setFieldText(Field field, const std::string& text) override;
    void focusField(Field) override {}
    // Nothing waits for a click: while a console is attached a box becomes a console line.
    Answer messageBox(BoxKind kind, const std::string& text) override;
    void reportError(const std::string& message) override;
    void appendLog(const std::string& text, bool bold) override;
    void clearLog() override { log_.clear(); }
    bool copyStopRequested() const override;

    struct LogLine {
        std::string text;
        bool bold;
    };
    const std::vector<LogLine>& log() const { return log_; }

private:
    AppState& state_;
    Platform& platform_;
    std::map<Field, std::string> fields_{{Field::StartDec, "0"},
                                         {Field::StartHex, "0"},
                                         {Field::OffsetDec, "0"},
                                         {Field::OffsetHex, "0"}};
    std::vector<LogLine> log_;
};

} // namespace kestrine
