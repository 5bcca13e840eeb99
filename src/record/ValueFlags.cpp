#include "ValueFlags.h"

#include "BodyMeasures.h"
#include "base/TextRules.h"

#include <QRegularExpression>
#include <QStringList>

#include <cctype>
#include <charconv>
#include <string_view>
#include <utility>

namespace brenvoll {

namespace {

bool isUrineTest(Field field)
{
    return field == Field::UrineProtein || field == Field::UrineSugar || field == Field::UrineBlood ||
           field == Field::UrineKetones;
}

bool isBloodPressure(Field field)
{
    return field == Field::SystolicPressure || field == Field::DiastolicPressure;
}

// A laboratory's own flag after a value.
bool isMark(QChar c)
{
    return c == u'↑' || c == u'↓' || c == u'H' || c == u'L' || c == u'h' || c == u'l';
}

// A unit as compared: letter case, blanks, the sign of multiplication and the
// power of ten left out ("×10^9/L", "x10^9/l" and "×10^/L" alike).
QString unitKey(const QString& unit)
{
    static const QRegularExpression power(QStringLiteral("\\^\\d*"));
    QString key = unit.normalized(QString::NormalizationForm_KC).toLower();
    key.remove(u' ');
    key.replace(power, QStringLiteral("^"));
    if (key.startsWith(u'×') || key.startsWith(u'x') || key.startsWith(u'*')) {
        key.remove(0, 1);
    }
    return key;
}

bool isUnit(const QString& typed, const QString& unit)
{
    return !unit.isEmpty() && unitKey(typed) == unitKey(unit);
}

// A plain number as the engine holds it: ASCII digits with at most one
// decimal point between digits, nothing else. None for any other text, which
// is then read as a QString.
std::optional<double> plainNumber(QByteArrayView utf8)
{
    if (utf8.isEmpty() || utf8.size() > 15 || !std::isdigit(uchar(utf8.front())) ||
        !std::isdigit(uchar(utf8.back()))) {
        return std::nullopt;
    }
    double whole = 0;
    double scale = 0;
    for (const char c : utf8) {
        if (c == '.') {
            if (scale != 0) {
                return std::nullopt;
            }
            scale = 1;
        } else if (c >= '0' && c <= '9') {
            whole = whole * 10 + (c - '0');
            scale *= 10;
        } else {
            return std::nullopt;
        }
    }
    if (scale == 0) {
        return whole;
    }
    // Correctly rounded, as the QString path reads it: the same double.
    double value = 0;
    std::from_chars(utf8.data(), utf8.data() + utf8.size(), value);
    return value;
}

RangeReading exactReading(double x, const ReferenceRange& range)
{
    return x > range.high ? RangeReading::Above : x < range.low ? RangeReading::Below : RangeReading::Within;
}

double pressureLimit(Field field)
{
    return field == Field::SystolicPressure ? BodyMeasures::kHighSystolicPressure
                                            : BodyMeasures::kHighDiastolicPressure;
}

// A blood pressure against the limit from which it is high: Above when it
// reaches it, Within when it stays below and for an empty text.
RangeReading pressureReading(const QString& text, double high)
{
    if (trimBlanks(text).isEmpty()) {
        return RangeReading::Within;
    }
    const auto value = readLabValue(text, QStringLiteral("mmHg"));
    if (!value) {
        return RangeReading::Unreadable;
    }
    switch (value->bound) {
    case LabValue::Bound::Exact:
        return value->number >= high ? RangeReading::Above : RangeReading::Within;
    case LabValue::Bound::Above:
        return value->number >= high ? RangeReading::Above : RangeReading::Unreadable;
    case LabValue::Bound::Below:
        return value->number <= high ? RangeReading::Within : RangeReading::Unreadable;
    }
    return RangeReading::Unreadable;
}

// A grade as compared: half-width, without blanks.
QString gradeText(const QString& text)
{
    QString t = text.normalized(QString::NormalizationForm_KC);
    t.remove(u' ');
    t.remove(u'\u3000');
    return t;
}

ValueFlag unreadableFlag()
{
    return {ValueFlag::Kind::Unreadable, QStringLiteral("无法判断是否超出参考范围")};
}

} // namespace

std::optional<double> sheetNumber(const QString& text)
{
    QString digits;
    bool point = false;
    bool digit = false;
    for (const QChar c : trimBlanks(text)) {
        if (c >= u'0' && c <= u'9') {
            digits += c;
            digit = true;
        } else if (c >= u'０' && c <= u'９') {
            digits += QChar(char16_t(u'0' + (c.unicode() - u'０')));
            digit = true;
        } else if ((c == u'.' || c == u'．') && !point) {
            digits += u'.';
            point = true;
        } else {
            return std::nullopt;
        }
    }
    if (!digit) {
        return std::nullopt;
    }
    return digits.toDouble();
}

std::optional<LabValue> readLabValue(const QString& text, const QString& unit)
{
    QString rest = trimBlanks(text.normalized(QString::NormalizationForm_KC));
    LabValue value;
    if (rest.startsWith(u'<') || rest.startsWith(u'>')) {
        value.bound = rest.startsWith(u'<') ? LabValue::Bound::Below : LabValue::Bound::Above;
        rest = trimBlanks(rest.mid(1));
    }
    qsizetype digits = 0;
    while (digits < rest.size() && ((rest[digits] >= u'0' && rest[digits] <= u'9') || rest[digits] == u'.')) {
        ++digits;
    }
    const auto number = sheetNumber(rest.first(digits));
    if (!number) {
        return std::nullopt;
    }
    value.number = *number;
    rest = trimBlanks(rest.mid(digits));
    const auto unitOrNothing = [&unit](const QString& part) { return part.isEmpty() || isUnit(part, unit); };
    if (unitOrNothing(rest)) {
        return value;
    }
    if (isMark(rest.front()) && unitOrNothing(trimBlanks(rest.mid(1)))) {
        return value;
    }
    if (isMark(rest.back()) && unitOrNothing(trimBlanks(rest.chopped(1)))) {
        return value;
    }
    return std::nullopt;
}

std::optional<RangeReading> readAgainstRange(const QString& text, const ReferenceRange& range)
{
    if (trimBlanks(text).isEmpty()) {
        return std::nullopt;
    }
    const auto value = readLabValue(text, range.unit);
    if (!value) {
        return RangeReading::Unreadable;
    }
    const double x = value->number;
    switch (value->bound) {
    case LabValue::Bound::Exact:
        return exactReading(x, range);
    case LabValue::Bound::Above:
        return x >= range.high ? RangeReading::Above : RangeReading::Unreadable;
    case LabValue::Bound::Below:
        if (x <= range.low) {
            return RangeReading::Below;
        }
        return range.low <= 0 && x <= range.high ? RangeReading::Within : RangeReading::Unreadable;
    }
    return RangeReading::Unreadable;
}

bool hasValueCheck(Field field)
{
    return isBloodPressure(field) || isUrineTest(field) || FieldMap::referenceRange(field).has_value();
}

ValueFlag valueFlag(Field field, const QString& text)
{
    if (isUrineTest(field)) {
        switch (urineGrade(text).value_or(UrineGrade::Negative)) {
        case UrineGrade::Positive:
            return {ValueFlag::Kind::Outstanding, QStringLiteral("阳性")};
        case UrineGrade::Unreadable:
            return unreadableFlag();
        case UrineGrade::Negative:
            break;
        }
        return {};
    }
    if (isBloodPressure(field)) {
        switch (pressureReading(text, pressureLimit(field))) {
        case RangeReading::Above:
            return {ValueFlag::Kind::Outstanding, QStringLiteral("血压偏高")};
        case RangeReading::Unreadable:
            return unreadableFlag();
        default:
            return {};
        }
    }
    const auto& range = FieldMap::referenceRange(field);
    if (!range) {
        return {};
    }
    switch (readAgainstRange(text, *range).value_or(RangeReading::Within)) {
    case RangeReading::Above:
        return {ValueFlag::Kind::Outstanding, QStringLiteral("高于参考范围 ") + range->text};
    case RangeReading::Below:
        return {ValueFlag::Kind::Outstanding, QStringLiteral("低于参考范围 ") + range->text};
    case RangeReading::Unreadable:
        return unreadableFlag();
    case RangeReading::Within:
        break;
    }
    return {};
}

std::optional<LabValue> readLabValue(QByteArrayView utf8, const QString& unit)
{
    if (const auto number = plainNumber(utf8)) {
        return LabValue{*number, LabValue::Bound::Exact};
    }
    return readLabValue(QString::fromUtf8(utf8), unit);
}

std::optional<RangeReading> readAgainstRange(QByteArrayView utf8, const ReferenceRange& range)
{
    if (const auto number = plainNumber(utf8)) {
        return exactReading(*number, range);
    }
    return readAgainstRange(QString::fromUtf8(utf8), range);
}

ValueFlag::Kind flagKind(Field field, QByteArrayView utf8)
{
    if (isUrineTest(field) && !utf8.isEmpty()) {
        switch (urineGrade(utf8).value_or(UrineGrade::Negative)) {
        case UrineGrade::Positive:
            return ValueFlag::Kind::Outstanding;
        case UrineGrade::Unreadable:
            return ValueFlag::Kind::Unreadable;
        case UrineGrade::Negative:
            return ValueFlag::Kind::None;
        }
    }
    if (isBloodPressure(field)) {
        if (const auto number = plainNumber(utf8)) {
            return *number >= pressureLimit(field) ? ValueFlag::Kind::Outstanding : ValueFlag::Kind::None;
        }
    }
    return valueFlag(field, QString::fromUtf8(utf8)).kind;
}

std::optional<UrineGrade> urineGrade(const QString& text)
{
    const QString t = gradeText(text);
    if (t.isEmpty()) {
        return std::nullopt;
    }
    static const QStringList positive{QStringLiteral("+"),      QStringLiteral("++"), QStringLiteral("+++"),
                                      QStringLiteral("++++"),   QStringLiteral("1+"), QStringLiteral("2+"),
                                      QStringLiteral("3+"),     QStringLiteral("4+"), QStringLiteral("阳性"),
                                      QStringLiteral("阳性(+)")};
    static const QStringList negative{QStringLiteral("-"), QStringLiteral("阴性"), QStringLiteral("±")};
    if (positive.contains(t)) {
        return UrineGrade::Positive;
    }
    if (negative.contains(t)) {
        return UrineGrade::Negative;
    }
    return UrineGrade::Unreadable;
}

std::optional<UrineGrade> urineGrade(QByteArrayView utf8)
{
    static constexpr std::pair<std::string_view, UrineGrade> kTyped[] = {
        {"阴性", UrineGrade::Negative}, {"-", UrineGrade::Negative},  {"阳性", UrineGrade::Positive},
        {"+", UrineGrade::Positive},    {"++", UrineGrade::Positive}, {"+++", UrineGrade::Positive},
        {"1+", UrineGrade::Positive},   {"2+", UrineGrade::Positive}, {"3+", UrineGrade::Positive}};
    const std::string_view bytes(utf8.data(), size_t(utf8.size()));
    for (const auto& [typed, grade] : kTyped) {
        if (bytes == typed) {
            return grade;
        }
    }
    return urineGrade(QString::fromUtf8(utf8));
}

} // namespace brenvoll
