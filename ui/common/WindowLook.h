#pragma once
// The look every Kestrine window shares: the design's font, the colours derived from the
// window colour, and hints shown in the window's status bar instead of pop-up tips.

#include "core/Colour.h"

#include <QColor>
#include <QIcon>

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

// Background `formColour`, text ShadeColour(-120), and the status bar (when given) in
// ShadeColour(-30).
void applyWindowColours(QWidget* window, ColourValue formColour, QStatusBar* statusBar = nullptr);
// Only the background, as the settings window's Exit puts it back.
void applyWindowBackground(QWidget* window, const QColor& background);
// Only the text colour.
void applyWindowText(QWidget* window, const QColor& text);
// The status bar's own background.
void applyStatusBarColour(QStatusBar* statusBar, const QColor& background);

// Shows the hint (status tip) of the control under the mouse in `statusBar` and never as a
// tooltip. The router lives as long as `window`.
void routeHintsTo(QWidget* window, QStatusBar* statusBar);

} // namespace kestrine
