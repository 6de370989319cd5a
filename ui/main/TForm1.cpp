#include "ui/main/TForm1.h"

#include "ui_TForm1.h"

#include "core/Colour.h"
#include "core/Copy.h"
#include "core/Fields.h"
#include "core/Log.h"
#include "core/Names.h"
#include "core/Text.h"
#include "platform/desktop/FrameExtents.h"
#include "platform/desktop/HotKey.h"
#include "settings/SettingsFile.h"
#include "ui/about/HelpFile.h"
#include "ui/about/TAboutBox.h"
#include "ui/common/FileNameText.h"
#include "ui/common/NumberEdit.h"
#include "ui/common/WindowLook.h"
#include "ui/common/WindowOpener.h"
#include "ui/hexview/TForm4.h"
#include "ui/hexview/THexViewer.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QMimeData>
#include <QScreen>
#include <QStatusTipEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QUrl>

#include <exception>
#include <utility>

namespace kestrine {

namespace {

// The name a local file's address stands for, byte for byte: the address carries the bytes
// percent-encoded, and Qt's own decoding would replace those that are not UTF-8.
QString localName(const QUrl& url) {
    if (!url.host().isEmpty())
        return url.toLocalFile();
    const QByteArray path = url.path(QUrl::FullyEncoded).toLatin1();
    return nameText(QByteArray::fromPercentEncoding(path).toStdString());
}

// The local names of a drop, or nothing when it holds anything but local files.
std::optional<QStringList> droppedFiles(const QMimeData* mime) {
    if (!mime || !mime->hasUrls())
        return std::nullopt;
    QStringList names;
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile())
            return std::nullopt;
        names << localName(url);
    }
    if (names.isEmpty())
        return std::nullopt;
    return names;
}

} // namespace

TForm1::TForm1(AppState& state, Platform& platform, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::TForm1>()), state_(state),
      platform_(platform), ctx_{state, *this, platform} {
    initPictures();
    ui->setupUi(this);

    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    ui->ClientArea->setFixedSize(446, 398);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    useWindowFont(this);
    // The menu bar keeps the desktop's own font and colours, as a system menu would.
    ui->MainMenu1->setFont(QApplication::font());
    ui->MainMenu1->setPalette(QApplication::palette());
    ui->MainMenu1->installEventFilter(this);
    ui->StatusBar1->setAutoFillBackground(true);
    routeHintsTo(this, ui->StatusBar1);
    // The size is final before the window is shown: the settings centre it by that size.
    layout()->activate();

    ProgressTimer1.setObjectName(QStringLiteral("ProgressTimer1"));
    ProgressTimer1.setInterval(500);
    connect(&ProgressTimer1, &QTimer::timeout, this,
            [this] { guarded([this] { ProgressTimer(ctx_); }); });

    connect(ui->GetSourceSpeedButton, &QToolButton::clicked, this, &TForm1::GetSourceFile);
    connect(ui->GetDestSpeedButton, &QToolButton::clicked, this, &TForm1::GetDestFile);
    connect(ui->CopySourceFileButton, &QToolButton::clicked, this,
            &TForm1::CopySourceFileButtonClick);
    connect(ui->CopyBitBtn, &QPushButton::clicked, this, &TForm1::CopyBitBtnClick);
    connect(ui->CloseBitBtn, &QPushButton::clicked, this, &TForm1::ExitProgram);
    connect(ui->SetPosMinButton, &QToolButton::clicked, this, &TForm1::SetPosMinButtonClick);
    connect(ui->SetPosMaxButton, &QToolButton::clicked, this, &TForm1::SetPosMaxButtonClick);
    connect(ui->IncPosButton, &QToolButton::clicked, this, &TForm1::IncPosButtonClick);
    connect(ui->DecPosButton, &QToolButton::clicked, this, &TForm1::DecPosButtonClick);
    connect(ui->SetOffsetMinButton, &QToolButton::clicked, this, &TForm1::SetOffsetMinButtonClick);
    connect(ui->SetOffsetMaxButton, &QToolButton::clicked, this, &TForm1::SetOffsetMaxButtonClick);
    connect(ui->IncOffsetButton, &QToolButton::clicked, this, &TForm1::IncOffsetButtonClick);
    connect(ui->DecOffsetButton, &QToolButton::clicked, this, &TForm1::DecOffsetButtonClick);
    connect(ui->HexViewButton, &QToolButton::clicked, this, &TForm1::HexViewButtonClick);
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

template <typename F> void TForm1::guarded(F&& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        reportError(e.what());
    }
}

void TForm1::Init() {
    guarded([this] { RestoreRememberedFiles(ctx_, ReadSettings(ctx_)); });

    const Settings& settings = state_.Settings;
    // A window manager asked for the frame has made the native window exist, and Qt places an
    // existing window by its client area: the stored place is the frame's.
    const QMargins frame = windowHandle() ? expectedFrameExtents(winId()) : QMargins();
    move(settings.Left + frame.left(), settings.Top + frame.top());
    applyColours();
    applyFileFilter();
    openDialog1_.filterIndex = settings.FileFilterIndex1;
    openDialog2_.filterIndex = settings.FileFilterIndex2;

    guarded([this] { ChangeSourceFile(ctx_); });
    show();
    setAcceptDrops(true);
    // Where the key is taken already, or cannot be taken, F1 stays the menu's shortcut.
    JvApplicationHotKey1->registerF1();
}

