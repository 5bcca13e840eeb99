// brenvoll-migrate 数据库.db CONNINFO
//
// Copies a clinic's SQLite database into the server database that
// brenvoll-mkdb --postgresql created: every record, the settings row and the
// phrases (which replace the ones the tool made), and the kept versions with
// their numbers, in one transaction, and checks the counts before committing.
// A file without the versions' tables copies none; a server database made
// before they existed gets them. The operators' accounts, their switches and
// the login record are copied the same way. A target that already holds records is
// refused unchanged; so is everything when any step fails.
#include "accounts-schema.h"
#include "common/ConnectionHint.h"
#include "common/StandardOptions.h"
#include "history-schema.h"

#include <cstdio>
#include <iostream>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace {

struct Failure
{
    std::string text;
};

class Server
{
public:
    explicit Server(const char* conninfo) : m_connection(PQconnectdb(conninfo))
    {
        if (PQstatus(m_connection) != CONNECTION_OK) {
            throw Failure{std::string("cannot connect: ") + PQerrorMessage(m_connection) +
                          connectionHint(m_connection)};
        }
    }
    ~Server() { PQfinish(m_connection); }
    // "database brenvoll on SERVER:5432".
    std::string name() const
    {
        return std::string("database ") + PQdb(m_connection) + " on " + PQhost(m_connection) + ':' +
               PQport(m_connection);
    }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    void run(const std::string& sql) { PQclear(check(PQexec(m_connection, sql.c_str()), sql)); }
    bool hasTable(const char* table)
    {
        const std::string sql = std::string("select count(*) from information_schema.tables where "
                                            "table_schema = current_schema() and table_name = '") +
                                table + "'";
        PGresult* result = check(PQexec(m_connection, sql.c_str()), sql);
        const bool has = std::stoll(PQgetvalue(result, 0, 0)) > 0;
        PQclear(result);
        return has;
    }
    long long count(const char* table)
    {
        PGresult* result =
            check(PQexec(m_connection, (std::string("select count(*) from ") + table).c_str()), table);
        const long long n = std::stoll(PQgetvalue(result, 0, 0));
        PQclear(result);
        return n;
    }
    // Rows in PostgreSQL's COPY text format: one line each, tab-separated.
    void copy(const std::string& statement, const std::string& data)
    {
        PQclear(check(PQexec(m_connection, statement.c_str()), statement, PGRES_COPY_IN));
        if (PQputCopyData(m_connection, data.data(), int(data.size())) != 1 ||
            PQputCopyEnd(m_connection, nullptr) != 1) {
            throw Failure{std::string("copy failed: ") + PQerrorMessage(m_connection)};
        }
        PQclear(check(PQgetResult(m_connection), statement));
        while (PGresult* rest = PQgetResult(m_connection)) {
            PQclear(rest);
        }
    }

private:
    PGresult* check(PGresult* result, const std::string& what, ExecStatusType wanted = PGRES_COMMAND_OK)
    {
        const ExecStatusType status = PQresultStatus(result);
        if (status != wanted && status != PGRES_TUPLES_OK) {
            const std::string text = PQerrorMessage(m_connection);
            PQclear(result);
            throw Failure{what.substr(0, 60) + ": " + text};
        }
        return result;
    }
    PGconn* m_connection;
};

// One value in COPY text format. NULL stays NULL; U+0000, which a server
// refuses in text, becomes U+FFFD as the program stores it.
void appendValue(std::string& out, sqlite3_stmt* statement, int column)
{
    if (sqlite3_column_type(statement, column) == SQLITE_NULL) {
        out += "\\N";
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    const int size = sqlite3_column_bytes(statement, column);
    for (int i = 0; i < size; ++i) {
        const char ch = text[i];
        switch (ch) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\0':
            out += "\xEF\xBF\xBD";
            break;
        default:
            out += ch;
        }
    }
}

// The rows of a select as COPY data, and how many there were.
long long readRows(sqlite3* db, const std::string& sql, std::string& data)
{
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
        throw Failure{std::string("cannot read the database: ") + sqlite3_errmsg(db)};
    }
    long long rows = 0;
    int rc = SQLITE_ROW;
    const int columns = sqlite3_column_count(statement);
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c) {
            if (c > 0) {
                data += '\t';
            }
            appendValue(data, statement, c);
        }
        data += '\n';
        ++rows;
    }
    sqlite3_finalize(statement);
    if (rc != SQLITE_DONE) {
        throw Failure{std::string("cannot read the database: ") + sqlite3_errmsg(db)};
    }
    return rows;
}

std::string recordColumns()
{
    std::string columns = "姓名, 性别, 年龄, 日期, 地址, 序列号";
    for (int i = 0; i < 46; ++i) {
        columns += ", \"" + std::to_string(i) + '"';
    }
    return columns;
}

bool fileHasTable(sqlite3* db, const char* table)
{
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "select 1 from sqlite_master where type = 'table' and name = ?", -1, &statement,
                       nullptr);
    sqlite3_bind_text(statement, 1, table, -1, SQLITE_STATIC);
    const bool has = sqlite3_step(statement) == SQLITE_ROW;
    sqlite3_finalize(statement);
    return has;
}

