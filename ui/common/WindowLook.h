#pragma once
// The look every Kestrine window shares: the design's font, the colours derived from the
// window colour, and hints shown in the window's status bar instead of pop-up tips.

#include "core/Colour.h"

#include <QColor>
#include <QIcon>
#include <QPalette>

class QStatusBar;
class QWidget;

namespace kestrine {

// Makes the pictures (":/pictures/...") available; the windows call it before their layouts.
void initPictures();
// The kestrel, and the same as the icon of every window of the application.
QIcon programIcon();
// Makes the windows known to the desktop as Kestrine's: the icon, the desktop entry's name and
// the window class "kestrine" that the entry names, whatever the executable is called.
void identifyProgram();

QColor toQColor(Rgb rgb);
// A colour value of the settings (system colour reference or RGB) as the colour it stands for.
QColor toQColor(ColourValue colour);

// The "MS Sans Serif" 8-point face of the design, through a substitute of the same metrics.
void useWindowFont(QWidget* window);

// Text is kept readable on its background: a contrast ratio of at least kReadableContrast
// (relative luminance as the web's accessibility guidelines define it).
constexpr double kReadableContrast = 4.5;
double contrastRatio(const QColor& a, const QColor& b);
// `text` when it reads on `background`, else the nearest shade of it (same hue and saturation,
// lightness moved as little as possible) that does.
QColor readableOn(const QColor& text, const QColor& background);
// The text of a disabled control: between `text` and `background`, visibly dimmer than `text`
// while still readable.
QColor dimmedOn(const QColor& text, const QColor& background);
// The desktop's palette with every text made readable on its background, each role set
// explicitly so that a widget given it keeps it instead of following its window.
QPalette readableSystemPalette();

// Background `formColour`, text ShadeColour(-120), and the status bar (when given) in
// ShadeColour(-30); each text moved where needed so that it stays readable.
void applyWindowColours(QWidget* window, ColourValue formColour, QStatusBar* statusBar = nullptr);
// Only the background, as the settings window's Exit puts it back; the texts are fitted to it.
void applyWindowBackground(QWidget* window, const QColor& background);
// Only the text colour (as readable as needed on the window's background).
void applyWindowText(QWidget* window, const QColor& text);
// The status bar's own background.
void applyStatusBarColour(QStatusBar* statusBar, const QColor& background);
// The `role` text of `widget` in `wanted`, fitted to its background `against` now and after
// every later colour change of its window.
void setReadableText(QWidget* widget, QPalette::ColorRole role, const QColor& wanted,
                     QPalette::ColorRole against);

// Names each picture button (a button without a caption) of `window` by its hint, for screen
// readers, and gives its push buttons a focus frame of their own.
void nameButtonsByHints(QWidget* window);

// Shows the hint (status tip) of the control under the mouse in `statusBar` and never as a
// tooltip. The router lives as long as `window`.
void routeHintsTo(QWidget* window, QStatusBar* statusBar);

} // namespace kestrine
