// The README's steps for a shared database on a server, run as written
// (tools/shared-database.sh) against the test server: the desks' user and
// its database made by the server's own system user, the tables, a desk's
// records copied in, and a desk's close-time dump restored into a second
// database that the program then opens.
#include "PgServer.h"
#include "TestSupport.h"
#include "backup/Backup.h"
#include "storage/Database.h"
#include "storage/ServerConfig.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace brenvoll;

namespace {
const QString kPassword = QStringLiteral("pa ss,w\\or'd");

struct Run
{
    int exitCode = -1;
    QString output;
};

// The commands of the README's "Several workstations" section that call the
// script, each split into its words, comments left out.
QList<QStringList> readmeCommands()
{
    QFile readme(QStringLiteral(BRENVOLL_SOURCE_DIR "/README.md"));
    if (!readme.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QString text = QString::fromUtf8(readme.readAll());
    const QString section = text.section(QStringLiteral("## Several workstations"), 1)
                                .section(u'\n' + QStringLiteral("## "), 0, 0);
    static const QRegularExpression command(QStringLiteral("^ +(tools/shared-database\\.sh [^#\n]*)"),
                                            QRegularExpression::MultilineOption);
    QList<QStringList> commands;
    for (auto match = command.globalMatch(section); match.hasNext();) {
        commands << match.next().captured(1).split(u' ', Qt::SkipEmptyParts);
    }
    return commands;
}

QVariant valueIn(const QString& conninfo, const QString& sql)
{
    QVariant value;
    {
        QSqlDatabase db = test::PgServer::connect(conninfo, QStringLiteral("probe"));
        QSqlQuery query(db);
        if (query.exec(sql) && query.next()) {
            value = query.value(0);
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("probe"));
    return value;
}
} // namespace

class TestSharedDatabase : public QObject
{
    Q_OBJECT
private slots:
    void readmeStepsWorkOnAServer()
    {
        auto& server = test::PgServer::shared();
        if (server.isMissing()) {
            QSKIP(qPrintable(server.failure()));
        }
        QVERIFY2(server.isRunning(), qPrintable(server.failure()));
        const QList<QStringList> commands = readmeCommands();
        QStringList steps;
        for (const QStringList& command : commands) {
            steps << command.value(1);
        }
        QCOMPARE(steps,
                 QStringList({QStringLiteral("create"), QStringLiteral("tables"), QStringLiteral("copy"),
                              QStringLiteral("grants"), QStringLiteral("create"), QStringLiteral("restore"),
                              QStringLiteral("grants")}));

        // The desk's system user, with a home folder of its own: no
        // ~/.pgpass yet, and its backup folder ~/备份 with a record database.
        QTemporaryDir home;
        QVERIFY(QDir(home.path()).mkpath(QStringLiteral("备份/7日")));
        const QString records = home.filePath(QStringLiteral("数据库.db"));
        QVERIFY(QFile::copy(test::deliveredDatabase(), records));
        QFile::setPermissions(records, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("file"));
            db.setDatabaseName(records);
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.exec(
                QStringLiteral("insert into 档案 (序列号, 姓名) values ('20260501080000', '张三'), "
                               "('20260502080000', '李四')")));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("file"));

        static int desks = 0;
        const QString user = QStringLiteral("desk_%1").arg(++desks);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"PGPASSWORD", "PGPASSFILE", "PGHOST", "PGPORT", "PGUSER", "PGDATABASE"}) {
            environment.remove(QString::fromLatin1(name));
        }
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("BRENVOLL_SERVER"), server.socketFolder());
        environment.insert(QStringLiteral("BRENVOLL_PORT"), QString::number(server.port()));
        environment.insert(QStringLiteral("BRENVOLL_USER"), user);
        environment.insert(QStringLiteral("BRENVOLL_BIN"), QStringLiteral(BRENVOLL_BIN_DIR));
        const QString accountUser = QStringLiteral("accounts_%1").arg(desks);
        environment.insert(QStringLiteral("BRENVOLL_ACCOUNT_USER"), accountUser);
        environment.insert(QStringLiteral("BRENVOLL_ACCOUNT_PASSWORD"), kPassword + QStringLiteral("2"));
        // The test server runs as the postgres system user when the tests
        // run as root, as the tests' own user otherwise; its own server user
        // is not called postgres.
        environment.insert(QStringLiteral("BRENVOLL_ADMIN"), ::geteuid() == 0
                                                                 ? QStringLiteral("postgres")
                                                                 : QString::fromLocal8Bit(qgetenv("USER")));
        environment.insert(QStringLiteral("BRENVOLL_ADMIN_ARGS"), QStringLiteral("-h %1 -p %2 -U %3")
                                                                      .arg(server.socketFolder())
                                                                      .arg(server.port())
                                                                      .arg(server.user()));
        const auto run = [&](int step, const QString& password) {
            QStringList words = commands[step].mid(1);
            for (QString& word : words) {
                word.replace(QStringLiteral("build/bin/数据库.db"), records);
                if (word.startsWith(QLatin1String("~/"))) {
                    word.replace(0, 1, home.path());
                }
            }
            QProcessEnvironment env = environment;
            if (!password.isEmpty()) {
                env.insert(QStringLiteral("PGPASSWORD"), password);
            }
            QProcess script;
            script.setProcessEnvironment(env);
            script.setProcessChannelMode(QProcess::MergedChannels);
            script.start(QStringLiteral(BRENVOLL_SOURCE_DIR "/tools/shared-database.sh"), words);
            script.closeWriteChannel();
            const bool finished = script.waitForFinished(120000);
            return Run{finished ? script.exitCode() : -1, QString::fromLocal8Bit(script.readAll())};
        };
        const auto conninfo = [&](const QString& name) {
            return QStringLiteral("host=%1 port=%2 dbname=%3 user=%4")
                .arg(server.socketFolder())
                .arg(server.port())
                .arg(name, server.user());
        };

        // create: the user with its new password, and its empty database.
        Run created = run(0, kPassword);
        QVERIFY2(created.exitCode == 0, qPrintable(created.output));
        QVERIFY2(
            created.output.contains(QStringLiteral("created the empty database brenvoll, owned by ") + user),
            qPrintable(created.output));
        QCOMPARE(valueIn(conninfo(QStringLiteral("brenvoll")),
                         QStringLiteral("select pg_get_userbyid(datdba) from pg_database "
                                        "where datname = current_database()"))
                     .toString(),
                 user);
        QString error;
        QVERIFY2(server.requirePassword(user, &error), qPrintable(error)); // as a real server would

        // tables: without a password the tool says where it goes; with it,
        // what it created.
        Run tables = run(1, {});
        QVERIFY(tables.exitCode != 0);
        QVERIFY2(tables.output.contains(QLatin1String("no password supplied")) &&
                     tables.output.contains(QStringLiteral("PGPASSWORD='…'")) &&
                     tables.output.contains(QLatin1String("~/.pgpass")),
                 qPrintable(tables.output));
        tables = run(1, kPassword);
        QVERIFY2(tables.exitCode == 0, qPrintable(tables.output));
        QVERIFY2(
            tables.output.contains(QStringLiteral("created the tables 档案, 设置 and 词库 (1 settings row, "
                                                  "26 phrases, no records) in database brenvoll")),
            qPrintable(tables.output));

        // copy, with the password in ~/.pgpass this time.
        QFile passfile(home.filePath(QStringLiteral(".pgpass")));
        QVERIFY(passfile.open(QIODevice::WriteOnly));
        QString escaped = kPassword;
        escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u':', QStringLiteral("\\:"));
        passfile.write(QStringLiteral("%1:%2:*:%3:%4\n")
                           .arg(server.socketFolder())
                           .arg(server.port())
                           .arg(user, escaped)
                           .toUtf8());
        passfile.close();
        QFile::setPermissions(passfile.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        const Run copied = run(2, {});
        QVERIFY2(copied.exitCode == 0, qPrintable(copied.output));
        QVERIFY2(copied.output.contains(QStringLiteral("copied 2 records")), qPrintable(copied.output));
        QCOMPARE(valueIn(conninfo(QStringLiteral("brenvoll")), QStringLiteral("select count(*) from 档案"))
                     .toInt(),
                 2);

        // grants: the database and its tables change hands; the desk's
        // backup below still reads all of them.
        const Run granted = run(3, {});
        QVERIFY2(granted.exitCode == 0 &&
                     granted.output.contains(QStringLiteral("created the server user ") + accountUser),
                 qPrintable(granted.output));
        const QString owners = QStringLiteral(
            "select string_agg(distinct pg_get_userbyid(relowner), ',') from pg_class c join pg_namespace n "
            "on n.oid = c.relnamespace where n.nspname = 'public' and c.relkind = 'r'");
        QCOMPARE(valueIn(conninfo(QStringLiteral("brenvoll")), owners).toString(), accountUser);
        QCOMPARE(valueIn(conninfo(QStringLiteral("brenvoll")),
                         QStringLiteral("select pg_get_userbyid(datdba) from pg_database "
                                        "where datname = current_database()"))
                     .toString(),
                 accountUser);

        // A desk's close-time backup of the server database, as the program
        // writes it: readable by its owner only.
        QProcessEnvironment desk = QProcessEnvironment::systemEnvironment();
        desk.insert(QStringLiteral("PGHOST"), server.socketFolder());
        desk.insert(QStringLiteral("PGPORT"), QString::number(server.port()));
        desk.insert(QStringLiteral("PGDATABASE"), QStringLiteral("brenvoll"));
        desk.insert(QStringLiteral("PGUSER"), user);
        desk.insert(QStringLiteral("PGPASSWORD"), kPassword);
        const QString dump = home.filePath(QStringLiteral("备份/7日/数据库.dump"));
        QVERIFY2(Backup::dumpServer(desk, dump, &error), qPrintable(error));
        QCOMPARE(QFile::permissions(dump) & ~(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ReadUser | QFileDevice::WriteUser),
                 QFileDevice::Permissions());

        // restore into a new database, which the program then opens.
        const Run second = run(4, {});
        QVERIFY2(second.exitCode == 0, qPrintable(second.output));
        const Run restored = run(5, {});
        QVERIFY2(restored.exitCode == 0, qPrintable(restored.output));
        QVERIFY2(restored.output.contains(QStringLiteral("restored 2 records")), qPrintable(restored.output));
        QCOMPARE(valueIn(conninfo(QStringLiteral("brenvoll2")),
                         QStringLiteral("select string_agg(姓名, ',' order by 序列号) from 档案"))
                     .toString(),
                 QStringLiteral("张三,李四"));
        const Run regranted = run(6, {});
        QVERIFY2(regranted.exitCode == 0 && regranted.output.contains(QStringLiteral("is there already")),
                 qPrintable(regranted.output));
        QCOMPARE(valueIn(conninfo(QStringLiteral("brenvoll2")), owners).toString(), accountUser);
        QTemporaryDir program;
        QFile ini(serverConfigPath(program.path()));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("[database]\ndriver=postgresql\nhost=%1\nport=%2\nname=brenvoll2\nuser=%3\n"
                                 "password=%4\n")
                      .arg(server.socketFolder())
                      .arg(server.port())
                      .arg(user, kPassword)
                      .toUtf8());
        ini.close();
        const auto config = readServerConfig(program.path(), &error);
        QVERIFY2(config.has_value(), qPrintable(error));
        QVERIFY2(Database::openServer(*config, &error) && Database::verify(&error), qPrintable(error));
        Database::close();

        // A restore never goes into a database that holds the tables.
        const Run again = run(5, {});
        QVERIFY(again.exitCode != 0);
        QCOMPARE(valueIn(conninfo(QStringLiteral("brenvoll2")), QStringLiteral("select count(*) from 档案"))
                     .toInt(),
                 2);
    }
};

QTEST_GUILESS_MAIN(TestSharedDatabase)
#include "tst_shared_database.moc"