void TForm1::applyColours() {
    const ColourValue colour = state_.Settings.FormColour;
    applyWindowColours(this, colour, ui->StatusBar1);

    QPalette log = ui->RichEdit1->palette();
    log.setColor(QPalette::Base, toQColor(colour));
    log.setColor(QPalette::Text, toQColor(ShadeColour(colour, -120)));
    ui->RichEdit1->setPalette(log);
}

void TForm1::setFormBackground(const QColor& colour) {
    applyWindowBackground(this, colour);
    QPalette log = ui->RichEdit1->palette();
    log.setColor(QPalette::Base, colour);
    ui->RichEdit1->setPalette(log);
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
    switch (field) {
    case Field::SourceFile:
        return ui->SourceFileEdit;
    case Field::DestFile:
        return ui->DestFileEdit;
    case Field::StartDec:
        return ui->StartDecEdit;
    case Field::StartHex:
        return ui->StartHexEdit;
    case Field::OffsetDec:
        return ui->OffsetDecEdit;
    case Field::OffsetHex:
        return ui->OffsetHexEdit;
    }
    return nullptr;
}

std::string TForm1::fieldText(Field field) const {
    return nameBytes(editFor(field)->text());
}

void TForm1::setFieldText(Field field, const std::string& text) {
    QLineEdit* edit = editFor(field);
    const QString value = nameText(text);
    if (auto* number = qobject_cast<NumberEdit*>(edit))
        number->setProgramText(value);
    else if (edit->text() != value)
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
    QTextEdit* log = ui->RichEdit1;
    QTextCharFormat format;
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    QTextCursor cursor(log->document());
    cursor.movePosition(QTextCursor::End);
    if (logLines_ > 0)
        cursor.insertBlock(QTextBlockFormat(), format);
    cursor.setCharFormat(format);
    cursor.insertText(nameText(text), format);
    ++logLines_;

    log->setFocus(Qt::OtherFocusReason);
    log->setTextCursor(cursor);
    log->ensureCursorVisible();
}

void TForm1::clearLog() {
    ui->RichEdit1->clear();
    logLines_ = 0;
}

void TForm1::ToggleFormControls(bool enabled) {
    for (QWidget* control : std::initializer_list<QWidget*>{
             ui->CopyBitBtn,         ui->CloseBitBtn,          ui->GetSourceSpeedButton,
             ui->GetDestSpeedButton, ui->CopySourceFileButton, ui->SetPosMinButton,
             ui->SetPosMaxButton,    ui->IncPosButton,         ui->DecPosButton,
             ui->SetOffsetMinButton, ui->SetOffsetMaxButton,   ui->IncOffsetButton,
             ui->DecOffsetButton,    ui->HexViewButton,        ui->SourceFileEdit,
             ui->DestFileEdit,       ui->StartDecEdit,         ui->StartHexEdit,
             ui->OffsetDecEdit,      ui->OffsetHexEdit})
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
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    const QSize size = screen->virtualSize();
    return {size.width(), size.height()};
}

Size TForm1::windowOuterSize() const {
    // Before it is shown the window has no frame yet; the window manager tells the one it will
    // get, so that the window is centred by the size it will have on screen.
    const QSize size = isVisible() ? frameGeometry().size()
                                   : outerSize(this->size(), expectedFrameExtents(winId()));
    return {size.width(), size.height()};
}

int TForm1::windowTop() const {
    return y();
}

int TForm1::windowLeft() const {
    return x();
}

// ---- File selection ------------------------------------------------------------------------

void TForm1::prepareDialog(FileDialogState& dialog, const std::string& lastPath, bool prefSwitch,
                           const std::string& prefPath, Field field, const QString& title) {
    const std::string text = fieldText(field);
    const std::string folder = dialogStartFolder(platform_, lastPath, prefSwitch, prefPath, text);
    if (!folder.empty())
        dialog.initialDir = nameText(folder);
    dialog.fileName = platform_.fileExists(text) ? nameText(namePart(text)) : QString();
    dialog.title = title;
}

void TForm1::GetSourceFile() {
    guarded([this] {
        Settings& settings = state_.Settings;
        prepareDialog(openDialog1_, settings.SourcePath, settings.PrefSourcePathSwitch,
                      settings.PrefSourcePath, Field::SourceFile, QStringLiteral("Source File"));

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
        prepareDialog(openDialog2_, settings.DestPath, settings.PrefDestPathSwitch,
                      settings.PrefDestPath, Field::DestFile, QStringLiteral("Destination File"));

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

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (droppedFiles(event->mimeData()))
        event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
    if (auto names = droppedFiles(event->mimeData())) {
        event->acceptProposedAction();
        AcceptFiles(*names);
    }
}

// ---- Copy and closing ----------------------------------------------------------------------

void TForm1::CopyBitBtnClick() {
    guarded([this] { ExecuteCopy(ctx_); });
}

void TForm1::ExitProgram() {
    guarded([this] { exitWriteFailed_ = !reportWrite(*this, WriteSettings(ctx_, Scope::State)); });
    state_.ExitCode = 0;
    close();
}

void TForm1::closeEvent(QCloseEvent* event) {
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
    guarded([&] { keepPairInStep(*this, changed, editFor(changed)->hasFocus()); });
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
        if (watched == ui->SourceFileEdit) {
            // Only a move to another control of this window takes the typed name over; the
            // program's own focus moves (the log takes it on every line) and switching to
            // another window do not.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason)
                guarded([this] { ChangeSourceFile(ctx_); });
        }
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace kestrine
