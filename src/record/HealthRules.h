#pragma once
// The diagnostic cut-offs a county report counts by, beside the sheet's own
// reference ranges: the grades of hypertension, the fasting glucose of
// impaired fasting and of diabetes, dyslipidaemia, anaemia by sex, and the
// grades a urine test is written in. The body's measures (height, weight,
// BMI and its classes, the limits from which blood pressure is high) stand in
// BodyMeasures; these rules build on them and never repeat them.
//
// Each rule reads a value as the sheet reads it (readLabValue, in the unit
// the caption prints): a value the rule cannot decide ("<8" against 7.0, a
// word) is unreadable, and a person counts as not examined for it.
#include "FieldMap.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

namespace brenvoll {

namespace HealthRules {

// Hypertension grades by 中国高血压防治指南 (2018), in mmHg; grade 1 begins at
// BodyMeasures::kHighSystolicPressure / kHighDiastolicPressure.
inline constexpr double kGrade2Systolic = 160;
inline constexpr double kGrade2Diastolic = 100;
inline constexpr double kGrade3Systolic = 180;
inline constexpr double kGrade3Diastolic = 110;

// Fasting glucose by WHO 1999, in mmol/L: impaired from the first, the
// diabetic cut-off from the second.
inline constexpr double kImpairedFastingGlucose = 6.1;
inline constexpr double kDiabeticFastingGlucose = 7.0;

// Dyslipidaemia by 中国成人血脂异常防治指南 (2016), in mmol/L: total cholesterol,
// triglycerides or LDL-C from these values, or HDL-C below the last.
inline constexpr double kHighTotalCholesterol = 6.2;
inline constexpr double kHighTriglycerides = 2.3;
inline constexpr double kHighLdl = 4.1;
inline constexpr double kLowHdlBelow = 1.0;

// Anaemia: haemoglobin below these values, in g/L.
inline constexpr double kAnaemiaMaleBelow = 120;
inline constexpr double kAnaemiaFemaleBelow = 110;

} // namespace HealthRules

// What a rule makes of a value: the condition holds, does not, or cannot be
// decided (empty, not a value, or a "<x"/">x" on both sides of the cut-off).
enum class RuleReading
{
    Holds,
    Fails,
    Undecided,
};

// The value of box `field` (in its caption's unit) against a cut-off:
// reaching it, lying above it, or lying below it.
RuleReading valueAtLeast(Field field, QByteArrayView utf8, double cutOff);
RuleReading valueAbove(Field field, QByteArrayView utf8, double cutOff);
RuleReading valueBelow(Field field, QByteArrayView utf8, double cutOff);

// The grade of a blood pressure, 0 (below 140/90) to 3, by the higher of the
// two; none when the grade cannot be told (a value unreadable or missing
// while the other one leaves the grade open).
std::optional<int> pressureGrade(QByteArrayView systolic, QByteArrayView diastolic);

// Fasting glucose: below 6.1, impaired (6.1 to under 7.0), diabetic (7.0 on).
enum class GlucoseClass
{
    Normal,
    Impaired,
    Diabetic,
};
std::optional<GlucoseClass> glucoseClass(QByteArrayView utf8);

// Anaemia for a haemoglobin and a sex ("男", "女"); undecided for any other
// sex, where no cut-off applies.
RuleReading anaemia(QByteArrayView haemoglobin, const QString& sex);

// The findings of 心电图, B超 and 胸部X线 that are normal, as typed (blanks
// around them ignored).
const QStringList& normalFindings();
bool isNormalFinding(const QString& text);

} // namespace brenvoll
