#pragma once
// How the sheet's texts are drawn: the stand-in font for the designed one,
// the width of blanks, and a text too long for its box made to fit it.
// Screen, printing and PDF draw through it.
#include "FieldMap.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

class QFont;
class QFontMetricsF;
class QPainter;
class QPointF;

namespace brenvoll {

// The family that stands for "宋体": the font itself where installed, else a
// CJK serif face, so that the sheet looks like a printed form. Needs a
// QGuiApplication.
QString sheetFontFamily();

// The font of a sheet element: the stand-in family, the designed size and weight.
QFont sheetFont(const FontDef& def);

// Sheet texts are drawn with every blank half a Chinese character wide, as in
// the designed font, so that a value box covers the run of blanks in its
// caption exactly whatever the stand-in font's own blank is. The text's
// top-left corner is at `topLeft`; one line, never clipped.
void drawSheetText(QPainter& painter, const QPointF& topLeft, const QString& text);
// The same with the text's baseline starting at `baselineLeft`.
void drawSheetTextOnBaseline(QPainter& painter, const QPointF& baselineLeft, const QString& text);
qreal sheetTextWidth(const QFontMetricsF& metrics, const QString& text);
// Where the text stands between its blanks: each stretch of non-blank
// characters as its left and right offset from the text's left.
QList<std::pair<qreal, qreal>> sheetTextStretches(const QFontMetricsF& metrics, const QString& text);

// `font` sized in pixels of one twip, so that its metrics measure twips
// whatever the screen or printer.
QFont fontInTwips(const QFont& font, int twips);
// The designed size of `font` in twips (20 to the point).
int fontTwips(const QFont& font);

// A text laid into the room it has: as designed where it fits the room's
// width on one line in its own size; else on one line in the size that fits,
// down to kSmallestTextScale of its own; else at that size on as many lines
// as the height holds, the last ending in "…" where the text still runs on.
struct FittedText
{
    enum class Fit
    {
        AsDesigned, // drawn as it always is, in its own size
        Smaller,    // whole, in a smaller size, maybe on several lines
        Cut,        // the room ends before the text, which ends in "…"
    };
    Fit fit = Fit::AsDesigned;
    int size = 0;           // the font's size in twips, for Smaller and Cut
    QStringList lines;      // for Smaller and Cut
    QList<qreal> baselines; // twips below the top of the room, one a line
};

constexpr double kSmallestTextScale = 0.6;
// Lines of a text that had to wrap stand this many times their size apart:
// two lines at the smallest size fit a box of the sheet's one-line height.
constexpr double kWrappedLinePitch = 1.05;

// Fits `text`, drawn in `font`, into a room `width` by `height` twips. A line
// that shrank keeps the baseline of the text in its own size, so that it
// stands on the line of its neighbours; several lines share the room's
// height. Trailing blanks take no room.
FittedText fitSheetText(const QFont& font, const QString& text, qreal width, qreal height);
// The width in twips that `text` takes in `font` at its own size, trailing
// blanks left out.
qreal sheetTextTwips(const QFont& font, const QString& text);

} // namespace brenvoll