void migrate(const char* file, const char* conninfo)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file, &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        const std::string text = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        throw Failure{std::string("cannot open ") + file + ": " + text};
    }
    struct Closer
    {
        sqlite3* db;
        ~Closer() { sqlite3_close(db); }
    } closer{db};
    // One read transaction: the copy is of one moment of the file.
    sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
    const std::string columns = recordColumns();
    std::string records, settings, phrases;
    const long long recordCount = readRows(db, "select " + columns + " from 档案 order by 序列号", records);
    const long long settingsCount =
        readRows(db, "select 密码, 路径, 左边距, 上边距 from 设置 order by rowid", settings);
    const long long phraseCount = readRows(db, "select 常用语 from 词库 order by rowid", phrases);
    const std::string versionColumns = "版本号, 时间, 操作, 工作站, 操作员, " + columns;
    const std::string restoreColumns = "删除版本号, 序列号, 时间, 工作站, 操作员";
    std::string versions, restores;
    long long versionCount = 0;
    long long restoreCount = 0;
    if (fileHasTable(db, "档案版本") && fileHasTable(db, "档案恢复")) {
        versionCount = readRows(db, "select " + versionColumns + " from 档案版本 order by 版本号", versions);
        restoreCount =
            readRows(db, "select " + restoreColumns + " from 档案恢复 order by 删除版本号", restores);
    }
    const std::string accountColumns = "用户名, 姓名, 角色, 停用, 密码散列, 最后登录";
    const std::string loginColumns = "编号, 时间, 用户名, 工作站, 结果";
    std::string accounts, switches, logins;
    long long accountCount = 0;
    long long switchCount = 0;
    long long loginCount = 0;
    if (fileHasTable(db, "账户") && fileHasTable(db, "账户设置") && fileHasTable(db, "登录记录")) {
        accountCount = readRows(db, "select " + accountColumns + " from 账户 order by 用户名", accounts);
        switchCount = readRows(db, "select 项目, 值 from 账户设置 order by 项目", switches);
        loginCount = readRows(db, "select " + loginColumns + " from 登录记录 order by 编号", logins);
    }

    Server server(conninfo);
    server.run("begin");
    if (const long long present = server.count("档案"); present > 0) {
        throw Failure{"the server database already holds " + std::to_string(present) +
                      " records; nothing was copied"};
    }
    if (!server.hasTable("档案版本")) {
        server.run(kHistoryPostgresqlSchema);
    }
    if (const long long present = server.count("档案版本"); present > 0) {
        throw Failure{"the server database already holds " + std::to_string(present) +
                      " kept versions; nothing was copied"};
    }
    if (!server.hasTable("账户")) {
        server.run(kAccountsPostgresqlSchema);
    }
    if (const long long present = server.count("账户"); present > 0) {
        throw Failure{"the server database already holds " + std::to_string(present) +
                      " accounts; nothing was copied"};
    }
    server.run("delete from 账户设置");
    server.run("delete from 登录记录");
    server.run("delete from 设置");
    server.run("delete from 词库");
    server.copy("copy 设置 (密码, 路径, 左边距, 上边距) from stdin", settings);
    server.copy("copy 词库 (常用语) from stdin", phrases);
    server.copy("copy 档案 (" + columns + ") from stdin", records);
    server.copy("copy 档案版本 (" + versionColumns + ") from stdin", versions);
    server.copy("copy 档案恢复 (" + restoreColumns + ") from stdin", restores);
    server.copy("copy 账户 (" + accountColumns + ") from stdin", accounts);
    server.copy("copy 账户设置 (项目, 值) from stdin", switches);
    server.copy("copy 登录记录 (" + loginColumns + ") from stdin", logins);
    server.run("select setval(pg_get_serial_sequence('登录记录', '编号'), "
               "coalesce((select max(编号) from 登录记录), 0) + 1, false)");
    // The next version the program keeps is numbered after the copied ones.
    server.run("select setval(pg_get_serial_sequence('档案版本', '版本号'), "
               "coalesce((select max(版本号) from 档案版本), 0) + 1, false)");
    if (server.count("档案") != recordCount || server.count("设置") != settingsCount ||
        server.count("词库") != phraseCount || server.count("档案版本") != versionCount ||
        server.count("档案恢复") != restoreCount || server.count("账户") != accountCount ||
        server.count("账户设置") != switchCount || server.count("登录记录") != loginCount) {
        throw Failure{"the counts on the server differ from the file; nothing was copied"};
    }
    server.run("commit");
    std::cout << "brenvoll-migrate: copied " << recordCount << " records, " << settingsCount
              << " settings row(s), " << phraseCount << " phrases and " << versionCount << " kept versions, "
              << accountCount << " accounts and " << loginCount << " login record lines from " << file
              << " into " << server.name() << "\n";
}

} // namespace

constexpr const char* kHelp = "usage: brenvoll-migrate 数据库.db CONNINFO\n"
                              "\n"
                              "Copies a clinic's database file into the server database that\n"
                              "brenvoll-mkdb --postgresql created: every record, the settings, the phrases,\n"
                              "the kept versions and the operators' accounts, in one transaction. A server\n"
                              "database that already holds records is refused unchanged.\n"
                              "\n"
                              "  -h, --help     this text\n"
                              "  -v, --version  the version\n";

int main(int argc, char** argv)
{
    if (answeredStandardOption(argc, argv, "brenvoll-migrate", kHelp)) {
        return 0;
    }
    if (argc != 3) {
        std::cerr << kHelp;
        return 2;
    }
    try {
        migrate(argv[1], argv[2]);
    } catch (const Failure& failure) {
        std::cerr << "brenvoll-migrate: " << failure.text << "\n";
        return 1;
    }
    return 0;
}
