#include "RecordSearch.h"

#include "DateRules.h"
#include "Reexamination.h"
#include "base/TextRules.h"
#include "storage/Database.h"
#include "storage/ListRead.h"

#include <QSqlQuery>

#include <algorithm>

namespace brenvoll {

namespace {

// Result lists can hold hundreds of thousands of lines: they are read straight
// from the engine into compact storage.
bool appendLine(ResultLines& lines, const Database::Row& row)
{
    lines.append(row.text(0), row.text(1), row.text(2));
    return true;
}

// The lines of the records whose 日期 lies in [from, to] and that meet
// `conditions` (each ending in " and ", or nothing) with `params`, newest
// key first.
bool readDays(const QByteArray& conditions, const QStringList& params, const QString& from, const QString& to,
              ResultLines& lines, QString* error)
{
    const ListQuery query{"姓名, 日期, 序列号", "档案", conditions, params, "日期", from, to, "序列号 desc"};
    return ListRead::into(query, lines, &appendLine, error);
}

} // namespace

void ResultLines::append(QByteArrayView name, QByteArrayView date, QByteArrayView key)
{
    // Dates are stored as yyyy-mm-dd; a value with a time of day shows its date.
    m_texts.append({name, date.first(std::min<qsizetype>(date.size(), 10)), key});
}

QString ResultLines::text(size_t k) const
{
    const QByteArrayView name = m_texts.text(qsizetype(k), 0);
    const QByteArrayView date = m_texts.text(qsizetype(k), 1);
    QByteArray line;
    line.reserve(name.size() + date.size() + 2);
    line.append(name).append('[').append(date).append(']');
    return QString::fromUtf8(line);
}

qsizetype ResultLines::find(QByteArrayView key) const
{
    for (qsizetype k = 0; k < m_texts.size(); ++k) {
        if (m_texts.text(k, 2) == key) {
            return k;
        }
    }
    return -1;
}

RecordSearch::SearchError RecordSearch::search(const SearchFilter& filter, ResultLines& lines, QString* error)
{
    lines.clear();
    const auto from = parseSearchDate(filter.from);
    const auto to = parseSearchDate(filter.to);
    if (!from || !to) {
        return SearchError::BadDate;
    }
    if (!Database::fitsPattern(filter.name) || !Database::fitsPattern(filter.address)) {
        if (error) {
            *error = QStringLiteral("查询条件太长，请输入较短的姓名或地址。");
        }
        return SearchError::Database;
    }
    // A name or address written as null by another program is the empty
    // text: it never hides a record from a filter that the empty text meets.
    QStringList params;
    // One after the other: the placeholders' values are appended in order.
    QString matches = Database::filterContains(QStringLiteral("coalesce(姓名, '')"), filter.name, params);
    matches += Database::filterContains(QStringLiteral("coalesce(地址, '')"), filter.address, params);
    const bool ok = readDays(matches.toUtf8(), params, formatDate(*from), formatDate(*to), lines, error);
    return ok ? SearchError::None : SearchError::Database;
}

bool RecordSearch::listDay(const QString& date, ResultLines& lines, QString* error)
{
    return readDays({}, {}, date, date, lines, error);
}

bool RecordSearch::latestByPerson(const QString& name, std::vector<LatestExam>& people, QString* error)
{
    people.clear();
    std::vector<PersonRecords> records;
    if (!recordsByPerson(name, records, error)) {
        return false;
    }
    people.reserve(records.size());
    for (PersonRecords& person : records) {
        people.push_back(std::move(person.latest));
    }
    return true;
}

bool RecordSearch::recordsByPerson(const QString& name, std::vector<PersonRecords>& people, QString* error)
{
    people.clear();
    // The index holds the names as the engine's trim() leaves them.
    const QString trimmed = trimSpaces(name);
    if (trimmed.isEmpty()) {
        return true;
    }
    QSqlQuery query = Database::prepare(
        QStringLiteral("select 地址, 性别, 年龄, 日期, 序列号 from 档案 where trim(姓名) = ? "
                       "order by 日期 desc, 序列号 desc"),
        error);
    Database::bindText(query, trimmed);
    if (!Database::exec(query, error)) {
        return false;
    }
    // Each person's traits gather what the records tell: an older record
    // may know the age that the latest one left out.
    PeopleOfOneName<PersonTraits> known;
    while (query.next()) {
        const QString date = query.value(3).toString();
        const QString key = query.value(4).toString();
        const PersonTraits traits = personTraits(query.value(0).toString(), query.value(1).toString(),
                                                 query.value(2).toString(), date);
        const std::size_t person = known.personOf(traits);
        if (person == people.size()) {
            people.push_back(
                {{traits.address, traits.sex, trimBlanks(query.value(2).toString()), date.left(10), key},
                 {key}});
        } else {
            people[person].keys.append(key);
        }
    }
    if (query.lastError().isValid()) {
        if (error) {
            *error = Database::describe(query.lastError());
        }
        people.clear();
        return false;
    }
    return true;
}

} // namespace brenvoll
