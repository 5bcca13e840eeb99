#pragma once
// Values that call for the examiner's attention: a laboratory value outside
// the reference range its caption prints, a high blood pressure, a positive
// urine test; and values that cannot be checked, so that an unchecked value
// is never taken for a normal one. They are pointed out on screen only; the
// record and the printed sheet hold the text as typed.
//
// How a laboratory value is read (readLabValue), blanks around each part
// ignored, half- and full-width characters alike:
// - a number: digits with at most one decimal point ("12.5", "１２．５");
// - before it, "<" or ">" where the instrument only says the value lies below
//   or above what it can measure ("<0.1", ">33.3");
// - after it, the mark of the laboratory's own flag, an arrow or H or L
//   ("12.5↑", "12.5H", "3.1L"), and the unit, when it is the unit the caption
//   prints ("12.5 mmol/L", "12.5 mmol/L↑"; letter case, blanks, "x" or "*" for
//   "×" and the power of ten after "10^" do not matter). The laboratory's mark
//   is read past: the number is judged against the sheet's own range.
// Any other text, or a number in another unit, is not a value.
//
// How a value compares with a range low-high (readAgainstRange):
// - a number: above when over high, below when under low, else within;
// - ">x" is above when x is high or more (">33.3" against 0-30), and cannot
//   be judged otherwise (">3" against 0-30 may lie within or above);
// - "<x" is below when x is low or less; within when the range starts at 0
//   and x is at most high, as a laboratory value is never negative ("<0.1"
//   against 0-1.8); it cannot be judged otherwise;
// - a text that is not a value cannot be judged.
#include "FieldMap.h"

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace brenvoll {

// The number a box holds: half- or full-width digits with at most one decimal
// point ("." or "．"), blanks around them ignored. None for any other text.
std::optional<double> sheetNumber(const QString& text);

// A laboratory value as typed.
struct LabValue
{
    enum class Bound
    {
        Exact,
        Below, // "<x": the value lies below x
        Above, // ">x": the value lies above x
    };
    double number = 0;
    Bound bound = Bound::Exact;
    bool operator==(const LabValue&) const = default;
};

// The value `text` holds as a laboratory value in `unit` (the unit its
// caption prints; empty accepts no unit); none when it holds none.
std::optional<LabValue> readLabValue(const QString& text, const QString& unit);

enum class RangeReading
{
    Within,
    Above,
    Below,
    Unreadable, // not a value, or one that the range cannot judge
};

// How `text`, typed into a box whose caption prints `range`, compares with it;
// none for an empty text (blanks only). Counting values follows this reading.
std::optional<RangeReading> readAgainstRange(const QString& text, const ReferenceRange& range);

// A urine test's grade as written: "+", "++", "+++", "1+" to "4+", "++++",
// "阳性", "阳性(+)" are positive; "-", "阴性", "±" are negative; half- and
// full-width alike, blanks around ignored. Anything else is unreadable;
// an empty text is none.
enum class UrineGrade
{
    Negative,
    Positive,
    Unreadable,
};
std::optional<UrineGrade> urineGrade(const QString& text);
// The same from the engine's bytes: the grades as usually typed are matched
// at once, any other text read as above.
std::optional<UrineGrade> urineGrade(QByteArrayView utf8);

// Whether the text of box `field` is ever looked at.
bool hasValueCheck(Field field);

// What the text of a box calls for.
struct ValueFlag
{
    enum class Kind
    {
        None,
        Outstanding, // outside its range, a high blood pressure, a positive test
        Unreadable,  // a text in a box of numbers that cannot be checked
    };
    Kind kind = Kind::None;
    // Why ("高于参考范围 4.0-10.0", "低于参考范围 4.0-10.0", "血压偏高", "阳性",
    // "无法判断是否超出参考范围"); empty for None.
    QString reason;
};

ValueFlag valueFlag(Field field, const QString& text);

// The same readings of a box's text as the engine holds it (UTF-8), for
// counting a million records: a plain number ("12.5") is read from the bytes
// at once, any other text exactly as above.
std::optional<LabValue> readLabValue(QByteArrayView utf8, const QString& unit);
std::optional<RangeReading> readAgainstRange(QByteArrayView utf8, const ReferenceRange& range);
ValueFlag::Kind flagKind(Field field, QByteArrayView utf8);

} // namespace brenvoll
