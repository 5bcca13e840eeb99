// The server engine's parts of Database: connecting to a PostgreSQL server,
// reading long results through a cursor, and checking the tables there.
#include "Database.h"
#include "DatabaseState.h"
#include "ServerConfig.h"

#include <QSqlDriver>

#include <libpq-fe.h>
#include <vector>

namespace brenvoll {

using namespace database;

namespace {
// The configuration of the server connected to; meaningful while g_server is set.
ServerConfig g_serverConfig;
// The server's words when the connection broke; empty while it holds.
QString g_lostReason;

QString connectReason(const QString& text, const ServerConfig& config)
{
    if (text.contains(QLatin1String("password authentication failed")) ||
        text.contains(QLatin1String("no password supplied")) ||
        text.contains(QLatin1String("authentication failed"))) {
        return QStringLiteral("服务器拒绝登录，用户名“%1”或密码不正确").arg(config.user);
    }
    if (text.contains(QLatin1String("database \"")) && text.contains(QLatin1String("does not exist"))) {
        return QStringLiteral("服务器上没有数据库“%1”").arg(config.name);
    }
    if (text.contains(QLatin1String("role \"")) && text.contains(QLatin1String("does not exist"))) {
        return QStringLiteral("服务器上没有用户“%1”").arg(config.user);
    }
    if (text.contains(QLatin1String("pg_hba.conf"))) {
        return QStringLiteral("服务器不允许这台电脑以用户“%1”登录").arg(config.user);
    }
    return QStringLiteral("服务器没有响应（没有运行、地址或端口不对，或网络不通）");
}
} // namespace

bool Database::connectionLost()
{
    return serverConnectionLost();
}

ServerConfig Database::serverConfig()
{
    return g_server.isEmpty() ? ServerConfig{} : g_serverConfig;
}

namespace {
// Opens the connection `name` to the server database of `config`; false with
// the operator's reason (the connection then removed again).
bool openServerConnection(const QString& name, const ServerConfig& config, QString* error)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    if (!db.isValid()) {
        setError(error, QStringLiteral(
                            "无法连接数据库服务器 %1：本机缺少 PostgreSQL 数据库驱动（libqt6sql6-psql）。")
                            .arg(config.server()));
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
        return false;
    }
    db.setHostName(config.host);
    db.setPort(config.port);
    db.setDatabaseName(config.name);
    db.setUserName(config.user);
    if (config.password) {
        db.setPassword(*config.password);
    }
    // The driver quotes host, database, user and password itself but splices
    // its options into the connection string as they are: each value is
    // quoted here, so that no value can add a setting of its own.
    // A server gone away must not hang the desk: a connection attempt gives up
    // after 8 s, and a connection whose server stopped answering without
    // closing it (a cable pulled, a power cut) is found dead within about 9 s,
    // by keepalive probes while waiting and by the time unacknowledged data
    // may stay unacknowledged while sending.
    QStringList options{QStringLiteral("connect_timeout=8"), QStringLiteral("application_name=brenvoll"),
                        QStringLiteral("keepalives=1"), QStringLiteral("keepalives_idle=5"),
                        QStringLiteral("keepalives_interval=2"), QStringLiteral("keepalives_count=2"),
                        QStringLiteral("tcp_user_timeout=9000"),
                        // A lock held elsewhere (another desk's save, an
                        // administrator's unfinished transaction) is given up
                        // well before kServerAnswerLimit.
                        QStringLiteral("options=") + conninfoValue(QStringLiteral("-c lock_timeout=6000"))};
    if (!config.sslmode.isEmpty()) {
        options << QStringLiteral("sslmode=") + conninfoValue(config.sslmode);
    }
    db.setConnectOptions(options.join(u';'));
    if (!db.open()) {
        const QString text = db.lastError().databaseText().simplified();
        setError(error, QStringLiteral("无法连接数据库服务器 %1：%2。\n（%3）")
                            .arg(config.server(), connectReason(text, config),
                                 text.isEmpty() ? db.lastError().text() : text));
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
        return false;
    }
    return true;
}
} // namespace

bool Database::openServer(const ServerConfig& config, QString* error)
{
    close();
    if (!openServerConnection(kConnectionName, config, error)) {
        return false;
    }
    g_server = config.server();
    g_serverConfig = config;
    g_lostReason.clear();
    return true;
}

bool Database::openServerLogin(const QString& name, const QString& user, const QString& password,
                               QString* error)
{
    if (engine() != Engine::PostgreSQL) {
        setError(error, QStringLiteral("数据库不在服务器上。"));
        return false;
    }
    closeServerLogin(name);
    ServerConfig config = g_serverConfig;
    config.user = user;
    config.password = password;
    return openServerConnection(name, config, error);
}

