#include "ui/hexview/HexViewerAccessible.h"

#include "core/Numbers.h"
#include "ui/hexview/THexViewer.h"

#include <QPointer>

namespace kestrine {

namespace {

// One cell of the grid: a byte, a row's text, a caption or a row's position.
class AccessibleHexCell : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    AccessibleHexCell(THexViewer* grid, int column, int row)
        : grid_(grid), column_(column), row_(row) {}

    bool isValid() const override { return !grid_.isNull(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override {
        return grid_ && grid_->window() ? grid_->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(grid_.data());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text t) const override {
        if (!grid_)
            return {};
        switch (t) {
        case QAccessible::Name:
            return grid_->accessibleCellName(column_, row_);
        case QAccessible::Description:
            return grid_->accessibleCellDescription(column_, row_);
        case QAccessible::Value:
            return grid_->cellText(column_, row_);
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override {
        if (!grid_)
            return {};
        const QRect cell = grid_->cellRect(column_, row_);
        return QRect(grid_->mapToGlobal(cell.topLeft()), cell.size());
    }

    QAccessible::Role role() const override {
        if (row_ == 0)
            return QAccessible::ColumnHeader;
        return column_ == 0 ? QAccessible::RowHeader : QAccessible::Cell;
    }

    QAccessible::State state() const override {
        QAccessible::State s;
        if (!grid_)
            return s;
        s.readOnly = true;
        if (!grid_->isVisible())
            s.invisible = true;
        if (row_ == 0 || column_ == 0)
            return s;
        const bool cursor = column_ == grid_->Col() && row_ == grid_->Row();
        s.selectable = column_ != 17;
        s.focusable = column_ != 17;
        s.selected = cursor;
        s.focused = cursor && grid_->hasFocus();
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType t) override {
        return t == QAccessible::TableCellInterface
                   ? static_cast<QAccessibleTableCellInterface*>(this)
                   : nullptr;
    }

    bool isSelected() const override { return state().selected; }
    QList<QAccessibleInterface*> columnHeaderCells() const override {
        if (row_ == 0 || !table())
            return {};
        return {hexGrid()->gridCell(column_, 0)};
    }
    QList<QAccessibleInterface*> rowHeaderCells() const override {
        if (column_ == 0 || !table())
            return {};
        return {hexGrid()->gridCell(0, row_)};
    }
    // The table's own numbering leaves out the header row and column.
    int columnIndex() const override { return column_ - 1; }
    int rowIndex() const override { return row_ - 1; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

private:
    AccessibleHexGrid* hexGrid() const { return static_cast<AccessibleHexGrid*>(parent()); }

    QPointer<THexViewer> grid_;
    int column_;
    int row_;
};

QAccessibleInterface* hexGridFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(THexViewer::staticMetaObject.className()))
        if (auto* grid = qobject_cast<THexViewer*>(object))
            return new AccessibleHexGrid(grid);
    return nullptr;
}

} // namespace

void installAccessibleHexGrid() {
    static const bool installed = [] {
        QAccessible::installFactory(hexGridFactory);
        return true;
    }();
    (void)installed;
}

AccessibleHexGrid::AccessibleHexGrid(THexViewer* grid)
    : QAccessibleWidget(grid, QAccessible::Table) {}

AccessibleHexGrid::~AccessibleHexGrid() {
    for (QAccessible::Id id : cells_)
        if (id != 0 && QAccessible::accessibleInterface(id))
            QAccessible::deleteAccessibleInterface(id);
}

THexViewer* AccessibleHexGrid::grid() const {
    return static_cast<THexViewer*>(widget());
}

QAccessibleInterface* AccessibleHexGrid::gridCell(int column, int row) const {
    if (column < 0 || column >= 18 || row < 0 || row >= 17)
        return nullptr;
    QAccessible::Id& id = cells_[static_cast<std::size_t>(accessibleChildIndex(column, row))];
    if (QAccessibleInterface* cell = id != 0 ? QAccessible::accessibleInterface(id) : nullptr)
        return cell;
    auto* cell = new AccessibleHexCell(grid(), column, row);
    id = QAccessible::registerAccessibleInterface(cell);
    return cell;
}

int AccessibleHexGrid::childCount() const {
    return static_cast<int>(cells_.size());
}

QAccessibleInterface* AccessibleHexGrid::child(int index) const {
    if (index < 0 || index >= childCount())
        return nullptr;
    return gridCell(index % 18, index / 18);
}

int AccessibleHexGrid::indexOfChild(const QAccessibleInterface* child) const {
    for (std::size_t i = 0; i < cells_.size(); ++i)
        if (cells_[i] != 0 && QAccessible::accessibleInterface(cells_[i]) == child)
            return static_cast<int>(i);
    return -1;
}

QAccessibleInterface* AccessibleHexGrid::childAt(int x, int y) const {
    const QPoint cell = grid()->cellAt(grid()->mapFromGlobal(QPoint(x, y)));
    return cell.x() < 0 ? nullptr : gridCell(cell.x(), cell.y());
}

QAccessibleInterface* AccessibleHexGrid::focusChild() const {
    if (!grid()->hasFocus())
        return nullptr;
    return gridCell(grid()->Col(), grid()->Row());
}

QString AccessibleHexGrid::text(QAccessible::Text t) const {
    if (t == QAccessible::Description && grid()->accessibleDescription().isEmpty())
        return QStringLiteral("16 bytes a row, from position %1")
            .arg(QString::fromStdString(toHex(grid()->Offset())));
    return QAccessibleWidget::text(t);
}

void* AccessibleHexGrid::interface_cast(QAccessible::InterfaceType t) {
    if (t == QAccessible::TableInterface)
        return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
}

QAccessibleInterface* AccessibleHexGrid::cellAt(int row, int column) const {
    return gridCell(column + 1, row + 1);
}

QList<QAccessibleInterface*> AccessibleHexGrid::selectedCells() const {
    return {gridCell(grid()->Col(), grid()->Row())};
}

QString AccessibleHexGrid::columnDescription(int column) const {
    return grid()->cellText(column + 1, 0);
}

QString AccessibleHexGrid::rowDescription(int row) const {
    return grid()->cellText(0, row + 1);
}

} // namespace kestrine
