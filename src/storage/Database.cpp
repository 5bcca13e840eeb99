#include "Database.h"

#include "ServerConfig.h"
#include "base/ProgramPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QUrl>

#include <libpq-fe.h>
#include <sqlite3.h>

namespace brenvoll {

namespace {
const QString kConnectionName = QStringLiteral("brenvoll");
QString g_path;
QString g_server; // host:port when connected to a server
sqlite3* g_second = nullptr;

void setError(QString* error, const QString& text)
{
    if (error) {
        *error = text;
    }
}

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
};

void setDiagnosis(Database::Diagnosis* diagnosis, Database::Trouble trouble, const QString& engineText = {})
{
    if (diagnosis) {
        *diagnosis = {trouble, engineText};
    }
}

void setDiagnosis(Database::Diagnosis* diagnosis, const QSqlError& error)
{
    if (diagnosis) {
        *diagnosis = Database::diagnose(error);
    }
}

// A server's refusal in the operator's words: SQLSTATE classes and the
// messages of a failed connection.
QString serverReason(const QSqlError& error)
{
    const QString code = error.nativeErrorCode();
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    if (code.startsWith(QLatin1String("08")) ||
        text.contains(QLatin1String("server closed the connection")) ||
        text.contains(QLatin1String("no connection to the server"))) {
        return QStringLiteral("与数据库服务器 %1 的连接已中断，请检查网络后重新启动程序。").arg(g_server);
    }
    if (code == QLatin1String("23505")) {
        return QStringLiteral("这个序列号已被使用。");
    }
    if (code == QLatin1String("53100")) {
        return QStringLiteral("数据库服务器的磁盘已满，无法写入。");
    }
    if (code == QLatin1String("40P01") || code == QLatin1String("55P03") || code == QLatin1String("40001")) {
        return QStringLiteral("数据库正被其他工作站使用，请稍后再试。");
    }
    if (code == QLatin1String("42501")) {
        return QStringLiteral("数据库服务器上的这个用户没有所需的权限。");
    }
    return {};
}

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

Database::Diagnosis Database::diagnose(const QSqlError& error)
{
    if (!error.isValid()) {
        return {};
    }
    if (engine() == Engine::PostgreSQL) {
        const QString code = error.nativeErrorCode();
        const bool inUse = code == QLatin1String("40P01") || code == QLatin1String("55P03");
        const QString engineText = error.databaseText().trimmed();
        return {inUse ? Trouble::InUse : Trouble::Other,
                engineText.isEmpty() ? error.text().trimmed() : engineText};
    }
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok) & 0xFF;
    Trouble trouble = Trouble::Other;
    if (ok) {
        switch (code) {
        case Busy:
        case Locked:
            trouble = Trouble::InUse;
            break;
        case ReadOnly:
            trouble = Trouble::ReadOnly;
            break;
        case CantOpen:
        case Perm:
            trouble = Trouble::NotPermitted;
            break;
        case Corrupt:
        case NotADb:
            trouble = Trouble::Damaged;
            break;
        default:
            break;
        }
    }
    const QString engineText = error.databaseText().trimmed();
    return {trouble, engineText.isEmpty() ? error.text().trimmed() : engineText};
}

bool Database::open(const QString& connection, QString* error, Diagnosis* diagnosis)
{
    close();
    const QString path = dataSourceOf(connection);
    if (!QFileInfo(path).isFile()) {
        setError(error, QStringLiteral("找不到数据库文件“%1”。").arg(path));
        setDiagnosis(diagnosis, Trouble::Other);
        return false;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kConnectionName);
    // mode=rw: a missing file is an error instead of a new empty database.
    QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    url.setQuery(QStringLiteral("mode=rw"));
    db.setDatabaseName(url.toString(QUrl::FullyEncoded));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open()) {
        setError(error, describe(db.lastError()));
        setDiagnosis(diagnosis, db.lastError());
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(kConnectionName);
        return false;
    }
    g_path = path;
    QSqlQuery pragma(db);
    if (!pragma.exec(QStringLiteral("PRAGMA journal_mode = DELETE")) &&
        diagnose(pragma.lastError()).trouble == Trouble::InUse) {
        // Still held by another program after the busy timeout: nothing
        // could be read either, so the operator hears it now.
        setError(error, describe(pragma.lastError()));
        setDiagnosis(diagnosis, pragma.lastError());
        pragma = QSqlQuery();
        db = QSqlDatabase();
        close();
        return false;
    }
    pragma.exec(QStringLiteral("PRAGMA synchronous = FULL"));
    return true;
}

