#include "RecordStore.h"

#include "DateRules.h"
#include "storage/Database.h"
#include "storage/PairedRead.h"

#include <QSet>
#include <QSqlRecord>

namespace brenvoll {

namespace {

QString quoted(const QString& column)
{
    return u'"' + column + u'"';
}

const QString& upsertSql()
{
    static const QString sql = []() -> QString {
        QStringList columns;
        QStringList params;
        QStringList updates;
        for (const BoxDef& box : FieldMap::boxes()) {
            columns << quoted(box.column);
            params << QStringLiteral("?");
            if (box.column != QLatin1String("序列号")) {
                updates << quoted(box.column) + QStringLiteral(" = excluded.") + quoted(box.column);
            }
        }
        return QStringLiteral("insert into 档案 (") + columns.join(u',') + QStringLiteral(") values (") +
               params.join(u',') + QStringLiteral(") on conflict(序列号) do update set ") +
               updates.join(u',');
    }();
    return sql;
}

const QString& insertSql()
{
    static const QString sql = []() -> QString {
        const QString& upsert = upsertSql();
        return upsert.left(upsert.indexOf(QStringLiteral(" on conflict"))) +
               QStringLiteral(" on conflict(序列号) do nothing");
    }();
    return sql;
}

// Every box's column set, then the key and every box's stored value as it
// loads (a NULL as empty, the date without a time of day) compared.
const QString& updateSql()
{
    static const QString sql = []() -> QString {
        QStringList sets;
        QStringList same;
        for (const BoxDef& box : FieldMap::boxes()) {
            sets << quoted(box.column) + QStringLiteral(" = ?");
            const QString stored = QStringLiteral("coalesce(") + quoted(box.column) + QStringLiteral(", '')");
            same << (box.field == Field::ExamDate
                         ? QStringLiteral("substr(") + stored + QStringLiteral(", 1, 10)")
                         : stored) +
                        QStringLiteral(" = ?");
        }
        return QStringLiteral("update 档案 set ") + sets.join(u',') +
               QStringLiteral(" where 序列号 = ? and ") + same.join(QStringLiteral(" and "));
    }();
    return sql;
}

QString dateText(const QString& stored)
{
    // Dates are stored as yyyy-mm-dd; a value with a time of day shows its date.
    return stored.left(10);
}

// Result lists can hold hundreds of thousands of lines: they are read straight
// from the engine into compact storage.
std::function<bool(const Database::Row&)> appendingTo(ResultLines& lines)
{
    return [&lines](const Database::Row& row) {
        lines.append(row.text(0), row.text(1), row.text(2));
        return true;
    };
}

bool readLines(const char* sql, const QStringList& params, ResultLines& lines, QString* error)
{
    lines.clear();
    const bool ok = Database::readRows(sql, params, appendingTo(lines), error);
    if (!ok) {
        lines.clear();
    }
    return ok;
}

// The list's query: the records that meet `filter` (conditions ending in
// "and", or nothing) and `days` (a condition on 日期), newest key first.
QByteArray linesSql(QByteArrayView filter, QByteArrayView days)
{
    return QByteArray("select 姓名, 日期, 序列号 from 档案 where ") + filter + days +
           QByteArrayView(" order by 序列号 desc");
}

// Below this many records in the days searched, a second thread costs
// about what it saves.
constexpr int kSplitRecords = 4000;

// The day that splits [from, to] into two spans holding about as many
// records, when the days hold enough records for reading both spans at the
// same time to pay. The look at the index is cheap and waits for no lock;
// only the balance of the spans depends on it.
std::optional<QString> middleDay(const QString& from, const QString& to)
{
    if (from >= to) {
        return std::nullopt;
    }
    qint64 records = 0;
    QDate first;
    QDate last;
    const auto day = [](const Database::Row& row, int column) {
        return QDate::fromString(QString::fromUtf8(row.text(column)).left(10), QStringLiteral("yyyy-MM-dd"));
    };
    const bool looked = PairedRead::peek(
        {"select (select count(*) from (select 1 from 档案 where 日期 between ?1 and ?2 limit ?3)), "
         "(select min(日期) from 档案 where 日期 between ?1 and ?2), "
         "(select max(日期) from 档案 where 日期 between ?1 and ?2)",
         {from, to, QString::number(kSplitRecords)},
         [&](const Database::Row& row) {
             records = row.integer(0);
             first = day(row, 1);
             last = day(row, 2);
             return false;
         }});
    if (!looked || records < kSplitRecords || !first.isValid() || !last.isValid() || first >= last) {
        return std::nullopt;
    }
    const QString middle = formatDate(first.addDays(first.daysTo(last) / 2));
    if (middle < from || middle >= to) {
        return std::nullopt;
    }
    return middle;
}

// Reads the records of [from, middle] on the program's connection and those
// of (middle, to] on the second connection at the same time, both in one
// state of the database, and merges the two lists. False when the halves
// could not both be read.
bool readHalves(QByteArrayView filter, const QStringList& params, const QString& from, const QString& middle,
                const QString& to, ResultLines& lines)
{
    PairedRead pair;
    if (!pair.isPaired()) {
        return false;
    }
    lines.clear();
    ResultLines later;
    const QByteArray earlierSql = linesSql(filter, "日期 between ? and ?");
    const QByteArray laterSql = linesSql(filter, "日期 > ? and 日期 <= ?");
    if (!pair.read({earlierSql.constData(), params + QStringList{from, middle}, appendingTo(lines)},
                   {laterSql.constData(), params + QStringList{middle, to}, appendingTo(later)})) {
        lines.clear();
        return false;
    }
    lines.merge(std::move(later));
    return true;
}

// The lines of the records whose 日期 lies in [from, to] and that meet
// `filter` (with `params`), newest key first.
bool readDays(QByteArrayView filter, const QStringList& params, const QString& from, const QString& to,
              ResultLines& lines, QString* error)
{
    if (const std::optional<QString> middle = middleDay(from, to)) {
        if (readHalves(filter, params, from, *middle, to, lines)) {
            return true;
        }
    }
    return readLines(linesSql(filter, "日期 between ? and ?").constData(), params + QStringList{from, to},
                     lines, error);
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

RecordStore::SearchError RecordStore::search(const SearchFilter& filter, ResultLines& lines, QString* error)
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
    const QByteArray matches = (Database::containsText(QStringLiteral("姓名")) + QStringLiteral(" and ") +
                                Database::containsText(QStringLiteral("地址")) + QStringLiteral(" and "))
                                   .toUtf8();
    const bool ok =
        readDays(matches, {filter.name, filter.address}, formatDate(*from), formatDate(*to), lines, error);
    return ok ? SearchError::None : SearchError::Database;
}

bool RecordStore::listDay(const QString& date, ResultLines& lines, QString* error)
{
    return readDays({}, {}, date, date, lines, error);
}

bool RecordStore::latestByAddress(const QString& name, std::vector<LatestExam>& people, QString* error)
{
    people.clear();
    const QString trimmed = trimBlanks(name);
    if (trimmed.isEmpty()) {
        return true;
    }
    QSqlQuery query =
        Database::prepare(QStringLiteral("select 地址, 日期, 序列号 from 档案 where trim(姓名) = ? "
                                         "order by 日期 desc, 序列号 desc"),
                          error);
    Database::bindText(query, trimmed);
    if (!Database::exec(query, error)) {
        return false;
    }
    QSet<QString> seen;
    while (query.next()) {
        const QString address = trimBlanks(query.value(0).toString());
        if (!seen.contains(address)) {
            seen.insert(address);
            people.push_back({address, dateText(query.value(1).toString()), query.value(2).toString()});
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

bool RecordStore::load(const QString& key, ExamRecord& record, QString* error)
{
    // Every box's column named, in the field map's order: read by position,
    // straight from the engine.
    static const QByteArray sql = [] {
        QStringList columns;
        for (const BoxDef& box : FieldMap::boxes()) {
            columns << quoted(box.column);
        }
        return (QStringLiteral("select ") + columns.join(u',') +
                QStringLiteral(" from 档案 where 序列号 = ?"))
            .toUtf8();
    }();
    const QList<BoxDef>& boxes = FieldMap::boxes();
    bool found = false;
    const bool ok = Database::readRows(
        sql.constData(), {key},
        [&](const Database::Row& row) {
            for (qsizetype i = 0; i < boxes.size(); ++i) {
                // A NULL (never written by this program) shows as an empty box.
                const QString value = QString::fromUtf8(row.text(int(i)));
                record[boxes[i].field] = boxes[i].field == Field::ExamDate ? dateText(value) : value;
            }
            found = true;
            return false;
        },
        error);
    if (ok && !found && error) {
        *error = QStringLiteral("这条记录已不存在。");
    }
    return ok && found;
}

bool RecordStore::save(const ExamRecord& record, QString* error)
{
    QSqlQuery query = Database::prepare(upsertSql(), error);
    for (const BoxDef& box : FieldMap::boxes()) {
        Database::bindText(query, record[box.field]); // never NULL
    }
    return Database::exec(query, error);
}

RecordStore::SaveResult RecordStore::insert(const ExamRecord& record, QString* error)
{
    QSqlQuery query = Database::prepare(insertSql(), error);
    for (const BoxDef& box : FieldMap::boxes()) {
        Database::bindText(query, record[box.field]);
    }
    if (!Database::exec(query, error)) {
        return SaveResult::Failed;
    }
    return query.numRowsAffected() == 1 ? SaveResult::Saved : SaveResult::KeyTaken;
}

RecordStore::SaveResult RecordStore::update(const ExamRecord& loaded, const ExamRecord& record,
                                            QString* error)
{
    QSqlQuery query = Database::prepare(updateSql(), error);
    for (const BoxDef& box : FieldMap::boxes()) {
        Database::bindText(query, record[box.field]);
    }
    Database::bindText(query, loaded.key());
    for (const BoxDef& box : FieldMap::boxes()) {
        Database::bindText(query, loaded[box.field]);
    }
    if (!Database::exec(query, error)) {
        return SaveResult::Failed;
    }
    if (query.numRowsAffected() == 1) {
        return SaveResult::Saved;
    }
    const auto stored = isStored(loaded.key(), error);
    if (!stored) {
        return SaveResult::Failed;
    }
    return *stored ? SaveResult::ChangedElsewhere : SaveResult::DeletedElsewhere;
}

ExamRecord RecordStore::asStored(const ExamRecord& record)
{
    ExamRecord stored;
    for (const BoxDef& box : FieldMap::boxes()) {
        stored[box.field] = Database::storable(record[box.field]);
    }
    stored[Field::ExamDate] = dateText(stored[Field::ExamDate]);
    return stored;
}

bool RecordStore::remove(const QString& key, QString* error)
{
    QSqlQuery query = Database::prepare(QStringLiteral("delete from 档案 where 序列号 = ?"), error);
    Database::bindText(query, key);
    return Database::exec(query, error);
}

std::optional<bool> RecordStore::isStored(const QString& key, QString* error)
{
    QSqlQuery query = Database::prepare(QStringLiteral("select 1 from 档案 where 序列号 = ?"), error);
    Database::bindText(query, key);
    // The driver reads the first row while executing, so a failing read ends here.
    if (!Database::exec(query, error)) {
        return std::nullopt;
    }
    return query.next();
}

bool RecordStore::exists(const QString& key)
{
    return isStored(key).value_or(false);
}

qint64 RecordStore::count()
{
    QSqlQuery query = Database::prepare(QStringLiteral("select count(*) from 档案"));
    if (!Database::exec(query) || !query.next()) {
        return -1;
    }
    return query.value(0).toLongLong();
}

RecordReader::RecordReader()
    : m_query(std::make_unique<QSqlQuery>(
          Database::prepare(QStringLiteral("select * from 档案 where 序列号 = ?"))))
{
}

RecordReader::~RecordReader() = default;

bool RecordReader::read(const QString& key, ExamRecord& record, QString* error)
{
    Database::bindText(*m_query, key);
    const bool found = Database::exec(*m_query, error) && m_query->next();
    if (!found && error && error->isEmpty()) {
        *error = m_query->lastError().isValid() ? Database::describe(m_query->lastError())
                                                : QStringLiteral("这条记录已不存在。");
    }
    if (found) {
        if (m_columns.empty()) {
            const QSqlRecord row = m_query->record();
            for (const BoxDef& box : FieldMap::boxes()) {
                m_columns.push_back(row.indexOf(box.column));
            }
        }
        const QList<BoxDef>& boxes = FieldMap::boxes();
        for (qsizetype i = 0; i < boxes.size(); ++i) {
            // A NULL (never written by this program) shows as an empty box.
            const QString value = m_columns[i] < 0 ? QString() : m_query->value(m_columns[i]).toString();
            record[boxes[i].field] = boxes[i].field == Field::ExamDate ? dateText(value) : value;
        }
    }
    // An unfinished query would hold the database's read lock.
    m_query->finish();
    return found;
}

} // namespace brenvoll
