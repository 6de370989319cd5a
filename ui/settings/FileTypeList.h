#pragma once
// The two-column list of file types in the settings window: a description and a type per row,
// both edited in place, descriptions unique without regard to case and free of "=", rows added
// with Insert (or Down on the last row), deleted with Ctrl+Delete, blank rows dropped when left,
// and a changed cell checked by the window before the user may leave it.

#include "settings/FileTypes.h"

#include <QPersistentModelIndex>
#include <QPointer>
#include <QTableWidget>

#include <functional>
#include <vector>

class QLineEdit;

namespace kestrine {

// Without leading and trailing blanks (codes up to 32), as the list's rules and Save see them.
QString trimBlanks(const QString& text);

class FileTypeList : public QTableWidget {
    Q_OBJECT

public:
    explicit FileTypeList(QWidget* parent = nullptr);
    ~FileTypeList() override;

    // Replaces every row (as the window does when it is shown).
    void setRows(const std::vector<FileTypeRow>& rows);
    std::vector<FileTypeRow> rows() const;

    // Column 0 is the description, 1 the type; rows count from 0.
    QString cell(int row, int column) const;
    // Sets a cell as the program does: not a change the user must leave through the check.
    void setCell(int row, int column, const QString& text);
    void appendBlankRow();
    void deleteRow(int row);
    bool isBlankRow(int row) const;

    // Commits an edit still open in a cell; false when the list refused its text.
    bool commitOpenEdit();
    // What every move out of the current cell goes through: commits an open edit, then runs
    // the check on a cell the user changed. False keeps the user in the cell.
    bool leaveCurrentCell();

    // The window's check of a changed cell (column, row). It reports its own error and returns
    // false to keep the cell.
    std::function<bool(int column, int row)> validateCell;

Q_SIGNALS:
    // Any change of the rows or of a cell's text, typing included.
    void stringsChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

protected Q_SLOTS:
    void commitData(QWidget* editor) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    friend class FileTypeDelegate;

    // The keys the list handles itself, also while a cell is being edited. True when taken.
    bool listKey(QKeyEvent* event);
    // Esc with nothing to undo: a blank current row goes; false when there is none.
    bool escapeWithoutEdit();
    // Takes the text the user typed into a cell, unless the list's rules refuse it.
    void acceptEdit(const QModelIndex& index, const QString& text);
    void refuse(const QString& message);
    // Leaving the list for another control of the window is leaving the cell.
    void focusChanged(QWidget* old, QWidget* now);
    QLineEdit* openEditor() const;

    QPointer<QLineEdit> editor_;
    QPersistentModelIndex editorIndex_;
    // The cell whose text the user changed and that has not passed the check yet.
    QPersistentModelIndex changed_;
    // The last commit was refused and its editor kept open.
    bool lastCommitRefused_ = false;
    // A refusal's box is up: the focus it takes does not end the edit.
    bool refusing_ = false;
};

} // namespace kestrine
