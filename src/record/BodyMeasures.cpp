#include "BodyMeasures.h"

#include "base/TextRules.h"

#include <charconv>
#include <cmath>

namespace brenvoll {

namespace {

constexpr double kShortestMetres = 0.5;
constexpr double kTallestMetres = 2.5;
constexpr double kLightestKilograms = 2;
constexpr double kHeaviestKilograms = 400;

// A number and the unit typed after it ("170", "cm"), full-width characters
// read as their half-width ones; none when the text does not start with a
// number of digits and at most one decimal point.
struct Measure
{
    double number = 0;
    QString unit; // lower case, blanks around it removed
};

std::optional<Measure> readMeasure(const QString& text)
{
    const QString plain = trimBlanks(text.normalized(QString::NormalizationForm_KC));
    qsizetype end = 0;
    bool point = false;
    bool digit = false;
    for (; end < plain.size(); ++end) {
        const QChar c = plain[end];
        if (c >= u'0' && c <= u'9') {
            digit = true;
        } else if (c == u'.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!digit) {
        return std::nullopt;
    }
    return Measure{plain.first(end).toDouble(), trimBlanks(plain.mid(end)).toLower()};
}

// A number of ASCII digits with at most one decimal point and nothing else,
// read from the engine's bytes at once; none for any other text.
std::optional<double> plainNumber(QByteArrayView utf8)
{
    if (utf8.isEmpty() || utf8.size() > 15) {
        return std::nullopt;
    }
    bool point = false;
    bool digit = false;
    for (const char c : utf8) {
        if (c >= '0' && c <= '9') {
            digit = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return std::nullopt;
        }
    }
    double value = 0;
    if (!digit || std::from_chars(utf8.data(), utf8.data() + utf8.size(), value).ec != std::errc()) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> heightFrom(double number, const QString& unit)
{
    const bool metres = unit == u"m" || (unit.isEmpty() && number <= kTallestMetres);
    if (!metres && !unit.isEmpty() && unit != u"cm") {
        return std::nullopt;
    }
    const double centimetres = metres ? number * 100 : number;
    if (centimetres < kShortestMetres * 100 || centimetres > kTallestMetres * 100) {
        return std::nullopt;
    }
    return centimetres;
}

std::optional<double> weightFrom(double number, const QString& unit)
{
    if ((!unit.isEmpty() && unit != u"kg") || number < kLightestKilograms || number > kHeaviestKilograms) {
        return std::nullopt;
    }
    return number;
}

std::optional<int> bmiOf(std::optional<double> centimetres, std::optional<double> kilograms)
{
    if (!centimetres || !kilograms) {
        return std::nullopt;
    }
    const double metres = *centimetres / 100;
    return int(std::lround(*kilograms / (metres * metres) * 10));
}

} // namespace

std::optional<double> heightCentimetres(const QString& text)
{
    const auto measure = readMeasure(text);
    return measure ? heightFrom(measure->number, measure->unit) : std::nullopt;
}

std::optional<double> heightCentimetres(QByteArrayView utf8)
{
    if (const auto number = plainNumber(utf8)) {
        return heightFrom(*number, {});
    }
    return heightCentimetres(QString::fromUtf8(utf8));
}

std::optional<double> weightKilograms(const QString& text)
{
    const auto measure = readMeasure(text);
    return measure ? weightFrom(measure->number, measure->unit) : std::nullopt;
}

std::optional<double> weightKilograms(QByteArrayView utf8)
{
    if (const auto number = plainNumber(utf8)) {
        return weightFrom(*number, {});
    }
    return weightKilograms(QString::fromUtf8(utf8));
}

std::optional<int> bmiTenths(const QString& height, const QString& weight)
{
    return bmiOf(heightCentimetres(height), weightKilograms(weight));
}

std::optional<int> bmiTenths(QByteArrayView heightUtf8, QByteArrayView weightUtf8)
{
    return bmiOf(heightCentimetres(heightUtf8), weightKilograms(weightUtf8));
}

BmiClass bmiClass(int tenths)
{
    using namespace BodyMeasures;
    if (tenths >= std::lround(kObeseBmi * 10)) {
        return BmiClass::Obese;
    }
    if (tenths >= std::lround(kOverweightBmi * 10)) {
        return BmiClass::Overweight;
    }
    return tenths < std::lround(kUnderweightBmiBelow * 10) ? BmiClass::Underweight : BmiClass::Normal;
}

QString bmiClassName(BmiClass bmiClass)
{
    switch (bmiClass) {
    case BmiClass::Underweight:
        return QStringLiteral("体重过低");
    case BmiClass::Normal:
        return QStringLiteral("正常");
    case BmiClass::Overweight:
        return QStringLiteral("超重");
    case BmiClass::Obese:
        return QStringLiteral("肥胖");
    }
    return {};
}

} // namespace brenvoll
