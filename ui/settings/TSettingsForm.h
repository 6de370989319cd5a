#pragma once
// The settings window: remembered files, preferred folders, the file types of the file dialogs
// and the window colour, saved to "Kestrine.ini". Shown modally by the main window.

#include "core/Context.h"

#include <QDialog>

class QLineEdit;

#include <memory>
#include <optional>
#include <string>

namespace Ui {
class TSettingsForm;
}

namespace kestrine {

// What the settings window reads from and previews on the main window.
class SettingsWindowOwner {
public:
    virtual ~SettingsWindowOwner() = default;
    virtual QPoint formTopLeft() const = 0;
    // The window's background and that of its activity log.
    virtual void setFormBackground(const QColor& colour) = 0;
    virtual void setFormTextColour(const QColor& colour) = 0;
    virtual void setStatusBarColour(const QColor& colour) = 0;
    // Both file dialogs take Settings.FileFilter; their chosen type stays.
    virtual void applyFileFilter() = 0;
};

class TSettingsForm : public QDialog {
    Q_OBJECT

public:
    TSettingsForm(Context& ctx, SettingsWindowOwner& owner, QWidget* parent = nullptr);
    ~TSettingsForm() override;

    // The colour shown and saved by Save, and the one the colour dialog opens with.
    ColourValue previewColour() const { return preview_; }
    ColourValue dialogColour() const { return dialogColour_; }
    bool savedSinceShown() const { return savedSinceShown_; }

    void FormShow();
    void EnableSaveBtn();
    void SaveBitBtnClick();
    void CloseBitBtnClick();
    void GetSourcePathButtonClick();
    void GetDestPathButtonClick();
    void FormColourButtonClick();
    void DefaultFormColourButtonClick();
    void AddFileTypeButtonClick();
    void DeleteFileTypeButtonClick();

    // Trims the cell left and checks it; reports a failure and returns false.
    bool ValueListEditor1Validate(int ACol, int ARow, const QString& KeyName,
                                  const QString& KeyValue);
    // The refusal's text for the error box, or nothing when the entries pass. ARow 1 is the
    // first entry; on Save the failing cell becomes the current one.
    std::optional<QString> ValidateCell(int ACol, int ARow, bool OnSave);
    std::optional<QString> ValidateAll();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setOwnColours(const QColor& background, const QColor& text);
    // Both backgrounds, both text colours and the main window's status bar.
    void previewColours(ColourValue background, const QColor& text);
    void choosePath(QLineEdit* edit);
    void report(const std::string& message);

    std::unique_ptr<Ui::TSettingsForm> ui;
    Context& ctx_;
    SettingsWindowOwner& owner_;
    ColourValue preview_ = kDefaultFormColour;
    ColourValue dialogColour_ = kDefaultFormColour;
    bool savedSinceShown_ = false;
};

} // namespace kestrine
