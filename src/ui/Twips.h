#pragma once
// Windows are designed in twips (1/1440 inch); on screen they become pixels at
// the screen's logical resolution, so that 200% scaling keeps proportions.
class QLabel;
class QWidget;

namespace brenvoll::twips {

int toPx(const QWidget* widget, double twips);
double fromPx(const QWidget* widget, int pixels);
void place(QWidget* widget, int left, int top, int width, int height);
// A label keeps its designed place and grows where the font needs more room,
// instead of cutting its text off.
void placeLabel(QLabel* label, int left, int top, int width, int height);

// Dialog-like windows centre themselves on their screen when they load,
// `twipsAbove` higher than the middle.
void centreOnScreen(QWidget* window, int twipsAbove = 0);

} // namespace brenvoll::twips
