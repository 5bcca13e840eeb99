#include "PhraseStore.h"

#include "app/Database.h"

namespace brenvoll {

bool PhraseStore::all(QStringList& phrases, QString* error)
{
    phrases.clear();
    QSqlQuery query = Database::prepare(QStringLiteral("select 常用语 from 词库 order by rowid"), error);
    if (!Database::exec(query, error)) {
        return false;
    }
    while (query.next()) {
        phrases << query.value(0).toString();
    }
    return true;
}

} // namespace brenvoll
