#include "Reexamination.h"

#include "DateRules.h"
#include "ValueFlags.h"
#include "base/TextRules.h"

namespace brenvoll {

namespace {

// An age above this is a slip of the keyboard, not a year of birth.
constexpr double kOldestAge = 150;

QString ageOn(const QString& age, const QString& lastDate, const QDate& today)
{
    const auto years = sheetNumber(age);
    const auto examined = parseSearchDate(lastDate);
    if (!years || !examined) {
        return age;
    }
    return QString::number(*years + wholeYearsBetween(*examined, today));
}

} // namespace

PersonTraits personTraits(const QString& address, const QString& sex, const QString& age, const QString& date)
{
    PersonTraits traits{trimBlanks(address), trimBlanks(sex), std::nullopt};
    QString years = trimBlanks(age);
    if (years.endsWith(u'岁')) {
        years.chop(1);
    }
    const auto number = sheetNumber(years);
    const auto examined = parseSearchDate(date.left(10));
    if (number && *number <= kOldestAge && examined) {
        traits.birthYear = examined->year() - int(*number);
    }
    return traits;
}

int wholeYearsBetween(const QDate& from, const QDate& to)
{
    if (!from.isValid() || !to.isValid() || to <= from) {
        return 0;
    }
    int years = to.year() - from.year();
    if (from.addYears(years) > to) {
        --years;
    }
    return years;
}

ExamRecord nextExamination(const ExamRecord& last, const QDate& today)
{
    ExamRecord next;
    for (Field field :
         {Field::Name, Field::Sex, Field::Number, Field::Address, Field::Telephone, Field::MedicalHistory}) {
        next[field] = last[field];
    }
    next[Field::Age] = ageOn(last[Field::Age], last.date(), today);
    next[Field::ExamDate] = formatDate(today);
    return next;
}

} // namespace brenvoll
