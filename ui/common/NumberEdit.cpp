#include "ui/common/NumberEdit.h"

#include "core/Fields.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QValidator>

#include <algorithm>
#include <memory>

namespace kestrine {

namespace {

// The length limit binds whatever the user puts in, typed, composed, pasted or dropped, as the
// platform's edit limit does: what does not fit is cut from the end of the inserted text, which
// ends at the cursor.
class EntryLimit : public QValidator {
public:
    EntryLimit(int limit, QObject* parent) : QValidator(parent), limit_(limit) {}

    State validate(QString& text, int& pos) const override {
        const int excess = int(text.size()) - limit_;
        if (excess > 0) {
            const int from = pos >= excess ? pos - excess : limit_;
            text.remove(from, excess);
            pos = from;
        }
        return Acceptable;
    }

private:
    int limit_;
};

} // namespace

NumberEdit::NumberEdit(QWidget* parent) : QLineEdit(parent) {
    setValidator(new EntryLimit(limit(), this));
}

void NumberEdit::setHexadecimal(bool hexadecimal) {
    hexadecimal_ = hexadecimal;
    const QValidator* old = validator();
    setValidator(new EntryLimit(limit(), this));
    delete old;
}

void NumberEdit::setProgramText(const QString& text) {
    if (this->text() == text)
        return;
    const QValidator* limit = validator();
    setValidator(nullptr);
    setText(text);
    setValidator(limit);
}

QString NumberEdit::filteredText(const QString& text) const {
    QString passed;
    for (char32_t c : text.toUcs4())
        if (const char32_t out = c < 32 ? 0 : filtered(c); out != 0)
            passed += QString::fromUcs4(&out, 1);
    return passed;
}

void NumberEdit::insertFiltered(const QString& text) {
    // Inserted as one edit, so that Ctrl+Z takes the whole of it back.
    const QString passed = filteredText(text);
    const qsizetype room = limit() - (this->text().size() - selectedText().size());
    if (room > 0 && !passed.isEmpty())
        insert(passed.left(room));
}

void NumberEdit::pasteFiltered() {
    if (!isReadOnly())
        insertFiltered(QGuiApplication::clipboard()->text());
}

void NumberEdit::mouseReleaseEvent(QMouseEvent* event) {
    // The middle button pastes the selection of another program.
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (event->button() == Qt::MiddleButton && clipboard->supportsSelection() && !isReadOnly()) {
        deselect();
        insertFiltered(clipboard->text(QClipboard::Selection));
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void NumberEdit::dropEvent(QDropEvent* event) {
    QMimeData filtered;
    filtered.setText(filteredText(event->mimeData()->text()));
    QDropEvent allowed(event->position(), event->possibleActions(), &filtered, event->buttons(),
                       event->modifiers());
    QLineEdit::dropEvent(&allowed);
    event->setDropAction(allowed.dropAction());
    event->setAccepted(allowed.isAccepted());
}

void NumberEdit::contextMenuEvent(QContextMenuEvent* event) {
    const std::unique_ptr<QMenu> menu(createStandardContextMenu());
    // The field's own Paste, known by its caption, pastes through the filter.
    for (QAction* action : menu->actions())
        if (action->text().section(QLatin1Char('\t'), 0, 0) == QLineEdit::tr("&Paste")) {
            action->disconnect();
            action->setObjectName(QStringLiteral("edit-paste"));
            connect(action, &QAction::triggered, this, &NumberEdit::pasteFiltered);
        }
    menu->exec(event->globalPos());
}

char32_t NumberEdit::filtered(char32_t c) const {
    return hexadecimal_ ? FilterHexKeys(c) : FilterNumberKeys(c);
}

void NumberEdit::keyPressEvent(QKeyEvent* event) {
    if (!filterKey(event))
        QLineEdit::keyPressEvent(event);
}

bool NumberEdit::filterKey(QKeyEvent* key) {
    if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)
        return stepper_ && stepper_(key->key() == Qt::Key_Up ? 1 : -1);

    if (key == QKeySequence::Paste) {
        pasteFiltered();
        return true;
    }
    // The editing shortcuts are the field's own; any other Control with a letter would only
    // type a control code, which the filters drop.
    for (QKeySequence::StandardKey own :
         {QKeySequence::SelectAll, QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Undo,
          QKeySequence::Redo})
        if (key == own)
            return false;
    const Qt::KeyboardModifiers mods = key->modifiers();
    const bool control = (mods & Qt::ControlModifier) && !(mods & Qt::AltModifier);
    if (control && ((key->key() >= Qt::Key_A && key->key() <= Qt::Key_Z) ||
                    key->key() == Qt::Key_Backspace || !key->text().isEmpty()))
        return true;

    const QString typed = key->text();
    if (typed.isEmpty())
        return false;
    for (QChar c : typed)
        if (c.unicode() < 32 || c.unicode() == 127)
            return false; // Backspace, Enter and the like: the field's own handling
    const QString passed = filteredText(typed);
    if (passed.isEmpty())
        return true;
    if (text().size() - selectedText().size() + passed.size() > limit())
        return true;
    if (passed == typed)
        return false;
    insert(passed);
    return true;
}

void NumberEdit::inputMethodEvent(QInputMethodEvent* event) {
    // Dead keys and input methods deliver their characters here, past the key filter.
    const QString committed = event->commitString();
    const QString passed = filteredText(committed);
    if (passed == committed) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent allowed(event->preeditString(), event->attributes());
    allowed.setCommitString(passed, event->replacementStart(), event->replacementLength());
    QLineEdit::inputMethodEvent(&allowed);
}

} // namespace kestrine
