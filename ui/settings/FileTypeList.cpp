#include "ui/settings/FileTypeList.h"

#include "core/Text.h"
#include "ui/common/Prompts.h"
#include "ui/settings/OneLine.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyledItemDelegate>

namespace kestrine {

namespace {

const QString kEqualsRefused = QStringLiteral("Key may not contain equals sign (\"=\")");

} // namespace

QString trimBlanks(const QString& text) {
    const std::u16string_view kept =
        trimmedBy(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                      static_cast<std::size_t>(text.size())),
                  [](char16_t c) { return isBlank(c); });
    return QString(reinterpret_cast<const QChar*>(kept.data()),
                   static_cast<qsizetype>(kept.size()));
}

// Edits a cell in a plain line edit and hands the list the keys it acts on itself.
class FileTypeDelegate : public QStyledItemDelegate {
public:
    explicit FileTypeDelegate(FileTypeList* list) : QStyledItemDelegate(list), list_(list) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        auto* edit = new QLineEdit(parent);
        edit->setObjectName(QStringLiteral("CellEditor"));
        edit->setFrame(false);
        keepOnOneLine(edit);
        list_->editor_ = edit;
        list_->editorIndex_ = index;
        connect(edit, &QLineEdit::textEdited, list_, &FileTypeList::stringsChanged);
        return edit;
    }
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override {
        if (list_->editor_ == editor)
            list_->editor_ = nullptr;
        QStyledItemDelegate::destroyEditor(editor, index);
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        static_cast<QLineEdit*>(editor)->setText(index.data(Qt::EditRole).toString());
    }
    void setModelData(QWidget* editor, QAbstractItemModel*,
                      const QModelIndex& index) const override {
        list_->acceptEdit(index, static_cast<QLineEdit*>(editor)->text());
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        auto* editor = qobject_cast<QLineEdit*>(object);
        if (!editor)
            return QStyledItemDelegate::eventFilter(object, event);
        if (event->type() == QEvent::FocusOut) {
            // The refusal's box took the focus: the text stays in the editor to be mended.
            if (list_->refusing_)
                return false;
            // A click on another cell: the list commits and checks before it moves.
            QWidget* now = QApplication::focusWidget();
            if (now && now != editor && (now == list_ || list_->isAncestorOf(now)))
                return false;
        }
        if (event->type() != QEvent::KeyPress)
            return QStyledItemDelegate::eventFilter(object, event);

        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        if (key->key() == Qt::Key_Escape && mods == Qt::NoModifier) {
            if (editor->text() != list_->editorIndex_.data(Qt::EditRole).toString())
                return QStyledItemDelegate::eventFilter(object, event); // undo the edit
            Q_EMIT const_cast<FileTypeDelegate*>(this)->closeEditor(editor, NoHint);
            list_->escapeWithoutEdit();
            return true;
        }
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            // Tab leaves the list, as it does when no cell is being edited.
            QKeyEvent tab(QEvent::KeyPress, key->key(), key->modifiers());
            QCoreApplication::sendEvent(list_, &tab);
            return true;
        }
        if (list_->editorIndex_.column() == 0 && key->text().contains(QLatin1Char('='))) {
            list_->refuse(kEqualsRefused);
            return true;
        }
        if (list_->listKey(key))
            return true;
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    FileTypeList* list_;
};

FileTypeList::FileTypeList(QWidget* parent) : QTableWidget(0, 2, parent) {
    setHorizontalHeaderLabels({QStringLiteral("File Description"), QStringLiteral("File Type")});
    setColumnWidth(0, 207);
    setColumnWidth(1, 124);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(18);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setItemDelegate(new FileTypeDelegate(this));

    QAbstractItemModel* rowsModel = model();
    connect(rowsModel, &QAbstractItemModel::dataChanged, this, &FileTypeList::stringsChanged);
    connect(rowsModel, &QAbstractItemModel::rowsInserted, this, &FileTypeList::stringsChanged);
    connect(rowsModel, &QAbstractItemModel::rowsRemoved, this, &FileTypeList::stringsChanged);
    connect(rowsModel, &QAbstractItemModel::modelReset, this, &FileTypeList::stringsChanged);
    connect(qApp, &QApplication::focusChanged, this, &FileTypeList::focusChanged);
}

