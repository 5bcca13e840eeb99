#include "NameIndex.h"

#include "Database.h"

#include <QSqlQuery>

namespace brenvoll {

bool NameIndex::ensure(QString* error)
{
    QSqlQuery present = Database::prepare(
        Database::engine() == Database::Engine::SQLite
            ? QStringLiteral("select count(*) from sqlite_master where type = 'index' and name = '档案_姓名'")
            : QStringLiteral("select count(*) from pg_indexes where schemaname = current_schema() and "
                             "indexname = '档案_姓名'"),
        error);
    if (!Database::exec(present, error) || !present.next()) {
        return false;
    }
    // The same index as in the delivered schemas of both engines.
    return present.value(0).toInt() == 1 ||
           Database::runScript("create index if not exists 档案_姓名 on 档案 (trim(姓名))", error);
}

} // namespace brenvoll
