#pragma once
// What the hex viewer's tests share: the viewer shown without a modal loop for a script, and a
// cell's colour as painted.

#include "ui/common/WindowOpener.h"
#include "ui/hexview/TForm4.h"
#include "ui/hexview/THexViewer.h"

#include <QColor>
#include <QDialog>
#include <QImage>
#include <QPixmap>
#include <QTest>

#include <functional>

namespace kestrine::testing {

// Shows the window without a modal loop, lets the test act on it, then closes it.
class ScriptedOpener : public WindowOpener {
public:
    std::function<void(TForm4&)> script;
    int runs = 0;
    void runModal(QDialog& window) override {
        ++runs;
        window.show();
        window.activateWindow();
        if (QTest::qWaitForWindowActive(&window) && script)
            script(static_cast<TForm4&>(window));
        window.close();
    }
};

// A byte cell's background: right of its two digits and inside the focus frame of the cursor.
inline QColor pixelOf(THexViewer* grid, int column, int row) {
    const QRect cell = grid->cellRect(column, row);
    return grid->grab().toImage().pixelColor(cell.right() - 3, cell.center().y());
}

} // namespace kestrine::testing
