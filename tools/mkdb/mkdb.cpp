// brenvoll-mkdb SCHEMA.sql OUT.db
//
// Creates the delivered database from its schema. A database that already
// exists is left exactly as it is: it may hold a clinic's records. The new
// file is written under a temporary name and renamed, readable and writable by
// its owner only.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sqlite3.h>
#include <sstream>
#include <string>
#include <sys/stat.h>

namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: brenvoll-mkdb SCHEMA.sql OUT.db\n";
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
    return 0;
}
