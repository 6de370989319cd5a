#include "ui/common/WindowLook.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QIcon>
#include <QObject>
#include <QPainter>
#include <QPalette>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyleOption>
#include <QToolButton>
#include <QVariant>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <utility>

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

namespace {

double linear(int channel) {
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& c) {
    const QColor rgb = c.toRgb();
    return 0.2126 * linear(rgb.red()) + 0.7152 * linear(rgb.green()) + 0.0722 * linear(rgb.blue());
}

// The text roles a window shows and the background each is drawn on.
constexpr std::pair<QPalette::ColorRole, QPalette::ColorRole> kTextOn[] = {
    {QPalette::WindowText, QPalette::Window},
    {QPalette::Text, QPalette::Base},
    {QPalette::ButtonText, QPalette::Button},
    {QPalette::HighlightedText, QPalette::Highlight},
};

QByteArray wantedKey(QPalette::ColorRole role) {
    return "kestrineWanted" + QByteArray::number(int(role));
}
QByteArray againstKey(QPalette::ColorRole role) {
    return "kestrineAgainst" + QByteArray::number(int(role));
}

// Enabled `text` readable on `background`; the disabled one kept where it is readable and
// dimmer, dimmed otherwise.
void fitRole(QPalette& palette, QPalette::ColorRole role, QPalette::ColorRole against,
             const QColor& wanted) {
    const QColor enabled = readableOn(wanted, palette.color(QPalette::Active, against));
    palette.setColor(QPalette::Active, role, enabled);
    palette.setColor(QPalette::Inactive, role,
                     readableOn(wanted, palette.color(QPalette::Inactive, against)));
    const QColor back = palette.color(QPalette::Disabled, against);
    const QColor disabled = palette.color(QPalette::Disabled, role);
    const double ratio = contrastRatio(disabled, back);
    if (ratio < kReadableContrast || ratio >= contrastRatio(enabled, back))
        palette.setColor(QPalette::Disabled, role, dimmedOn(enabled, back));
}

void fitPalette(QPalette& palette) {
    for (const auto& [role, against] : kTextOn)
        fitRole(palette, role, against, palette.color(QPalette::Active, role));
}

// Every text of `window` fitted to the backgrounds it has now: the window's palette, the
// widgets given a wanted colour, and the flat buttons, whose captions lie on the window.
void fitTexts(QWidget* window) {
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    for (QWidget* widget : widgets) {
        if (widget->isWindow() && widget != window)
            continue;
        QPalette palette = widget->palette();
        bool changed = widget == window;
        for (const auto& [role, against] : kTextOn) {
            const QVariant wanted = widget->property(wantedKey(role));
            if (!wanted.isValid())
                continue;
            fitRole(palette, role, QPalette::ColorRole(widget->property(againstKey(role)).toInt()),
                    wanted.value<QColor>());
            changed = true;
        }
        if (auto* flat = qobject_cast<QToolButton*>(widget); flat && flat->autoRaise()) {
            const QColor back = window->palette().color(QPalette::Window);
            for (QPalette::ColorGroup group :
                 {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
                palette.setColor(group, QPalette::Button, back);
            fitRole(palette, QPalette::ButtonText, QPalette::Button,
                    window->palette().color(QPalette::Active, QPalette::WindowText));
            changed = true;
        }
        if (widget == window)
            fitPalette(palette);
        if (changed)
            widget->setPalette(palette);
    }
}

} // namespace

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableOn(const QColor& text, const QColor& background) {
    if (contrastRatio(text, background) >= kReadableContrast)
        return text;
    float hue = 0, saturation = 0, lightness = 0;
    text.toHsl().getHslF(&hue, &saturation, &lightness);
    hue = std::max(hue, 0.0f);
    for (int step = 1; step <= 255; ++step)
        for (int way : {-1, 1}) {
            const float shade = lightness + float(way * step) / 255.0f;
            if (shade < 0.0f || shade > 1.0f)
                continue;
            const QColor moved = QColor::fromHslF(hue, saturation, shade).toRgb();
            if (contrastRatio(moved, background) >= kReadableContrast)
                return moved;
        }
    return contrastRatio(Qt::black, background) >= contrastRatio(Qt::white, background)
               ? QColor(Qt::black)
               : QColor(Qt::white);
}

QColor dimmedOn(const QColor& text, const QColor& background) {
    // A quarter of the way from the least readable contrast to the text's own.
    const double full = contrastRatio(text, background);
    const double goal =
        std::max(kReadableContrast, kReadableContrast + (full - kReadableContrast) / 4);
    const QColor a = text.toRgb(), b = background.toRgb();
    QColor dimmed = a;
    for (int i = 1; i <= 64; ++i) {
        auto mix = [i](int from, int to) { return from + (to - from) * i / 64; };
        const QColor next(mix(a.red(), b.red()), mix(a.green(), b.green()),
                          mix(a.blue(), b.blue()));
        if (contrastRatio(next, background) < goal)
            break;
        dimmed = next;
    }
    return dimmed;
}

QPalette readableSystemPalette() {
    QPalette palette = QApplication::palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        for (int role = 0; role < QPalette::NColorRoles; ++role)
            if (role != QPalette::NoRole)
                palette.setColor(group, QPalette::ColorRole(role),
                                 palette.color(group, QPalette::ColorRole(role)));
    fitPalette(palette);
    return palette;
}

void setReadableText(QWidget* widget, QPalette::ColorRole role, const QColor& wanted,
                     QPalette::ColorRole against) {
    widget->setProperty(wantedKey(role), wanted);
    widget->setProperty(againstKey(role), int(against));
    fitTexts(widget->window());
}

void applyWindowBackground(QWidget* window, const QColor& background) {
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, background);
    window->setPalette(palette);
    fitTexts(window);
}

void applyWindowText(QWidget* window, const QColor& text) {
    window->setProperty(wantedKey(QPalette::WindowText), text);
    window->setProperty(againstKey(QPalette::WindowText), int(QPalette::Window));
    // The status bars show the window's text on a background of their own.
    for (QStatusBar* bar : window->findChildren<QStatusBar*>())
        if (bar->property(wantedKey(QPalette::WindowText)).isValid())
            bar->setProperty(wantedKey(QPalette::WindowText), text);
    fitTexts(window);
}

void applyStatusBarColour(QStatusBar* statusBar, const QColor& background) {
    statusBar->setAutoFillBackground(true);
    QPalette palette = statusBar->palette();
    palette.setColor(QPalette::Window, background);
    statusBar->setPalette(palette);
    QWidget* window = statusBar->window();
    const QVariant text = window->property(wantedKey(QPalette::WindowText));
    setReadableText(statusBar, QPalette::WindowText,
                    text.isValid() ? text.value<QColor>()
                                   : window->palette().color(QPalette::WindowText),
                    QPalette::Window);
}

void applyWindowColours(QWidget* window, ColourValue formColour, QStatusBar* statusBar) {
    applyWindowBackground(window, toQColor(formColour));
    applyWindowText(window, toQColor(ShadeColour(formColour, -120)));
    if (statusBar)
        applyStatusBarColour(statusBar, toQColor(ShadeColour(formColour, -30)));
}

namespace {

// A push button with the focus gets a dotted frame inside its edge: the style alone draws a
// focused button like the default one, so the focus on the default button would not show.
// The same for the flat picture buttons, whose own focus mark is too faint on a dark window.
class FocusFrameStyle : public QProxyStyle {
public:
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        QProxyStyle::drawControl(element, option, painter, widget);
        if (element == CE_PushButton)
            frame(option, painter, 3);
    }
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        if (control == CC_ToolButton)
            frame(option, painter, 1);
    }

private:
    static void frame(const QStyleOption* option, QPainter* painter, int inset) {
        if (!(option->state & State_HasFocus))
            return;
        painter->save();
        QPen pen(option->palette.color(QPalette::ButtonText));
        pen.setStyle(Qt::DotLine);
        painter->setPen(pen);
        painter->drawRect(option->rect.adjusted(inset, inset, -inset - 1, -inset - 1));
        painter->restore();
    }
};

} // namespace

void nameButtonsByHints(QWidget* window) {
    // Made once and kept for the run: the buttons use it until the program ends.
    static QStyle* const focusFrame = new FocusFrameStyle;
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (button->text().isEmpty() && button->accessibleName().isEmpty())
            button->setAccessibleName(button->statusTip());
        if (qobject_cast<QPushButton*>(button) || qobject_cast<QToolButton*>(button))
            button->setStyle(focusFrame);
    }
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
    // The hint that names a picture button to the eye names it to a screen reader too.
    nameButtonsByHints(window);
}

} // namespace kestrine