bool Database::openServer(const ServerConfig& config, QString* error)
{
    close();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), kConnectionName);
    if (!db.isValid()) {
        setError(error, QStringLiteral(
                            "无法连接数据库服务器 %1：本机缺少 PostgreSQL 数据库驱动（libqt6sql6-psql）。")
                            .arg(config.server()));
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(kConnectionName);
        return false;
    }
    db.setHostName(config.host);
    db.setPort(config.port);
    db.setDatabaseName(config.name);
    db.setUserName(config.user);
    if (config.password) {
        db.setPassword(*config.password);
    }
    QStringList options{QStringLiteral("connect_timeout=10"), QStringLiteral("application_name=brenvoll")};
    if (!config.sslmode.isEmpty()) {
        options << QStringLiteral("sslmode=") + config.sslmode;
    }
    db.setConnectOptions(options.join(u';'));
    if (!db.open()) {
        const QString text = db.lastError().databaseText().simplified();
        setError(error, QStringLiteral("无法连接数据库服务器 %1：%2。\n（%3）")
                            .arg(config.server(), connectReason(text, config),
                                 text.isEmpty() ? db.lastError().text() : text));
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(kConnectionName);
        return false;
    }
    g_server = config.server();
    return true;
}

Database::Engine Database::engine()
{
    return g_server.isEmpty() ? Engine::SQLite : Engine::PostgreSQL;
}

QString Database::serverName()
{
    return g_server;
}

void Database::close()
{
    if (QSqlDatabase::contains(kConnectionName)) {
        {
            QSqlDatabase db = QSqlDatabase::database(kConnectionName, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(kConnectionName);
    }
    sqlite3_close_v2(g_second);
    g_second = nullptr;
    g_path.clear();
    g_server.clear();
}

bool Database::isOpen()
{
    return QSqlDatabase::contains(kConnectionName) && QSqlDatabase::database(kConnectionName, false).isOpen();
}

QSqlDatabase Database::connection()
{
    return QSqlDatabase::database(kConnectionName, false);
}

QString Database::filePath()
{
    return g_path;
}

QSqlQuery Database::prepare(const QString& sql, QString* error)
{
    QSqlQuery query(connection());
    query.setForwardOnly(true);
    if (!isOpen()) {
        setError(error, QStringLiteral("数据库没有打开。"));
    } else if (!query.prepare(sql)) {
        setError(error, describe(query.lastError()));
    }
    return query;
}

bool Database::exec(QSqlQuery& query, QString* error)
{
    if (!checkFile(error)) {
        return false;
    }
    if (!query.exec()) {
        setError(error, describe(query.lastError()));
        return false;
    }
    return true;
}

void Database::bindText(QSqlQuery& query, const QString& text)
{
    query.addBindValue(text.isNull() ? QString(QLatin1String("")) : storable(text));
}

QString Database::storable(const QString& text)
{
    // The engine takes a leading U+FEFF of UTF-16 text for a byte order mark
    // and drops it.
    qsizetype start = 0;
    while (start < text.size() && text.at(start) == QChar::ByteOrderMark) {
        ++start;
    }
    QString out = text.mid(start);
    const qsizetype size = out.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar ch = out.at(i);
        if (ch.isHighSurrogate() && i + 1 < size && out.at(i + 1).isLowSurrogate()) {
            ++i;
        } else if (ch.isSurrogate() || ch.unicode() >= 0xFFFE || (ch.isNull() && !g_server.isEmpty())) {
            out[i] = QChar::ReplacementCharacter;
        }
    }
    return out;
}

QString Database::containsText(const QString& column)
{
    if (engine() == Engine::SQLite) {
        return column + QStringLiteral(" like '%' || ? || '%'");
    }
    // SQLite's like: ASCII letters in either case, no escape character.
    static const QString fold =
        QStringLiteral(", 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz')");
    return QStringLiteral("translate(") + column + fold + QStringLiteral(" like '%' || translate(?") + fold +
           QStringLiteral(" || '%' escape ''");
}

bool Database::fitsPattern(const QString& text)
{
    sqlite3* db = handle();
    const int limit = db ? sqlite3_limit(db, SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1) : 50000;
    return storable(text).toUtf8().size() + 2 <= limit;
}

QByteArrayView Database::Row::text(int column) const
{
    if (m_statement) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
        return QByteArrayView(text, sqlite3_column_bytes(m_statement, column));
    }
    return QByteArrayView(PQgetvalue(m_result, m_row, column), PQgetlength(m_result, m_row, column));
}