FileTypeList::~FileTypeList() {
    // The focus moves and the rows are cleared while the window goes; none of it may reach a
    // list half destroyed.
    disconnect(qApp, nullptr, this, nullptr);
    QAbstractItemModel* rowsModel = model();
    disconnect(rowsModel, &QAbstractItemModel::dataChanged, this, &FileTypeList::stringsChanged);
    disconnect(rowsModel, &QAbstractItemModel::rowsInserted, this, &FileTypeList::stringsChanged);
    disconnect(rowsModel, &QAbstractItemModel::rowsRemoved, this, &FileTypeList::stringsChanged);
    disconnect(rowsModel, &QAbstractItemModel::modelReset, this, &FileTypeList::stringsChanged);
    if (QLineEdit* editor = openEditor())
        QTableWidget::closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
}

void FileTypeList::setRows(const std::vector<FileTypeRow>& rows) {
    if (QLineEdit* editor = openEditor())
        QTableWidget::closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
    setRowCount(0);
    setRowCount(int(rows.size()));
    for (int row = 0; row < rowCount(); ++row) {
        setCell(row, 0, QString::fromStdString(rows[std::size_t(row)].Description));
        setCell(row, 1, QString::fromStdString(rows[std::size_t(row)].Type));
    }
    changed_ = QPersistentModelIndex();
    if (rowCount() > 0)
        setCurrentCell(0, 0);
}

std::vector<FileTypeRow> FileTypeList::rows() const {
    std::vector<FileTypeRow> out;
    for (int row = 0; row < rowCount(); ++row)
        out.push_back({cell(row, 0).toStdString(), cell(row, 1).toStdString()});
    return out;
}

QString FileTypeList::cell(int row, int column) const {
    const QTableWidgetItem* it = item(row, column);
    return it ? it->text() : QString();
}

void FileTypeList::setCell(int row, int column, const QString& text) {
    if (QTableWidgetItem* it = item(row, column))
        it->setText(text);
    else
        setItem(row, column, new QTableWidgetItem(text));
}

void FileTypeList::appendBlankRow() {
    const int row = rowCount();
    insertRow(row);
    setCell(row, 0, {});
    setCell(row, 1, {});
}

void FileTypeList::deleteRow(int row) {
    if (row < 0 || row >= rowCount())
        return;
    if (QLineEdit* editor = openEditor(); editor && editorIndex_.row() == row)
        QTableWidget::closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
    removeRow(row);
}

bool FileTypeList::isBlankRow(int row) const {
    return cell(row, 0).isEmpty() && cell(row, 1).isEmpty();
}

QLineEdit* FileTypeList::openEditor() const {
    return editor_ && editorIndex_.isValid() ? editor_.data() : nullptr;
}

bool FileTypeList::commitOpenEdit() {
    QLineEdit* editor = openEditor();
    if (!editor)
        return true;
    commitData(editor);
    if (lastCommitRefused_) {
        lastCommitRefused_ = false;
        editor->setFocus();
        return false;
    }
    QTableWidget::closeEditor(editor, QAbstractItemDelegate::NoHint);
    editor_ = nullptr;
    return true;
}

bool FileTypeList::leaveCurrentCell() {
    if (!commitOpenEdit())
        return false;
    if (!changed_.isValid())
        return true;
    if (validateCell && !validateCell(changed_.column(), changed_.row()))
        return false;
    changed_ = QPersistentModelIndex();
    return true;
}

void FileTypeList::commitData(QWidget* editor) {
    lastCommitRefused_ = false;
    QTableWidget::commitData(editor);
}

void FileTypeList::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    // A refused text stays in its editor for the user to mend.
    if (lastCommitRefused_ && hint != QAbstractItemDelegate::RevertModelCache) {
        lastCommitRefused_ = false;
        return;
    }
    lastCommitRefused_ = false;
    QTableWidget::closeEditor(editor, hint);
    if (editor == editor_)
        editor_ = nullptr;
}

