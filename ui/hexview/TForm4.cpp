#include "ui/hexview/TForm4.h"

#include "ui_TForm4.h"

#include "core/Fields.h"
#include "core/Numbers.h"
#include "core/Search.h"
#include "core/Text.h"
#include "ui/common/FileNameText.h"
#include "ui/common/Prompts.h"
#include "ui/common/WindowLook.h"
#include "ui/common/WindowPlace.h"
#include "ui/hexview/THexViewer.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMultiHash>
#include <QPainter>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>
#include <limits>

namespace kestrine {

namespace {

QColor markColour(Rgb rgb) {
    return QColor(rgb.red, rgb.green, rgb.blue);
}

// Scroll bar positions are int; the viewer only opens on files below 2^31 bytes.
int scrollPosition(Position position) {
    return static_cast<int>(std::clamp<Position>(position, 0, std::numeric_limits<int>::max()));
}

// The style's focus on a push button looks like its mark of the default button, and on a scroll
// bar it draws none: there the frame of the grid's cursor shows the focus.
class FocusFrameStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        QProxyStyle::drawControl(element, option, painter, widget);
        if (element == CE_PushButton && (option->state & State_HasFocus))
            drawFocusFrame(*painter, option->rect.adjusted(3, 3, -3, -3));
    }
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        if (control == CC_ScrollBar && (option->state & State_HasFocus))
            drawFocusFrame(*painter, option->rect);
    }
};

// Sizes a scroll bar's thumb as if a page were no position at all, so the thumb keeps its
// smallest size on every file; the page step of 256 would make it a large share of a short file.
class SmallestThumbStyle : public FocusFrameStyle {
public:
    using FocusFrameStyle::FocusFrameStyle;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                         const QWidget* widget) const override {
        const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
        if (control != CC_ScrollBar || !slider)
            return FocusFrameStyle::subControlRect(control, option, part, widget);
        QStyleOptionSlider smallest = *slider;
        smallest.pageStep = 0;
        return FocusFrameStyle::subControlRect(control, &smallest, part, widget);
    }
};

} // namespace

std::vector<char32_t> qtSameCase(char32_t c) {
    // Every character by its upper case, where that differs, built once at the first search
    // of a text beyond ASCII.
    static const QMultiHash<char32_t, char32_t> byUpper = [] {
        QMultiHash<char32_t, char32_t> table;
        for (char32_t x = 0; x <= 0x10FFFF; ++x)
            if (const char32_t upper = QChar::toUpper(x); upper != x)
                table.insert(upper, x);
        return table;
    }();
    const char32_t upper = QChar::toUpper(c);
    std::vector<char32_t> same{c, upper};
    for (auto it = byUpper.constFind(upper); it != byUpper.cend() && it.key() == upper; ++it)
        same.push_back(it.value());
    return same;
}

QString notFoundText(const QString& text) {
    return QStringLiteral("\"") + text + QStringLiteral("\" not found");
}

