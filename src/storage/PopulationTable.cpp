#include "PopulationTable.h"

#include "Database.h"
#include "population-schema.h"

#include <QSqlQuery>

namespace brenvoll {

bool PopulationTable::present()
{
    if (!Database::isOpen()) {
        return false;
    }
    const QString sql =
        Database::engine() == Database::Engine::SQLite
            ? QStringLiteral("select count(*) from sqlite_master where type = 'table' and name = '应管人数'")
            : QStringLiteral("select count(*) from information_schema.tables where table_schema = "
                             "current_schema() and table_name = '应管人数'");
    QSqlQuery query = Database::prepare(sql);
    return Database::exec(query) && query.next() && query.value(0).toInt() == 1;
}

bool PopulationTable::create(QString* error)
{
    return Database::runScript(kPopulationSchema, error);
}

} // namespace brenvoll