void Database::closeServerLogin(const QString& name)
{
    if (name.isEmpty() || name == kConnectionName || !QSqlDatabase::contains(name)) {
        return;
    }
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

namespace {
// libpq's connection under the driver's.
PGconn* serverHandle()
{
    const QVariant handle = Database::connection().driver()->handle();
    // The driver names the handle's type by libpq's struct, pg_conn.
    return qstrcmp(handle.typeName(), "pg_conn*") == 0 || qstrcmp(handle.typeName(), "PGconn*") == 0
               ? *static_cast<PGconn* const*>(handle.data())
               : nullptr;
}
} // namespace

namespace database {

bool g_inTransaction = false;

ServerWait::ServerWait(std::chrono::milliseconds limit) : m_limit(limit)
{
    if (g_server.isEmpty() || !Database::connection().isOpen()) {
        return;
    }
    if (PGconn* connection = serverHandle(); connection && PQstatus(connection) == CONNECTION_OK) {
        m_deadline.emplace(PQsocket(connection), limit);
    }
}

ServerWait::~ServerWait()
{
    if (m_deadline && m_deadline->expired() && g_lostReason.isEmpty()) {
        g_lostReason = QStringLiteral("服务器 %1 秒内没有应答（服务器的电脑可能停止了响应，或网络不通）")
                           .arg(std::chrono::duration_cast<std::chrono::seconds>(m_limit).count());
    }
}

bool serverConnectionLost()
{
    if (g_server.isEmpty()) {
        return false;
    }
    if (!Database::connection().isOpen()) {
        return true;
    }
    PGconn* connection = serverHandle();
    return !connection || PQstatus(connection) != CONNECTION_OK;
}

QString lostConnectionMessage(const QString& detail)
{
    if (g_lostReason.isEmpty()) {
        g_lostReason = detail.simplified();
    }
    return QStringLiteral("与数据库服务器的连接已断开：%1").arg(g_lostReason);
}

bool keepServerConnected(QString* error)
{
    if (g_server.isEmpty()) {
        return true;
    }
    PGconn* connection = Database::connection().isOpen() ? serverHandle() : nullptr;
    if (connection && PQstatus(connection) == CONNECTION_OK && !g_inTransaction &&
        PQtransactionStatus(connection) == PQTRANS_IDLE) {
        // A server that ended the connection while the desk was idle (stopped,
        // restarted) has left its last words and the end of the connection in
        // the socket: reading them, without waiting, tells the connection dead
        // before a statement is sent on it. Twice: the words, then the end.
        PQconsumeInput(connection);
        PQconsumeInput(connection);
    }
    if (!serverConnectionLost()) {
        return true;
    }
    if (connection && g_lostReason.isEmpty()) {
        g_lostReason = QString::fromUtf8(PQerrorMessage(connection)).simplified();
    }
    if (g_inTransaction) {
        setError(error, lostConnectionMessage(QString()));
        return false;
    }
    // Each action tries a new connection first: once the server is back, the
    // desk works on without the program being restarted.
    dropKeptStatements(); // prepared on the connection that is replaced
    QSqlDatabase db = Database::connection();
    db.close();
    if (db.open()) {
        g_lostReason.clear();
        return true;
    }
    const QString text = db.lastError().databaseText().simplified();
    const QString reason =
        QStringLiteral("%1（%2）")
            .arg(connectReason(text, g_serverConfig), text.isEmpty() ? db.lastError().text() : text);
    setError(error, g_lostReason.isEmpty() || g_lostReason == text
                        ? QStringLiteral("与数据库服务器的连接已断开：%1").arg(reason)
                        : QStringLiteral("与数据库服务器的连接已断开：%1\n重新连接服务器 %2 没有成功：%3")
                              .arg(g_lostReason, g_server, reason));
    return false;
}

} // namespace database

bool Database::runServerScript(const char* sql, QString* error)
{
    if (!keepServerConnected(error)) {
        return false;
    }
    PGconn* connection = serverHandle();
    if (!connection) {
        setError(error, QStringLiteral("数据库没有打开。"));
        return false;
    }
    // One simple query of several statements runs as one transaction.
    bool ok = false;
    {
        ServerWait wait(kServerWorkLimit);
        PGresult* result = PQexec(connection, sql);
        ok = PQresultStatus(result) == PGRES_COMMAND_OK;
        PQclear(result);
    }
    if (!ok) {
        const QString detail = QString::fromUtf8(PQerrorMessage(connection)).trimmed();
        setError(error, serverConnectionLost()
                            ? lostConnectionMessage(detail)
                            : QStringLiteral("数据库服务器 %1 出错：%2").arg(g_server, detail));
    }
    return ok;
}

bool Database::readServerRows(const char* sql, const QStringList& params,
                              const std::function<bool(const Row&)>& visit, QString* error)
{
    if (!keepServerConnected(error)) {
        return false;
    }
    PGconn* connection = serverHandle();
    if (!connection) {
        setError(error, QStringLiteral("数据库没有打开。"));
        return false;
    }
    // The program's statements hold no "?" but their placeholders.
    QByteArray numbered;
    int placeholder = 0;
    for (const char ch : QByteArrayView(sql)) {
        if (ch == '?') {
            numbered += '$' + QByteArray::number(++placeholder);
        } else {
            numbered += ch;
        }
    }
    std::vector<QByteArray> values;
    std::vector<const char*> pointers;
    for (const QString& param : params) {
        values.push_back(storable(param).toUtf8());
    }
    pointers.reserve(values.size());
    for (const QByteArray& value : values) {
        pointers.push_back(value.constData());
    }
    // Read through a cursor in batches: a result of a million rows never lies
    // whole in memory, and a reader that stops early leaves the rest unsent.
    // Inside a transaction of the program the cursor lives in it; otherwise
    // in a read transaction of its own.
    static int cursors = 0;
    const QByteArray cursor = "brenvoll_rows_" + QByteArray::number(++cursors);
    const bool own = PQtransactionStatus(connection) == PQTRANS_IDLE;
    QString failure;
    const auto command = [&](const QByteArray& text) {
        const ServerWait wait;
        PGresult* result = PQexec(connection, text.constData());
        const bool done = PQresultStatus(result) == PGRES_COMMAND_OK;
        if (!done && failure.isEmpty()) {
            failure = QString::fromUtf8(PQerrorMessage(connection)).trimmed();
        }
        PQclear(result);
        return done;
    };
    // The whole result is wanted: plan for it, not for its first rows.
    bool ok =
        (!own || command("begin transaction read only")) && command("set local cursor_tuple_fraction = 1");
    if (ok) {
        const QByteArray declare = "declare " + cursor + " no scroll cursor for " + numbered;
        const ServerWait wait;
        PGresult* declared = PQexecParams(connection, declare.constData(), int(pointers.size()), nullptr,
                                          pointers.data(), nullptr, nullptr, 0);
        ok = PQresultStatus(declared) == PGRES_COMMAND_OK;
        if (!ok) {
            failure = QString::fromUtf8(PQerrorMessage(connection)).trimmed();
        }
        PQclear(declared);
    }
    constexpr int kBatch = 20000;
    const QByteArray fetch = "fetch forward " + QByteArray::number(kBatch) + " from " + cursor;
    for (bool more = ok; more;) {
        PGresult* batch = nullptr;
        {
            const ServerWait wait;
            batch = PQexec(connection, fetch.constData());
        }
        ok = PQresultStatus(batch) == PGRES_TUPLES_OK;
        if (!ok) {
            failure = QString::fromUtf8(PQerrorMessage(connection)).trimmed();
        }
        Row row;
        row.m_result = batch;
        const int rows = ok ? PQntuples(batch) : 0;
        more = rows == kBatch;
        for (row.m_row = 0; row.m_row < rows; ++row.m_row) {
            if (!visit(row)) {
                more = false;
                break;
            }
        }
        PQclear(batch);
    }
    if (own) {
        ok = command(ok ? "commit" : "rollback") && ok;
    } else if (ok) {
        ok = command("close " + cursor);
    }
    if (!ok) {
        setError(error, serverConnectionLost()
                            ? lostConnectionMessage(failure)
                            : QStringLiteral("读取数据库服务器 %1 时出错：%2").arg(g_server, failure));
    }
    return ok;
}

bool Database::verifyServerTables(QString* error, Diagnosis* diagnosis)
{
    QSqlQuery tables(connection());
    if (!tables.exec(
            QStringLiteral("select count(*) from information_schema.tables where "
                           "table_schema = current_schema() and table_name in ('档案', '设置', '词库')")) ||
        !tables.next()) {
        setError(error, QStringLiteral("无法读取数据库服务器 %1 上的数据库：%2")
                            .arg(g_server, describe(tables.lastError())));
        setDiagnosis(diagnosis, tables.lastError());
        return false;
    }
    if (tables.value(0).toInt() != 3) {
        setError(error, QStringLiteral("数据库服务器 %1 上的数据库“%2”缺少数据表，"
                                       "请先用 brenvoll-mkdb --postgresql 建立。")
                            .arg(g_server, connection().databaseName()));
        setDiagnosis(diagnosis, Trouble::Other);
        return false;
    }
    return true;
}

} // namespace brenvoll
