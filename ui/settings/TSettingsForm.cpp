#include "ui/settings/TSettingsForm.h"

#include "ui_TSettingsForm.h"

#include "core/Colour.h"
#include "core/Text.h"
#include "settings/FileTypes.h"
#include "settings/SettingsFile.h"
#include "ui/common/FileNameText.h"
#include "ui/common/Prompts.h"
#include "ui/common/WindowLook.h"
#include "ui/common/WindowPlace.h"
#include "ui/settings/OneLine.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>

namespace kestrine {

namespace {

ColourValue fromQColor(const QColor& colour) {
    return ColourValue(colour.red()) | ColourValue(colour.green()) << 8 |
           ColourValue(colour.blue()) << 16;
}

constexpr int kInactiveCaption = 3;
const QColor kNavy(0, 0, 128);

} // namespace

TSettingsForm::TSettingsForm(Context& ctx, SettingsWindowOwner& owner, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TSettingsForm>()), ctx_(ctx), owner_(owner) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(446, 418);

    useWindowFont(this);
    routeHintsTo(this, ui->StatusBar1);
    // The list, the two edits and the folder buttons keep the system's text colour whatever
    // the window's colour; the labels and check boxes follow the window.
    for (QWidget* own : std::initializer_list<QWidget*>{
             ui->ValueListEditor1, ui->PrefSourcePathEdit, ui->PrefDestPathEdit,
             ui->GetSourcePathButton, ui->GetDestPathButton})
        own->setPalette(readableSystemPalette());
    applyStatusBarColour(ui->StatusBar1, toQColor(systemColour(kInactiveCaption)));

    FileTypeList* list = ui->ValueListEditor1;
    list->validateCell = [this, list](int column, int row) {
        return ValueListEditor1Validate(column, row + 1, list->cell(row, 0), list->cell(row, 1));
    };
    connect(list, &FileTypeList::stringsChanged, this, &TSettingsForm::EnableSaveBtn);
    for (QCheckBox* box : {ui->LastSourceCheckBox, ui->LastDestCheckBox, ui->PrefSourcePathCheckBox,
                           ui->PrefDestPathCheckBox})
        connect(box, &QCheckBox::toggled, this, &TSettingsForm::EnableSaveBtn);
    for (QLineEdit* edit : {ui->PrefSourcePathEdit, ui->PrefDestPathEdit}) {
        connect(edit, &QLineEdit::textChanged, this, &TSettingsForm::EnableSaveBtn);
        keepOnOneLine(edit);
        edit->installEventFilter(this);
    }
    connect(ui->AddFileTypeButton, &QPushButton::clicked, this,
            &TSettingsForm::AddFileTypeButtonClick);
    connect(ui->DeleteFileTypeButton, &QPushButton::clicked, this,
            &TSettingsForm::DeleteFileTypeButtonClick);
    connect(ui->FormColourButton, &QPushButton::clicked, this,
            &TSettingsForm::FormColourButtonClick);
    connect(ui->DefaultFormColourButton, &QPushButton::clicked, this,
            &TSettingsForm::DefaultFormColourButtonClick);
    connect(ui->GetSourcePathButton, &QToolButton::clicked, this,
            &TSettingsForm::GetSourcePathButtonClick);
    connect(ui->GetDestPathButton, &QToolButton::clicked, this,
            &TSettingsForm::GetDestPathButtonClick);
    connect(ui->SaveBitBtn, &QPushButton::clicked, this, &TSettingsForm::SaveBitBtnClick);
    connect(ui->CloseBitBtn, &QPushButton::clicked, this, &TSettingsForm::CloseBitBtnClick);
    // The first showing starts at the first tab stop, where a dialog would pick its first
    // button; later showings keep the control last used.
    ui->ValueListEditor1->setFocus();
}

TSettingsForm::~TSettingsForm() = default;

void TSettingsForm::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void TSettingsForm::FormShow() {
    const Settings& settings = ctx_.state.Settings;
    // The two frames share their corner; the main window's position is its frame's.
    moveFrameTo(this, owner_.formTopLeft(), windowFrame(this));
    ui->LastSourceCheckBox->setChecked(settings.SaveLastSource);
    ui->LastDestCheckBox->setChecked(settings.SaveLastDest);
    ui->PrefSourcePathEdit->setText(nameText(settings.PrefSourcePath));
    ui->PrefDestPathEdit->setText(nameText(settings.PrefDestPath));
    ui->PrefSourcePathCheckBox->setChecked(settings.PrefSourcePathSwitch);
    ui->PrefDestPathCheckBox->setChecked(settings.PrefDestPathSwitch);
    ui->PrefSourcePathEdit->setEnabled(settings.PrefSourcePathSwitch);
    ui->PrefDestPathEdit->setEnabled(settings.PrefDestPathSwitch);

    dialogColour_ = preview_ = settings.FormColour;
    setOwnColours(toQColor(preview_), toQColor(ShadeColour(preview_, -120)));

    ui->ValueListEditor1->setRows(loadListForm(settings.FileFilter2));
    EnableSaveBtn();
    ui->SaveBitBtn->setEnabled(false);
    savedSinceShown_ = false;
}

