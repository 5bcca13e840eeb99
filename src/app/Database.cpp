#include "Database.h"

#include "ProgramPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QUrl>

#include <sqlite3.h>

namespace brenvoll {

namespace {
const QString kConnectionName = QStringLiteral("brenvoll");
QString g_path;
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
} // namespace

Database::Diagnosis Database::diagnose(const QSqlError& error)
{
    if (!error.isValid()) {
        return {};
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
        } else if (ch.isSurrogate() || ch.unicode() >= 0xFFFE) {
            out[i] = QChar::ReplacementCharacter;
        }
    }
    return out;
}

bool Database::checkFile(QString* error)
{
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

bool Database::readRows(const char* sql, const QStringList& params,
                        const std::function<bool(sqlite3_stmt*)>& row, QString* error)
{
    return checkFile(error) && readRows(handle(), sql, params, row, error);
}

bool Database::readRows(sqlite3* db, const char* sql, const QStringList& params,
                        const std::function<bool(sqlite3_stmt*)>& row, QString* error)
{
    sqlite3_stmt* statement = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    for (int i = 0; rc == SQLITE_OK && i < params.size(); ++i) {
        const QByteArray text = storable(params[i]).toUtf8();
        rc = sqlite3_bind_text(statement, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
        rc = sqlite3_step(statement);
        if (rc != SQLITE_ROW || !row(statement)) {
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

QByteArrayView Database::columnText(sqlite3_stmt* statement, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return QByteArrayView(text, sqlite3_column_bytes(statement, column));
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
    if (!g_second && isOpen()) {
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
