#pragma once
// The activity log as the main window shows it: one line per entry, bold or regular, the
// newest in view, on the window's colour.

#include <QColor>
#include <QString>

class QTextEdit;

namespace kestrine {

class ActivityLogView {
public:
    ActivityLogView() = default;
    explicit ActivityLogView(QTextEdit* edit) : edit_(edit) {}

    // A line at the end; the log takes the focus, as the log of the design does.
    void append(const QString& text, bool bold);
    void clear();
    // The log's background, and the text colour wanted on it (moved where it would not read).
    void setBackground(const QColor& background);
    void setTextColour(const QColor& text);

private:
    QTextEdit* edit_ = nullptr;
    int lines_ = 0;
};

} // namespace kestrine
