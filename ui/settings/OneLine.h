#pragma once
// The settings file holds one value per line, so no field of the settings window may hold a line
// break: text that brings one (a paste, a drop, an input method) ends at it.

#include <QValidator>

class QLineEdit;

namespace kestrine {

// Line feed, vertical tab, form feed, carriage return, next line, the line and paragraph
// separators, and NUL, which the file cannot hold either.
bool isLineBreak(QChar c);

class OneLineValidator : public QValidator {
public:
    using QValidator::QValidator;
    // `pos` is the cursor after the change, so the end of what was just put in: the text
    // before the first break and the text after the cursor stay, the rest of the insertion goes.
    State validate(QString& input, int& pos) const override;
};

void keepOnOneLine(QLineEdit* edit);

} // namespace kestrine
