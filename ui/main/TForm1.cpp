#include "ui/main/TForm1.h"

#include "ui_TForm1.h"

#include "core/Colour.h"
#include "core/Copy.h"
#include "core/Fields.h"
#include "core/Log.h"
#include "core/Names.h"
#include "core/Text.h"
#include "platform/desktop/HotKey.h"
#include "settings/SettingsFile.h"
#include "ui/about/HelpFile.h"
#include "ui/about/TAboutBox.h"
#include "ui/common/FileNameText.h"
#include "ui/common/NumberEdit.h"
#include "ui/common/WindowLook.h"
#include "ui/common/WindowOpener.h"
#include "ui/common/WindowPlace.h"
#include "ui/hexview/TForm4.h"
#include "ui/hexview/THexViewer.h"
#include "ui/main/FileSelection.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLayout>

#include <array>
#include <utility>

namespace kestrine {

TForm1::TForm1(AppState& state, Platform& platform, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::TForm1>()), state_(state),
      platform_(platform), ctx_{state, *this, platform} {
    initPictures();
    ui->setupUi(this);
    log_ = ActivityLogView(ui->RichEdit1);

    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    ui->ClientArea->setFixedSize(446, 398);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    useWindowFont(this);
    // The menu bar keeps the desktop's own font and colours, as a system menu would.
    ui->MainMenu1->setFont(QApplication::font());
    ui->MainMenu1->setPalette(readableSystemPalette());
    ui->MainMenu1->installEventFilter(this);
    ui->StatusBar1->setAutoFillBackground(true);
    routeHintsTo(this, ui->StatusBar1);
    // The size is final before the window is shown: the settings centre it by that size.
    layout()->activate();

    ProgressTimer1.setObjectName(QStringLiteral("ProgressTimer1"));
    ProgressTimer1.setInterval(500);
    connect(&ProgressTimer1, &QTimer::timeout, this,
            [this] { guarded([this] { ProgressTimer(ctx_); }); });

    using Handler = void (TForm1::*)();
    for (const auto& [button, handler] :
         std::initializer_list<std::pair<QAbstractButton*, Handler>>{
             {ui->GetSourceSpeedButton, &TForm1::GetSourceFile},
             {ui->GetDestSpeedButton, &TForm1::GetDestFile},
             {ui->CopySourceFileButton, &TForm1::CopySourceFileButtonClick},
             {ui->CopyBitBtn, &TForm1::CopyBitBtnClick},
             {ui->CloseBitBtn, &TForm1::ExitProgram},
             {ui->SetPosMinButton, &TForm1::SetPosMinButtonClick},
             {ui->SetPosMaxButton, &TForm1::SetPosMaxButtonClick},
             {ui->IncPosButton, &TForm1::IncPosButtonClick},
             {ui->DecPosButton, &TForm1::DecPosButtonClick},
             {ui->SetOffsetMinButton, &TForm1::SetOffsetMinButtonClick},
             {ui->SetOffsetMaxButton, &TForm1::SetOffsetMaxButtonClick},
             {ui->IncOffsetButton, &TForm1::IncOffsetButtonClick},
             {ui->DecOffsetButton, &TForm1::DecOffsetButtonClick},
             {ui->HexViewButton, &TForm1::HexViewButtonClick}})
        connect(button, &QAbstractButton::clicked, this, handler);
    connect(ui->Exit1, &QAction::triggered, this, &TForm1::ExitProgram);
    connect(ui->Settings1, &QAction::triggered, this, &TForm1::Settings1Click);
    connect(ui->Help1, &QAction::triggered, this, &TForm1::Help);
    connect(ui->About1, &QAction::triggered, this, &TForm1::About1Click);

    for (Field field : {Field::StartDec, Field::StartHex, Field::OffsetDec, Field::OffsetHex}) {
        auto* edit = static_cast<NumberEdit*>(editFor(field));
        edit->installEventFilter(this);
        edit->setHexadecimal(!isDecimalField(field));
        edit->setStepper([this, field](int step) {
            bool stepped = false;
            guarded([&] { stepped = stepField(ctx_, field, step); });
            return stepped;
        });
        connect(edit, &QLineEdit::textChanged, this, [this, field] {
            if (isStartField(field))
                UpdateStartPos(field);
            else
                UpdateOffset(field);
        });
    }
    ui->SourceFileEdit->installEventFilter(this);
    ui->DestFileEdit->installEventFilter(this);

    SettingsForm = std::make_unique<TSettingsForm>(ctx_, *this, this);
    SettingsForm->setObjectName(QStringLiteral("TSettingsForm"));
    AboutBox = std::make_unique<TAboutBox>(state_, this, ui->StatusBar1);
    JvApplicationHotKey1 = std::make_unique<GlobalHotKey>([this] { Help(); });
    hexViewer_ = std::make_unique<TForm4>(state_, platform_, *this);
    // The Exit button and the Exit command share the caption "E&xit"; two owners of Alt+X would
    // make Qt only move the focus on the first press, so the command alone answers it.
    ui->CloseBitBtn->setShortcut(QKeySequence());
}

TForm1::~TForm1() = default;

void TForm1::Init() {
    guarded([this] { RestoreRememberedFiles(ctx_, ReadSettings(ctx_)); });

    const Settings& settings = state_.Settings;
    // A stored place (or a larger scale since) may lie off the screens of today.
    placeOnScreen(this, QPoint(settings.Left, settings.Top));
    applyColours();
    applyFileFilter();
    openDialog1_.filterIndex = settings.FileFilterIndex1;
    openDialog2_.filterIndex = settings.FileFilterIndex2;

    guarded([this] { ChangeSourceFile(ctx_); });
    show();
    keepOnScreen(this);
    takeFileDrops(this, [this](const QStringList& names) { AcceptFiles(names); });
    setAcceptDrops(true);
    // Where the key is taken already, or cannot be taken, F1 stays the menu's shortcut.
    JvApplicationHotKey1->registerF1();
}

void TForm1::applyColours() {
    const ColourValue colour = state_.Settings.FormColour;
    log_.setBackground(toQColor(colour));
    log_.setTextColour(toQColor(ShadeColour(colour, -120)));
    applyWindowColours(this, colour, ui->StatusBar1);
}

void TForm1::setFormBackground(const QColor& colour) {
    log_.setBackground(colour);
    applyWindowBackground(this, colour);
}

void TForm1::setFormTextColour(const QColor& colour) {
    applyWindowText(this, colour);
}

void TForm1::setStatusBarColour(const QColor& colour) {
    applyStatusBarColour(ui->StatusBar1, colour);
}

void TForm1::applyFileFilter() {
    openDialog1_.filter = openDialog2_.filter = nameText(state_.Settings.FileFilter);
}

// ---- Host ----------------------------------------------------------------------------------

QLineEdit* TForm1::editFor(Field field) const {
    // In the order of Field.
    const std::array<QLineEdit*, 6> edits = {ui->SourceFileEdit, ui->DestFileEdit,
                                             ui->StartDecEdit,   ui->StartHexEdit,
                                             ui->OffsetDecEdit,  ui->OffsetHexEdit};
    return edits.at(static_cast<std::size_t>(field));
}

std::string TForm1::fieldText(Field field) const {
    return nameBytes(editFor(field)->text());
}

void TForm1::setFieldText(Field field, const std::string& text) {
    QLineEdit* edit = editFor(field);
    const QString value = nameText(text);
    if (auto* number = qobject_cast<NumberEdit*>(edit)) {
        // A value the program writes keeps its partner in step, focused or not (a refusal
        // writes the bound into an unfocused field); the partner the step writes only follows.
        const std::optional<Field> outer = programWrite_;
        if (!inStep_)
            programWrite_ = field;
        number->setProgramText(value);
        programWrite_ = outer;
    } else if (edit->text() != value)
        edit->setText(value);
}

void TForm1::focusField(Field field) {
    editFor(field)->setFocus(Qt::OtherFocusReason);
}

Answer TForm1::messageBox(BoxKind kind, const std::string& text) {
    return prompts().messageBox(this, kind, nameText(text));
}

void TForm1::reportError(const std::string& message) {
    prompts().errorReport(this, nameText(generalErrorText(message)));
}

void TForm1::appendLog(const std::string& text, bool bold) {
    log_.append(nameText(text), bold);
}

void TForm1::clearLog() {
    log_.clear();
}

void TForm1::ToggleFormControls(bool enabled) {
    // Every button and edit field; the log stays readable and scrollable.
    for (QWidget* control : ui->ClientArea->findChildren<QWidget*>())
        if (qobject_cast<QAbstractButton*>(control) || qobject_cast<QLineEdit*>(control))
            control->setEnabled(enabled);
    for (QAction* command : {ui->Exit1, ui->Settings1, ui->Help1, ui->About1})
        command->setEnabled(enabled);
}

void TForm1::setProgressPosition(int position) {
    ui->ProgressBar1->setValue(position);
}

int TForm1::progressPosition() const {
    return ui->ProgressBar1->value();
}

void TForm1::repaintProgress() {
    ui->ProgressBar1->repaint();
}

void TForm1::setProgressTimerEnabled(bool enabled) {
    if (enabled)
        ProgressTimer1.start();
    else
        ProgressTimer1.stop();
}

void TForm1::setStatusText(const std::string& text) {
    ShowHint(nameText(text));
}

void TForm1::setTitle(const std::string& title) {
    setWindowTitle(nameText(title));
}

void TForm1::pumpEvents() {
    QCoreApplication::processEvents();
}

Size TForm1::desktopSize() const {
    const QSize size = kestrine::desktopSize();
    return {size.width(), size.height()};
}

Size TForm1::windowOuterSize() const {
    const QSize size = outerFrameSize(this);
    return {size.width(), size.height()};
}

int TForm1::windowTop() const {
    return y();
}

int TForm1::windowLeft() const {
    return x();
}

// ---- File selection ------------------------------------------------------------------------

void TForm1::GetSourceFile() {
    guarded([this] {
        Settings& settings = state_.Settings;
        prepareFileDialog(platform_, openDialog1_, settings.SourcePath,
                          settings.PrefSourcePathSwitch, settings.PrefSourcePath,
                          fieldText(Field::SourceFile), QStringLiteral("Source File"));

        if (auto chosen =
                prompts().openFileName(this, openDialog1_, [this] { OpenDialog1TypeChange(); })) {
            state_.SourceFileName = nameBytes(*chosen);
            settings.SourcePath = directoryPart(state_.SourceFileName);
            setFieldText(Field::SourceFile, state_.SourceFileName);
            AddToLog(ctx_, "Source file is " + state_.SourceFileName);
        }
        ChangeSourceFile(ctx_);
        focusField(Field::SourceFile);
        AddToLog(ctx_, "Source file is " + FormatSize(ctx_, state_.SourceFileSize));
    });
}

void TForm1::GetDestFile() {
    guarded([this] {
        Settings& settings = state_.Settings;
        prepareFileDialog(platform_, openDialog2_, settings.DestPath, settings.PrefDestPathSwitch,
                          settings.PrefDestPath, fieldText(Field::DestFile),
                          QStringLiteral("Destination File"));

        if (auto chosen =
                prompts().openFileName(this, openDialog2_, [this] { OpenDialog2TypeChange(); })) {
            const std::string name = nameBytes(*chosen);
            settings.DestPath = directoryPart(name);
            setFieldText(Field::DestFile, name);
        }
        focusField(Field::DestFile);
    });
}

void TForm1::OpenDialog1TypeChange() {
    state_.Settings.FileFilterIndex1 = openDialog1_.filterIndex;
}

void TForm1::OpenDialog2TypeChange() {
    state_.Settings.FileFilterIndex2 = openDialog2_.filterIndex;
}

void TForm1::CopySourceFileButtonClick() {
    guarded([this] {
        if (auto name = nextFileName(fieldText(Field::SourceFile))) {
            setFieldText(Field::DestFile, *name);
            focusField(Field::DestFile);
        }
    });
}

void TForm1::AcceptFiles(const QStringList& names) {
    guarded([&] {
        if (names.size() >= 2) {
            messageBox(BoxKind::Warning, "Only one file can be accepted using drag and drop.");
            return;
        }
        if (names.isEmpty())
            return;
        // The whole name: a long path cut short would name another file, or none.
        setFieldText(Field::SourceFile, nameBytes(names.first()));
        ChangeSourceFile(ctx_);
        AddToLog(ctx_, "Source file is " + state_.SourceFileName);
        AddToLog(ctx_, "Source file is " + FormatSize(ctx_, state_.SourceFileSize));
    });
}

// ---- Copy and closing ----------------------------------------------------------------------

void TForm1::CopyBitBtnClick() {
    copying_ = true;
    guarded([this] { ExecuteCopy(ctx_); });
    copying_ = false;
    // The window was closed during the copy: it closes now that the copy has stopped.
    if (std::exchange(stopRequested_, false))
        close();
}

bool TForm1::copyStopRequested() const {
    return stopRequested_;
}

void TForm1::ExitProgram() {
    guarded([this] { exitWriteFailed_ = !reportWrite(*this, WriteSettings(ctx_, Scope::State)); });
    state_.ExitCode = 0;
    close();
}

void TForm1::closeEvent(QCloseEvent* event) {
    // Closing in the middle of a copy stops it first; the window would otherwise vanish while
    // the copy went on writing. CopyBitBtnClick closes it once the copy has returned.
    if (copying_) {
        stopRequested_ = true;
        event->ignore();
        return;
    }
    // After a refused write by the Exit command the same write would only repeat its error box.
    if (!std::exchange(exitWriteFailed_, false))
        guarded([this] { reportWrite(*this, WriteSettings(ctx_, Scope::State)); });
    state_.ExitCode = 0;
    event->accept();
}

void TForm1::HexViewButtonClick() {
    guarded([this] {
        const std::string remembered = fieldText(Field::SourceFile);
        ChangeSourceFile(ctx_);
        if (trimmed(remembered).empty() || !platform_.fileExists(remembered))
            return;
        if (state_.SourceFileSize >= kHexViewerSizeLimit) {
            messageBox(
                BoxKind::Warning,
                "The hex file viewer can only function with source files under 2GB in size.");
            return;
        }
        THexViewer* grid = hexViewer_->HexViewer1();
        grid->setFileName(remembered);
        // The grid's file is released however the showing ends.
        struct Release {
            THexViewer* grid;
            ~Release() { grid->CloseFile(); }
        } release{grid};
        if (hexViewer_->FormShow())
            windowOpener().runModal(*hexViewer_);
    });
}

void TForm1::Settings1Click() {
    windowOpener().runModal(*SettingsForm);
}

void TForm1::Help() {
    // A second F1 while the error box of the first is up would only stack boxes.
    if (std::exchange(inHelp_, true))
        return;
    guarded([this] { openHelp(platform_, state_.HelpFolder, this); });
    inHelp_ = false;
}

void TForm1::About1Click() {
    windowOpener().runModal(*AboutBox);
}

// ---- Number fields -------------------------------------------------------------------------

// The start pair and the length pair follow the same rule; the two names are the handlers'.
void TForm1::UpdateStartPos(Field changed) {
    keepFieldPairInStep(changed);
}
void TForm1::UpdateOffset(Field changed) {
    keepFieldPairInStep(changed);
}

void TForm1::keepFieldPairInStep(Field changed) {
    const bool mirror = programWrite_ == changed || editFor(changed)->hasFocus();
    const bool outer = !std::exchange(inStep_, true);
    guarded([&] { keepPairInStep(*this, changed, mirror); });
    if (outer)
        inStep_ = false;
}

void TForm1::stepByButton(Field decimalField, int step) {
    focusField(decimalField);
    guarded([&] { stepField(ctx_, decimalField, step); });
}

void TForm1::SetPosMinButtonClick() {
    guarded([this] { setMinimum(ctx_, Field::StartDec); });
}
void TForm1::SetPosMaxButtonClick() {
    guarded([this] { setMaximum(ctx_, Field::StartDec); });
}
void TForm1::IncPosButtonClick() {
    stepByButton(Field::StartDec, +1);
}
void TForm1::DecPosButtonClick() {
    stepByButton(Field::StartDec, -1);
}
void TForm1::SetOffsetMinButtonClick() {
    guarded([this] { setMinimum(ctx_, Field::OffsetDec); });
}
void TForm1::SetOffsetMaxButtonClick() {
    guarded([this] { setMaximum(ctx_, Field::OffsetDec); });
}
void TForm1::IncOffsetButtonClick() {
    stepByButton(Field::OffsetDec, +1);
}
void TForm1::DecOffsetButtonClick() {
    stepByButton(Field::OffsetDec, -1);
}

void TForm1::ShowHint(const QString& hint) {
    ui->StatusBar1->showMessage(hint);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ToolTip:
        return true;
    case QEvent::MouseButtonDblClick:
        if (watched == ui->SourceFileEdit) {
            GetSourceFile();
            return true;
        }
        if (watched == ui->DestFileEdit) {
            GetDestFile();
            return true;
        }
        break;
    case QEvent::FocusOut:
        // The log takes the focus on every line: that move does not take the name over.
        if (watched == ui->SourceFileEdit &&
            takesTypedName(static_cast<QFocusEvent*>(event)->reason()))
            guarded([this] { ChangeSourceFile(ctx_); });
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace kestrine