void TSettingsForm::EnableSaveBtn() {
    ui->SaveBitBtn->setEnabled(true);
    const bool source = ui->PrefSourcePathCheckBox->isChecked();
    const bool dest = ui->PrefDestPathCheckBox->isChecked();
    ui->PrefSourcePathEdit->setEnabled(source);
    ui->GetSourcePathButton->setEnabled(source);
    ui->PrefDestPathEdit->setEnabled(dest);
    ui->GetDestPathButton->setEnabled(dest);
}

void TSettingsForm::report(const std::string& message) {
    prompts().errorReport(this, nameText(generalErrorText(message)));
}

void TSettingsForm::SaveBitBtnClick() {
    FileTypeList* list = ui->ValueListEditor1;
    // Text still in a cell editor counts as typed.
    if (!list->commitOpenEdit())
        return;
    if (const auto refusal = ValidateAll()) {
        report(refusal->toStdString());
        return;
    }
    Settings& settings = ctx_.state.Settings;
    settings.SaveLastSource = ui->LastSourceCheckBox->isChecked();
    settings.SaveLastDest = ui->LastDestCheckBox->isChecked();
    settings.PrefSourcePath = nameBytes(ui->PrefSourcePathEdit->text());
    settings.PrefDestPath = nameBytes(ui->PrefDestPathEdit->text());
    settings.PrefSourcePathSwitch = ui->PrefSourcePathCheckBox->isChecked();
    settings.PrefDestPathSwitch = ui->PrefDestPathCheckBox->isChecked();
    settings.FormColour = preview_;
    const std::vector<FileTypeRow> rows = list->rows();
    settings.FileFilter = buildDialogFilter(rows);
    settings.FileFilter2 = buildListForm(rows);
    owner_.applyFileFilter();
    if (!reportWrite(ctx_.host, WriteSettings(ctx_, Scope::StateAndPreferences)))
        return; // Save stays enabled
    ui->SaveBitBtn->setEnabled(false);
    savedSinceShown_ = true;
}

void TSettingsForm::CloseBitBtnClick() {
    if (!savedSinceShown_) {
        const QColor stored = toQColor(ctx_.state.Settings.FormColour);
        applyWindowBackground(this, stored);
        owner_.setFormBackground(stored);
    }
    close();
}

void TSettingsForm::keyPressEvent(QKeyEvent* event) {
    // Esc that the file-type list did not use leaves the window as Exit does: a keyboard user
    // has no close box.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        CloseBitBtnClick();
        return;
    }
    QDialog::keyPressEvent(event);
}

// ---- Colours -------------------------------------------------------------------------------

void TSettingsForm::setOwnColours(const QColor& background, const QColor& text) {
    applyWindowBackground(this, background);
    applyWindowText(this, text);
}

void TSettingsForm::previewColours(ColourValue background, const QColor& text) {
    preview_ = background;
    const QColor back = toQColor(background);
    setOwnColours(back, text);
    owner_.setFormBackground(back);
    owner_.setFormTextColour(text);
    owner_.setStatusBarColour(toQColor(ShadeColour(background, -30)));
    EnableSaveBtn();
}

void TSettingsForm::FormColourButtonClick() {
    const auto chosen = prompts().chooseColour(this, toQColor(dialogColour_));
    if (!chosen)
        return;
    dialogColour_ = fromQColor(*chosen);
    previewColours(dialogColour_, toQColor(ShadeColour(dialogColour_, -120)));
}

void TSettingsForm::DefaultFormColourButtonClick() {
    dialogColour_ = kDefaultFormColour;
    previewColours(kDefaultFormColour, kNavy);
}

// ---- Preferred folders ---------------------------------------------------------------------