TForm4::TForm4(AppState& state, Platform& platform, Host& mainWindow, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TForm4>()), state_(state), platform_(platform),
      main_(mainWindow) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(658, 416);

    useWindowFont(this);
    routeHintsTo(this, ui->StatusBar1);
    QFont buttonFont = font();
    buttonFont.setPointSize(8);
    for (QWidget* button : std::initializer_list<QWidget*>{
             ui->SetStartButton, ui->ClearStartButton, ui->GoToStartButton, ui->SetFinishButton,
             ui->ClearFinishButton, ui->GoToFinishButton, ui->AcceptBitBtn, ui->CloseBitBtn})
        button->setFont(buttonFont);
    QFont courier(QStringLiteral("Courier New"));
    courier.setStyleHint(QFont::Monospace);
    courier.setPointSize(9);
    ui->CharLabel->setFont(courier);
    ui->CharLabel->adjustSize();

    auto* thumbStyle = new SmallestThumbStyle(QApplication::style()->name());
    thumbStyle->setParent(ui->ScrollBar);
    ui->ScrollBar->setStyle(thumbStyle);
    for (QWidget* button : std::initializer_list<QWidget*>{ui->AcceptBitBtn, ui->CloseBitBtn}) {
        auto* focusStyle = new FocusFrameStyle(QApplication::style()->name());
        focusStyle->setParent(button);
        button->setStyle(focusStyle);
    }

    // Every button, also those with a picture only, is named for a screen reader by its hint.
    for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{
             ui->SetStartButton, ui->ClearStartButton, ui->GoToStartButton, ui->SetFinishButton,
             ui->ClearFinishButton, ui->GoToFinishButton, ui->SearchButton, ui->AcceptBitBtn,
             ui->CloseBitBtn})
        button->setAccessibleName(button->statusTip());
    ui->SearchEdit->setAccessibleName(ui->Label1->text());
    ui->SearchEdit->setAccessibleDescription(ui->SearchEdit->statusTip());
    ui->Label1->setBuddy(ui->SearchEdit);
    // Enter in the search field searches instead of pressing the default button.
    ui->SearchEdit->installEventFilter(this);

    THexViewer* grid = ui->HexViewer1;
    grid->setAccessibleName(QStringLiteral("Bytes of the file"));
    grid->setPlatform(platform);
    grid->setFont(courier);
    grid->setDefaultRowHeight(17);
    grid->OnSelectCell = [this](int column, int row) { return HexViewer1SelectCell(column, row); };
    grid->OnDrawCell = [this](QPainter& painter, int column, int row, const QRect& rect) {
        HexViewer1DrawCell(painter, column, row, rect);
    };
    grid->OnDescribeCell = [this](int column, int row) { return describeMarks(column, row); };

    connect(grid, &THexViewer::Click, this, &TForm4::ReposScrollBar);
    connect(grid, &THexViewer::DblClick, this, &TForm4::HexViewer1DblClick);
    connect(grid, &THexViewer::KeyDown, this, &TForm4::HexViewer1KeyDown);
    connect(ui->ScrollBar, &QScrollBar::actionTriggered, this, &TForm4::ScrollBarScroll);
    connect(ui->ScrollBar, &QScrollBar::sliderReleased, this,
            [this] { ScrollBarScroll(QAbstractSlider::SliderNoAction); });
    connect(ui->SetStartButton, &QToolButton::clicked, this, &TForm4::SetStartButtonClick);
    connect(ui->SetFinishButton, &QToolButton::clicked, this, &TForm4::SetFinishButtonClick);
    connect(ui->ClearStartButton, &QToolButton::clicked, this, &TForm4::ClearStartButtonClick);
    connect(ui->ClearFinishButton, &QToolButton::clicked, this, &TForm4::ClearFinishButtonClick);
    connect(ui->GoToStartButton, &QToolButton::clicked, this, &TForm4::GoToStartButtonClick);
    connect(ui->GoToFinishButton, &QToolButton::clicked, this, &TForm4::GoToFinishButtonClick);
    connect(ui->AcceptBitBtn, &QPushButton::clicked, this, &TForm4::AcceptBitBtnClick);
    connect(ui->CloseBitBtn, &QPushButton::clicked, this, &TForm4::CloseBitBtnClick);
    connect(ui->SearchButton, &QToolButton::clicked, this, &TForm4::SearchButtonClick);
}

TForm4::~TForm4() = default;

bool TForm4::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->SearchEdit && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            SearchButtonClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

QString TForm4::describeMarks(int column, int row) const {
    const Position position = cellPosition(ui->HexViewer1->Offset(), column, row);
    QStringList words;
    for (Marking marking : markingsAt(position, picks_, lastHit())) {
        switch (marking) {
        case Marking::LastFound:
            words << QStringLiteral("last search hit");
            break;
        case Marking::Start:
            words << QStringLiteral("chosen start");
            break;
        case Marking::Finish:
            words << QStringLiteral("chosen finish");
            break;
        case Marking::StartIsFinish:
            break; // already said by the two above
        }
    }
    return words.join(QStringLiteral(", "));
}

bool TForm4::cursorHoldsByte() const {
    const THexViewer* grid = ui->HexViewer1;
    const int index = (grid->Row() - 1) * kRowBytes + (grid->Col() - 1);
    return index < static_cast<int>(grid->Size()) && cursorPosition() < state_.SourceFileSize;
}

THexViewer* TForm4::HexViewer1() const {
    return ui->HexViewer1;
}

QScrollBar* TForm4::ScrollBar() const {
    return ui->ScrollBar;
}

Position TForm4::cursorPosition() const {
    return cellPosition(ui->HexViewer1->Offset(), ui->HexViewer1->Col(), ui->HexViewer1->Row());
}

void TForm4::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Only now is the frame known that the window manager gave.
    keepOnScreen(this);
}

