#pragma once
// Drawing one examination sheet onto any paint device (a printer, a PDF, a
// preview image) from a snapshot of what the sheet shows. Positions are twips
// from the sheet's top-left corner, as on screen; the device's own resolution
// turns them into its units, so a sheet comes out the same size everywhere.
#include "record/FieldMap.h"

#include <QList>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <functional>

class QFont;
class QPainter;

namespace brenvoll {

// A title, caption or box text: its top-left corner, its font and its text,
// and the size of its element on the sheet.
struct SheetText
{
    QPointF topLeft; // twips
    FontDef font;    // an empty family stands for the sheet's font
    QString text;
    bool visible = true;
    QSizeF size; // twips; none: as high as its font, and a box text is never fitted
};

// A ruling line between two points (twips).
struct SheetRule
{
    QPointF from;
    QPointF to;
    bool visible = true;
};

// What a sheet shows at one moment, element by element, in drawing order.
struct SheetSnapshot
{
    SheetText title;              // the title
    QList<SheetText> captions;    // captions 0..65
    QList<SheetText> identifying; // identifying boxes 0..5
    QList<SheetText> findings;    // finding boxes 0..45
    QList<SheetRule> lines;       // ruling lines 0..44
};

// The sheet as designed holding `record`, with `title` centred across it as
// the main window shows it.
SheetSnapshot designedSheet(const ExamRecord& record, const QString& title);

// `sheet` holding the texts of `record` in its boxes, as it shows once the
// record is loaded.
SheetSnapshot withRecord(SheetSnapshot sheet, const ExamRecord& record);

// The font an element is drawn in.
QFont sheetElementFont(const FontDef& def);

// How many box texts of one or more sheets are drawn fitted into their room,
// how many of those had to be cut short, and which boxes they stand in (each
// box once, in the sheet's order of boxes).
struct SheetFit
{
    int fitted = 0;
    int cut = 0;
    QList<Field> boxes;
    SheetFit& operator+=(const SheetFit& other);
};

// The box texts of `sheet` that do not fit their room, without drawing.
SheetFit sheetFit(const SheetSnapshot& sheet);

// What the operator is told before printing when texts were fitted, naming
// the boxes: "有 2 个方框的文字太长，已缩小打印：心脏、体检结论。"; empty when
// none was.
QString fittedTextsMessage(const SheetFit& fit);

// Draws the sheet with its origin moved right and down by the margins (twips)
// from the painter's origin: title, visible captions, visible identifying and finding
// texts, then visible lines. The title and the captions are the form's own
// texts: one unclipped line each, their top-left corner at the element's
// position. A box text does the same where it fits the room of its box: the
// box and the blank beyond it on its row, up to the next caption text, box or
// ruling line, or the sheet's right edge. A box text wider than that is
// fitted into it (fitSheetText), so that no text is printed over another or
// off the sheet. Lines are solid and as thin as the device draws. Hidden
// elements and empty texts draw nothing. With `drawn`, the texts drawn are
// added to it in drawing order, as drawnTexts() gives them, without laying
// the boxes out a second time.
SheetFit drawSheet(QPainter& painter, const SheetSnapshot& sheet, double leftMarginTwips,
                   double topMarginTwips, QStringList* drawn = nullptr);

// The texts drawSheet() draws, in the order it draws them.
QStringList drawnTexts(const SheetSnapshot& sheet);

// A page other than a sheet, drawn as drawSheet() draws one: positions in
// twips scaled by the device's resolution, fonts in points, the origin moved
// right and down by the margins (twips).
using PageDrawing = std::function<void(QPainter& painter, double leftMarginTwips, double topMarginTwips)>;

} // namespace brenvoll
