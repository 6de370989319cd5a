#pragma once
// What a screen reader learns of the self-drawn hex grid: the grid as a table of 16 rows of 16
// byte cells and the row's text, each cell named by its position and value ("1F4: 4B"), the
// window's marks (chosen start, finish, last hit) in its description, the cursor cell as the
// focused one. Qt asks for it through the factory that installAccessibleHexGrid puts in place.

#include <QAccessibleWidget>

#include <array>
#include <memory>

namespace kestrine {

class THexViewer;

// Makes Qt create the interface below for every THexViewer; installing it twice is harmless.
void installAccessibleHexGrid();

// The index of the grid cell (column, row) among the accessible children: every cell of the
// 18 x 17 grid, row by row, the header row and column included.
constexpr int accessibleChildIndex(int column, int row) {
    return row * 18 + column;
}

class AccessibleHexGrid : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit AccessibleHexGrid(THexViewer* grid);
    ~AccessibleHexGrid() override;

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;
    QString text(QAccessible::Text t) const override;
    void* interface_cast(QAccessible::InterfaceType t) override;

    // The table: the 16 byte columns and the text column of the 16 rows.
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override;
    int selectedCellCount() const override { return 1; }
    QList<QAccessibleInterface*> selectedCells() const override;
    QString columnDescription(int column) const override;
    QString rowDescription(int row) const override;
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return 0; }
    int columnCount() const override { return 17; }
    int rowCount() const override { return 16; }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int) const override { return false; }
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent*) override {}

    THexViewer* grid() const;
    // The interface of the grid cell (column, row), made once and kept while the grid lives.
    QAccessibleInterface* gridCell(int column, int row) const;

private:
    // The cells by their ids in Qt's cache (0: not made yet), which may delete them first at
    // the end of the program.
    mutable std::array<QAccessible::Id, 18 * 17> cells_{};
};

} // namespace kestrine
