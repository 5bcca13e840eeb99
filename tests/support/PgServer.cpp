#include "PgServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>

#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace brenvoll::test {

namespace {
const QString kServerUser = QStringLiteral("postgres");
const QString kClusterUser = QStringLiteral("brenvoll");
const QString kPasswordGroup = QStringLiteral("password_login");

// Debian keeps the server programs out of PATH, one folder per major version.
QString serverPrograms()
{
    QStringList folders;
    const QDir versions(QStringLiteral("/usr/lib/postgresql"));
    for (const QString& version :
         versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed)) {
        folders << versions.filePath(version + QStringLiteral("/bin"));
    }
    const QString initdb = QStandardPaths::findExecutable(QStringLiteral("initdb"), folders);
    if (!initdb.isEmpty()) {
        return QFileInfo(initdb).absolutePath();
    }
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("initdb"));
    return onPath.isEmpty() ? QString() : QFileInfo(QFileInfo(onPath).canonicalFilePath()).absolutePath();
}

// Creates the role whose members log in with a password, unless it is there.
QString passwordGroup()
{
    return QStringLiteral("do $$ begin if not exists (select from pg_roles where rolname = '%1') "
                          "then create role %1 nologin; end if; end $$")
        .arg(kPasswordGroup);
}

// The socket lives in the cluster's folder, so any port number is free as
// far as the socket goes; a free TCP port keeps the number unsurprising.
int freePort()
{
    int port = 54329;
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (probe >= 0 && ::bind(probe, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
    }
    if (probe >= 0) {
        ::close(probe);
    }
    return port;
}
} // namespace

PgServer& PgServer::shared()
{
    static PgServer server;
    return server;
}

PgServer::PgServer()
{
    m_bin = serverPrograms();
    if (m_bin.isEmpty() || !QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        m_missing = true;
        m_failure = QStringLiteral("PostgreSQL or Qt's QPSQL driver is not installed "
                                   "(tools/install-deps.sh installs postgresql and libqt6sql6-psql)");
        return;
    }
    m_asRoot = ::geteuid() == 0;
    const passwd* serverUser = m_asRoot ? ::getpwnam("postgres") : nullptr;
    if (m_asRoot && !serverUser) {
        m_failure = QStringLiteral("running as root, but there is no postgres user to run the server as");
        return;
    }
    QByteArray pattern = QDir::tempPath().toUtf8() + "/brenvoll-pg-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        m_failure = QStringLiteral("cannot create a temporary folder for the server");
        return;
    }
    m_folder = QString::fromUtf8(pattern);
    if (m_asRoot && ::chown(pattern.constData(), serverUser->pw_uid, serverUser->pw_gid) != 0) {
        m_failure = QStringLiteral("cannot hand %1 to the postgres user").arg(m_folder);
        return;
    }
    m_port = freePort();
    const QString data = m_folder + QStringLiteral("/data");
    QString output;
    if (!runAsServerUser(m_bin + QStringLiteral("/initdb"),
                         {QStringLiteral("-D"), data, QStringLiteral("-U"), kClusterUser,
                          QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-E"),
                          QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8"),
                          QStringLiteral("--no-sync")},
                         &output)) {
        m_failure = QStringLiteral("initdb failed: ") + output;
        return;
    }
    // Members of one role log in with a password, everyone else without.
    QFile hba(data + QStringLiteral("/pg_hba.conf"));
    if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        hba.write("local all +" + kPasswordGroup.toUtf8() + " scram-sha-256\nlocal all all trust\n") < 0) {
        m_failure = QStringLiteral("cannot write %1").arg(hba.fileName());
        return;
    }
    hba.close();
    if (!start(&m_failure)) {
        return;
    }
    m_running = true;
    // A test program that crashes runs no destructor: a watchdog stops the
    // server and removes its folder once this process is gone.
    const QString stop = (m_asRoot ? QStringLiteral("runuser -u postgres -- ") : QString()) +
                         QStringLiteral("'%1/pg_ctl' -D '%2' -m immediate -w stop").arg(m_bin, data);
    QProcess watchdog;
    watchdog.setProgram(QStringLiteral("sh"));
    watchdog.setArguments(
        {QStringLiteral("-c"),
         QStringLiteral("while kill -0 %1 2>/dev/null; do sleep 1; done; %2 >/dev/null 2>&1; "
                        "rm -rf '%3'")
             .arg(QCoreApplication::applicationPid())
             .arg(stop, m_folder)});
    // Holding no pipe of the test program, so ctest need not wait for it.
    watchdog.setStandardOutputFile(QProcess::nullDevice());
    watchdog.setStandardErrorFile(QProcess::nullDevice());
    watchdog.startDetached();
}

bool PgServer::start(QString* error)
{
    const QString data = m_folder + QStringLiteral("/data");
    const QString options =
        QStringLiteral("-c listen_addresses='' -c unix_socket_directories='%1' -p %2 "
                       "-c fsync=off -c full_page_writes=off -c max_prepared_transactions=2")
            .arg(m_folder)
            .arg(m_port);
    QString output;
    if (!runAsServerUser(m_bin + QStringLiteral("/pg_ctl"),
                         {QStringLiteral("-D"), data, QStringLiteral("-o"), options, QStringLiteral("-l"),
                          m_folder + QStringLiteral("/server.log"), QStringLiteral("-w"),
                          QStringLiteral("start")},
                         &output)) {
        QFile log(m_folder + QStringLiteral("/server.log"));
        log.open(QIODevice::ReadOnly);
        if (error) {
            *error = QStringLiteral("pg_ctl start failed: ") + output + QString::fromUtf8(log.readAll());
        }
        return false;
    }
    return true;
}

