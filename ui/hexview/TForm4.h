#pragma once
// The hex file viewer: the source file a page at a time, on which the user picks the first and
// the last byte of the copy range; Accept hands both back to the main window's number fields.

#include "core/AppState.h"
#include "core/Host.h"
#include "platform/Platform.h"
#include "ui/hexview/page/HexPage.h"

#include <QDialog>

#include <memory>
#include <vector>

class QPainter;
class QScrollBar;

namespace Ui {
class TForm4;
}

namespace kestrine {

class THexViewer;

class TForm4 : public QDialog {
    Q_OBJECT

public:
    // `mainWindow` is the main window: its position, its number fields and its error report.
    TForm4(AppState& state, Platform& platform, Host& mainWindow, QWidget* parent = nullptr);
    ~TForm4() override;

    THexViewer* HexViewer1() const;
    QScrollBar* ScrollBar() const;
    const Picks& picks() const { return picks_; }

    // Everything a showing starts from (position, colours, labels, scroll bar, the page at the
    // start position). Returns false, after the error report, when a number field does not
    // convert; the window is then not shown.
    bool FormShow();

    // The scroll bar follows the grid's page; the column captions follow the page offset.
    void ReposScrollBar();
    void AdjustRowHeader();

public Q_SLOTS:
    void ScrollBarScroll(int action);
    void HexViewer1KeyDown(int key, Qt::KeyboardModifiers modifiers);
    void HexViewer1DblClick();
    void SetStartButtonClick();
    void SetFinishButtonClick();
    void ClearStartButtonClick();
    void ClearFinishButtonClick();
    void GoToStartButtonClick();
    void GoToFinishButtonClick();
    void AcceptBitBtnClick();
    void CloseBitBtnClick();
    // Finds the text of SearchEdit from the cursor on and shows the hit.
    void SearchButtonClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool HexViewer1SelectCell(int column, int row);
    // The window's marks on a byte cell in words, for a screen reader.
    QString describeMarks(int column, int row) const;
    // Whether the cursor cell holds a byte of the file: only such a cell can be chosen or set.
    bool cursorHoldsByte() const;
    void HexViewer1DrawCell(QPainter& painter, int column, int row, const QRect& rect);
    void SetButtonStates();
    void SetPositionLabels();
    Position cursorPosition() const;
    const LastHit& lastHit() const { return state_.LastFound; }

    std::unique_ptr<Ui::TForm4> ui;
    AppState& state_;
    Platform& platform_;
    Host& main_;
    Picks picks_;
};

// The characters of the same case as `c` by Qt's simple case mapping (those whose upper case is
// c's), for the search's UTF-8 form.
std::vector<char32_t> qtSameCase(char32_t c);

// The status bar's word after a search that found nothing.
QString notFoundText(const QString& text);

// Draws a cell's text over its filled rectangle: alignment 0 left, 1 right, 2 centred.
void DrawField(const QString& text, const QRect& rect, QPainter& painter, const QFont& font,
               int alignment, bool bold, const QColor& textColour, const QColor& background);

} // namespace kestrine
