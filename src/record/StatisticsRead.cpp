#include "StatisticsRead.h"

#include "DateRules.h"
#include "Reexamination.h"
#include "storage/Database.h"
#include "storage/ListRead.h"

#include <QHash>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <functional>
#include <future>

namespace brenvoll {

namespace {

// Rows read between two looks at the progress.
constexpr qint64 kProgressEvery = 4096;
constexpr qint16 kNoBirthYear = SHRT_MIN;

// Who a record's person is, as far as telling people apart goes: the trimmed
// name, address and sex as digests (0 for an empty sex), the year of birth.
struct PersonDigest
{
    quint64 address = 0;
    quint64 sex = 0;
    std::optional<int> birthYear;
};

// One examination, as much of it as the count needs.
struct ExamDigest
{
    quint64 name = 0;
    quint64 address = 0;
    quint64 sex = 0;
    quint32 position = 0; // in the order of 日期, then 序列号
    qint16 birthYear = kNoBirthYear;
    quint8 sexColumn = 0;
    quint8 ageColumn = 0;
    ExamOutcomes outcomes;
    HealthOutcomes health;
};

// Without leading and trailing blanks, as trimBlanks() takes them off: the
// ASCII blank and the full-width one (UTF-8 E3 80 80).
QByteArrayView withoutBlanks(QByteArrayView text)
{
    static constexpr QByteArrayView kWideBlank("\xE3\x80\x80");
    for (;;) {
        if (text.startsWith(' ')) {
            text = text.sliced(1);
        } else if (text.startsWith(kWideBlank)) {
            text = text.sliced(kWideBlank.size());
        } else if (text.endsWith(' ')) {
            text.chop(1);
        } else if (text.endsWith(kWideBlank)) {
            text.chop(kWideBlank.size());
        } else {
            return text;
        }
    }
}

quint64 digestOf(QByteArrayView text)
{
    text = withoutBlanks(text);
    // Two seeds make a 64-bit digest even where size_t is 32 bits.
    return (quint64(qHash(text, 0x5bd1e995U)) << 32) ^ quint64(qHash(text, 0x9e3779b9U));
}

// The boxes the rows need, each once, after 姓名, 性别, 年龄, 日期, 地址.
std::vector<Field> neededFields()
{
    std::vector<Field> fields{Field::Weight, Field::DiastolicPressure};
    for (const StatisticsItem& item : statisticsItems()) {
        fields.push_back(item.field);
    }
    fields.insert(fields.end(), healthFields().begin(), healthFields().end());
    std::sort(fields.begin(), fields.end());
    fields.erase(std::unique(fields.begin(), fields.end()), fields.end());
    return fields;
}

constexpr int kIdentifyingRead = 5;

QByteArray columnsOf(const std::vector<Field>& fields)
{
    QByteArray columns = "姓名, 性别, 年龄, 日期, 地址";
    for (const Field field : fields) {
        columns += ", " + FieldMap::quotedColumn(FieldMap::box(field).column).toUtf8();
    }
    return columns;
}

ExamDigest digestOf(const Database::Row& row, const std::vector<Field>& fields, AgeGrouping grouping)
{
    ExamCells cells;
    cells.cells[size_t(Field::Sex)] = row.text(1);
    for (size_t f = 0; f < fields.size(); ++f) {
        cells.cells[size_t(fields[f])] = row.text(int(f) + kIdentifyingRead);
    }
    const QString sex = QString::fromUtf8(row.text(1));
    const QString age = QString::fromUtf8(row.text(2));
    const auto birthYear = personTraits({}, {}, age, QString::fromUtf8(row.text(3))).birthYear;
    const QByteArrayView sexText = withoutBlanks(row.text(1));
    ExamDigest digest;
    digest.name = digestOf(row.text(0));
    digest.address = digestOf(row.text(4));
    digest.sex = sexText.isEmpty() ? 0 : digestOf(sexText) | 1;
    digest.birthYear = birthYear ? qint16(std::clamp(*birthYear, SHRT_MIN + 1, int(SHRT_MAX))) : kNoBirthYear;
    digest.sexColumn = quint8(sexColumn(sex));
    digest.ageColumn = quint8(ageColumn(age, grouping));
    digest.outcomes = examOutcomes(cells);
    digest.health = healthOutcomes(cells);
    return digest;
}

// The digests as ListRead fills them: the later half's appended after the
// earlier's keeps the order of 日期.
struct DigestList
{
    std::vector<ExamDigest> digests;
    void clear() { digests.clear(); }
    void merge(DigestList&& later)
    {
        digests.insert(digests.end(), later.digests.begin(), later.digests.end());
        later.clear();
    }
};

// Each person counts by the latest examination: the records of one name are
// met newest first, as 复制上次体检 meets them. Sorting a long list is the
// count's one long step without rows: it runs on a thread of its own while
// `waiting` is called every 50 ms, so that the window keeps answering.
void countPeople(std::vector<ExamDigest>& digests, StatisticsTable& table,
                 const std::function<void()>& waiting)
{
    for (size_t k = 0; k < digests.size(); ++k) {
        digests[k].position = quint32(k);
    }
    std::future<void> sorted = std::async(std::launch::async, [&digests] {
        std::ranges::sort(digests, [](const ExamDigest& a, const ExamDigest& b) {
            return a.name != b.name ? a.name < b.name : a.position > b.position;
        });
    });
    while (sorted.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        if (waiting) {
            waiting();
        }
    }
    sorted.get();
    PeopleOfOneName<PersonDigest> people;
    for (size_t k = 0; k < digests.size(); ++k) {
        const ExamDigest& exam = digests[k];
        if (k == 0 || digests[k - 1].name != exam.name) {
            people.clear();
        }
        const PersonDigest person{exam.address, exam.sex,
                                  exam.birthYear == kNoBirthYear ? std::nullopt
                                                                 : std::optional<int>(exam.birthYear)};
        if (people.meet(person)) {
            table.addPerson(exam.sexColumn, exam.ageColumn, exam.outcomes, exam.health);
        }
    }
}

} // namespace

StatisticsRead::Error StatisticsRead::run(const StatisticsFilter& filter, StatisticsTable& table,
                                          const Progress& progress, QString* error)
{
    table = StatisticsTable(filter.grouping);
    const auto from = parseSearchDate(filter.from);
    const auto to = parseSearchDate(filter.to);
    if (!from || !to) {
        return Error::BadDate;
    }
    if (!Database::fitsPattern(filter.address)) {
        if (error) {
            *error = QStringLiteral("查询条件太长，请输入较短的地址。");
        }
        return Error::Database;
    }
    const QStringList days{formatDate(*from), formatDate(*to)};
    qint64 most = 0;
    if (progress && !Database::readRows(
                        "select count(*) from 档案 where 日期 between ? and ?", days,
                        [&most](const Database::Row& row) {
                            most = row.integer(0);
                            return false;
                        },
                        error)) {
        return Error::Database;
    }

    const std::vector<Field> fields = neededFields();
    const QByteArray matches =
        (Database::containsText(QStringLiteral("coalesce(地址, '')")) + QStringLiteral(" and ")).toUtf8();
    const ListQuery query{columnsOf(fields), "档案",  matches,       {filter.address}, "日期",
                          days[0],           days[1], "日期, 序列号"};
    std::atomic<qint64> read = 0;
    std::atomic<bool> cancelled = false;
    // The later half may be read on a thread of its own: it only digests.
    const auto append = [&](DigestList& list, const Database::Row& row) {
        list.digests.push_back(digestOf(row, fields, filter.grouping));
        ++read;
        return !cancelled.load(std::memory_order_relaxed);
    };
    DigestList first;
    DigestList later;
    qint64 seen = 0;
    const ListRead::Parts parts =
        ListRead::read(query,
                       {[&](const Database::Row& row) {
                            if (progress && ++seen % kProgressEvery == 0 && !progress(read.load(), most)) {
                                cancelled = true;
                            }
                            return append(first, row);
                        },
                        [&](const Database::Row& row) { return append(later, row); },
                        [&] {
                            first.clear();
                            later.clear();
                            read = 0;
                        }},
                       error);
    if (cancelled) {
        return Error::Cancelled;
    }
    if (parts == ListRead::Parts::Failed) {
        return Error::Database;
    }
    if (progress && !progress(read.load(), most)) {
        return Error::Cancelled;
    }
    first.merge(std::move(later));
    table.examinations = qint64(first.digests.size());
    countPeople(first.digests, table, [&] {
        if (progress && !progress(read.load(), most)) {
            cancelled = true;
        }
    });
    return cancelled ? Error::Cancelled : Error::None;
}

QByteArray StatisticsRead::columns()
{
    return columnsOf(neededFields());
}

QByteArray StatisticsRead::order()
{
    return "日期, 序列号";
}

} // namespace brenvoll