bool TForm4::FormShow() {
    picks_ = Picks{};
    // At the main window's corner, but on the screen: the viewer is the larger of the two.
    placeOnScreen(this, QPoint(main_.windowLeft(), main_.windowTop()));
    applyWindowColours(this, state_.Settings.FormColour, ui->StatusBar1);
    ui->FileSizeLabel->setText(QString::fromStdString(
        "File Size: " + sizeTextWith(state_.SourceFileSize, platform_.thousandsSeparator())));
    ui->FileSizeLabel->adjustSize();

    QScrollBar* bar = ui->ScrollBar;
    const QStyle* look = bar->style();
    const ScrollSetup setup =
        scrollSetup(state_.SourceFileSize, bar->height(),
                    look->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, bar),
                    look->pixelMetric(QStyle::PM_ScrollBarSliderMin, nullptr, bar));
    bar->setEnabled(setup.enabled);
    bar->setRange(0, setup.enabled ? setup.maximum : 0);
    bar->setValue(0);
    bar->setSingleStep(kPageBytes);
    bar->setPageStep(kPageBytes);

    const std::string startText = main_.fieldText(Field::StartDec);
    const std::string lengthText = main_.fieldText(Field::OffsetDec);
    const auto start = parseNumber(startText);
    const auto length = start ? parseNumber(lengthText) : std::nullopt;
    if (!start || !length) {
        main_.reportError(notANumberMessage(start ? lengthText : startText));
        return false;
    }

    picks_ = Picks::atOpening(*start, *length);
    SetPositionLabels();
    ui->HexViewer1->setOffset(*start);
    bar->setValue(scrollPosition(*start));
    SetButtonStates();
    ui->AcceptBitBtn->setEnabled(false);
    AdjustRowHeader();
    // The paging keys work at once, also when the last showing ended on a button.
    ui->HexViewer1->setFocus();
    return true;
}

void TForm4::SetPositionLabels() {
    const PositionLabels labels = positionLabels(picks_.startPos, picks_.finishPos);
    const std::pair<QLabel*, const std::string*> pairs[] = {{ui->StartOffsetLabel, &labels.start},
                                                            {ui->FinishOffsetLabel, &labels.finish},
                                                            {ui->OffsetLabel, &labels.offset}};
    for (auto [label, text] : pairs) {
        label->setText(QString::fromStdString(*text));
        label->adjustSize();
    }
}

void TForm4::SetButtonStates() {
    // An empty file has no byte to set.
    const bool bytes = state_.SourceFileSize > 0;
    ui->SetStartButton->setEnabled(!picks_.startSet && bytes);
    ui->GoToStartButton->setEnabled(picks_.startSet);
    ui->ClearStartButton->setEnabled(picks_.startSet);
    ui->SetFinishButton->setEnabled(!picks_.finishSet && bytes);
    ui->GoToFinishButton->setEnabled(picks_.finishSet);
    ui->ClearFinishButton->setEnabled(picks_.finishSet);
    // Only a range of bytes the file holds can be accepted (the main window may have brought
    // positions past the end of this file).
    ui->AcceptBitBtn->setEnabled(rangeInFile(acceptedRange(picks_), state_.SourceFileSize));
}

void TForm4::AdjustRowHeader() {
    THexViewer* grid = ui->HexViewer1;
    const int a = lastHexDigit(grid->cellText(0, 1).toStdString());
    const int b = lastHexDigit(grid->cellText(1, 0).toStdString());
    if (a < 0 || a == b)
        return;
    const auto captions = columnCaptions(a);
    for (int i = 0; i < 16; ++i)
        grid->setCellText(i + 1, 0, QString::fromStdString(captions[i]));
}

void TForm4::ReposScrollBar() {
    if (ui->ScrollBar->isEnabled())
        ui->ScrollBar->setValue(scrollPosition(ui->HexViewer1->Offset()));
}

void TForm4::ScrollBarScroll(int action) {
    QScrollBar* bar = ui->ScrollBar;
    // While the thumb is dragged only its release moves the page.
    if (action == QAbstractSlider::SliderMove && bar->isSliderDown())
        return;
    ui->HexViewer1->setOffset(bar->sliderPosition());
    AdjustRowHeader();
}

void TForm4::HexViewer1KeyDown(int key, Qt::KeyboardModifiers modifiers) {
    if ((modifiers & ~Qt::KeypadModifier) == Qt::ControlModifier) {
        if (key == Qt::Key_Home)
            ui->HexViewer1->setOffset(0);
        else if (key == Qt::Key_End)
            ui->HexViewer1->setOffset(state_.SourceFileSize);
        ReposScrollBar();
    }
    AdjustRowHeader();
}

bool TForm4::HexViewer1SelectCell(int column, int row) {
    const THexViewer* grid = ui->HexViewer1;
    if (!canSelectCell(grid->Offset(), column, row, state_.SourceFileSize))
        return false;
    // The character as the text column draws it.
    ui->CharLabel->setText(QString::fromLatin1(
        shownText(charAt(grid->page().texts[static_cast<std::size_t>(row - 1)], column))));
    ui->CharLabel->adjustSize();
    return true;
}

