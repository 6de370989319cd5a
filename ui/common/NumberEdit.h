#pragma once
// A number field: takes only the digits of its base, however they come (typed, pasted, dropped),
// limits what the user puts in to 19 decimal or 15 hexadecimal characters, keeps the usual
// editing shortcuts, and hands Up and Down to the window as steps.

#include <QLineEdit>

#include <functional>

class QContextMenuEvent;
class QDropEvent;
class QInputMethodEvent;
class QKeyEvent;
class QMouseEvent;

namespace kestrine {

// The typed length limits of the number fields.
constexpr int kDecimalFieldLimit = 19;
constexpr int kHexFieldLimit = 15;

class NumberEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit NumberEdit(QWidget* parent = nullptr);

    // Decimal until set; the base chooses the key filter and the length limit.
    void setHexadecimal(bool hexadecimal);
    bool hexadecimal() const { return hexadecimal_; }
    // Called with +1 (Up) or -1 (Down); returns whether the key was used.
    void setStepper(std::function<bool(int step)> stepper) { stepper_ = std::move(stepper); }
    // Text the program sets is not bound by the length limit (a negative value shows 16
    // hexadecimal digits); the same text again changes nothing.
    void setProgramText(const QString& text);

    // `text` as typing would put it in.
    QString filteredText(const QString& text) const;
    // The clipboard's text, filtered and cut to the limit, as one edit that Ctrl+Z takes back.
    void pasteFiltered();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    int limit() const { return hexadecimal_ ? kHexFieldLimit : kDecimalFieldLimit; }
    char32_t filtered(char32_t c) const;
    // True when the key is consumed here.
    bool filterKey(QKeyEvent* key);
    void insertFiltered(const QString& text);

    bool hexadecimal_ = false;
    std::function<bool(int)> stepper_;
};

} // namespace kestrine
