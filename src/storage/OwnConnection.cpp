#include "OwnConnection.h"

#include "Database.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <sqlite3.h>

namespace brenvoll {

namespace {
int cancelled(void* flag)
{
    return static_cast<const std::atomic_bool*>(flag)->load() ? 1 : 0;
}
} // namespace

OwnConnection::OwnConnection(const QString& path, bool readOnly, int busyMilliseconds)
{
    static std::atomic_int serial{0};
    m_name = QStringLiteral("brenvoll-own-%1").arg(++serial);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    url.setQuery(readOnly ? QStringLiteral("mode=ro") : QStringLiteral("mode=rw"));
    db.setDatabaseName(url.toString(QUrl::FullyEncoded));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(busyMilliseconds));
    if (!db.open()) {
        m_error = Database::describe(db.lastError());
    }
}

OwnConnection::~OwnConnection()
{
    QSqlDatabase::removeDatabase(m_name);
}

QSqlDatabase OwnConnection::db() const
{
    return QSqlDatabase::database(m_name, false);
}

bool OwnConnection::queryOne(const QString& sql, QVariant& value, QString* error) const
{
    QSqlQuery query(db());
    if (!query.exec(sql) || !query.next()) {
        if (error) {
            *error = Database::describe(query.lastError());
        }
        return false;
    }
    value = query.value(0);
    return true;
}

void OwnConnection::setCancel(const std::atomic_bool* cancel)
{
    if (sqlite3* handle = Database::handle(db())) {
        sqlite3_progress_handler(handle, 1000, cancel ? &cancelled : nullptr,
                                 const_cast<std::atomic_bool*>(cancel));
    }
}

} // namespace brenvoll
