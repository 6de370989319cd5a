#pragma once
// What the core needs from whatever hosts it: the main window, or the console run.
//
// How failures travel in Kestrine:
// - A user error that a handler expects (a missing name, a range out of bounds, a locked file)
//   is reported by the handler through core/Report.h (refuse(), refuseAndLog(), tell()), which
//   alone chooses between a box (window behaviour) and a console line (console attached).
// - Every platform call that can fail for reasons of the system (opening, reading, writing a
//   file) returns a Result (platform/Result.h): a value, or the system's reason as text; the
//   caller words the report.
// - A text that does not convert, where no check expects it, goes to the general error report
//   (Host::reportError): a handler calls it and stops; a helper too deep to stop its handler
//   throws std::invalid_argument with the report's message, and the window's handler wrapper
//   reports it.

#include <string>

namespace kestrine {

enum class Field { SourceFile, DestFile, StartDec, StartHex, OffsetDec, OffsetHex };
enum class BoxKind { Warning, Error, Information, Confirm };
enum class Answer { Ok, Yes, No };

struct Size {
    int width = 0;
    int height = 0;
};

class Host {
public:
    virtual ~Host() = default;

    // The texts of SourceFileEdit, DestFileEdit and the four number fields. Setting a text
    // runs the field's change handler, as typing would.
    virtual std::string fieldText(Field field) const = 0;
    virtual void setFieldText(Field field, const std::string& text) = 0;
    virtual void focusField(Field field) = 0;

    // A message box with OK (Yes and No for Confirm); returns the answer.
    virtual Answer messageBox(BoxKind kind, const std::string& text) = 0;
    // The general error report for a failure no handler caught.
    virtual void reportError(const std::string& message) = 0;

    // The window log: append a bold or regular line, newest in view; clear it.
    virtual void appendLog(const std::string& text, bool bold) = 0;
    virtual void clearLog() = 0;

    // Enables or disables every input control and menu command of the main window.
    virtual void ToggleFormControls(bool enabled) { (void)enabled; }
    // Progress bar position 0..100, and its read-back value.
    virtual void setProgressPosition(int position) { (void)position; }
    virtual int progressPosition() const { return 0; }
    virtual void repaintProgress() {}
    virtual void setProgressTimerEnabled(bool enabled) { (void)enabled; }
    virtual void setStatusText(const std::string& text) { (void)text; }
    virtual void setTitle(const std::string& title) { (void)title; }
    // Lets pending window messages run once.
    virtual void pumpEvents() {}
    // Asked between two chunks of a copy: the user closed the window, or a signal asks the run
    // to end. The copy then stops at once, keeps the older destination, leaves no file behind
    // and logs nothing further; ExecuteCopy returns with the controls enabled again.
    virtual bool copyStopRequested() const { return false; }

    // Geometry for the settings: the whole desktop, the window's outer size and its position.
    virtual Size desktopSize() const { return {}; }
    virtual Size windowOuterSize() const { return {446, 398}; }
    virtual int windowTop() const { return 0; }
    virtual int windowLeft() const { return 0; }
};

} // namespace kestrine
