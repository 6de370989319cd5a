#include "ui/common/NumberEdit.h"

#include "core/Fields.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QValidator>

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

    // Control with a letter would be the clipboard and undo shortcuts; as characters they are
    // control codes, which the filters drop.
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
    QString passed;
    for (char32_t c : typed.toUcs4())
        if (const char32_t out = filtered(c); out != 0)
            passed += QString::fromUcs4(&out, 1);
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
    QString passed;
    for (char32_t c : committed.toUcs4())
        if (const char32_t out = c < 32 ? 0 : filtered(c); out != 0)
            passed += QString::fromUcs4(&out, 1);
    if (passed == committed) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent allowed(event->preeditString(), event->attributes());
    allowed.setCommitString(passed, event->replacementStart(), event->replacementLength());
    QLineEdit::inputMethodEvent(&allowed);
}

} // namespace kestrine
