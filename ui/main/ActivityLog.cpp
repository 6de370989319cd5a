#include "ui/main/ActivityLog.h"

#include "ui/common/WindowLook.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

namespace kestrine {

void ActivityLogView::append(const QString& text, bool bold) {
    QTextCharFormat format;
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    QTextCursor cursor(edit_->document());
    cursor.movePosition(QTextCursor::End);
    if (lines_ > 0)
        cursor.insertBlock(QTextBlockFormat(), format);
    cursor.setCharFormat(format);
    cursor.insertText(text, format);
    ++lines_;

    edit_->setFocus(Qt::OtherFocusReason);
    edit_->setTextCursor(cursor);
    edit_->ensureCursorVisible();
}

void ActivityLogView::clear() {
    edit_->clear();
    lines_ = 0;
}

void ActivityLogView::setBackground(const QColor& background) {
    QPalette palette = edit_->palette();
    palette.setColor(QPalette::Base, background);
    edit_->setPalette(palette);
}

void ActivityLogView::setTextColour(const QColor& text) {
    setReadableText(edit_, QPalette::Text, text, QPalette::Base);
}

} // namespace kestrine
