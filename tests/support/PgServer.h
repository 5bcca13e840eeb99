#pragma once
// A private PostgreSQL server for the tests: a new cluster in a temporary
// folder, listening only on a Unix socket in that folder, stopped and removed
// when the test program ends. As root (CI) the server runs as the postgres
// user, as initdb refuses root.
#include <QSqlDatabase>
#include <QString>

namespace brenvoll::test {

class PgServer
{
public:
    // The server of this test program, started on first use.
    static PgServer& shared();
    ~PgServer();

    bool isRunning() const { return m_running; }
    // Why the server is not running; names what to install when PostgreSQL is missing.
    QString failure() const { return m_failure; }
    // True only when the PostgreSQL programs are not installed at all.
    bool isMissing() const { return m_missing; }

    // A new empty database (as createdb makes one); its connection string
    // ("host=… port=… dbname=… user=…"), empty on failure.
    QString createDatabase(QString* error = nullptr);
    // A new database with the program's tables, made by brenvoll-mkdb --postgresql.
    QString createProgramDatabase(QString* error = nullptr);
    // A login role that must give `password` (the cluster's own user needs
    // none), a superuser of this server; false with `error` on failure.
    bool createPasswordRole(const QString& role, const QString& password, QString* error = nullptr);
    // A login role that must give `password` and has no rights beyond
    // PUBLIC's, as a server's ordinary users; false with `error` on failure.
    bool createLoginRole(const QString& role, const QString& password, QString* error = nullptr);
    // Makes the login role `role` give its password, as a server's users do.
    bool requirePassword(const QString& role, QString* error = nullptr);
    // The [database] group of a brenvoll.ini for a database of this server.
    QString configText(const QString& conninfo) const;
    QString socketFolder() const;
    // A connection named `name` to the database of a connection string made
    // by createDatabase(), opened.
    static QSqlDatabase connect(const QString& conninfo, const QString& name);
    int port() const { return m_port; }
    QString user() const;

    // Stops the server as `pg_ctl stop -m MODE` does ("fast": connections
    // told and closed; "immediate": the server killed, as by a power cut),
    // and starts it again on the same socket; false with `error` on failure.
    bool stopServer(const QString& mode, QString* error = nullptr);
    bool startServer(QString* error = nullptr);

private:
    PgServer();
    bool runAdmin(const QStringList& statements, QString* error);
    bool runAsServerUser(const QString& program, const QStringList& args, QString* output = nullptr);
    bool start(QString* error);
    void stop();

    QString m_bin;    // folder of initdb and pg_ctl
    QString m_folder; // temporary folder: cluster in data/, socket beside it
    int m_port = 0;
    bool m_asRoot = false;
    bool m_running = false;
    bool m_missing = false;
    QString m_failure;
    int m_databases = 0;
};

} // namespace brenvoll::test

// Skips the test when PostgreSQL is not installed, fails it when the server
// does not start; otherwise `conninfo` names a new empty database.
#define BRENVOLL_PG_DATABASE(conninfo) BRENVOLL_PG_DATABASE_WITH(conninfo, createDatabase)
// The same, with the program's tables.
#define BRENVOLL_PG_PROGRAM_DATABASE(conninfo) BRENVOLL_PG_DATABASE_WITH(conninfo, createProgramDatabase)
#define BRENVOLL_PG_DATABASE_WITH(conninfo, create)                                                          \
    QString conninfo;                                                                                        \
    do {                                                                                                     \
        auto& server_ = brenvoll::test::PgServer::shared();                                                  \
        if (server_.isMissing())                                                                             \
            QSKIP(qPrintable(server_.failure()));                                                            \
        QVERIFY2(server_.isRunning(), qPrintable(server_.failure()));                                        \
        QString error_;                                                                                      \
        conninfo = server_.create(&error_);                                                                  \
        QVERIFY2(!conninfo.isEmpty(), qPrintable(error_));                                                   \
    } while (false)