qint64 Database::Row::integer(int column) const
{
    return m_statement ? sqlite3_column_int64(m_statement, column) : text(column).toLongLong();
}

bool Database::readRows(sqlite3* db, const char* sql, const QStringList& params,
                        const std::function<bool(const Row&)>& visit, QString* error)
{
    sqlite3_stmt* statement = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    for (int i = 0; rc == SQLITE_OK && i < params.size(); ++i) {
        const QByteArray text = storable(params[i]).toUtf8();
        rc = sqlite3_bind_text(statement, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    Row row;
    row.m_statement = statement;
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
        rc = sqlite3_step(statement);
        if (rc != SQLITE_ROW || !visit(row)) {
            break;
        }
    }
    const bool ok = rc == SQLITE_DONE || rc == SQLITE_ROW;
    if (!ok) {
        setError(error, describe(sqlite3_extended_errcode(db), QString::fromUtf8(sqlite3_errmsg(db))));
    }
    sqlite3_finalize(statement);
    return ok;
}

bool Database::readServerRows(const char* sql, const QStringList& params,
                              const std::function<bool(const Row&)>& visit, QString* error)
{
    const QVariant handle = connection().driver()->handle();
    // The driver names the handle's type by libpq's struct, pg_conn.
    PGconn* connection =
        qstrcmp(handle.typeName(), "pg_conn*") == 0 || qstrcmp(handle.typeName(), "PGconn*") == 0
            ? *static_cast<PGconn* const*>(handle.data())
            : nullptr;
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
        PGresult* batch = PQexec(connection, fetch.constData());
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
        setError(error, QStringLiteral("读取数据库服务器 %1 时出错：%2").arg(g_server, failure));
    }
    return ok;
}

bool Database::readRows(const char* sql, const QStringList& params,
                        const std::function<bool(const Row&)>& visit, QString* error)
{
    if (!checkFile(error)) {
        return false;
    }
    return engine() == Engine::SQLite ? readRows(handle(), sql, params, visit, error)
                                      : readServerRows(sql, params, visit, error);
}

bool Database::checkFile(QString* error)
{
    if (engine() == Engine::PostgreSQL) {
        if (!isOpen()) {
            setError(error, QStringLiteral("数据库没有打开。"));
            return false;
        }
        return true;
    }
    sqlite3* db = handle();
    if (!db) {
        setError(error, QStringLiteral("数据库没有打开。"));
        return false;
    }
    int moved = 0;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK && moved) {
        setError(error, QStringLiteral("数据库文件“%1”已被删除、移走或替换，本次操作没有执行，以免记录丢失。"
                                       "请放回原来的数据库文件，或重新启动程序。")
                            .arg(QDir::toNativeSeparators(g_path)));
        return false;
    }
    return true;
}

