#pragma once
// How the main window's toolbar band, viewport, phrase list, page and scroll
// bar follow the window's size, and how the scroll bar moves the page. Pure
// arithmetic on twips and millimetres, so that the rules can be checked without
// a screen; MainWindow reads its controls into a WindowGeometry, runs arrange() and
// puts the result back on the controls.
#include <optional>

namespace brenvoll {

// Twips are relative to the window's client area; millimetres are the
// viewport's inner scale (its inside top-left corner is 0, 0).
struct WindowGeometry
{
    double toolbarWidth = 0;   // twips
    double viewportWidth = 0;  // twips (outer size)
    double viewportHeight = 0; // twips (outer size)
    double listHeight = 0;     // phrase list, twips
    double listTop = 0;        // phrase list, twips
    double barHeight = 0;      // scroll bar, mm
    double barLeft = 0;        // scroll bar, mm
    double pageLeft = 0;       // mm
    double pageTop = 0;        // mm
    bool barEnabled = true;    // scroll bar
};

namespace WindowLayout {

// Twips per millimetre for widths, the centring test and vertical centring.
constexpr double kTwipsPerMm = 56.7;
// Twips per millimetre for the scroll bar's height and for scrolling.
constexpr double kScrollTwipsPerMm = 56.6667;

// The A4 page and the scroll bar, as designed.
constexpr double kPageWidthMm = 210;
constexpr double kPageHeightMm = 297;
constexpr int kBarWidthTwips = 255;
constexpr double kBarWidthMm = 4.5;
constexpr int kBarMaximum = 90;

// Runs the nine rules in order for a window whose outer size (borders, title
// bar and menu bar included) is outerWidth x outerHeight twips. A rule whose
// result would be a negative or non-finite size leaves that value as it is in
// `current`, and the following rules go on with what the controls then hold.
WindowGeometry arrange(double outerWidth, double outerHeight, const WindowGeometry& current);

// The page top (mm) for scroll bar `value` of `maximum` in a viewport
// `viewportHeight` twips tall: the page's top at value 0, its lower part in
// view at the maximum. Nothing for a bar without range.
std::optional<double> scrolledPageTop(double viewportHeight, int value, int maximum = kBarMaximum);

} // namespace WindowLayout
} // namespace brenvoll
