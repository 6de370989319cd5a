#include "ui/about/TAboutBox.h"

#include "ui_TAboutBox.h"

#include "core/Colour.h"
#include "core/CommandLine.h"
#include "core/Text.h"
#include "ui/about/WebAddresses.h"
#include "ui/common/Prompts.h"
#include "ui/common/WindowLook.h"
#include "ui/common/WindowPlace.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QUrl>

#include <algorithm>

namespace kestrine {

namespace {

// The design's face is narrower than the faces installed here; a line that would run into its
// neighbour is drawn a little condensed instead of being cut.
void fitWidth(QLabel* label, int width) {
    QFont font = label->font();
    font.setStretch(QFont::Unstretched);
    const int natural = QFontMetrics(font).horizontalAdvance(label->text());
    if (natural > width)
        font.setStretch(std::max(50, width * 100 / natural));
    label->setFont(font);
    label->resize(width, label->height());
}

} // namespace

TAboutBox::TAboutBox(const AppState& state, QWidget* parent, QStatusBar* hints)
    : QDialog(parent), ui(std::make_unique<Ui::TAboutBox>()), state_(state) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(318, 243);

    useWindowFont(this);
    QFont title = font();
    title.setPixelSize(21);
    title.setBold(true);
    ui->ProductName->setFont(title);
    ui->ProductName->adjustSize();

    ui->ProgramIcon->setPixmap(programIcon().pixmap(QSize(64, 64)));
    ui->URLLabel->setText(QString::fromLatin1(kWebsiteAddress));
    ui->URLLabel->adjustSize();
    // It ends where the "Donation" link begins.
    fitWidth(ui->DonateLabel1, ui->DonateLabel2->x() - ui->DonateLabel1->x());

    routeHintsTo(this, hints);
    // Labels have no click of their own, nor a place in the tab order: the links get both, and
    // a frame while they have the focus.
    for (QLabel* link : {ui->DonateLabel2, ui->URLLabel}) {
        link->installEventFilter(this);
        link->setFocusPolicy(Qt::TabFocus);
        link->setAccessibleName(link->text());
        link->setAccessibleDescription(link->statusTip());
    }
    setTabOrder(ui->DonateLabel2, ui->URLLabel);
    setTabOrder(ui->URLLabel, ui->OKButton);
    // Enter at once is OK, as in any box, not a visit to the donation page.
    ui->OKButton->setFocus();
    connect(ui->OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

TAboutBox::~TAboutBox() = default;

void TAboutBox::showEvent(QShowEvent* event) {
    FormShow();
    // Centred on the screen, not over the main window, by the size the user sees: the frame.
    if (const QScreen* screen =
            this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        const QMargins frame = windowFrame(this);
        const QSize outer = size().grownBy(frame);
        const QRect desktop = screen->geometry();
        moveFrameTo(this,
                    desktop.topLeft() + QPoint(desktop.width() / 2 - outer.width() / 2,
                                               desktop.height() / 2 - outer.height() / 2),
                    frame);
    }
    QDialog::showEvent(event);
}

void TAboutBox::FormShow() {
    ui->Version->setText(QString::fromStdString(versionText()));
    ui->Version->adjustSize();
    ui->NoticeLabel->setText(QString::fromStdString(noticeText()));

    const ColourValue colour = state_.Settings.FormColour;
    applyWindowColours(this, colour);
    const QColor light = toQColor(ShadeColour(colour, +50));
    for (QWidget* label :
         {static_cast<QWidget*>(ui->ProductName), static_cast<QWidget*>(ui->URLLabel),
          static_cast<QWidget*>(ui->DonateLabel2)})
        setReadableText(label, QPalette::WindowText, light, QPalette::Window);
}

void TAboutBox::JumpToURL() {
    prompts().openUrl(QUrl(QString::fromLatin1(kWebsiteAddress)));
}

void TAboutBox::DonateClick() {
    prompts().openUrl(QUrl(QString::fromLatin1(kDonationAddress)));
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
    auto follow = [&] {
        if (watched == ui->URLLabel)
            JumpToURL();
        else if (watched == ui->DonateLabel2)
            DonateClick();
    };
    switch (event->type()) {
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            follow();
        break;
    case QEvent::KeyPress:
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            follow();
            return true;
        default:
            break;
        }
        break;
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        if (auto* link = qobject_cast<QLabel*>(watched))
            link->setFrameShape(event->type() == QEvent::FocusIn ? QFrame::Box : QFrame::NoFrame);
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace kestrine
