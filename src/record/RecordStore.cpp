#include "RecordStore.h"

#include <QSqlRecord>

#include "DateRules.h"
#include "app/Database.h"

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
               params.join(u',') + QStringLiteral(") on conflict(序列号) do update set ") + updates.join(u',');
    }();
    return sql;
}

QString dateText(const QString& stored)
{
    // Dates are stored as yyyy-mm-dd; a value with a time of day shows its date.
    return stored.left(10);
}

bool readLines(QSqlQuery& query, std::vector<ResultLine>& lines, QString* error)
{
    if (!Database::exec(query, error)) {
        return false;
    }
    while (query.next()) {
        lines.push_back({query.value(0).toString() + u'[' + dateText(query.value(1).toString()) + u']',
                         query.value(2).toString()});
    }
    if (query.lastError().isValid()) {
        if (error) {
            *error = Database::describe(query.lastError());
        }
        lines.clear();
        return false;
    }
    return true;
}

} // namespace

RecordStore::SearchError RecordStore::search(const SearchFilter& filter, std::vector<ResultLine>& lines,
                                             QString* error)
{
    lines.clear();
    const auto from = parseSearchDate(filter.from);
    const auto to = parseSearchDate(filter.to);
    if (!from || !to) {
        return SearchError::BadDate;
    }
    QSqlQuery query = Database::prepare(
        QStringLiteral("select 姓名, 日期, 序列号 from 档案 where 姓名 like '%' || ? || '%' "
                       "and 地址 like '%' || ? || '%' and 日期 between ? and ? order by 序列号 desc"),
        error);
    query.addBindValue(filter.name);
    query.addBindValue(filter.address);
    query.addBindValue(formatDate(*from));
    query.addBindValue(formatDate(*to));
    return readLines(query, lines, error) ? SearchError::None : SearchError::Database;
}

bool RecordStore::listDay(const QString& date, std::vector<ResultLine>& lines, QString* error)
{
    lines.clear();
    QSqlQuery query = Database::prepare(QStringLiteral("select 姓名, 日期, 序列号 from 档案 where 日期 between ? "
                                                       "and ? order by 序列号 desc"),
                                        error);
    query.addBindValue(date);
    query.addBindValue(date);
    return readLines(query, lines, error);
}

bool RecordStore::load(const QString& key, ExamRecord& record, QString* error)
{
    QSqlQuery query = Database::prepare(QStringLiteral("select * from 档案 where 序列号 = ?"), error);
    query.addBindValue(key);
    if (!Database::exec(query, error)) {
        return false;
    }
    if (!query.next()) {
        if (error) {
            *error = query.lastError().isValid() ? Database::describe(query.lastError())
                                                 : QStringLiteral("这条记录已不存在。");
        }
        return false;
    }
    const QSqlRecord row = query.record();
    for (const BoxDef& box : FieldMap::boxes()) {
        const int column = row.indexOf(box.column);
        // A NULL (never written by this program) shows as an empty box.
        QString value = column < 0 ? QString() : query.value(column).toString();
        if (box.set == BoxSet::Text5 && box.index == 3) {
            value = dateText(value);
        }
        record.at(box.set, box.index) = value;
    }
    return true;
}

bool RecordStore::save(const ExamRecord& record, QString* error)
{
    QSqlQuery query = Database::prepare(upsertSql(), error);
    for (const BoxDef& box : FieldMap::boxes()) {
        QString value = record.at(box.set, box.index);
        if (value.isNull()) {
            value = QLatin1String(""); // stored as empty text, never NULL
        }
        query.addBindValue(value);
    }
    return Database::exec(query, error);
}

bool RecordStore::remove(const QString& key, QString* error)
{
    QSqlQuery query = Database::prepare(QStringLiteral("delete from 档案 where 序列号 = ?"), error);
    query.addBindValue(key);
    return Database::exec(query, error);
}

bool RecordStore::exists(const QString& key)
{
    QSqlQuery query = Database::prepare(QStringLiteral("select 1 from 档案 where 序列号 = ?"));
    query.addBindValue(key);
    return Database::exec(query) && query.next();
}

qint64 RecordStore::count()
{
    QSqlQuery query = Database::prepare(QStringLiteral("select count(*) from 档案"));
    if (!Database::exec(query) || !query.next()) {
        return -1;
    }
    return query.value(0).toLongLong();
}

} // namespace brenvoll
