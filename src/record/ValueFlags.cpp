#include "ValueFlags.h"

#include <QStringList>

namespace brenvoll {

namespace {

constexpr double kHighSystolic = 140;
constexpr double kHighDiastolic = 90;

bool isUrineTest(Field field)
{
    return field == Field::UrineProtein || field == Field::UrineSugar || field == Field::UrineBlood ||
           field == Field::UrineKetones;
}

QString withoutBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    auto blank = [](QChar c) { return c == u' ' || c == u'\u3000'; };
    while (begin < end && blank(text[begin])) {
        ++begin;
    }
    while (end > begin && blank(text[end - 1])) {
        --end;
    }
    return text.mid(begin, end - begin);
}

bool isPositive(const QString& text)
{
    QString t = withoutBlanks(text);
    t.replace(u'＋', u'+'); // typed with a Chinese input method
    static const QStringList positive{QStringLiteral("+"), QStringLiteral("++"), QStringLiteral("+++"),
                                      QStringLiteral("阳性")};
    return positive.contains(t);
}

} // namespace

std::optional<double> sheetNumber(const QString& text)
{
    QString digits;
    bool point = false;
    bool digit = false;
    for (const QChar c : withoutBlanks(text)) {
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

bool hasValueCheck(Field field)
{
    return field == Field::SystolicPressure || field == Field::DiastolicPressure || isUrineTest(field) ||
           FieldMap::referenceRange(field).has_value();
}

QString valueFlag(Field field, const QString& text)
{
    if (isUrineTest(field)) {
        return isPositive(text) ? QStringLiteral("阳性") : QString();
    }
    const auto value = sheetNumber(text);
    if (!value) {
        return {};
    }
    if (field == Field::SystolicPressure || field == Field::DiastolicPressure) {
        const double high = field == Field::SystolicPressure ? kHighSystolic : kHighDiastolic;
        return *value >= high ? QStringLiteral("血压偏高") : QString();
    }
    const auto& range = FieldMap::referenceRange(field);
    if (!range) {
        return {};
    }
    if (*value > range->high) {
        return QStringLiteral("高于参考范围 ") + range->text;
    }
    if (*value < range->low) {
        return QStringLiteral("低于参考范围 ") + range->text;
    }
    return {};
}

} // namespace brenvoll
