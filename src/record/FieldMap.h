#pragma once
// The examination sheet as data: every box, caption and ruling line with its
// geometry in twips (1/1440 inch) from the sheet's top-left corner. The screen,
// printing, loading and saving all read this one table.
#include <QList>
#include <QString>

#include <array>

namespace brenvoll {

enum class BoxSet
{
    Text5, // the identifying boxes, 0 to 5
    Text6, // the finding boxes, 0 to 45
};

struct TwipsRect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct BoxDef
{
    BoxSet set;
    int index;
    QString column; // column of 档案 read and written through this box
    TwipsRect rect;
    bool visible;
    QString objectName() const; // "Text5_0", "Text6_44"
};

struct CaptionDef
{
    int index; // Label4 index
    QString text;
    TwipsRect rect;
    bool visible;
};

struct LineDef
{
    int index; // Line1 index
    int x1, y1, x2, y2;
    bool visible;
};

struct FontDef
{
    QString family; // as designed; see sheetFontFamily() for what is drawn
    double pointSize;
    bool bold;
};

namespace FieldMap {

constexpr int kText5Count = 6;
constexpr int kText6Count = 46;
constexpr int kCaptionCount = 66;
constexpr int kLineCount = 45;
constexpr int kSheetWidth = 11955;
constexpr int kSheetHeight = 16800;

// Text5 0..5, then Text6 0..45.
const QList<BoxDef>& boxes();
const BoxDef& box(BoxSet set, int index);
// Label4 0..65, in index order.
const QList<CaptionDef>& captions();
// Line1 0..44, in index order.
const QList<LineDef>& lines();
// Label3, the title.
TwipsRect titleRect();
QString titleDesignText();
FontDef titleFont();
FontDef textFont();
// The sheet boxes in the order Enter and Tab walk through them (visible ones).
QList<const BoxDef*> tabOrder();

} // namespace FieldMap

// The family that stands for "宋体": the font itself where installed, else a
// CJK serif face, so that the sheet looks like a printed form. Needs a
// QGuiApplication.
QString sheetFontFamily();

// One examination: the texts of the six identifying and 46 finding boxes.
struct ExamRecord
{
    std::array<QString, FieldMap::kText5Count> text5;
    std::array<QString, FieldMap::kText6Count> text6;

    QString& at(BoxSet set, int index) { return set == BoxSet::Text5 ? text5[index] : text6[index]; }
    const QString& at(BoxSet set, int index) const
    {
        return set == BoxSet::Text5 ? text5[index] : text6[index];
    }
    const QString& key() const { return text5[5]; }
    const QString& date() const { return text5[3]; }
    // The value of a column of 档案 by name ("姓名", "0" … "45").
    QString column(const QString& name) const;
    bool operator==(const ExamRecord&) const = default;
};

// Names of the identifying columns, in Text5 index order.
const std::array<QString, FieldMap::kText5Count>& text5Columns();

} // namespace brenvoll

class QFont;
class QFontMetricsF;
class QPainter;
class QPointF;

namespace brenvoll {

// The font of a sheet element: the stand-in family, the designed size and weight.
QFont sheetFont(const FontDef& def);

// Sheet texts are drawn with every blank half a Chinese character wide, as in
// the designed font, so that a value box covers the run of blanks in its
// caption exactly whatever the stand-in font's own blank is. The text's
// top-left corner is at `topLeft`; one line, never clipped.
void drawSheetText(QPainter& painter, const QPointF& topLeft, const QString& text);
qreal sheetTextWidth(const QFontMetricsF& metrics, const QString& text);

} // namespace brenvoll