void TSettingsForm::choosePath(QLineEdit* edit) {
    const QString typed = edit->text();
    // Only the text is made absolute here; the folder is asked for by its bytes.
    const QString absolute = typed.isEmpty() ? QString() : QDir(typed).absolutePath();
    const QString start = !absolute.isEmpty() && ctx_.platform.directoryExists(nameBytes(absolute))
                              ? absolute
                              : QDir::currentPath();
    if (const auto chosen = prompts().chooseDirectory(this, start)) {
        // A folder that cannot be made is not reported: the path is kept all the same.
        (void)ctx_.platform.createSharedFolders(nameBytes(*chosen));
        edit->setText(*chosen);
    }
    edit->setFocus(Qt::OtherFocusReason);
}

void TSettingsForm::GetSourcePathButtonClick() {
    choosePath(ui->PrefSourcePathEdit);
}

void TSettingsForm::GetDestPathButtonClick() {
    choosePath(ui->PrefDestPathEdit);
}

// ---- File types ----------------------------------------------------------------------------

void TSettingsForm::AddFileTypeButtonClick() {
    ui->ValueListEditor1->appendBlankRow();
}

void TSettingsForm::DeleteFileTypeButtonClick() {
    FileTypeList* list = ui->ValueListEditor1;
    list->setFocus(Qt::OtherFocusReason);
    const int row = list->currentRow();
    if (list->rowCount() == 0 || row < 0)
        return;
    const std::string question = "Do you want to delete [" + list->cell(row, 0).toStdString() + "]";
    if (prompts().messageBox(this, BoxKind::Confirm, QString::fromStdString(question)) !=
        Answer::No)
        list->deleteRow(list->currentRow());
}

bool TSettingsForm::ValueListEditor1Validate(int ACol, int ARow, const QString& KeyName,
                                             const QString& KeyValue) {
    FileTypeList* list = ui->ValueListEditor1;
    if (ACol == 0)
        list->setCell(ARow - 1, 0, trimBlanks(KeyName));
    if (ACol == 1)
        list->setCell(ARow - 1, 1, QString(KeyValue).remove(QLatin1Char(' ')));
    if (const auto refusal = ValidateCell(ACol, ARow, false)) {
        report(refusal->toStdString());
        return false;
    }
    return true;
}

std::optional<QString> TSettingsForm::ValidateCell(int ACol, int ARow, bool OnSave) {
    FileTypeList* list = ui->ValueListEditor1;
    const QString D = list->cell(ARow - 1, 0);
    const QString T = list->cell(ARow - 1, 1);
    QString Reason;
    if (ACol == 0 && D.isEmpty())
        Reason = QStringLiteral("Description cannot be left blank.");
    if (ACol == 1 && !T.startsWith(QStringLiteral("*.")))
        Reason = QStringLiteral("File type is missing the leading wildcard (eg. *.doc)");
    if (ACol == 1 && !OnSave && T.isEmpty())
        Reason.clear();
    if (D.isEmpty() && T.isEmpty())
        Reason.clear();
    if (Reason.isEmpty())
        return std::nullopt;
    if (OnSave) {
        list->setFocus(Qt::OtherFocusReason);
        list->setCurrentCell(ARow - 1, ACol);
    }
    return "The following entry in file selection types is incorrect:\n\nDescription: " + D +
           "\nType: " + T + "\n\nReason: " + Reason;
}

std::optional<QString> TSettingsForm::ValidateAll() {
    FileTypeList* list = ui->ValueListEditor1;
    for (int row = 0; row < list->rowCount(); ++row) {
        const QString description = trimBlanks(list->cell(row, 0));
        if (description.isEmpty() && trimBlanks(list->cell(row, 1)).isEmpty())
            continue;
        for (int column : {0, 1})
            if (auto refusal = ValidateCell(column, row + 1, true))
                return refusal;
        // A file edited by hand may hold one description twice; the list keeps each
        // description once, so such a row is refused here rather than dropped unseen.
        for (int earlier = 0; earlier < row; ++earlier) {
            if (trimBlanks(list->cell(earlier, 0)).compare(description, Qt::CaseInsensitive))
                continue;
            list->setFocus(Qt::OtherFocusReason);
            list->setCurrentCell(row, 0);
            return "A key with the name of \"" + list->cell(row, 0) + "\" already exists";
        }
    }
    return std::nullopt;
}

// ---- Double-clicks on the path fields ----------------------------------------------------

bool TSettingsForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == ui->PrefSourcePathEdit) {
            GetSourcePathButtonClick();
            return true;
        }
        if (watched == ui->PrefDestPathEdit) {
            GetDestPathButtonClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace kestrine
