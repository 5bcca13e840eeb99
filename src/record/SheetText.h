#pragma once
// How the sheet's texts are drawn: the stand-in font for the designed one and
// the width of blanks. Screen, printing and PDF draw through it.
#include "FieldMap.h"

#include <QString>

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
qreal sheetTextWidth(const QFontMetricsF& metrics, const QString& text);

} // namespace brenvoll
