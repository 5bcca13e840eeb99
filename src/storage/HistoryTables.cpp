#include "HistoryTables.h"

#include "Database.h"
#include "DatabaseState.h"
#include "history-schema.h"

#include <QSqlQuery>

namespace brenvoll {

using namespace database;

bool HistoryTables::present()
{
    if (g_historyTables < 0 && Database::isOpen()) {
        const QString sql =
            Database::engine() == Database::Engine::SQLite
                ? QStringLiteral("select count(*) from sqlite_master where type = 'table' and name in "
                                 "('档案版本', '档案恢复')")
                : QStringLiteral("select count(*) from information_schema.tables where table_schema = "
                                 "current_schema() and table_name in ('档案版本', '档案恢复')");
        QSqlQuery query = Database::prepare(sql);
        if (Database::exec(query) && query.next()) {
            g_historyTables = query.value(0).toInt() == 2 ? 1 : 0;
        }
    }
    return g_historyTables == 1;
}

bool HistoryTables::create(QString* error)
{
    const bool sqlite = Database::engine() == Database::Engine::SQLite;
    if (!Database::runScript(sqlite ? kHistorySchema : kHistoryPostgresqlSchema, error)) {
        return false;
    }
    g_historyTables = 1;
    return true;
}

// Run unprepared: a server prepares no transaction statements.
namespace {
bool run(const QString& sql, QString* error)
{
    if (!Database::checkFile(error)) {
        return false;
    }
    QSqlQuery query(Database::connection());
    bool done = false;
    {
        const ServerWait wait;
        done = query.exec(sql);
    }
    if (!done) {
        setError(error, Database::describe(query.lastError()));
        return false;
    }
    return true;
}
} // namespace

WriteTransaction::WriteTransaction(QString* error)
{
    if (!Database::isOpen()) {
        setError(error, QStringLiteral("数据库没有打开。"));
        return;
    }
    // A server connection found broken is replaced before the transaction
    // begins, never inside it.
    m_open = keepServerConnected(error) &&
             run(Database::engine() == Database::Engine::SQLite ? QStringLiteral("begin immediate")
                                                                : QStringLiteral("begin"),
                 error);
    g_inTransaction = m_open;
}

WriteTransaction::~WriteTransaction()
{
    if (m_open) {
        QSqlQuery rollback(Database::connection());
        const ServerWait wait;
        rollback.exec(QStringLiteral("rollback"));
    }
    g_inTransaction = false;
}

bool WriteTransaction::commit(QString* error)
{
    if (!m_open) {
        setError(error, QStringLiteral("数据库没有打开。"));
        return false;
    }
    if (!run(QStringLiteral("commit"), error)) {
        return false; // the destructor rolls back what is left
    }
    m_open = false;
    g_inTransaction = false;
    return true;
}

QString WriteTransaction::rowLock()
{
    return Database::engine() == Database::Engine::SQLite ? QString() : QStringLiteral(" for update");
}

} // namespace brenvoll
