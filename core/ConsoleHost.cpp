#include "core/ConsoleHost.h"

#include "core/AppState.h"
#include "core/Fields.h"
#include "core/Log.h"
#include "core/Report.h"
#include "core/Text.h"

namespace kestrine {

std::string ConsoleHost::fieldText(Field field) const {
    auto it = fields_.find(field);
    return it == fields_.end() ? std::string() : it->second;
}

void ConsoleHost::setFieldText(Field field, const std::string& text) {
    if (fieldText(field) == text)
        return;
    fields_[field] = text;
    // No field has the focus here, so only the emptiness rule of the pair applies.
    if (field != Field::SourceFile && field != Field::DestFile)
        keepPairInStep(*this, field, false);
}

Answer ConsoleHost::messageBox(BoxKind kind, const std::string& text) {
    Context ctx{state_, *this, platform_};
    boxWithoutWindow(ctx, kind, text);
    // Nobody answers a question here: the careful answer.
    return kind == BoxKind::Confirm ? Answer::No : Answer::Ok;
}

void ConsoleHost::reportError(const std::string& message) {
    messageBox(BoxKind::Error, generalErrorText(message));
}

void ConsoleHost::appendLog(const std::string& text, bool bold) {
    log_.push_back({text, bold});
}

bool ConsoleHost::copyStopRequested() const {
    return platform_.stopSignal() != 0;
}

} // namespace kestrine
