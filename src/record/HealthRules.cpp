#include "HealthRules.h"

#include "BodyMeasures.h"
#include "ValueFlags.h"
#include "base/TextRules.h"

#include <QStringList>

#include <algorithm>

namespace brenvoll {

namespace {

// The unit a box's values are typed in: its caption's, mmHg for the blood
// pressure.
QString unitOf(Field field)
{
    if (field == Field::SystolicPressure || field == Field::DiastolicPressure) {
        return QStringLiteral("mmHg");
    }
    const auto& range = FieldMap::referenceRange(field);
    return range ? range->unit : QString();
}

// `value` against the cut-off: what an exact number says, and what a bound
// ("<x", ">x") says when it lies wholly on one side.
enum class Side
{
    AtLeast,
    Above,
    Below,
};

RuleReading compare(const LabValue& value, Side side, double cutOff)
{
    const double x = value.number;
    const auto holds = [](bool yes) { return yes ? RuleReading::Holds : RuleReading::Fails; };
    switch (value.bound) {
    case LabValue::Bound::Exact:
        return holds(side == Side::AtLeast ? x >= cutOff : side == Side::Above ? x > cutOff : x < cutOff);
    case LabValue::Bound::Above: // the value is over x
        if (x >= cutOff) {
            return holds(side != Side::Below);
        }
        return RuleReading::Undecided;
    case LabValue::Bound::Below: // the value is under x
        if (x <= cutOff) {
            return holds(side == Side::Below);
        }
        return RuleReading::Undecided;
    }
    return RuleReading::Undecided;
}

RuleReading readAgainst(Field field, QByteArrayView utf8, Side side, double cutOff)
{
    const auto value = readLabValue(utf8, unitOf(field));
    return value ? compare(*value, side, cutOff) : RuleReading::Undecided;
}

// The grade one pressure gives: a lower bound of it, and whether it is exact.
struct PartGrade
{
    int least = 0;
    bool exact = false;
};

PartGrade partGrade(Field field, QByteArrayView utf8, const double (&limits)[3])
{
    PartGrade grade;
    int known = 0;
    for (int g = 0; g < 3; ++g) {
        const RuleReading reading = valueAtLeast(field, utf8, limits[g]);
        if (reading == RuleReading::Undecided) {
            return grade;
        }
        if (reading == RuleReading::Holds) {
            grade.least = g + 1;
        }
        ++known;
    }
    grade.exact = known == 3;
    return grade;
}

QString normalisedGrade(const QString& text)
{
    QString t = text.normalized(QString::NormalizationForm_KC);
    t.remove(u' ');
    t.remove(u'\u3000');
    return t;
}

} // namespace

RuleReading valueAtLeast(Field field, QByteArrayView utf8, double cutOff)
{
    return readAgainst(field, utf8, Side::AtLeast, cutOff);
}

RuleReading valueAbove(Field field, QByteArrayView utf8, double cutOff)
{
    return readAgainst(field, utf8, Side::Above, cutOff);
}

RuleReading valueBelow(Field field, QByteArrayView utf8, double cutOff)
{
    return readAgainst(field, utf8, Side::Below, cutOff);
}

std::optional<int> pressureGrade(QByteArrayView systolic, QByteArrayView diastolic)
{
    static constexpr double kSystolic[3] = {BodyMeasures::kHighSystolicPressure, HealthRules::kGrade2Systolic,
                                            HealthRules::kGrade3Systolic};
    static constexpr double kDiastolic[3] = {BodyMeasures::kHighDiastolicPressure,
                                             HealthRules::kGrade2Diastolic, HealthRules::kGrade3Diastolic};
    const PartGrade s = partGrade(Field::SystolicPressure, systolic, kSystolic);
    const PartGrade d = partGrade(Field::DiastolicPressure, diastolic, kDiastolic);
    const int least = std::max(s.least, d.least);
    // The higher grade is known when both are, or when one already reaches
    // the highest.
    if ((s.exact && d.exact) || least == 3) {
        return least;
    }
    return std::nullopt;
}

std::optional<GlucoseClass> glucoseClass(QByteArrayView utf8)
{
    const RuleReading diabetic =
        valueAtLeast(Field::FastingGlucose, utf8, HealthRules::kDiabeticFastingGlucose);
    if (diabetic == RuleReading::Holds) {
        return GlucoseClass::Diabetic;
    }
    const RuleReading impaired =
        valueAtLeast(Field::FastingGlucose, utf8, HealthRules::kImpairedFastingGlucose);
    if (impaired == RuleReading::Fails) {
        return GlucoseClass::Normal;
    }
    if (impaired == RuleReading::Holds && diabetic == RuleReading::Fails) {
        return GlucoseClass::Impaired;
    }
    return std::nullopt;
}

RuleReading anaemia(QByteArrayView haemoglobin, const QString& sex)
{
    const QString s = normalisedGrade(sex);
    if (s == u"男") {
        return valueBelow(Field::Haemoglobin, haemoglobin, HealthRules::kAnaemiaMaleBelow);
    }
    if (s == u"女") {
        return valueBelow(Field::Haemoglobin, haemoglobin, HealthRules::kAnaemiaFemaleBelow);
    }
    return RuleReading::Undecided;
}

const QStringList& normalFindings()
{
    // The plain findings, then the delivered stock phrases of a normal ECG,
    // ultrasound and chest X-ray: a sheet filled in with those phrases is a
    // normal one.
    static const QStringList findings{QStringLiteral("正常"),
                                      QStringLiteral("未见异常"),
                                      QStringLiteral("未见明显异常"),
                                      QStringLiteral("大致正常"),
                                      QStringLiteral("窦性心律，心电图正常"),
                                      QStringLiteral("肝胆脾胰双肾未见明显异常"),
                                      QStringLiteral("双肺纹理清晰，心膈未见异常")};
    return findings;
}

bool isNormalFinding(const QString& text)
{
    return normalFindings().contains(trimBlanks(text));
}

} // namespace brenvoll
