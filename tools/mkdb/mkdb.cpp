// brenvoll-mkdb SCHEMA.sql OUT.db
// brenvoll-mkdb --postgresql CONNINFO
//
// Creates the delivered database from its schema, then takes the steps that
// the program takes on an older database (src/storage/SchemaText.h): the
// tables of the kept versions (data/history.sql), of the operators' accounts
// (data/accounts.sql), the index of names (data/name-index.sql) and the
// resident population (data/population.sql), all built in. A database that already
// exists is left exactly as it is: it may hold a clinic's records. The new
// file is written under a temporary name and renamed, readable and writable by
// its owner only.
//
// With --postgresql the tables (and the same steps), the settings row and
// the phrases are created in an existing empty database on a server (made with createdb), in one
// transaction: a database that already holds the tables is refused unchanged.
#include "common/ConnectionHint.h"
#include "common/StandardOptions.h"
#include "history-schema.h"
#include "schema-postgresql.h"
#include "storage/SchemaText.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <sstream>
#include <string>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {
// The number of rows in `table`, as text; "?" when it cannot be read.
std::string rows(PGconn* connection, const char* table)
{
    PGresult* result = PQexec(connection, (std::string("select count(*) from ") + table).c_str());
    std::string count = PQresultStatus(result) == PGRES_TUPLES_OK ? PQgetvalue(result, 0, 0) : "?";
    PQclear(result);
    return count;
}

int createOnServer(const char* conninfo)
{
    PGconn* connection = PQconnectdb(conninfo);
    if (PQstatus(connection) != CONNECTION_OK) {
        std::cerr << "brenvoll-mkdb: cannot connect: " << PQerrorMessage(connection)
                  << connectionHint(connection);
        PQfinish(connection);
        return 1;
    }
    std::string sql = std::string("BEGIN;\n") + kPostgresqlSchema;
    for (const auto& step : brenvoll::schema::kSteps) {
        if (step.postgresql) {
            sql = sql + "\n" + step.postgresql;
        }
    }
    sql += "\nCOMMIT;\n";
    PGresult* result = PQexec(connection, sql.c_str());
    const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
    if (!ok) {
        std::cerr << "brenvoll-mkdb: schema failed, nothing was created: " << PQerrorMessage(connection);
    }
    PQclear(result);
    if (ok) {
        std::cout << "brenvoll-mkdb: created the tables 档案, 设置 and 词库 (" << rows(connection, "设置")
                  << " settings row, " << rows(connection, "词库") << " phrases, no records) in database "
                  << PQdb(connection) << " on " << PQhost(connection) << ':' << PQport(connection)
                  << ", owned by " << PQuser(connection) << "\n";
    }
    PQfinish(connection);
    return ok ? 0 : 1;
}
constexpr const char* kHelp =
    "usage: brenvoll-mkdb SCHEMA.sql OUT.db\n"
    "       brenvoll-mkdb --postgresql CONNINFO\n"
    "\n"
    "Creates the delivered database OUT.db from SCHEMA.sql, with the tables of the\n"
    "kept versions and of the operators' accounts. A database that already exists\n"
    "is left as it is.\n"
    "With --postgresql, creates the tables, the settings row and the phrases in an\n"
    "existing empty database on a server (made with createdb), in one transaction.\n"
    "\n"
    "  -h, --help     this text\n"
    "  -v, --version  the version\n";
} // namespace

int main(int argc, char** argv)
{
    if (answeredStandardOption(argc, argv, "brenvoll-mkdb", kHelp)) {
        return 0;
    }
    if (argc == 3 && std::string(argv[1]) == "--postgresql") {
        return createOnServer(argv[2]);
    }
    if (argc != 3) {
        std::cerr << kHelp;
        return 2;
    }
    const fs::path schemaPath = argv[1];
    const fs::path outPath = argv[2];

    std::error_code ec;
    if (fs::exists(outPath, ec) && fs::file_size(outPath, ec) > 0) {
        return 0; // keep what is there
    }

    std::ifstream in(schemaPath);
    if (!in) {
        std::cerr << "brenvoll-mkdb: cannot read " << schemaPath << "\n";
        return 1;
    }
    std::stringstream sql;
    sql << in.rdbuf();
    for (const auto& step : brenvoll::schema::kSteps) {
        if (step.sqlite) {
            sql << '\n' << step.sqlite;
        }
    }

    fs::create_directories(outPath.parent_path(), ec);
    const fs::path tmpPath = outPath.string() + ".new";
    fs::remove(tmpPath, ec);

    sqlite3* db = nullptr;
    if (sqlite3_open(tmpPath.c_str(), &db) != SQLITE_OK) {
        std::cerr << "brenvoll-mkdb: cannot create " << tmpPath << ": " << sqlite3_errmsg(db) << "\n";
        sqlite3_close(db);
        return 1;
    }
    char* error = nullptr;
    if (sqlite3_exec(db, sql.str().c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::cerr << "brenvoll-mkdb: schema failed: " << (error ? error : "?") << "\n";
        sqlite3_free(error);
        sqlite3_close(db);
        fs::remove(tmpPath, ec);
        return 1;
    }
    sqlite3_close(db);
    ::chmod(tmpPath.c_str(), S_IRUSR | S_IWUSR);
    fs::rename(tmpPath, outPath, ec);
    if (ec) {
        std::cerr << "brenvoll-mkdb: cannot rename to " << outPath << ": " << ec.message() << "\n";
        return 1;
    }
    std::cout << "brenvoll-mkdb: created " << outPath.string() << " from " << schemaPath.string() << "\n";
    return 0;
}
