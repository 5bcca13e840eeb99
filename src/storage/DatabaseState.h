#pragma once
// What the parts of Database share: the one connection's name and state, and
// how failures are reported. Only the storage layer's own files include it.
#include "Database.h"
#include "base/SocketDeadline.h"

#include <QSqlError>
#include <QString>

#include <chrono>
#include <optional>

struct sqlite3;

namespace brenvoll::database {

extern const QString kConnectionName;
extern QString g_path;
extern QString g_server; // host:port when connected to a server
extern ::sqlite3* g_second;
// Whether the open database holds the tables of the kept versions: -1 not
// asked yet, 0 no, 1 yes (HistoryTables).
extern int g_historyTables;
// Whether a WriteTransaction is open: a connection lost in the middle of one
// is never silently replaced, or its remaining statements would run alone.
extern bool g_inTransaction;

// SQLite's primary result codes, as the driver reports them.
enum SqliteCode
{
    Perm = 3,
    Busy = 5,
    Locked = 6,
    NoMem = 7,
    ReadOnly = 8,
    IoErr = 10,
    Corrupt = 11,
    Full = 13,
    CantOpen = 14,
    NotADb = 26,
    // The extended code of a write refused because the journal cannot be
    // made in the database's folder.
    ReadOnlyDirectory = ReadOnly | (6 << 8),
};

void setError(QString* error, const QString& text);

// Releases the server statements kept for the connection (before it is
// closed or replaced).
void dropKeptStatements();
// With a server: whether the connection is broken (libpq noticed the server
// gone, or a reconnection failed); false with SQLite.
bool serverConnectionLost();
// Before an action's first statement: a broken server connection (or one the
// server ended while the desk was idle) is replaced by a new one. False with
// "与数据库服务器的连接已断开：…" when the server cannot be reached, or when
// the connection broke inside a transaction.
bool keepServerConnected(QString* error);
// "与数据库服务器的连接已断开：" and the server's reason, for a statement that
// failed because the connection broke; `detail` is the driver's words.
QString lostConnectionMessage(const QString& detail);
// How long a statement may wait for the server's answer before the server is
// taken for gone. A living server answers a lock it cannot get sooner
// (lock_timeout, set for every connection): the desk then says the record is
// in use elsewhere, not that the server went away.
constexpr std::chrono::seconds kServerAnswerLimit{10};
// The longer wait of the few statements that may work that long on a living
// server: creating tables and indexes over every record.
constexpr std::chrono::seconds kServerWorkLimit{300};

// Held around each exchange with the server: a server that does not answer
// in time has its connection shut down, so the statement fails as on a
// stopped server, and the reason names the wait. Nothing with SQLite.
class ServerWait
{
public:
    explicit ServerWait(std::chrono::milliseconds limit = kServerAnswerLimit);
    ~ServerWait();
    ServerWait(const ServerWait&) = delete;
    ServerWait& operator=(const ServerWait&) = delete;

private:
    std::optional<SocketDeadline> m_deadline;
    std::chrono::milliseconds m_limit;
};

void setDiagnosis(Database::Diagnosis* diagnosis, Database::Trouble trouble, const QString& engineText = {});
void setDiagnosis(Database::Diagnosis* diagnosis, const QSqlError& error);

} // namespace brenvoll::database
