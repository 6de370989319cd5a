#include "ui/settings/OneLine.h"

#include <QLineEdit>

#include <algorithm>

namespace kestrine {

bool isLineBreak(QChar c) {
    switch (c.unicode()) {
    case 0x0000:
    case 0x000A:
    case 0x000B:
    case 0x000C:
    case 0x000D:
    case 0x0085:
    case 0x2028:
    case 0x2029:
        return true;
    default:
        return false;
    }
}

QValidator::State OneLineValidator::validate(QString& input, int& pos) const {
    const auto first = std::find_if(input.cbegin(), input.cend(), isLineBreak);
    if (first == input.cend())
        return Acceptable;
    const int cut = int(first - input.cbegin());
    // Breaks past the cursor come only with text set as a whole; they are dropped.
    QString tail = input.mid(std::max(pos, cut + 1));
    tail.removeIf(isLineBreak);
    input = input.left(cut) + tail;
    pos = cut;
    return Acceptable;
}

void keepOnOneLine(QLineEdit* edit) {
    edit->setValidator(new OneLineValidator(edit));
}

} // namespace kestrine
