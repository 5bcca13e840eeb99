#include "PhraseStore.h"

#include "storage/Database.h"

namespace brenvoll {

namespace {
bool readPhrases(QSqlQuery& query, QStringList& phrases, QString* error)
{
    if (!Database::exec(query, error)) {
        return false;
    }
    while (query.next()) {
        phrases << query.value(0).toString();
    }
    return true;
}
} // namespace

bool PhraseStore::all(QStringList& phrases, QString* error)
{
    phrases.clear();
    QSqlQuery query = Database::prepare(QStringLiteral("select 常用语 from 词库 order by rowid"), error);
    return readPhrases(query, phrases, error);
}

bool PhraseStore::matching(const QString& part, QStringList& phrases, QString* error)
{
    phrases.clear();
    if (!Database::fitsPattern(part)) {
        if (error) {
            *error = QStringLiteral("查询条件太长，请输入较短的常用语。");
        }
        return false;
    }
    QSqlQuery query = Database::prepare(QStringLiteral("select 常用语 from 词库 where ") +
                                            Database::containsText(QStringLiteral("常用语")) +
                                            QStringLiteral(" order by rowid"),
                                        error);
    // Bound as stored, so that a phrase is found by the text it was added as;
    // empty (even null) matches all.
    Database::bindText(query, part);
    return readPhrases(query, phrases, error);
}

bool PhraseStore::add(const QString& phrase, QString* error)
{
    QSqlQuery query = Database::prepare(QStringLiteral("insert into 词库 (常用语) values (?)"), error);
    Database::bindText(query, phrase);
    return Database::exec(query, error);
}

bool PhraseStore::removeAt(int position, QString* error)
{
    if (position < 0) {
        return false;
    }
    // One statement picks and deletes the row, so no other change can come
    // between finding the position and removing it.
    QSqlQuery query =
        Database::prepare(QStringLiteral("delete from 词库 where rowid = "
                                         "(select rowid from 词库 order by rowid limit 1 offset ?)"),
                          error);
    query.addBindValue(position);
    if (!Database::exec(query, error)) {
        return false;
    }
    if (query.numRowsAffected() != 1) {
        if (error) {
            *error = QStringLiteral("所选的常用语已不在词库中。");
        }
        return false;
    }
    return true;
}

} // namespace brenvoll