void DrawField(const QString& text, const QRect& rect, QPainter& painter, const QFont& font,
               int alignment, bool bold, const QColor& textColour, const QColor& background) {
    painter.fillRect(rect, background);
    QFont styled = font;
    if (bold)
        styled.setBold(true);
    painter.setFont(styled);
    painter.setPen(textColour);
    const QRect area = rect.adjusted(2, 2, -2, 0);
    const Qt::Alignment across = alignment == 1   ? Qt::AlignRight
                                 : alignment == 2 ? Qt::AlignHCenter
                                                  : Qt::AlignLeft;
    painter.save();
    painter.setClipRect(rect);
    painter.drawText(area, across | Qt::AlignTop, text);
    painter.restore();
}

void TForm4::HexViewer1DrawCell(QPainter& painter, int column, int row, const QRect& rect) {
    if (column < 1 || column > 16 || row < 1 || row > 16)
        return;
    const THexViewer* grid = ui->HexViewer1;
    const Position position = cellPosition(grid->Offset(), column, row);
    for (Marking marking : markingsAt(position, picks_, lastHit())) {
        const MarkStyle style = markStyle(marking);
        DrawField(grid->cellText(column, row), rect, painter, grid->font(), 0, style.bold,
                  readableOn(markColour(style.text), markColour(style.background)),
                  markColour(style.background));
    }
}

void TForm4::HexViewer1DblClick() {
    if (!cursorHoldsByte())
        return;
    picks_.doubleClick(cursorPosition());
    SetPositionLabels();
    ui->HexViewer1->update();
    SetButtonStates();
}

void TForm4::SetStartButtonClick() {
    if (!cursorHoldsByte())
        return;
    picks_.setStart(cursorPosition());
    ui->HexViewer1->update();
    SetButtonStates();
    SetPositionLabels();
}

void TForm4::SetFinishButtonClick() {
    if (!cursorHoldsByte())
        return;
    picks_.setFinish(cursorPosition());
    ui->HexViewer1->update();
    SetButtonStates();
    SetPositionLabels();
}

void TForm4::ClearStartButtonClick() {
    picks_.clearStart();
    SetButtonStates();
    SetPositionLabels();
    ui->HexViewer1->update();
}

void TForm4::ClearFinishButtonClick() {
    picks_.clearFinish();
    SetButtonStates();
    SetPositionLabels();
    ui->HexViewer1->update();
}

void TForm4::GoToStartButtonClick() {
    ui->HexViewer1->setOffset(picks_.startPos);
    ui->ScrollBar->setValue(scrollPosition(picks_.startPos));
    AdjustRowHeader();
}

void TForm4::GoToFinishButtonClick() {
    ui->HexViewer1->setOffset(picks_.finishPos);
    ui->ScrollBar->setValue(scrollPosition(picks_.finishPos));
    AdjustRowHeader();
}

void TForm4::AcceptBitBtnClick() {
    const AcceptedRange range = acceptedRange(picks_);
    if (!rangeInFile(range, state_.SourceFileSize))
        return; // the default button, pressed by Enter while disabled
    main_.setFieldText(Field::StartDec, toDec(range.start));
    main_.setFieldText(Field::OffsetDec, toDec(range.lengthValue));
    main_.setFieldText(Field::StartHex, toHex(range.start));
    main_.setFieldText(Field::OffsetHex, toHex(range.lengthValue));
    ui->AcceptBitBtn->setEnabled(false);
}

void TForm4::CloseBitBtnClick() {
    close();
}

void TForm4::SearchButtonClick() {
    const QString text = ui->SearchEdit->text();
    if (text.isEmpty())
        return;
    THexViewer* grid = ui->HexViewer1;
    const Position from = cursorPosition();
    grid->CloseFile();
    const SearchResult result = searchFile(platform_, state_.SourceFileName, state_.SourceFileSize,
                                           from, lastHit(), text.toStdU16String(), qtSameCase);
    if (result.outcome == SearchOutcome::CannotOpen) {
        prompts().messageBox(this, BoxKind::Error,
                             QStringLiteral("The source file ") + nameText(state_.SourceFileName) +
                                 QStringLiteral(" cannot be opened."));
        // The page shown stays; the grid takes its file back where it can, so that later page
        // moves still show a file that was only locked.
        grid->reopenFile();
        return;
    }
    Position at = 0; // nothing found: back to the start of the file
    if (result.outcome == SearchOutcome::Found) {
        at = result.position;
        state_.LastFound.position = at;
        state_.LastFound.made = true;
        state_.LastFound.utf8 = result.utf8;
        ui->StatusBar1->clearMessage();
    } else {
        ui->StatusBar1->showMessage(notFoundText(text));
    }
    grid->setFileName(state_.SourceFileName);
    grid->setOffset(at);
    grid->setFocus();
    // A page never starts with bit 4 set, so such a hit lies in the second row.
    grid->setCursorCell(1, grid->Offset() + kRowBytes == at ? 2 : 1);
    grid->update();
    ReposScrollBar();
    AdjustRowHeader();
}

} // namespace kestrine
