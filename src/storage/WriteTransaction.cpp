#include "WriteTransaction.h"

#include "Database.h"
#include "DatabaseState.h"

#include <QSqlQuery>

namespace brenvoll {

using namespace database;

// Run unprepared: a server prepares no transaction statements.
namespace {
bool run(const QString& sql, QString* error)
{
    if (!Database::checkFile(error)) {
        return false;
    }
    QSqlQuery query(Database::connection());
    if (!query.exec(sql)) {
        setError(error, Database::describe(query.lastError()));
        return false;
    }
    return true;
}

bool onFile()
{
    return Database::engine() == Database::Engine::SQLite;
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
             run(onFile() ? QStringLiteral("begin immediate") : QStringLiteral("begin"), error);
    g_inTransaction = m_open;
}

WriteTransaction::~WriteTransaction()
{
    if (m_open) {
        QSqlQuery rollback(Database::connection());
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

bool WriteTransaction::lockTable(const QString& table, QString* error)
{
    if (!m_open) {
        setError(error, QStringLiteral("数据库没有打开。"));
        return false;
    }
    return onFile() ||
           run(QStringLiteral("lock table ") + table + QStringLiteral(" in share row exclusive mode"), error);
}

bool WriteTransaction::attempt(const std::function<bool(QString*)>& part, QString* error)
{
    if (!m_open) {
        setError(error, QStringLiteral("数据库没有打开。"));
        return false;
    }
    if (!run(QStringLiteral("savepoint brenvoll_part"), error)) {
        return false;
    }
    if (part(error)) {
        // A release refused here would refuse the commit as well, which says why.
        run(QStringLiteral("release savepoint brenvoll_part"), nullptr);
        return true;
    }
    // The file's engine may have ended the whole transaction (a full disk):
    // then there is no savepoint to go back to, and nothing left to commit.
    if (!run(QStringLiteral("rollback to savepoint brenvoll_part"), nullptr) ||
        !run(QStringLiteral("release savepoint brenvoll_part"), nullptr)) {
        m_open = false;
        g_inTransaction = false;
        QSqlQuery rollback(Database::connection());
        rollback.exec(QStringLiteral("rollback"));
    }
    return false;
}

QString WriteTransaction::rowLock()
{
    return onFile() ? QString() : QStringLiteral(" for update");
}

} // namespace brenvoll
