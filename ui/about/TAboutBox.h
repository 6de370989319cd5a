#pragma once
// The About box: name, version, notice, and the links to the maker's web pages.

#include "core/AppState.h"

#include <QDialog>

#include <memory>

class QStatusBar;

namespace Ui {
class TAboutBox;
}

namespace kestrine {

class TAboutBox : public QDialog {
    Q_OBJECT

public:
    // The box has no status bar: the hints of its links go to `hints`, the main window's.
    TAboutBox(const AppState& state, QWidget* parent = nullptr, QStatusBar* hints = nullptr);
    ~TAboutBox() override;

public Q_SLOTS:
    // Texts and colours, again at every showing: a colour saved meanwhile shows.
    void FormShow();
    void JumpToURL();
    void DonateClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<Ui::TAboutBox> ui;
    const AppState& state_;
};

} // namespace kestrine