bool PgServer::stopServer(const QString& mode, QString* error)
{
    QString output;
    if (!m_running ||
        !runAsServerUser(m_bin + QStringLiteral("/pg_ctl"),
                         {QStringLiteral("-D"), m_folder + QStringLiteral("/data"), QStringLiteral("-m"),
                          mode, QStringLiteral("-w"), QStringLiteral("stop")},
                         &output)) {
        if (error) {
            *error = m_running ? QStringLiteral("pg_ctl stop failed: ") + output : m_failure;
        }
        return false;
    }
    m_running = false;
    return true;
}

bool PgServer::startServer(QString* error)
{
    m_running = !m_folder.isEmpty() && start(error);
    return m_running;
}

PgServer::~PgServer()
{
    stop();
    if (!m_folder.isEmpty()) {
        QDir(m_folder).removeRecursively();
    }
}

void PgServer::stop()
{
    if (m_running) {
        runAsServerUser(m_bin + QStringLiteral("/pg_ctl"),
                        {QStringLiteral("-D"), m_folder + QStringLiteral("/data"), QStringLiteral("-m"),
                         QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("stop")});
        m_running = false;
    }
}

bool PgServer::runAsServerUser(const QString& program, const QStringList& args, QString* output)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(m_folder);
    if (m_asRoot) {
        process.start(QStringLiteral("runuser"),
                      QStringList{QStringLiteral("-u"), kServerUser, QStringLiteral("--"), program} + args);
    } else {
        process.start(program, args);
    }
    const bool done = process.waitForFinished(120000);
    if (output) {
        *output = QString::fromLocal8Bit(process.readAll());
    }
    return done && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QString PgServer::socketFolder() const
{
    return m_folder;
}

QSqlDatabase PgServer::connect(const QString& conninfo, const QString& name)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    for (const QString& pair : conninfo.split(u' ', Qt::SkipEmptyParts)) {
        const QString key = pair.section(u'=', 0, 0);
        const QString value = pair.section(u'=', 1);
        if (key == QLatin1String("host")) {
            db.setHostName(value);
        } else if (key == QLatin1String("port")) {
            db.setPort(value.toInt());
        } else if (key == QLatin1String("dbname")) {
            db.setDatabaseName(value);
        } else if (key == QLatin1String("user")) {
            db.setUserName(value);
        }
    }
    db.open();
    return db;
}

QString PgServer::createProgramDatabase(QString* error)
{
    const QString conninfo = createDatabase(error);
    if (conninfo.isEmpty()) {
        return {};
    }
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(QString::fromUtf8(BRENVOLL_MKDB), {QStringLiteral("--postgresql"), conninfo});
    if (!tool.waitForFinished(60000) || tool.exitCode() != 0) {
        if (error) {
            *error = QStringLiteral("brenvoll-mkdb --postgresql failed: ") +
                     QString::fromLocal8Bit(tool.readAll());
        }
        return {};
    }
    return conninfo;
}

QString PgServer::configText(const QString& conninfo) const
{
    const QString name = conninfo.section(QStringLiteral("dbname="), 1).section(u' ', 0, 0);
    return QStringLiteral("[database]\ndriver=postgresql\nhost=%1\nport=%2\nname=%3\nuser=%4\n")
        .arg(m_folder)
        .arg(m_port)
        .arg(name, kClusterUser);
}

QString PgServer::user() const
{
    return kClusterUser;
}

bool PgServer::runAdmin(const QStringList& statements, QString* error)
{
    if (!m_running) {
        if (error) {
            *error = m_failure;
        }
        return false;
    }
    const QString connectionName = QStringLiteral("pgserver-admin");
    bool ok = false;
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
        admin.setHostName(m_folder);
        admin.setPort(m_port);
        admin.setUserName(kClusterUser);
        admin.setDatabaseName(QStringLiteral("postgres"));
        QSqlQuery query(admin);
        ok = admin.open();
        for (const QString& statement : statements) {
            ok = ok && query.exec(statement);
        }
        if (!ok && error) {
            *error = admin.lastError().isValid() ? admin.lastError().text() : query.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(connectionName);
    return ok;
}

bool PgServer::createPasswordRole(const QString& role, const QString& password, QString* error)
{
    QString literal = password;
    literal.replace(u'\'', QStringLiteral("''"));
    return runAdmin(
        {passwordGroup(), QStringLiteral("create role %1 login superuser in role %2 password '%3'")
                              .arg(role, kPasswordGroup, literal)},
        error);
}

bool PgServer::createLoginRole(const QString& role, const QString& password, QString* error)
{
    QString literal = password;
    literal.replace(u'\'', QStringLiteral("''"));
    return runAdmin(
        {passwordGroup(),
         QStringLiteral("create role %1 login in role %2 password '%3'").arg(role, kPasswordGroup, literal)},
        error);
}

bool PgServer::requirePassword(const QString& role, QString* error)
{
    return runAdmin({passwordGroup(), QStringLiteral("grant %1 to \"%2\"").arg(kPasswordGroup, role)}, error);
}

QString PgServer::createDatabase(QString* error)
{
    const QString name = QStringLiteral("test%1").arg(++m_databases);
    if (!runAdmin({QStringLiteral("create database ") + name}, error)) {
        return {};
    }
    return QStringLiteral("host=%1 port=%2 dbname=%3 user=%4")
        .arg(m_folder)
        .arg(m_port)
        .arg(name, kClusterUser);
}

} // namespace brenvoll::test
