#include "ui/hexview/THexViewer.h"

#include "core/Numbers.h"
#include "ui/hexview/HexViewerAccessible.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace kestrine {

void drawFocusFrame(QPainter& painter, const QRect& rect) {
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
    painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
    painter.drawRect(rect.adjusted(1, 1, -2, -2));
    painter.restore();
}

namespace {

constexpr int kBorder = 1;
constexpr int kLine = 1;

} // namespace

THexViewer::THexViewer(QWidget* parent) : QWidget(parent), platform_(&Platform::system()) {
    installAccessibleHexGrid();
    QFont::insertSubstitutions(QStringLiteral("Courier New"),
                               {QStringLiteral("Liberation Mono"), QStringLiteral("Cousine"),
                                QStringLiteral("DejaVu Sans Mono")});
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::Monospace);
    font.setPointSize(10);
    setFont(font);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(632, 342);

    cells_[0][0] = QStringLiteral("Offset");
    const auto captions = columnCaptions(0);
    for (int c = 1; c <= 16; ++c)
        cells_[0][c] = QString::fromStdString(captions[c - 1]);
    page_ = buildPage(0, {});
    for (int r = 1; r <= 16; ++r)
        cells_[r][0] = QString::fromStdString(page_.rowHeaders[r - 1]);
}

// The handle closes with the grid; a reader has nothing to lose on a failed close.
THexViewer::~THexViewer() = default;

void THexViewer::setFileName(const std::string& name) {
    if (!fileName_.empty()) {
        fileName_.clear();
        offset_ = 0;
        page_.size = 0;
        handle_.reset();
    }
    if (Result<FileHandle> file = platform_->openShared(name)) {
        handle_ = std::move(*file);
        fileName_ = name;
    }
    setOffset(0);
}

void THexViewer::setOffset(Position value) {
    const Position target = pageOffsetFor(value);
    if (target == offset_ && target != 0)
        return;
    offset_ = target;

    std::array<std::uint8_t, kPageBytes> buffer{};
    std::int64_t size = 0;
    if (fileName_.empty()) {
        offset_ = 0;
    } else {
        const Result<std::size_t> got =
            handle_.isOpen() && platform_->seek(handle_.get(), offset_)
                ? platform_->read(handle_.get(), buffer.data(), buffer.size())
                : Result<std::size_t>(Failure{"The file is not open"});
        size = got ? static_cast<std::int64_t>(*got) : -1;
        if (size < 0) {
            offset_ = 0;
            size = 0;
        }
    }
    showPage(buildPage(offset_, std::span(buffer.data(), static_cast<std::size_t>(size))));
}

void THexViewer::CloseFile() {
    if (!fileName_.empty())
        handle_.reset();
}

void THexViewer::reopenFile() {
    if (fileName_.empty() || handle_.isOpen())
        return;
    if (Result<FileHandle> file = platform_->openShared(fileName_))
        handle_ = std::move(*file);
}

void THexViewer::showPage(const HexPage& page) {
    page_ = page;
    for (int r = 1; r <= 16; ++r) {
        cells_[r][0] = QString::fromStdString(page.rowHeaders[r - 1]);
        for (int c = 1; c <= 16; ++c)
            cells_[r][c] = QString::fromStdString(page.cells[r - 1][c - 1]);
        cells_[r][kTextColumn] = QString::fromLatin1(page.texts[r - 1]);
    }
    update();
    // The cursor stays on a byte: a page that ends before it takes it to the page's last byte.
    const int index = (row_ - 1) * kRowBytes + (col_ - 1);
    if (page.size > 0 && index >= page.size &&
        setCursorCell((page.size - 1) % kRowBytes + 1, (page.size - 1) / kRowBytes + 1))
        return;
    announceCursor();
}

QString THexViewer::shownCellText(int column, int row) const {
    if (column != kTextColumn || row < 1 || row >= kGridRows)
        return cells_[row][column];
    return QString::fromLatin1(shownText(page_.texts[static_cast<std::size_t>(row - 1)]));
}

QString THexViewer::accessibleCellName(int column, int row) const {
    if (column < 0 || column >= kGridColumns || row < 0 || row >= kGridRows)
        return {};
    if (row == 0)
        return column == kTextColumn ? QStringLiteral("Text") : cells_[0][column];
    if (column == 0)
        return cells_[row][0];
    const QString at = QString::fromStdString(toHex(cellPosition(offset_, 1, row)));
    if (column == kTextColumn)
        return at + QStringLiteral(" text: ") + shownCellText(column, row);
    const QString value = cells_[row][column];
    return QString::fromStdString(toHex(cellPosition(offset_, column, row))) +
           QStringLiteral(": ") + (value.isEmpty() ? QStringLiteral("no byte") : value);
}

QString THexViewer::accessibleCellDescription(int column, int row) const {
    if (column < 1 || column > 16 || row < 1 || row >= kGridRows || cells_[row][column].isEmpty())
        return {};
    QStringList words;
    if (OnDescribeCell)
        if (const QString marks = OnDescribeCell(column, row); !marks.isEmpty())
            words << marks;
    const std::string text = page_.texts[static_cast<std::size_t>(row - 1)];
    const QString character = QString::fromLatin1(shownText(charAt(text, column)));
    words << (character == QStringLiteral(" ") ? QStringLiteral("character space")
                                               : QStringLiteral("character ") + character);
    return words.join(QStringLiteral(", "));
}

void THexViewer::announceCursor() {
    if (!hasFocus() || !QAccessible::isActive())
        return;
    QAccessibleEvent event(this, QAccessible::Focus);
    event.setChild(accessibleChildIndex(col_, row_));
    QAccessible::updateAccessibility(&event);
}

