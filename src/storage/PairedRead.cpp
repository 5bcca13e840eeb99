#include "PairedRead.h"

#include "Database.h"

#include <atomic>
#include <optional>
#include <sqlite3.h>
#include <system_error>
#include <thread>

namespace brenvoll {

namespace {
std::atomic_int g_completed{0};

void endRead(sqlite3* db)
{
    if (!sqlite3_get_autocommit(db) && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

// Begins a transaction and takes its read lock with a first read, of the
// schema version, which also tells two files apart. Nothing when the lock
// could not be taken; the transaction is then ended.
std::optional<qint64> beginRead(sqlite3* db)
{
    std::optional<qint64> version;
    if (sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK) {
        Database::readRows(db, "PRAGMA schema_version", {}, [&version](const Database::Row& row) {
            version = row.integer(0);
            return false;
        });
    }
    if (!version) {
        endRead(db);
    }
    return version;
}

bool isWriteAheadLog(sqlite3* db)
{
    bool log = true; // unless the engine says otherwise
    Database::readRows(db, "PRAGMA journal_mode", {}, [&log](const Database::Row& row) {
        log = row.text(0).compare("wal", Qt::CaseInsensitive) == 0;
        return false;
    });
    return log;
}
} // namespace

PairedRead::PairedRead()
{
    sqlite3* first = Database::handle();
    if (!first || !sqlite3_get_autocommit(first) || !Database::checkFile()) {
        return;
    }
    sqlite3* second = Database::secondHandle();
    if (!second) {
        return;
    }
    const std::optional<qint64> firstVersion = beginRead(first);
    if (!firstVersion) {
        return;
    }
    // The second connection takes its lock while the first holds one; a
    // writer that has announced its commit makes it fail at once, never wait
    // for a commit that in turn waits for the first connection.
    const std::optional<qint64> secondVersion = isWriteAheadLog(first) ? std::nullopt : beginRead(second);
    if (secondVersion == firstVersion) {
        m_first = first;
        m_second = second;
        return;
    }
    if (secondVersion) {
        endRead(second);
    }
    endRead(first);
}

PairedRead::~PairedRead()
{
    if (m_second) {
        endRead(m_second);
        endRead(m_first);
    }
}

bool PairedRead::read(const Part& first, const Part& second)
{
    if (!m_second) {
        return false;
    }
    bool secondRead = false;
    const auto readSecond = [&] {
        secondRead = Database::readRows(m_second, second.sql, second.params, second.row);
    };
    std::thread reader;
    try {
        reader = std::thread(readSecond);
    } catch (const std::system_error&) {
        // No thread to be had: the parts are read one after the other.
    }
    const bool firstRead = Database::readRows(m_first, first.sql, first.params, first.row);
    if (reader.joinable()) {
        reader.join();
    } else {
        readSecond();
    }
    if (firstRead && secondRead) {
        ++g_completed;
        return true;
    }
    return false;
}

bool PairedRead::peek(const Part& part)
{
    sqlite3* second = Database::checkFile() ? Database::secondHandle() : nullptr;
    return second && sqlite3_get_autocommit(second) &&
           Database::readRows(second, part.sql, part.params, part.row);
}

int PairedRead::completed()
{
    return g_completed.load();
}

} // namespace brenvoll
