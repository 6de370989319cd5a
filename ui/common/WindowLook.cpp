#include "ui/common/WindowLook.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QIcon>
#include <QObject>
#include <QPalette>
#include <QPointer>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QWidget>

// The pictures live in this static library; a resource of one must be registered by name.
static void registerPictures() {
    Q_INIT_RESOURCE(pictures);
}

namespace kestrine {

void initPictures() {
    registerPictures();
}

QIcon programIcon() {
    initPictures();
    return QIcon(QStringLiteral(":/pictures/kestrine.svg"));
}

void identifyProgram() {
    QApplication::setWindowIcon(programIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral(KESTRINE_APP_ID));
    // X11 takes the window class from the application's name.
    QCoreApplication::setApplicationName(QStringLiteral("kestrine"));
}

QColor toQColor(Rgb rgb) {
    return QColor(rgb.red, rgb.green, rgb.blue);
}

QColor toQColor(ColourValue colour) {
    return toQColor(resolveColour(colour));
}

void useWindowFont(QWidget* window) {
    // The design's face is rarely installed here; a face of the same metrics keeps the
    // captions inside their fixed places.
    static const bool substituted = [] {
        QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                                   {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                                    QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                    QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica")});
        return true;
    }();
    (void)substituted;
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    font.setStyleHint(QFont::SansSerif);
    window->setFont(font);
}

void applyWindowBackground(QWidget* window, const QColor& background) {
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, background);
    window->setPalette(palette);
}

void applyWindowText(QWidget* window, const QColor& text) {
    QPalette palette = window->palette();
    palette.setColor(QPalette::WindowText, text);
    window->setPalette(palette);
}

void applyStatusBarColour(QStatusBar* statusBar, const QColor& background) {
    statusBar->setAutoFillBackground(true);
    QPalette palette = statusBar->palette();
    palette.setColor(QPalette::Window, background);
    statusBar->setPalette(palette);
}

void applyWindowColours(QWidget* window, ColourValue formColour, QStatusBar* statusBar) {
    applyWindowBackground(window, toQColor(formColour));
    applyWindowText(window, toQColor(ShadeColour(formColour, -120)));
    if (statusBar)
        applyStatusBarColour(statusBar, toQColor(ShadeColour(formColour, -30)));
}

namespace {

// Status tips travel up to the window; a tooltip event is swallowed so no tip pops up.
class HintRouter : public QObject {
public:
    HintRouter(QWidget* window, QStatusBar* statusBar) : QObject(window), bar_(statusBar) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != parent())
            return false;
        if (event->type() == QEvent::StatusTip) {
            if (bar_)
                bar_->showMessage(static_cast<QStatusTipEvent*>(event)->tip());
            return true;
        }
        if (event->type() == QEvent::ToolTip)
            return true;
        return QObject::eventFilter(watched, event);
    }

private:
    QPointer<QStatusBar> bar_;
};

} // namespace

void routeHintsTo(QWidget* window, QStatusBar* statusBar) {
    window->installEventFilter(new HintRouter(window, statusBar));
}

} // namespace kestrine