void THexViewer::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update(cellRect(col_, row_));
    announceCursor();
}

void THexViewer::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update(cellRect(col_, row_));
}

void THexViewer::setCellText(int column, int row, const QString& text) {
    if (column < 0 || column >= kGridColumns || row < 0 || row >= kGridRows)
        return;
    cells_[row][column] = text;
    update(cellRect(column, row));
}

void THexViewer::setDefaultRowHeight(int height) {
    rowHeight_ = height;
    update();
}

int THexViewer::columnWidth(int column) {
    if (column == 0)
        return 76;
    return column == kTextColumn ? 136 : 25;
}

QRect THexViewer::cellRect(int column, int row) const {
    int left = kBorder;
    for (int c = 0; c < column; ++c)
        left += columnWidth(c) + kLine;
    return QRect(left, kBorder + row * (rowHeight_ + kLine), columnWidth(column), rowHeight_);
}

QPoint THexViewer::cellAt(const QPoint& point) const {
    for (int r = 0; r < kGridRows; ++r)
        for (int c = 0; c < kGridColumns; ++c)
            if (cellRect(c, r).adjusted(0, 0, kLine, kLine).contains(point))
                return {c, r};
    return {-1, -1};
}

QSize THexViewer::sizeHint() const {
    const QRect last = cellRect(kTextColumn, kGridRows - 1);
    return {last.right() + 1 + kLine + kBorder, last.bottom() + 1 + kLine + kBorder};
}

bool THexViewer::SelectCell(int column, int row) {
    if (column == kTextColumn)
        return false;
    return !OnSelectCell || OnSelectCell(column, row);
}

bool THexViewer::setCursorCell(int column, int row) {
    if (column < 1 || column >= kGridColumns || row < 1 || row >= kGridRows)
        return false;
    if (!SelectCell(column, row))
        return false;
    update(cellRect(col_, row_));
    col_ = column;
    row_ = row;
    update(cellRect(col_, row_));
    announceCursor();
    Q_EMIT Click();
    return true;
}

void THexViewer::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QPalette& pal = palette();
    painter.fillRect(rect(), pal.color(QPalette::Mid));
    painter.setFont(font());
    for (int r = 0; r < kGridRows; ++r) {
        for (int c = 0; c < kGridColumns; ++c) {
            const QRect cell = cellRect(c, r);
            if (!event->rect().intersects(cell))
                continue;
            const bool fixed = r == 0 || c == 0;
            const bool cursor = c == col_ && r == row_;
            QColor background = fixed ? pal.color(QPalette::Button) : pal.color(QPalette::Base);
            QColor text = fixed ? pal.color(QPalette::ButtonText) : pal.color(QPalette::Text);
            if (cursor) {
                background = pal.color(QPalette::Highlight);
                text = pal.color(QPalette::HighlightedText);
            }
            painter.fillRect(cell, background);
            if (fixed) {
                painter.setPen(pal.color(QPalette::Light));
                painter.drawLine(cell.topLeft(), cell.topRight());
                painter.drawLine(cell.topLeft(), cell.bottomLeft());
            }
            painter.setPen(text);
            painter.drawText(cell.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                             shownCellText(c, r));
            if (OnDrawCell) {
                painter.save();
                painter.setClipRect(cell);
                OnDrawCell(painter, c, r, cell);
                painter.restore();
            }
            // After the window's marks, so that the focus shows on a marked byte too.
            if (cursor && hasFocus())
                drawFocusFrame(painter, cell);
        }
    }
}

void THexViewer::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint cell = cellAt(event->position().toPoint());
    if (cell.x() >= 1 && cell.y() >= 1)
        setCursorCell(cell.x(), cell.y());
}

void THexViewer::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        Q_EMIT DblClick();
}

void THexViewer::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (key == Qt::Key_PageDown) {
        if (page_.size == kPageBytes)
            setOffset(offset_ + kPageBytes);
    } else if (key == Qt::Key_PageUp) {
        setOffset(offset_ < kPageBytes ? 0 : offset_ - kPageBytes);
    }
    Q_EMIT KeyDown(key, mods);
    // The double click's picking rules without a mouse.
    if (key == Qt::Key_Space && (mods & ~Qt::KeypadModifier) == Qt::NoModifier) {
        Q_EMIT DblClick();
        event->accept();
        return;
    }

    int c = col_;
    int r = row_;
    bool moves = true;
    if (mods & Qt::ControlModifier) {
        switch (key) {
        case Qt::Key_Home:
            c = 1, r = 1;
            break;
        case Qt::Key_End:
            c = kTextColumn - 1, r = kGridRows - 1; // the text column takes no cursor
            break;
        case Qt::Key_PageUp:
            r = 1;
            break;
        case Qt::Key_PageDown:
            r = kGridRows - 1;
            break;
        default:
            moves = false;
        }
    } else {
        switch (key) {
        case Qt::Key_Up:
            --r;
            break;
        case Qt::Key_Down:
            ++r;
            break;
        case Qt::Key_Left:
            --c;
            break;
        case Qt::Key_Right:
            ++c;
            break;
        case Qt::Key_PageUp:
            r -= 16;
            break;
        case Qt::Key_PageDown:
            r += 16;
            break;
        case Qt::Key_Home:
            c = 1;
            break;
        case Qt::Key_End:
            c = kTextColumn - 1;
            break;
        default:
            moves = false;
        }
    }
    if (!moves) {
        event->ignore(); // Enter and Escape belong to the window
        return;
    }
    c = std::clamp(c, 1, kGridColumns - 1);
    r = std::clamp(r, 1, kGridRows - 1);
    if (c != col_ || r != row_)
        setCursorCell(c, r);
    event->accept();
}

} // namespace kestrine