void FileTypeList::acceptEdit(const QModelIndex& index, const QString& text) {
    if (text == index.data(Qt::EditRole).toString())
        return;
    if (index.column() == 0) {
        if (text.contains(QLatin1Char('='))) {
            lastCommitRefused_ = true;
            refuse(kEqualsRefused);
            return;
        }
        const QString key = trimBlanks(text);
        for (int row = 0; !key.isEmpty() && row < rowCount(); ++row) {
            if (row != index.row() &&
                trimBlanks(cell(row, 0)).compare(key, Qt::CaseInsensitive) == 0) {
                lastCommitRefused_ = true;
                refuse(QStringLiteral("A key with the name of \"%1\" already exists").arg(text));
                return;
            }
        }
    }
    setCell(index.row(), index.column(), text);
    changed_ = index;
}

void FileTypeList::refuse(const QString& message) {
    refusing_ = true;
    prompts().errorReport(this, QString::fromStdString(generalErrorText(message.toStdString())));
    refusing_ = false;
    // Whatever took the focus meanwhile (the box, the control clicked), it goes back to the
    // text to mend; the window may get it only later, when it is active again.
    if (QLineEdit* editor = openEditor())
        editor->setFocus(Qt::OtherFocusReason);
}

bool FileTypeList::escapeWithoutEdit() {
    const int row = currentRow();
    if (row < 0 || !isBlankRow(row))
        return false;
    deleteRow(row);
    return true;
}

bool FileTypeList::listKey(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    const int row = currentRow();
    const int column = qMax(currentColumn(), 0);

    if (key == Qt::Key_Delete && mods == Qt::ControlModifier) {
        deleteRow(row);
        return true;
    }
    if ((key == Qt::Key_Up || key == Qt::Key_Down) && mods == Qt::ControlModifier) {
        if (rowCount() > 0 && leaveCurrentCell())
            setCurrentCell(key == Qt::Key_Up ? 0 : rowCount() - 1, column);
        return true;
    }
    const bool insert = key == Qt::Key_Insert && mods == Qt::NoModifier;
    const bool append = key == Qt::Key_Down && mods == Qt::NoModifier && row == rowCount() - 1;
    if (!insert && !append)
        return false;
    // A new row is left for only when the current one has a description (an empty list takes
    // its first row this way too).
    if (!leaveCurrentCell() || (row >= 0 && cell(row, 0).isEmpty()))
        return true;
    const int at = append || row < 0 ? rowCount() : row;
    insertRow(at);
    setCell(at, 0, {});
    setCell(at, 1, {});
    setCurrentCell(at, column);
    return true;
}

void FileTypeList::keyPressEvent(QKeyEvent* event) {
    if (listKey(event))
        return;
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        // With nothing of the list's own to undo, Esc is the window's.
        if (!escapeWithoutEdit())
            event->ignore();
        return;
    }
    QTableWidget::keyPressEvent(event);
}

void FileTypeList::mousePressEvent(QMouseEvent* event) {
    const QModelIndex at = indexAt(event->position().toPoint());
    if (at.isValid() && at != currentIndex() && !leaveCurrentCell()) {
        event->accept();
        return;
    }
    QTableWidget::mousePressEvent(event);
}

QModelIndex FileTypeList::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const QModelIndex next = QTableWidget::moveCursor(action, modifiers);
    if (next.isValid() && next != currentIndex() && !leaveCurrentCell())
        return currentIndex();
    return next;
}

void FileTypeList::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableWidget::currentChanged(current, previous);
    if (!previous.isValid() || current.row() == previous.row())
        return;
    // Dropped once the move is complete, so a click lands on the row it was aimed at.
    const QPersistentModelIndex left(previous);
    QMetaObject::invokeMethod(
        this,
        [this, left] {
            if (left.isValid() && left.row() != currentRow() && isBlankRow(left.row()))
                deleteRow(left.row());
        },
        Qt::QueuedConnection);
}

void FileTypeList::focusChanged(QWidget* old, QWidget* now) {
    const auto inList = [this](QWidget* w) { return w && (w == this || isAncestorOf(w)); };
    if (!inList(old) || !now || inList(now) || now->window() != window())
        return;
    if (!leaveCurrentCell())
        setFocus(Qt::OtherFocusReason);
}

} // namespace kestrine