bool Database::verify(QString* error, Diagnosis* diagnosis)
{
    if (!isOpen()) {
        setError(error, QStringLiteral("数据库没有打开。"));
        setDiagnosis(diagnosis, Trouble::Other);
        return false;
    }
    if (engine() == Engine::PostgreSQL) {
        return verifyServerTables(error, diagnosis);
    }
    QSqlQuery check(connection());
    if (!check.exec(QStringLiteral("PRAGMA quick_check")) || !check.next()) {
        setError(error, describe(check.lastError()));
        setDiagnosis(diagnosis, check.lastError());
        return false;
    }
    if (check.value(0).toString() != QLatin1String("ok")) {
        setError(error, QStringLiteral("数据库文件已损坏（%1）。").arg(check.value(0).toString()));
        setDiagnosis(diagnosis, Trouble::Damaged, check.value(0).toString());
        return false;
    }
    QSqlQuery tables(connection());
    if (!tables.exec(QStringLiteral("select count(*) from sqlite_master where type = 'table' and name in "
                                    "('档案', '设置', '词库')")) ||
        !tables.next()) {
        setError(error, describe(tables.lastError()));
        setDiagnosis(diagnosis, tables.lastError());
        return false;
    }
    if (tables.value(0).toInt() != 3) {
        setError(error, QStringLiteral("这个文件不是本程序的数据库（缺少数据表）。"));
        setDiagnosis(diagnosis, Trouble::Damaged);
        return false;
    }
    return true;
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

sqlite3* Database::handle()
{
    return isOpen() ? handle(connection()) : nullptr;
}

sqlite3* Database::handle(const QSqlDatabase& db)
{
    if (!db.isOpen()) {
        return nullptr;
    }
    const QVariant v = db.driver()->handle();
    if (v.isValid() && qstrcmp(v.typeName(), "sqlite3*") == 0) {
        return *static_cast<sqlite3* const*>(v.data());
    }
    return nullptr;
}

sqlite3* Database::secondHandle()
{
    int moved = 0;
    if (g_second && sqlite3_file_control(g_second, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK &&
        moved) {
        // Its file was replaced: the one now at the path is the one to read.
        sqlite3_close_v2(g_second);
        g_second = nullptr;
    }
    if (!g_second && isOpen() && engine() == Engine::SQLite) {
        // Without a busy handler, a lock that is not free fails at once.
        const QByteArray path = QFileInfo(g_path).absoluteFilePath().toUtf8();
        if (sqlite3_open_v2(path.constData(), &g_second, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            sqlite3_close_v2(g_second);
            g_second = nullptr;
        }
    }
    return g_second;
}

QString Database::describe(const QSqlError& error)
{
    if (engine() == Engine::PostgreSQL) {
        const QString detail = error.databaseText().trimmed().isEmpty() ? error.text().trimmed()
                                                                        : error.databaseText().trimmed();
        const QString reason = serverReason(error);
        if (reason.isEmpty()) {
            return detail.isEmpty() ? QStringLiteral("数据库操作失败。") : detail;
        }
        return detail.isEmpty() ? reason : reason + QStringLiteral("（") + detail + QStringLiteral("）");
    }
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return describe(ok ? code : -1, error.text().trimmed());
}

QString Database::describe(int sqliteCode, const QString& detail)
{
    const bool ok = sqliteCode >= 0;
    const int code = sqliteCode & 0xFF;
    QString reason;
    if (ok) {
        switch (code) {
        case Busy:
        case Locked:
            reason = QStringLiteral("数据库正被另一个程序使用，请稍后再试。");
            break;
        case ReadOnly:
            reason = QStringLiteral("数据库文件是只读的，无法写入。");
            break;
        case Full:
            reason = QStringLiteral("磁盘已满，无法写入数据库。");
            break;
        case IoErr:
            reason = QStringLiteral("读写数据库文件时出错（磁盘或文件系统错误）。");
            break;
        case Corrupt:
        case NotADb:
            reason = QStringLiteral("数据库文件已损坏或不是本程序的数据库。");
            break;
        case CantOpen:
            reason = QStringLiteral("无法打开数据库文件。");
            break;
        case NoMem:
            reason = QStringLiteral("内存不足。");
            break;
        default:
            break;
        }
    }
    if (reason.isEmpty()) {
        return detail.isEmpty() ? QStringLiteral("数据库操作失败。") : detail;
    }
    return detail.isEmpty() ? reason : reason + QStringLiteral("（") + detail + QStringLiteral("）");
}

} // namespace brenvoll
