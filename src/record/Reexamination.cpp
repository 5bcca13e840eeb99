#include "Reexamination.h"

#include "DateRules.h"
#include "ValueFlags.h"

namespace brenvoll {

namespace {

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
