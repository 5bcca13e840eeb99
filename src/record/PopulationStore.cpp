#include "PopulationStore.h"

#include "storage/Database.h"
#include "storage/WriteTransaction.h"

#include <QSqlQuery>
#include <QVariant>

namespace brenvoll {

namespace {

// Added where the database opens (SchemaUpgrade); a database the command
// line reads may not have it yet.
bool tablePresent()
{
    return Database::hasTables({QStringLiteral("应管人数")}).value_or(false);
}

} // namespace

bool PopulationStore::read(int year, PopulationFigures& figures, QString* error)
{
    figures.clear();
    if (!tablePresent()) {
        return true;
    }
    QSqlQuery query =
        Database::prepare(QStringLiteral("select 列, 人数 from 应管人数 where 年份 = ?"), error);
    query.addBindValue(year);
    if (!Database::exec(query, error)) {
        return false;
    }
    while (query.next()) {
        figures[query.value(0).toString()] = query.value(1).toLongLong();
    }
    return true;
}

std::optional<int> PopulationStore::latestBefore(int year, QString* error)
{
    if (!tablePresent()) {
        return std::nullopt;
    }
    QSqlQuery query =
        Database::prepare(QStringLiteral("select max(年份) from 应管人数 where 年份 < ?"), error);
    query.addBindValue(year);
    if (!Database::exec(query, error) || !query.next() || query.value(0).isNull()) {
        return std::nullopt;
    }
    return query.value(0).toInt();
}

bool PopulationStore::save(int year, const PopulationFigures& figures, QString* error)
{
    if (!tablePresent()) {
        if (error) {
            *error = QStringLiteral("数据库中没有应管人数表。");
        }
        return false;
    }
    WriteTransaction transaction(error);
    if (!transaction.isOpen()) {
        return false;
    }
    QSqlQuery clear = Database::prepare(QStringLiteral("delete from 应管人数 where 年份 = ?"), error);
    clear.addBindValue(year);
    if (!Database::exec(clear, error)) {
        return false;
    }
    for (auto figure = figures.begin(); figure != figures.end(); ++figure) {
        QSqlQuery insert = Database::prepare(
            QStringLiteral("insert into 应管人数 (年份, 列, 人数) values (?, ?, ?)"), error);
        insert.addBindValue(year);
        Database::bindText(insert, figure.key());
        insert.addBindValue(figure.value());
        if (!Database::exec(insert, error)) {
            return false;
        }
    }
    return transaction.commit(error);
}

} // namespace brenvoll
