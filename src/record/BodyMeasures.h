#pragma once
// The body's measures as the sheet holds them, and the limits a clinic judges
// them by: how a height and a weight are read, the body mass index, its
// classes, and the blood pressure from which it is high. The sheet's flags,
// the yearly count and the comparison over the years all read them here, so
// that a resident is never normal on one page and obese on the next.
//
// How a height is read (blanks around each part ignored, half- and full-width
// characters alike): a number with at most one decimal point, then "cm", "m"
// or nothing ("170", "170cm", "1.70", "1.70 m"). A number without a unit is in
// metres when it lies from 0.5 to 2.5, in centimetres when it lies from 50 to
// 250. A height no person has (under 0.5 m or over 2.5 m, in whatever unit)
// cannot be read.
//
// How a weight is read: a number, then "kg" or nothing ("60", "60kg",
// "60.5 kg"). A weight under 2 kg (less than a newborn's) or over 400 kg
// (more than any examinee's) cannot be read: such a number is a slip of the
// keys, and a BMI made of it would count the person under a wrong class.
//
// A height or weight that cannot be read gives no BMI: the person is not
// examined for it, as for any other value that cannot be read.
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace brenvoll {

namespace BodyMeasures {

// Blood pressure is high from these values on, in mmHg.
inline constexpr double kHighSystolicPressure = 140;
inline constexpr double kHighDiastolicPressure = 90;

// The body mass index is overweight from the first value, obese from the
// second, and underweight below kUnderweightBmiBelow, in kg/m².
inline constexpr double kOverweightBmi = 24;
inline constexpr double kObeseBmi = 28;
inline constexpr double kUnderweightBmiBelow = 18.5;

} // namespace BodyMeasures

// A height in centimetres; none when the text holds no height a person has.
std::optional<double> heightCentimetres(const QString& text);
std::optional<double> heightCentimetres(QByteArrayView utf8);
// A weight in kilograms; none when the text holds no weight a person has.
std::optional<double> weightKilograms(const QString& text);
std::optional<double> weightKilograms(QByteArrayView utf8);

// The body mass index in tenths (239 is 23.9), rounded as it is shown; the
// classes judge this shown value, so that 23.96 shown as 24.0 is overweight.
// None when the height or the weight cannot be read.
std::optional<int> bmiTenths(const QString& height, const QString& weight);
std::optional<int> bmiTenths(QByteArrayView heightUtf8, QByteArrayView weightUtf8);

enum class BmiClass
{
    Underweight, // 体重过低: under 18.5
    Normal,      // 正常: 18.5 to 23.9
    Overweight,  // 超重: 24.0 to 27.9
    Obese,       // 肥胖: 28.0 and over
};

BmiClass bmiClass(int tenths);
// "体重过低", "正常", "超重", "肥胖".
QString bmiClassName(BmiClass bmiClass);

} // namespace brenvoll
