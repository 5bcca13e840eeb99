#include "Database.h"

#include "DatabaseState.h"
#include "base/ProgramPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QUrl>

#include <algorithm>
#include <libpq-fe.h>
#include <map>
#include <memory>
#include <sqlite3.h>

namespace brenvoll {

namespace database {
const QString kConnectionName = QStringLiteral("brenvoll");
QString g_path;
QString g_server;
sqlite3* g_second = nullptr;
int g_historyTables = -1;

namespace {
// The server's prepared statements kept for the connection (keptServerStatement).
std::map<QString, std::unique_ptr<QSqlQuery>>& keptStatements()
{
    static std::map<QString, std::unique_ptr<QSqlQuery>> kept;
    return kept;
}
} // namespace

void dropKeptStatements()
{
    keptStatements().clear();
}

void setError(QString* error, const QString& text)
{
    if (error) {
        *error = text;
    }
}
} // namespace database

using namespace database;

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
    dropKeptStatements(); // released while their connection is still there
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
    g_historyTables = -1;
}

bool Database::isOpen()
{
    // A server connection that broke stays the program's connection: the
    // next statement tries to connect again.
    return QSqlDatabase::contains(kConnectionName) &&
           (QSqlDatabase::database(kConnectionName, false).isOpen() || !g_server.isEmpty());
}

bool Database::isShared()
{
    return engine() == Engine::PostgreSQL;
}

bool Database::keepsStatements()
{
    return engine() == Engine::PostgreSQL;
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
    if (!keepServerConnected(error)) {
        return QSqlQuery(connection());
    }
    QSqlQuery query(connection());
    query.setForwardOnly(true);
    if (!isOpen()) {
        setError(error, QStringLiteral("数据库没有打开。"));
    } else if (!query.prepare(sql)) {
        setError(error, describe(query.lastError()));
    }
    return query;
}

QSqlQuery* Database::keptServerStatement(const QString& sql, QString* error)
{
    if (engine() != Engine::PostgreSQL || !isOpen()) {
        setError(error, QStringLiteral("数据库没有打开。"));
        return nullptr;
    }
    if (!keepServerConnected(error)) { // a connection replaced drops what it kept
        return nullptr;
    }
    // Released when the application ends, while Qt's SQL module is still
    // whole: a query destroyed among the program's last static objects may
    // find the module's own already gone and keep its result.
    static const bool releasedAtEnd = (qAddPostRoutine(dropKeptStatements), true);
    Q_UNUSED(releasedAtEnd);
    std::unique_ptr<QSqlQuery>& kept = keptStatements()[sql];
    if (!kept) {
        // Not forward-only: the driver then takes the whole answer at once
        // and leaves the connection idle, ready for the row reader.
        auto query = std::make_unique<QSqlQuery>(connection());
        if (!query->prepare(sql)) {
            setError(error, describe(query->lastError()));
            keptStatements().erase(sql);
            return nullptr;
        }
        kept = std::move(query);
    }
    return kept.get();
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

QString Database::filterContains(const QString& column, const QString& text, QStringList& params)
{
    if (text.isEmpty()) {
        return {};
    }
    params << text;
    const bool folds =
        std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetter() && c.unicode() < 128; });
    if (engine() == Engine::SQLite || folds) {
        return containsText(column) + QStringLiteral(" and ");
    }
    // The text's characters match only themselves: folding the column's
    // letters changes nothing that they could match.
    return column + QStringLiteral(" like '%' || ? || '%' escape '' and ");
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

bool Database::readRows(const char* sql, const QStringList& params,
                        const std::function<bool(const Row&)>& visit, QString* error)
{
    if (!keepServerConnected(error) || !checkFile(error)) {
        return false;
    }
    return engine() == Engine::SQLite ? readRows(handle(), sql, params, visit, error)
                                      : readServerRows(sql, params, visit, error);
}

bool Database::checkFile(QString* error)
{
    if (engine() == Engine::PostgreSQL) {
        if (serverConnectionLost()) {
            setError(error, lostConnectionMessage(QString()));
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
        const QFileInfo file(g_path);
        if (!file.absoluteDir().exists()) {
            // Its folder is gone (a network share dropped): when it is back,
            // the file is the one the connection works on again.
            setError(
                error,
                QStringLiteral("数据库文件“%1”现在无法访问：它所在的文件夹“%2”不见了（例如网络共享断开）。"
                               "本次操作没有执行；文件夹恢复后再试一次即可。")
                    .arg(QDir::toNativeSeparators(g_path), QDir::toNativeSeparators(file.absolutePath())));
            return false;
        }
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

bool Database::runScript(const char* sql, QString* error)
{
    if (!keepServerConnected(error) || !checkFile(error)) {
        return false;
    }
    if (engine() == Engine::PostgreSQL) {
        return runServerScript(sql, error);
    }
    sqlite3* db = handle();
    const auto run = [db](const char* text) { return sqlite3_exec(db, text, nullptr, nullptr, nullptr); };
    if (g_inTransaction) {
        // The open transaction keeps or undoes them with the rest of it.
        if (run(sql) != SQLITE_OK) {
            setError(error, describe(sqlite3_extended_errcode(db), QString::fromUtf8(sqlite3_errmsg(db))));
            return false;
        }
        return true;
    }
    if (run("begin immediate") != SQLITE_OK || run(sql) != SQLITE_OK || run("commit") != SQLITE_OK) {
        setError(error, describe(sqlite3_extended_errcode(db), QString::fromUtf8(sqlite3_errmsg(db))));
        if (!sqlite3_get_autocommit(db)) {
            run("rollback");
        }
        return false;
    }
    return true;
}

namespace {
// The number the one-column count `sql` (with `names` bound) reads.
std::optional<bool> countIs(const QString& sql, const QStringList& names, qsizetype wanted, QString* error)
{
    QSqlQuery query = Database::prepare(sql, error);
    for (const QString& name : names) {
        query.addBindValue(name);
    }
    if (!Database::exec(query, error) || !query.next()) {
        return std::nullopt;
    }
    return query.value(0).toLongLong() == wanted;
}

// "?, ?, ?": one placeholder for each of `count` names.
QString placeholders(qsizetype count)
{
    QStringList marks;
    for (qsizetype i = 0; i < count; ++i) {
        marks << QStringLiteral("?");
    }
    return marks.join(QStringLiteral(", "));
}
} // namespace

std::optional<bool> Database::hasTables(const QStringList& tables, QString* error)
{
    const QString sql =
        engine() == Engine::SQLite
            ? QStringLiteral("select count(*) from sqlite_master where type = 'table' and name in (%1)")
            : QStringLiteral("select count(*) from information_schema.tables where table_schema = "
                             "current_schema() and table_name in (%1)");
    return countIs(sql.arg(placeholders(tables.size())), tables, tables.size(), error);
}

std::optional<bool> Database::hasIndex(const QString& index, QString* error)
{
    const QString sql =
        engine() == Engine::SQLite
            ? QStringLiteral("select count(*) from sqlite_master where type = 'index' and name = ?")
            : QStringLiteral("select count(*) from pg_indexes where schemaname = current_schema() and "
                             "indexname = ?");
    return countIs(sql, {index}, 1, error);
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

} // namespace brenvoll
