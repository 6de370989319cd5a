#pragma once
// The main window: file fields, the start position and offset length pairs, the copy button,
// the activity log and the status bar. It is the host of the copy in window mode.

#include "core/Context.h"
#include "ui/common/Prompts.h"
#include "ui/main/ActivityLog.h"
#include "ui/settings/TSettingsForm.h"

#include <QMainWindow>
#include <QTimer>

#include <exception>
#include <memory>
#include <optional>

class QLineEdit;

namespace Ui {
class TForm1;
}

namespace kestrine {

class GlobalHotKey;
class TAboutBox;
class TForm4;

class TForm1 : public QMainWindow, public Host, public SettingsWindowOwner {
    Q_OBJECT

public:
    TForm1(AppState& state, Platform& platform, QWidget* parent = nullptr);
    ~TForm1() override;

    // Start-up once the run's state is initialised: settings, position, colours and dialog
    // filters, then the source take-over; the window is shown only after all of that.
    void Init();

    // The colours of the window from Settings.FormColour, and both dialogs' filter text.
    void applyColours();
    void applyFileFilter() override;

    // SettingsWindowOwner: the settings window previews its colour here.
    QPoint formTopLeft() const override { return pos(); }
    void setFormBackground(const QColor& colour) override;
    void setFormTextColour(const QColor& colour) override;
    void setStatusBarColour(const QColor& colour) override;

    Context& context() { return ctx_; }
    // The hex viewer, created once with the main window and shown from HexViewButton.
    TForm4* HexViewer() const { return hexViewer_.get(); }
    FileDialogState& OpenDialog1() { return openDialog1_; }
    FileDialogState& OpenDialog2() { return openDialog2_; }

    // A drop of these local file names on the window.
    void AcceptFiles(const QStringList& names);

    // Host
    std::string fieldText(Field field) const override;
    void setFieldText(Field field, const std::string& text) override;
    void focusField(Field field) override;
    Answer messageBox(BoxKind kind, const std::string& text) override;
    void reportError(const std::string& message) override;
    void appendLog(const std::string& text, bool bold) override;
    void clearLog() override;
    void ToggleFormControls(bool enabled) override;
    void setProgressPosition(int position) override;
    int progressPosition() const override;
    void repaintProgress() override;
    void setProgressTimerEnabled(bool enabled) override;
    void setStatusText(const std::string& text) override;
    void setTitle(const std::string& title) override;
    void pumpEvents() override;
    bool copyStopRequested() const override;
    Size desktopSize() const override;
    Size windowOuterSize() const override;
    int windowTop() const override;
    int windowLeft() const override;

public Q_SLOTS:
    void GetSourceFile();
    void GetDestFile();
    void CopySourceFileButtonClick();
    void CopyBitBtnClick();
    void ExitProgram();
    void OpenDialog1TypeChange();
    void OpenDialog2TypeChange();

    void SetPosMinButtonClick();
    void SetPosMaxButtonClick();
    void IncPosButtonClick();
    void DecPosButtonClick();
    void SetOffsetMinButtonClick();
    void SetOffsetMaxButtonClick();
    void IncOffsetButtonClick();
    void DecOffsetButtonClick();

    void HexViewButtonClick();
    // The settings window and the About box, shown modally.
    void Settings1Click();
    // The help file written beside the executable when needed, and opened (Help1, F1 anywhere).
    void Help();
    void About1Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QLineEdit* editFor(Field field) const;
    void UpdateStartPos(Field changed);
    void UpdateOffset(Field changed);
    void keepFieldPairInStep(Field changed);
    void ShowHint(const QString& hint);
    void stepByButton(Field decimalField, int step);
    // Runs a handler; what it does not catch goes to the general error report.
    template <typename F> void guarded(F&& handler) {
        try {
            handler();
        } catch (const std::exception& e) {
            reportError(e.what());
        }
    }

    std::unique_ptr<Ui::TForm1> ui;
    AppState& state_;
    Platform& platform_;
    Context ctx_;
    QTimer ProgressTimer1{this};
    FileDialogState openDialog1_;
    FileDialogState openDialog2_;
    std::unique_ptr<TAboutBox> AboutBox;
    std::unique_ptr<TSettingsForm> SettingsForm;
    std::unique_ptr<GlobalHotKey> JvApplicationHotKey1;
    bool inHelp_ = false;
    ActivityLogView log_;
    bool exitWriteFailed_ = false;
    bool copying_ = false;
    bool stopRequested_ = false;
    // The number field the program is writing, and whether a pair is being put in step.
    std::optional<Field> programWrite_;
    bool inStep_ = false;
    std::unique_ptr<TForm4> hexViewer_;
};

// The hex viewer positions files with 32-bit values: it opens only on smaller files.
constexpr Position kHexViewerSizeLimit = Position{1} << 31;

} // namespace kestrine
