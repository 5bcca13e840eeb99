#pragma once
// The examination sheet as data: every box, caption and ruling line with its
// geometry in twips (1/1440 inch) from the sheet's top-left corner. The screen,
// printing, loading and saving all read this one table.
#include <QList>
#include <QString>

#include <array>
#include <optional>

namespace brenvoll {

// The sheet's two sets of boxes: the identifying boxes (designed as Text5,
// 0 to 5) and the finding boxes (designed as Text6, 0 to 45).
enum class BoxSet
{
    Identifying,
    Finding,
};

// Every box of the sheet by its role: the identifying boxes in index order,
// then the finding boxes in the order of their columns "0" to "45".
enum class Field
{
    // Identifying boxes: 姓名, 性别, 年龄, 日期, 地址 and the hidden key 序列号.
    Name,
    Sex,
    Age,
    ExamDate,
    Address,
    Key,
    // Finding boxes, column "0" first.
    Number,
    Telephone,
    MedicalHistory,
    Height,
    Weight,
    SystolicPressure,
    Respiratory,
    Nervous,
    Heart,
    Abdomen,
    InternalOther,
    Neck,
    Spine,
    SkinLymphNodes,
    Limbs,
    SurgicalOther,
    Mouth,
    EarNoseThroat,
    Hearing,
    EntOther,
    WhiteCells,
    Haemoglobin,
    Platelets,
    UrineProtein,
    UrineSugar,
    UrineBlood,
    UrineKetones,
    Alt,
    Ast,
    TotalBilirubin,
    SurfaceAntibody,
    UreaNitrogen,
    Creatinine,
    FastingGlucose,
    Triglycerides,
    TotalCholesterol,
    Hdl,
    Ldl,
    Ecg,
    Ultrasound,
    ChestXray,
    Conclusion,
    Guidance,
    SignatureDate, // hidden, never printed
    DiastolicPressure,
    Doctor,
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
    Field field;
    BoxSet set;
    int index;      // index within its set
    QString column; // column of 档案 read and written through this box
    TwipsRect rect;
    bool visible;
    // The name an operator knows the box by ("姓名", "收缩压", "内科其他"):
    // the sheet's own caption, told apart where the sheet tells boxes apart
    // only by their place. Lists of changed boxes, the versions, the drafts,
    // the comparison and the yearly count all name a box by it.
    QString operatorName;
    QString objectName() const; // the designed name: "Text5_0", "Text6_44"
};

struct CaptionDef
{
    int index; // index of the designed caption set (Label4)
    QString text;
    TwipsRect rect;
    bool visible;
};

struct LineDef
{
    int index; // index of the designed line set (Line1)
    int x1, y1, x2, y2;
    bool visible;
};

// A laboratory value's reference range as its caption prints it:
// "白细胞：      ×10^/L(4.0-10.0)" gives 4.0, 10.0, "×10^/L" and "4.0-10.0".
struct ReferenceRange
{
    double low = 0;
    double high = 0;
    QString unit;
    QString text; // the range as printed, "4.0-10.0"
    QString name; // the value's name before the colon, "白细胞"
    bool operator==(const ReferenceRange&) const = default;
};

// The range at the end of a laboratory caption: name, colon, blanks, unit,
// then the range in half- or full-width parentheses. None when the caption
// ends otherwise, or its low end lies above its high end.
std::optional<ReferenceRange> parseReferenceRange(const QString& caption);

struct FontDef
{
    QString family; // as designed; see sheetFontFamily() for what is drawn
    double pointSize;
    bool bold;
};

namespace FieldMap {

constexpr int kIdentifyingCount = 6;
constexpr int kFindingCount = 46;
constexpr int kCaptionCount = 66;
constexpr int kLineCount = 45;
constexpr int kSheetWidth = 11955;
constexpr int kSheetHeight = 16800;

// The identifying boxes 0..5, then the finding boxes 0..45: in Field order.
const QList<BoxDef>& boxes();
const BoxDef& box(BoxSet set, int index);
const BoxDef& box(Field field);
// The captions 0..65, in index order.
const QList<CaptionDef>& captions();
// The ruling lines 0..44, in index order.
const QList<LineDef>& lines();
// The title (designed as Label3).
TwipsRect titleRect();
QString titleDesignText();
FontDef titleFont();
FontDef textFont();
// The sheet boxes in the order Enter and Tab walk through them (visible ones).
QList<const BoxDef*> tabOrder();
// The reference range of the caption that a finding box lies over, parsed
// once from the captions above; none for a box whose caption prints no range.
const std::optional<ReferenceRange>& referenceRange(Field field);
// The columns of 档案 read and written through the boxes, each in double
// quotes (the finding columns are named by numbers), in Field order and
// joined by commas: the column list of every statement that reads or writes
// a whole record.
const QString& quotedColumns();
// One column of 档案 in double quotes, as it stands in a statement.
QString quotedColumn(const QString& column);
// The operator names of `fields`, at most `most` of them joined by "、",
// then " 等 N 项" with N the number of all when there are more:
// "姓名、体检结论、心电图 等 4 项".
QString operatorNameList(const QList<Field>& fields, int most);

} // namespace FieldMap

// The set and index of a box from its role, and back.
constexpr BoxSet boxSetOf(Field field)
{
    return int(field) < FieldMap::kIdentifyingCount ? BoxSet::Identifying : BoxSet::Finding;
}
constexpr int boxIndexOf(Field field)
{
    return int(field) < FieldMap::kIdentifyingCount ? int(field) : int(field) - FieldMap::kIdentifyingCount;
}
constexpr Field fieldOf(BoxSet set, int index)
{
    return Field(set == BoxSet::Identifying ? index : FieldMap::kIdentifyingCount + index);
}

// One examination: the texts of the six identifying and 46 finding boxes.
struct ExamRecord
{
    std::array<QString, FieldMap::kIdentifyingCount> identifying;
    std::array<QString, FieldMap::kFindingCount> findings;

    QString& at(BoxSet set, int index)
    {
        return set == BoxSet::Identifying ? identifying[index] : findings[index];
    }
    const QString& at(BoxSet set, int index) const
    {
        return set == BoxSet::Identifying ? identifying[index] : findings[index];
    }
    QString& operator[](Field field) { return at(boxSetOf(field), boxIndexOf(field)); }
    const QString& operator[](Field field) const { return at(boxSetOf(field), boxIndexOf(field)); }
    const QString& key() const { return (*this)[Field::Key]; }
    const QString& date() const { return (*this)[Field::ExamDate]; }
    // The value of a column of 档案 by name ("姓名", "0" … "45").
    QString column(const QString& name) const;
    bool operator==(const ExamRecord&) const = default;
};

// Names of the identifying columns, in index order.
const std::array<QString, FieldMap::kIdentifyingCount>& identifyingColumns();

} // namespace brenvoll
