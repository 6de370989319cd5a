#pragma once
// A grid showing one page of 256 bytes of a file: 16 rows of a position, 16 byte cells and the
// row's text. It opens and holds the file itself; assigning Offset shows a page, and PageUp and
// PageDown move it by 256 bytes. It knows nothing of chosen positions: its window paints those.

#include "core/Types.h"
#include "platform/Platform.h"
#include "ui/hexview/page/HexPage.h"

#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <string>

class QPainter;
class QRect;

namespace kestrine {

// A black and a white dotted frame just inside `rect`, one of which stands out on any colour.
void drawFocusFrame(QPainter& painter, const QRect& rect);

class THexViewer : public QWidget {
    Q_OBJECT

public:
    explicit THexViewer(QWidget* parent = nullptr);
    ~THexViewer() override;

    // Files are read through this platform (the system's until set).
    void setPlatform(Platform& platform) { platform_ = &platform; }

    const std::string& FileName() const { return fileName_; }
    // Opens the file without taking a lock and shows its first page; a name that cannot be
    // opened (missing, a folder, a pipe or device) leaves FileName empty and the page empty.
    virtual void setFileName(const std::string& name);
    Position Offset() const { return offset_; }
    // Shows the page at `value` with bit 4 cleared; the same non-zero offset reads nothing.
    virtual void setOffset(Position value);
    std::uint32_t Size() const { return static_cast<std::uint32_t>(page_.size); }
    // Releases the file; the next page load then shows the empty page at 0.
    void CloseFile();
    // Opens a released FileName again without loading a page; when that fails the handle stays
    // released.
    void reopenFile();

    // The cursor cell, never on a header cell nor in the text column.
    int Col() const { return col_; }
    int Row() const { return row_; }
    // Moves the cursor when the cell may be selected; returns whether it moved there.
    bool setCursorCell(int column, int row);

    QString cellText(int column, int row) const { return cells_[row][column]; }
    void setCellText(int column, int row, const QString& text);
    const HexPage& page() const { return page_; }

    int DefaultRowHeight() const { return rowHeight_; }
    void setDefaultRowHeight(int height);
    static int columnWidth(int column);
    // The cell's rectangle inside the widget, without its grid lines.
    QRect cellRect(int column, int row) const;
    // The cell under a point, or (-1, -1).
    QPoint cellAt(const QPoint& point) const;

    // The text drawn in a cell: the row's text with every character as one glyph (shownText).
    QString shownCellText(int column, int row) const;

    // What a screen reader is told of the grid cell (column, row): the name ("1F4: 4B" for a
    // byte, the row's text for the text column, the caption or position of a header) and the
    // description (the window's marks, then the byte's character).
    QString accessibleCellName(int column, int row) const;
    QString accessibleCellDescription(int column, int row) const;

    // The window's answer to a cursor move (OnSelectCell); the text column is refused anyway.
    std::function<bool(int column, int row)> OnSelectCell;
    // The window's words for a byte cell's marks, for a screen reader ("start", "finish").
    std::function<QString(int column, int row)> OnDescribeCell;
    // Runs after the grid has drawn a cell (OnDrawCell).
    std::function<void(QPainter& painter, int column, int row, const QRect& rect)> OnDrawCell;

Q_SIGNALS:
    // A click on a cell, or any move of the cursor cell.
    void Click();
    // A double click, or the space key: the window's picking rules on the cursor cell.
    void DblClick();
    // Raised after the paging keys and before the cursor moves.
    void KeyDown(int key, Qt::KeyboardModifiers modifiers);

protected:
    virtual bool SelectCell(int column, int row);
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    QSize sizeHint() const override;

private:
    void showPage(const HexPage& page);
    // Tells a screen reader that the focus is on the cursor cell (a move, or a new page under
    // it).
    void announceCursor();

    Platform* platform_;
    std::string fileName_;
    FileHandle handle_;
    Position offset_ = 0;
    HexPage page_;
    std::array<std::array<QString, kGridColumns>, kGridRows> cells_;
    int col_ = 1;
    int row_ = 1;
    int rowHeight_ = 19;
};

} // namespace kestrine
