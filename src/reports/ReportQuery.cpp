#include "ReportQuery.h"

#include "TextCells.h"
#include "app/Database.h"
#include "record/DateRules.h"

#include <QSqlQuery>

#include <sqlite3.h>

namespace brenvoll {

const QString kReportDateMessage = QStringLiteral("请填写正确格式的起止日期！日期格式为“2016-01-03”。");

namespace {
QString fitted(const QString& value, int width)
{
    return leftChars(value + QString(width, u' '), width);
}

// The engine refuses "like" patterns longer than its limit with a message no
// operator understands.
bool fitsPattern(const QString& part)
{
    sqlite3* db = Database::handle();
    const int limit = db ? sqlite3_limit(db, SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1) : 50000;
    return Database::storable(part).toUtf8().size() + 2 <= limit;
}
} // namespace

ReportQuery::Error ReportQuery::run(const ReportFilter& filter, std::vector<ReportRow>& rows, QString* error)
{
    rows.clear();
    const auto from = parseSearchDate(filter.from);
    const auto to = parseSearchDate(filter.to);
    if (!from || !to) {
        return Error::BadDate;
    }
    if (!fitsPattern(filter.address)) {
        if (error) {
            *error = QStringLiteral("查询条件太长，请输入较短的地址。");
        }
        return Error::Database;
    }
    QSqlQuery query =
        Database::prepare(QStringLiteral("select \"0\", 姓名, 性别, 年龄, \"1\", \"41\" from 档案 where ") +
                              Database::containsText(QStringLiteral("地址")) +
                              QStringLiteral(" and 日期 between ? and ? order by 序列号"),
                          error);
    // Bound as stored, so that an address is found by the text it was saved
    // as; a null text is the empty text, which matches every address.
    Database::bindText(query, filter.address);
    query.addBindValue(formatDate(*from));
    query.addBindValue(formatDate(*to));
    if (!Database::exec(query, error)) {
        return Error::Database;
    }
    while (query.next()) {
        rows.push_back({query.value(0).toString(), query.value(1).toString(), query.value(2).toString(),
                        query.value(3).toString(), query.value(4).toString(), query.value(5).toString()});
    }
    if (query.lastError().isValid()) {
        if (error) {
            *error = Database::describe(query.lastError());
        }
        rows.clear();
        return Error::Database;
    }
    return Error::None;
}

QString padName(const QString& name)
{
    const int cells = displayCells(name);
    if (cells >= 4 && cells <= 6) {
        return name + QString(8 - cells, u' ');
    }
    return name;
}

QString reportLine(const ReportRow& row)
{
    static const QString gap(8, u' ');
    return fitted(row.number, 22) + padName(row.name) + gap + fitted(row.sex, 7) + fitted(row.age, 7) +
           row.conclusion;
}

} // namespace brenvoll
