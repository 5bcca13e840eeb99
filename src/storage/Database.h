#pragma once
// The program's one connection: to 数据库.db, or to the shared database on a
// PostgreSQL server that brenvoll.ini names. Every read and write of the
// program goes through it; operator text is always bound as a parameter. The
// few differences of the two engines stay in the storage layer.
#include <QByteArrayView>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;
struct pg_result;

namespace brenvoll {

struct ServerConfig;

class Database
{
public:
    // What the operator can do about a failed step.
    enum class Trouble
    {
        None,
        InUse,        // another program holds the file busy or locked: close it
        ReadOnly,     // a needed write was refused: the file or its folder is read-only
        NotPermitted, // the file may not be opened as needed
        Damaged,      // the file is damaged or is not this program's database
        Other,        // disk, memory and every other failure
    };
    struct Diagnosis
    {
        Trouble trouble = Trouble::None;
        QString engineText; // the engine's own words, empty when it said none
    };
    static Diagnosis diagnose(const QSqlError& error);

    // Opens the database named by the connection string's Data Source. The
    // file must exist: it is never created here. Writes are durable once
    // reported done (rollback journal, full sync).
    static bool open(const QString& connection, QString* error = nullptr, Diagnosis* diagnosis = nullptr);
    // Connects to the server database of `config`. The message of a failure
    // names the server and says why in words the operator understands.
    static bool openServer(const ServerConfig& config, QString* error = nullptr);
    static void close();

    enum class Engine
    {
        SQLite,
        PostgreSQL,
    };
    // The engine of the open connection (SQLite when none is open).
    static Engine engine();
    // "host:port" of the server in use; empty with SQLite.
    static QString serverName();
    // The configuration of the server in use (for programs such as pg_dump
    // that connect to it too); empty with SQLite.
    static ServerConfig serverConfig();
    static bool isOpen();
    // Whether the database is one that the desks share on a server, rather
    // than this desk's file: what the desk keeps for itself (its drafts) then
    // lives beside the program, and the server's administrator alone
    // restores the database.
    static bool isShared();
    // With a server: whether the connection to it broke (the server stopped,
    // restarted or out of reach); the next statement connects anew. False
    // with a file.
    static bool connectionLost();
    static QSqlDatabase connection();
    // The database file in use; empty with a server.
    static QString filePath();

    // A prepared statement on the connection; check with ok().
    static QSqlQuery prepare(const QString& sql, QString* error = nullptr);
    // A server statement run on every save, prepared once per connection so
    // that the server parses it once and keeps its plan; null when it cannot
    // be prepared. Bind every value anew before each exec(). The statements
    // kept go with the connection (close()).
    static QSqlQuery* keptServerStatement(const QString& sql, QString* error = nullptr);
    // Whether keptServerStatement() keeps statements prepared (with a
    // server): a write of several statements is then sent as one statement,
    // prepared once, in one round trip.
    static bool keepsStatements();
    // Runs a prepared statement after checkFile().
    static bool exec(QSqlQuery& query, QString* error = nullptr);
    // Binds text as text: an empty (even null) QString is the empty text, never
    // SQL NULL. Text is bound as storable(text).
    static void bindText(QSqlQuery& query, const QString& text);
    // The text as it is stored and read back. An unpaired surrogate half and
    // the non-characters U+FFFE and U+FFFF (none is a character, but a text box
    // can hold them) become U+FFFD: the engine would pair a lone half with the
    // next character, losing both, and reads the non-characters back as U+FFFD
    // anyway. Leading U+FEFF (byte order marks) are dropped, as the engine
    // drops the first. A server refuses U+0000 in text: there it becomes
    // U+FFFD as well. Every other text is stored exactly.
    static QString storable(const QString& text);

    // The condition "`column` contains the bound text", with one placeholder:
    // "%" and "_" in the text are wildcards, no character escapes them, and
    // the letters A to Z match either case while every other character
    // matches only itself, on either engine.
    static QString containsText(const QString& column);
    // The same condition for the known `text` of a filter, followed by " and ",
    // its placeholder's value appended to `params`. Nothing at all when `text`
    // is empty, where the condition holds for every row (`column` must then
    // never be null, e.g. coalesce(…, '')); on a server without the folding of
    // A to Z in every row read when `text` holds none of those letters. A list
    // filtered by an empty address is read that much faster.
    static QString filterContains(const QString& column, const QString& text, QStringList& params);
    // Whether `text` fits that condition: the engine refuses patterns longer
    // than its limit (50000 bytes unless built otherwise) with a message no
    // operator understands.
    static bool fitsPattern(const QString& text);

    // False with a reason when the file the connection works on is no longer
    // the file at its path: deleted, moved away or replaced while the program
    // runs. The engine would go on reading the orphaned file and refuse writes
    // as if the file were read-only; instead nothing is read or written and
    // the operator learns what happened.
    static bool checkFile(QString* error = nullptr);

    // Runs SQLite's quick check; false with a reason when the file is damaged
    // or is not this program's database, or cannot be read at all (busy,
    // locked, not permitted: `diagnosis` tells these apart).
    static bool verify(QString* error = nullptr, Diagnosis* diagnosis = nullptr);

    // An operator-readable reason for a failed database step.
    static QString describe(const QSqlError& error);
    static QString describe(int sqliteCode, const QString& detail);

    // One row of a result being read: its columns as the engine holds them
    // (UTF-8; a NULL is the empty text), valid until the read moves on.
    class Row
    {
    public:
        QByteArrayView text(int column) const;
        qint64 integer(int column) const;

    private:
        friend class Database;
        ::sqlite3_stmt* m_statement = nullptr;
        ::pg_result* m_result = nullptr;
        int m_row = 0;
    };
    // Runs a read straight on the engine, for results of hundreds of
    // thousands of rows: binds `params` as storable text and hands over each
    // row until `visit` returns false. False with a reason when the file is gone
    // or the engine fails.
    static bool readRows(const char* sql, const QStringList& params,
                         const std::function<bool(const Row&)>& visit, QString* error = nullptr);
    // As above, on the SQLite handle `db` (either connection), without
    // checkFile().
    static bool readRows(::sqlite3* db, const char* sql, const QStringList& params,
                         const std::function<bool(const Row&)>& visit, QString* error = nullptr);

    // Runs the statements of `sql` (no parameters) in one transaction: all
    // of them or, with a reason, none. Inside an open WriteTransaction they
    // are part of it.
    static bool runScript(const char* sql, QString* error = nullptr);

    // Whether the open database holds every table of `tables`, and whether
    // it holds the index `index`, in the schema the program works in;
    // nothing when the catalog could not be read (`error` says why).
    static std::optional<bool> hasTables(const QStringList& tables, QString* error = nullptr);
    static std::optional<bool> hasIndex(const QString& index, QString* error = nullptr);

    // The engine's own handle, for the few reads that must be as fast as the
    // engine itself (long result lists). Null when not open.
    static ::sqlite3* handle();
    // The engine's handle of any open connection.
    static ::sqlite3* handle(const QSqlDatabase& db);
    // A second connection to the same file, read-only, with a page cache of
    // its own, for reading beside the program's connection (PairedRead). It
    // is opened when first asked for and closed with the program's; its reads
    // never wait for a lock. Null when it cannot be opened, and with a server.
    static ::sqlite3* secondHandle();

private:
    static bool verifyServerTables(QString* error, Diagnosis* diagnosis);
    static bool runServerScript(const char* sql, QString* error);
    static bool readServerRows(const char* sql, const QStringList& params,
                               const std::function<bool(const Row&)>& visit, QString* error);
};

} // namespace brenvoll
