#pragma once
// A person's next examination starts from the last one: who the person is
// comes over, everything found last time does not.
#include "FieldMap.h"

#include <QDate>
#include <QString>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <vector>

namespace brenvoll {

// The sheet of a new examination on `today` of the person examined in `last`:
// name, sex, number, address, telephone and medical history as they stand;
// the age one year on for every whole year since the last examination when it
// is a number, else as it stands; the date `today`. Every other box is empty.
ExamRecord nextExamination(const ExamRecord& last, const QDate& today);

// Who a record says its person is, to tell apart people of one name at one
// address (a father and his son): the sex, and the year of birth that the age
// and the examination date give.
struct PersonTraits
{
    QString address;              // without surrounding blanks
    QString sex;                  // without surrounding blanks; empty when not known
    std::optional<int> birthYear; // none when the age or the date is no number
};

// The traits of a record with these texts; an age may end in "岁".
PersonTraits personTraits(const QString& address, const QString& sex, const QString& age,
                          const QString& date);

// Whether two records may be of one person: the same address, and they do not
// disagree on the sex, nor on the year of birth by more than one year (an age
// given before or after the birthday of the year moves it by one). Traits may
// hold the address and sex in any form that compares with ==, a default value
// standing for an unknown sex (the statistics keep them as digests).
template <class Traits> bool mayBeOnePerson(const Traits& a, const Traits& b)
{
    using Sex = decltype(a.sex);
    if (a.address != b.address) {
        return false;
    }
    if (a.sex != Sex{} && b.sex != Sex{} && a.sex != b.sex) {
        return false;
    }
    return !a.birthYear || !b.birthYear || std::abs(*a.birthYear - *b.birthYear) <= 1;
}

inline bool samePerson(const PersonTraits& a, const PersonTraits& b)
{
    return mayBeOnePerson(a, b);
}

// The people among the records of one name, met newest first (by 日期, then
// 序列号): a record is a new person's latest when it may be of no person met
// before (mayBeOnePerson); otherwise it tells that person what the newer
// records left out, the sex and the year of birth.
template <class Traits> class PeopleOfOneName
{
public:
    void clear() { m_known.clear(); }
    // True when `traits` are a person not met before.
    bool meet(const Traits& traits)
    {
        const std::size_t known = m_known.size();
        return personOf(traits) == known;
    }
    // The place of the person `traits` are among those met, in the order
    // first met; a person not met before is added last.
    std::size_t personOf(const Traits& traits)
    {
        using Sex = decltype(traits.sex);
        const auto same = std::ranges::find_if(
            m_known, [&traits](const Traits& person) { return mayBeOnePerson(person, traits); });
        if (same == m_known.end()) {
            m_known.push_back(traits);
            return m_known.size() - 1;
        }
        if (same->sex == Sex{}) {
            same->sex = traits.sex;
        }
        if (!same->birthYear) {
            same->birthYear = traits.birthYear;
        }
        return std::size_t(same - m_known.begin());
    }

private:
    std::vector<Traits> m_known;
};

// The whole years from `from` to `to` (birthday rule; 29 February counts its
// year on 28 February); 0 when `to` is not later.
int wholeYearsBetween(const QDate& from, const QDate& to);

} // namespace brenvoll
