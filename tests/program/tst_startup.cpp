// Start-up refuses to run without its database file, and tells a damaged
// file from one that is only in use or not permitted.
#include "FaultVfs.h"
#include "PgServer.h"
#include "TestSupport.h"
#include "backup/Backup.h"
#include "base/Clock.h"
#include "base/ProgramPaths.h"
#include "drafts/DraftStore.h"
#include "drafts/DraftsWindow.h"
#include "mainwindow/MainWindow.h"
#include "program/LoginWindow.h"
#include "program/Startup.h"
#include "settings/CurrentSettings.h"
#include "storage/Database.h"
#include "storage/ServerConfig.h"
#include "ui/MessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringEncoder>
#include <QTest>
#include <QTreeWidget>

#include <memory>

using namespace brenvoll;

namespace {
int visibleWindows()
{
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        count += w->isVisible() ? 1 : 0;
    }
    return count;
}

void closeWindows()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        w->close();
    }
}

QString databaseNameOf(const QString& conninfo)
{
    return conninfo.section(QStringLiteral("dbname="), 1).section(u' ', 0, 0);
}

// `text` as a text editor saves it in `encoding`.
QByteArray encoded(const QString& text, const QString& encoding)
{
    if (encoding == QLatin1String("utf-8 bom")) {
        return "\xEF\xBB\xBF" + text.toUtf8();
    }
    if (encoding.startsWith(QLatin1String("utf-16"))) {
        const bool little = encoding.startsWith(QLatin1String("utf-16le"));
        QStringEncoder encoder(little ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
        const QByteArray mark = encoding.endsWith(QLatin1String(" bom"))
                                    ? QByteArray(little ? "\xFF\xFE" : "\xFE\xFF")
                                    : QByteArray();
        return mark + QByteArray(encoder(text));
    }
    if (encoding == QLatin1String("gb18030")) {
        QStringEncoder encoder("GB18030");
        return encoder(text);
    }
    return text.toUtf8();
}

// The bytes of the file at `path`; empty when it cannot be read.
QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The database of the program's connection.
QString currentDatabase()
{
    QSqlQuery query(Database::connection());
    return query.exec(QStringLiteral("select current_database()")) && query.next() ? query.value(0).toString()
                                                                                   : QString();
}

// The database that the close-time backup's pg_dump reaches with the
// program's connection values, as pg_restore names it in the dump; empty
// when the dump failed.
QString dumpedDatabase(const QString& folder)
{
    const QString file = QDir(folder).filePath(QStringLiteral("数据库.dump"));
    if (!Backup::dumpServer(Backup::serverEnvironment(), file)) {
        return {};
    }
    QProcess list;
    list.start(QStringLiteral("pg_restore"), {QStringLiteral("--list"), file});
    list.waitForFinished();
    static const QRegularExpression dbname(QStringLiteral("^;\\s*dbname: (\\S+)$"),
                                           QRegularExpression::MultilineOption |
                                               QRegularExpression::CaseInsensitiveOption);
    return dbname.match(QString::fromUtf8(list.readAllStandardOutput())).captured(1);
}

// The server databases of a test: the one its brenvoll.ini names, another
// one beside it that no value in the file may lead to, and a role that logs
// in with a password (the server's own user needs none).
struct ServerCase
{
    QString conninfo;
    QString name;
    QString other;
    QString user;

    // `text` with the test server's values put in.
    QString configText(QString text) const
    {
        const auto& server = test::PgServer::shared();
        return text.replace(QStringLiteral("%HOST%"), server.socketFolder())
            .replace(QStringLiteral("%PORT%"), QString::number(server.port()))
            .replace(QStringLiteral("%NAME%"), name)
            .replace(QStringLiteral("%OTHER%"), other)
            .replace(QStringLiteral("%USER%"), user);
    }
};

// Points the settings record of the open database at `folder` for backups.
bool useBackupFolder(const QString& folder)
{
    QSqlQuery query = Database::prepare(QStringLiteral("update 设置 set 路径 = ?"));
    Database::bindText(query, folder);
    const bool done = Database::exec(query);
    CurrentSettings::drop();
    return done;
}

// Puts a file named `name` into the day folder `day` of `backupFolder`,
// written at `written`.
bool placeBackup(const QString& backupFolder, const QString& day, const QString& name,
                 const QDateTime& written)
{
    if (!QDir().mkpath(QDir(backupFolder).filePath(day))) {
        return false;
    }
    QFile file(QDir(backupFolder).filePath(day + u'/' + name));
    return file.open(QIODevice::WriteOnly) && file.write("copy") == 4 && file.flush() &&
           file.setFileTime(written, QFileDevice::FileModificationTime);
}

// Types the factory password into the login window and logs in.
void logIn()
{
    LoginWindow::loaded()->passwordBox()->setText(QStringLiteral("864"));
    LoginWindow::loaded()->logIn();
}

const QString kUsualConfig =
    QStringLiteral("[database]\ndriver=postgresql\nhost=%HOST%\nport=%PORT%\nname=%NAME%\nuser=%USER%\n");
} // namespace

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { test::FaultVfs::install(); }
    void init() { MessageBox::setAnswerMode(true); }
    void cleanup()
    {
        test::FaultVfs::set(test::FaultVfs::Fault::None);
        closeWindows(); // also after a failed check
        Database::close();
    }

    void missingDatabase_data()
    {
        QTest::addColumn<bool>("folderOfThatName");
        QTest::newRow("no file") << false;
        QTest::newRow("folder named 数据库.db") << true;
    }
    void missingDatabase()
    {
        QFETCH(bool, folderOfThatName);
        QTemporaryDir dir;
        if (folderOfThatName) {
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("数据库.db")));
        }
        QVERIFY(!startUp(dir.path()));
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("数据库文件丢失，请到作者主页下载完整版本！"));
        QCOMPARE(shown[0].icon, QMessageBox::NoIcon);
        const QStringList opened = Shell::takeOpened();
        QCOMPARE(opened.size(), 1);
        QVERIFY(opened[0].endsWith(QStringLiteral("web/missing-database.html")));
        QCOMPARE(visibleWindows(), 0);
        QVERIFY(!Database::isOpen());
    }

    void damagedDatabaseIsRecognised_data()
    {
        QTest::addColumn<int>("damage");
        QTest::newRow("truncated") << 0;
        QTest::newRow("garbage") << 1;
        QTest::newRow("another database") << 2;
        QTest::newRow("a text file") << 3;
    }
    void damagedDatabaseIsRecognised()
    {
        QFETCH(int, damage);
        test::TestFolder folder;
        QVERIFY(folder.isValid());
        QFile file(folder.databaseFile());
        if (damage == 0) {
            QVERIFY(file.resize(file.size() / 2 + 100));
        } else {
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            if (damage == 1) {
                QByteArray junk(40000, '\0');
                for (int i = 0; i < junk.size(); ++i) {
                    junk[i] = char((i * 7919) % 251);
                }
                file.write(junk);
            } else if (damage == 3) {
                file.write("体检记录\n张三,男,45\n");
            }
            file.close();
            if (damage == 2) { // an SQLite database of another program
                QSqlDatabase other =
                    QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
                other.setDatabaseName(folder.databaseFile());
                QVERIFY(other.open());
                QSqlQuery(other).exec(QStringLiteral("create table notes (text)"));
                other.close();
                other = QSqlDatabase();
                QSqlDatabase::removeDatabase(QStringLiteral("other"));
            }
        }
        QVERIFY(!startUp(folder.path()));
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].icon, QMessageBox::Warning);
        QVERIFY2(shown[0].text.contains(QStringLiteral("已损坏")), qPrintable(shown[0].text));
        QVERIFY(shown[0].text.contains(QStringLiteral("日期文件夹")));
        QCOMPARE(visibleWindows(), 0);
        QVERIFY(!Database::isOpen());
    }

    // A whole file that another program holds, or that is read-only while
    // an interrupted write waits to be rolled back, is no damage: copying a
    // backup over it would lose every record since that backup.
    void inUseOrReadOnlyIsNoDamage_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("says");
        QTest::addColumn<QString>("engineSays");
        QTest::newRow("locked by another connection")
            << false << QStringLiteral("数据库正被其他程序使用，请关闭其他程序后再试。") << "locked";
        QTest::newRow("read-only with a pending journal")
            << true << QStringLiteral("这个文件是只读的，程序没有写入它的权限。") << "readonly";
    }
    void inUseOrReadOnlyIsNoDamage()
    {
        QFETCH(bool, readOnly);
        QFETCH(QString, says);
        QFETCH(QString, engineSays);
        test::TestFolder folder;
        QVERIFY(folder.isValid());
        const QString file = folder.databaseFile();
        {
            QSqlDatabase other =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
            other.setDatabaseName(file);
            QVERIFY(other.open());
            QSqlQuery query(other);
            if (readOnly) { // a write cut off half way: pages in the file, the old ones in the journal
                QVERIFY(query.exec(QStringLiteral("PRAGMA cache_size = 10")));
                QVERIFY(query.exec(QStringLiteral("begin")));
                QVERIFY(
                    query.exec(QStringLiteral("insert into 词库 (常用语) select printf('%.2000c', 'x') from "
                                              "(with recursive n(i) as (select 1 union all select i + 1 "
                                              "from n where i < 3000) select i from n)")));
                const QString crashed = folder.path() + QStringLiteral("/crashed");
                QVERIFY(QFile::copy(file, crashed) && QFile::copy(file + "-journal", crashed + "-journal"));
                QVERIFY(query.exec(QStringLiteral("rollback")));
                other.close();
                QVERIFY(QFile::remove(file) && QFile::rename(crashed, file));
                QVERIFY(QFile::rename(crashed + "-journal", file + "-journal"));
                // The file modes do not bind an administrator; the file layer does.
                QVERIFY(QFile::setPermissions(file, QFileDevice::ReadOwner));
                test::FaultVfs::set(test::FaultVfs::Fault::ReadOnly);
            } else {
                QVERIFY(query.exec(QStringLiteral("begin exclusive")));
            }
            QVERIFY(!startUp(folder.path()));
            other = QSqlDatabase();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("other"));
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].icon, QMessageBox::Warning);
        QVERIFY2(shown[0].text.contains(says) && shown[0].text.contains(file) &&
                     shown[0].text.contains(engineSays),
                 qPrintable(shown[0].text));
        QVERIFY2(!shown[0].text.contains(QStringLiteral("损坏")) &&
                     !shown[0].text.contains(QStringLiteral("备份")),
                 qPrintable(shown[0].text));
        QVERIFY(!Database::isOpen());
        QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    void qtsOwnButtonsSpeakChinese()
    {
        installTranslations();
        QMessageBox box(QMessageBox::Warning, QStringLiteral("提示"), QStringLiteral("?"),
                        QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box.button(QMessageBox::Yes)->text().remove(u'&'), QStringLiteral("是(Y)"));
        QCOMPARE(box.button(QMessageBox::No)->text().remove(u'&'), QStringLiteral("否(N)"));
    }

    void presentDatabaseOpensTheProgram()
    {
        test::TestFolder folder;
        QVERIFY(folder.isValid());
        QVERIFY(startUp(folder.path()));
        QVERIFY(Database::isOpen());
        QVERIFY(visibleWindows() >= 1);
        QVERIFY(MessageBox::takeShown().isEmpty());
        for (QWidget* w : QApplication::topLevelWidgets()) {
            w->close();
        }
    }

    // brenvoll.ini chooses a server; what cannot be used is named with the
    // server and the reason, and there is no login.
    void serverChosenByTheConfigFile_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("message");
        QTest::newRow("usable") << QString() << QString();
        QTest::newRow("no server at the port")
            << QStringLiteral("port=1") << QStringLiteral("服务器没有响应");
        QTest::newRow("no such database")
            << QStringLiteral("name=没有") << QStringLiteral("服务器上没有数据库“没有”");
        QTest::newRow("no such user")
            << QStringLiteral("user=nobody") << QStringLiteral("服务器上没有用户“nobody”");
        QTest::newRow("no tables") << QStringLiteral("empty") << QStringLiteral("缺少数据表");
        QTest::newRow("unknown driver")
            << QStringLiteral("driver=oracle") << QStringLiteral("driver=oracle 无法识别");
    }
    void serverChosenByTheConfigFile()
    {
        QFETCH(QString, change);
        QFETCH(QString, message);
        QString conninfo;
        if (change == QLatin1String("empty")) {
            BRENVOLL_PG_DATABASE(empty);
            conninfo = empty;
        } else {
            BRENVOLL_PG_PROGRAM_DATABASE(tables);
            conninfo = tables;
        }
        QTemporaryDir dir; // no 数据库.db: the server replaces it
        QString config = test::PgServer::shared().configText(conninfo);
        if (change.contains(u'=')) {
            config.remove(QRegularExpression(u'^' + change.section(u'=', 0, 0) + QStringLiteral("=[^\n]*\n"),
                                             QRegularExpression::MultilineOption));
            config += change + u'\n';
        }
        QFile file(serverConfigPath(dir.path()));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(config.toUtf8());
        file.close();
        const QString server =
            test::PgServer::shared().socketFolder() + u':' +
            QString::number(change == QLatin1String("port=1") ? 1 : test::PgServer::shared().port());

        QCOMPARE(startUp(dir.path()), message.isEmpty());
        const auto shown = MessageBox::takeShown();
        if (message.isEmpty()) {
            QVERIFY(shown.isEmpty());
            QCOMPARE(Database::engine(), Database::Engine::PostgreSQL);
            QVERIFY(visibleWindows() >= 1);
            for (QWidget* w : QApplication::topLevelWidgets()) {
                w->close();
            }
            return;
        }
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.contains(message), qPrintable(shown[0].text));
        if (!change.startsWith(QLatin1String("driver"))) {
            QVERIFY2(shown[0].text.contains(server), qPrintable(shown[0].text));
        }
        QCOMPARE(visibleWindows(), 0);
        QVERIFY(!Database::isOpen());
    }

    // A password others can read is pointed out once, naming the file,
    // before the login.
    void passwordReadableByOthersIsPointedOut()
    {
        BRENVOLL_PG_PROGRAM_DATABASE(conninfo);
        QTemporaryDir dir;
        QFile file(serverConfigPath(dir.path()));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            (test::PgServer::shared().configText(conninfo) + QStringLiteral("password=秘密\n")).toUtf8());
        file.close();
        for (const bool others : {false, true}) {
            QFile::setPermissions(file.fileName(),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                      (others ? QFileDevice::ReadOther : QFileDevice::Permissions()));
            QVERIFY(startUp(dir.path()));
            const auto shown = MessageBox::takeShown();
            QCOMPARE(shown.size(), others ? 1 : 0);
            if (others) {
                QVERIFY(shown[0].text.contains(file.fileName()));
            }
            for (QWidget* w : QApplication::topLevelWidgets()) {
                w->close();
            }
            Database::close();
        }
    }

    // A brenvoll.ini that is there either chooses a usable server or stops
    // the start-up with one message that names the file and what is wrong;
    // it never leaves the desk on its own 数据库.db, which the other desks
    // never see. Spellings a person writes are understood, and a password
    // with "," and ";" reaches the server whole, and pg_dump too.
    void configFileChoosesTheServerOrStops_data()
    {
        QTest::addColumn<QString>("text");     // %HOST% %PORT% %NAME% %USER% filled in
        QTest::addColumn<QString>("encoding"); // as saved by a text editor
        QTest::addColumn<QString>("password"); // of the role %USER% when not empty
        QTest::addColumn<QString>("message");  // empty: the server database opens
        const QString usual = kUsualConfig;
        const auto without = [&](const QString& line) -> QString {
            return QString(usual).remove(line + u'\n');
        };
        QTest::newRow("names in capitals")
            << QStringLiteral("[Database]\nDriver=PostgreSQL\nHOST=%HOST%\nPort=%PORT%\nName=%NAME%\n"
                              "USER=%USER%\n")
            << "utf-8" << QString() << QString();
        QTest::newRow("byte-order mark, Windows line ends, comments, blanks")
            << QStringLiteral("; 数据库服务器\r\n[ database ]\r\n# 本机\r\n driver = postgresql \r\n"
                              "host\t= %HOST%\r\nport=%PORT%\r\n\r\ndbname=%NAME%\r\nuser=%USER%\r\n")
            << "utf-8 bom" << QString() << QString();
        QTest::newRow("UTF-16LE") << usual << "utf-16le bom" << QString() << QString();
        QTest::newRow("UTF-16BE") << usual << "utf-16be bom" << QString() << QString();
        QTest::newRow("UTF-16LE without its mark") << usual << "utf-16le" << QString() << QString();
        QTest::newRow("GB18030 comment")
            << QStringLiteral("; 门诊部的服务器\n") + usual << "gb18030" << QString() << QString();
        QTest::newRow("password with , and ;") << usual + QStringLiteral("password=a,b;c#d\n") << "utf-8"
                                               << QStringLiteral("a,b;c#d") << QString();
        QTest::newRow("password in quotes")
            << usual + QStringLiteral("password=\" a,b;c \\\"q\\\" \\\\ \"\n") << "utf-16le bom"
            << QStringLiteral(" a,b;c \"q\" \\ ") << QString();
        QTest::newRow("wrong password") << usual + QStringLiteral("password=a,b\n") << "utf-8"
                                        << QStringLiteral("a,b;c") << QStringLiteral("服务器拒绝登录");

        QTest::newRow("empty file") << QString() << "utf-8" << QString()
                                    << QStringLiteral("未找到 [database] 段");
        QTest::newRow("no section line") << without(QStringLiteral("[database]")) << "utf-8" << QString()
                                         << QStringLiteral("未找到 [database] 段");
        QTest::newRow("section misspelled")
            << QString(usual).replace(QStringLiteral("[database]"), QStringLiteral("[datebase]")) << "utf-8"
            << QString() << QStringLiteral("未找到 [database] 段");
        QTest::newRow("no driver") << without(QStringLiteral("driver=postgresql")) << "utf-8" << QString()
                                   << QStringLiteral("driver 未填写");
        QTest::newRow("driver empty")
            << QString(usual).replace(QStringLiteral("driver=postgresql"), QStringLiteral("Driver="))
            << "utf-8" << QString() << QStringLiteral("driver 未填写");
        QTest::newRow("driver sqlite")
            << QString(usual).replace(QStringLiteral("postgresql"), QStringLiteral("sqlite")) << "utf-8"
            << QString() << QStringLiteral("driver=sqlite 无法识别");
        QTest::newRow("setting misspelled")
            << QString(usual).replace(QStringLiteral("host="), QStringLiteral("hots=")) << "utf-8"
            << QString() << QStringLiteral("第 3 行的 hots 无法识别");
        QTest::newRow("setting twice") << usual + QStringLiteral("Host=localhost\n") << "utf-8" << QString()
                                       << QStringLiteral("host 填写了两次（第 3 行和第 7 行）");
        QTest::newRow("no equals sign")
            << QString(usual).replace(QStringLiteral("host="), QStringLiteral("host ")) << "utf-8"
            << QString() << QStringLiteral("第 3 行“host ");
        QTest::newRow("quote not closed") << usual + QStringLiteral("password=\"a,b\n") << "utf-8"
                                          << QString() << QStringLiteral("第 7 行的值以双引号开头");
        QTest::newRow("control characters") << usual + QStringLiteral("password=a\x01\n") << "utf-8"
                                            << QString() << QStringLiteral("编码无法识别");
        QTest::newRow("invalid sslmode") << usual + QStringLiteral("sslmode=requier\n") << "utf-8"
                                         << QString() << QStringLiteral("sslmode=requier 不正确");
    }
    void configFileChoosesTheServerOrStops()
    {
        QFETCH(QString, text);
        QFETCH(QString, encoding);
        QFETCH(QString, password);
        QFETCH(QString, message);
        runWithConfig(text, encoding, password, message);
    }

    // Every value of brenvoll.ini stays one value on its way to libpq and
    // pg_dump: a value with a blank and "dbname=" never takes the desk to
    // another database of the server.
    void connectionValuesStayWhole_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        const QString usual = kUsualConfig;
        const auto with = [&](const QString& key, const QString& value) -> QString {
            QString text = usual;
            text.remove(QRegularExpression(u'^' + key + QStringLiteral("=[^\n]*\n"),
                                           QRegularExpression::MultilineOption));
            return text + key + u'=' + value + u'\n';
        };
        QTest::newRow("sslmode") << with(QStringLiteral("sslmode"), QStringLiteral("disable dbname=%OTHER%"))
                                 << "utf-8" << QString() << QStringLiteral("不正确");
        QTest::newRow("name") << with(QStringLiteral("name"), QStringLiteral("%NAME% dbname=%OTHER%"))
                              << "utf-8" << QString() << QStringLiteral("服务器上没有数据库");
        QTest::newRow("user") << with(QStringLiteral("user"), QStringLiteral("brenvoll dbname=%OTHER%"))
                              << "utf-8" << QString() << QStringLiteral("服务器上没有用户");
        QTest::newRow("host") << with(QStringLiteral("host"), QStringLiteral("%HOST% dbname=%OTHER%"))
                              << "utf-8" << QString() << QStringLiteral("服务器没有响应");
        QTest::newRow("password") << with(QStringLiteral("password"), QStringLiteral("x' dbname=%OTHER% \\"))
                                  << "utf-8" << QStringLiteral("x' dbname=%OTHER% \\") << QString();
    }
    void connectionValuesStayWhole()
    {
        QFETCH(QString, text);
        QFETCH(QString, encoding);
        QFETCH(QString, password);
        QFETCH(QString, message);
        runWithConfig(text, encoding, password, message);
        if (QTest::currentTestFailed() || QTest::currentDataTag() != QLatin1String("sslmode")) {
            return;
        }
        // The same value given to the connection by code, past the file's checks.
        ServerConfig config;
        config.host = test::PgServer::shared().socketFolder();
        config.port = test::PgServer::shared().port();
        config.name = m_server.name;
        config.user = m_server.user;
        config.sslmode = m_server.configText(QStringLiteral("disable dbname=%OTHER%"));
        QString error;
        const bool opened = Database::openServer(config, &error);
        QVERIFY2(!opened, qPrintable(currentDatabase()));
        QVERIFY2(error.contains(QLatin1String("sslmode")), qPrintable(error));
    }

    void sheetsLeftByACrashAreOfferedAfterTheLogin_data()
    {
        QTest::addColumn<bool>("closedCleanly");
        QTest::newRow("after a crash") << false;
        QTest::newRow("after a clean close") << true;
    }
    void sheetsLeftByACrashAreOfferedAfterTheLogin()
    {
        QFETCH(bool, closedCleanly);
        test::TestFolder folder;
        {
            DraftStore drafts;
            QVERIFY(drafts.open(draftsPath(folder.databaseFile()), QDateTime::currentDateTime()));
            for (const QString& name : {QStringLiteral("王五"), QStringLiteral("赵六")}) {
                Draft draft{0, QDateTime(QDate::currentDate(), QTime(9, 15)), {}};
                draft.record[Field::Name] = name;
                QVERIFY(drafts.write(draft));
            }
            if (closedCleanly) {
                drafts.closeCleanly();
            }
        }
        // Another copy of the program still runs on the same drafts file: its
        // sheet is neither counted nor listed here.
        DraftStore otherCopy;
        QVERIFY(otherCopy.open(draftsPath(folder.databaseFile()), QDateTime::currentDateTime()));
        Draft typing{0, QDateTime(QDate::currentDate(), QTime(9, 20)), {}};
        typing.record[Field::Name] = QStringLiteral("孙七");
        QVERIFY(otherCopy.write(typing));
        QVERIFY(startUp(folder.path()));
        QVERIFY(MessageBox::takeShown().isEmpty());
        QTemporaryDir backups; // a fresh backup: no word about its age
        QVERIFY(useBackupFolder(backups.path()));
        QVERIFY(placeBackup(backups.path(), QStringLiteral("9日"), QStringLiteral("数据库.db"),
                            QDateTime::currentDateTime()));
        logIn(); // the question is answered yes
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), closedCleanly ? 0 : 1);
        QCOMPARE(DraftsWindow::loaded() != nullptr, !closedCleanly);
        if (!closedCleanly) {
            QCOMPARE(shown[0].text,
                     QStringLiteral("发现 2 份未保存的表格（最近：赵六 %1 09:15），是否现在查看？")
                         .arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))));
            QCOMPARE(shown[0].buttons, QMessageBox::Yes | QMessageBox::No);
            QCOMPARE(DraftsWindow::loaded()->draftList()->topLevelItemCount(), 2);
        }
        delete DraftsWindow::loaded();
        delete MainWindow::instance();
        delete LoginWindow::loaded();
    }

    // 退出 leaves without the backup: once a start, after the login, the
    // operator hears that the newest backup in the backup folder (with a
    // server, the newest dump) is more than a week old or missing.
    void oldBackupIsToldOnceAfterTheLogin_data()
    {
        QTest::addColumn<bool>("server");
        QTest::addColumn<QString>("databaseWritten"); // newest 数据库.db, days before today; "" none
        QTest::addColumn<QString>("dumpWritten");     // newest 数据库.dump
        QTest::addColumn<QString>("notice");
        const QString tail = QStringLiteral("关闭主窗口时程序会自动备份；点“退出”离开时不备份。");
        QTest::newRow("8 days old") << false << QStringLiteral("8") << QStringLiteral("0")
                                    << QStringLiteral("最近一次数据备份在 8 天前。") + tail;
        QTest::newRow("a week old") << false << QStringLiteral("7") << QString() << QString();
        QTest::newRow("fresh") << false << QStringLiteral("0") << QStringLiteral("30") << QString();
        QTest::newRow("none") << false << QString() << QStringLiteral("0")
                              << QStringLiteral("还没有数据备份。") + tail;
        QTest::newRow("server, old dump") << true << QStringLiteral("0") << QStringLiteral("8")
                                          << QStringLiteral("最近一次数据备份在 8 天前。") + tail;
        QTest::newRow("server, fresh dump")
            << true << QStringLiteral("40") << QStringLiteral("1") << QString();
    }
    void oldBackupIsToldOnceAfterTheLogin()
    {
        QFETCH(bool, server);
        QFETCH(QString, databaseWritten);
        QFETCH(QString, dumpWritten);
        QFETCH(QString, notice);
        const QDateTime now(QDate(2026, 5, 11), QTime(8, 30));
        Clock::setFixed(now);
        const auto resetClock = qScopeGuard([] { Clock::reset(); });
        QTemporaryDir dir;
        QString folder = dir.path();
        std::unique_ptr<test::TestFolder> fileFolder;
        if (server) {
            BRENVOLL_PG_PROGRAM_DATABASE(conninfo);
            QFile config(serverConfigPath(folder));
            QVERIFY(config.open(QIODevice::WriteOnly));
            config.write(test::PgServer::shared().configText(conninfo).toUtf8());
        } else {
            fileFolder = std::make_unique<test::TestFolder>();
            QVERIFY(fileFolder->isValid());
            folder = fileFolder->path();
        }
        QVERIFY(startUp(folder));
        QVERIFY(MessageBox::takeShown().isEmpty()); // nothing before the login
        QTemporaryDir backups;
        QVERIFY(useBackupFolder(backups.path()));
        // The program file copied today is no backup of the records.
        QVERIFY(placeBackup(backups.path(), QStringLiteral("11日"), QStringLiteral("brenvoll"), now));
        // Each copy with an older one of its kind in another day folder.
        if (!databaseWritten.isEmpty()) {
            const int days = databaseWritten.toInt();
            QVERIFY(placeBackup(backups.path(), QStringLiteral("20日"), QStringLiteral("数据库.db"),
                                now.addDays(-60)));
            QVERIFY(placeBackup(backups.path(), Backup::dayFolderName(now.date().addDays(-days)),
                                QStringLiteral("数据库.db"), now.addDays(-days)));
        }
        if (!dumpWritten.isEmpty()) {
            const int days = dumpWritten.toInt();
            QVERIFY(placeBackup(backups.path(), QStringLiteral("21日"), QStringLiteral("数据库.dump"),
                                now.addDays(-60)));
            QVERIFY(placeBackup(backups.path(), Backup::dayFolderName(now.date().addDays(-days - 1)),
                                QStringLiteral("数据库.dump"), now.addDays(-days)));
        }

        logIn();
        auto shown = MessageBox::takeShown();
        QVERIFY(MainWindow::instance() && MainWindow::instance()->isVisible());
        QCOMPARE(shown.size(), notice.isEmpty() ? 0 : 1);
        if (!notice.isEmpty()) {
            QCOMPARE(shown[0].text, notice);
            QCOMPARE(shown[0].icon, QMessageBox::Information);
            QCOMPARE(shown[0].buttons, QMessageBox::Ok);
        }
        // Once a start: a second login says nothing.
        logIn();
        QVERIFY(MessageBox::takeShown().isEmpty());
        delete MainWindow::instance();
        delete LoginWindow::loaded();
    }

    // A database made by an older program gets the kept versions' tables,
    // the accounts' tables and the index of names where start-up opens it,
    // before the login and the main window read it, after one safety copy
    // on the file, once. A step that fails (a table of its name already in
    // the way) undoes them all: the database stays as it was, the operator
    // hears it once, no copy is left, and the program works on.
    void olderDatabaseIsUpgradedWhereItOpens_data()
    {
        QTest::addColumn<bool>("server");
        QTest::addColumn<bool>("failing");
        QTest::newRow("file") << false << false;
        QTest::newRow("file, a step fails") << false << true;
        QTest::newRow("server") << true << false;
        QTest::newRow("server, a step fails") << true << true;
    }
    void olderDatabaseIsUpgradedWhereItOpens()
    {
        QFETCH(bool, server);
        QFETCH(bool, failing);
        m_folder = std::make_unique<test::TestFolder>();
        QVERIFY(m_folder->isValid());
        if (server) {
            BRENVOLL_PG_PROGRAM_DATABASE(conninfo);
            m_server = {conninfo, databaseNameOf(conninfo), QString(), test::PgServer::shared().user()};
            QFile file(serverConfigPath(m_folder->path()));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(m_server.configText(kUsualConfig).toUtf8());
        }
        QString error;
        const auto config = readServerConfig(m_folder->path(), &error);
        QVERIFY(server ? config && Database::openServer(*config, &error)
                       : Database::open(connectionString(m_folder->path()), &error));
        {
            QSqlQuery older(Database::connection());
            for (const char* sql : {"drop table 档案版本", "drop table 档案恢复", "drop table 账户",
                                    "drop table 账户设置", "drop table 登录记录", "drop index 档案_姓名"}) {
                QVERIFY2(older.exec(QString::fromUtf8(sql)), sql);
            }
            // The accounts' step meets a table of its name, after the versions' step.
            QVERIFY(!failing || older.exec(QStringLiteral("create table 登录记录 (x text)")));
        }
        Database::close();
        const QString file = m_folder->databaseFile();
        const QByteArray before = contents(file);
        const auto copies = [&] {
            return QDir(m_folder->path()).entryList({QStringLiteral("数据库.恢复前-*")}, QDir::Files);
        };
        const auto present = [] {
            QSqlQuery probe(Database::connection());
            QStringList found;
            for (const QString& name : {QStringLiteral("档案版本"), QStringLiteral("档案恢复"),
                                        QStringLiteral("账户"), QStringLiteral("账户设置")}) {
                if (probe.exec(QStringLiteral("select count(*) from ") + name)) {
                    found << name;
                }
            }
            const bool index =
                probe.exec(Database::engine() == Database::Engine::SQLite
                               ? QStringLiteral("select 1 from sqlite_master where name = '档案_姓名'")
                               : QStringLiteral("select 1 from pg_indexes where indexname = '档案_姓名'")) &&
                probe.next();
            return index ? found << QStringLiteral("档案_姓名") : found;
        };

        QVERIFY(startUp(m_folder->path()));
        QVERIFY(LoginWindow::loaded() && !MainWindow::instance()); // nothing but the login read yet
        const QStringList all{QStringLiteral("档案版本"), QStringLiteral("档案恢复"), QStringLiteral("账户"),
                              QStringLiteral("账户设置"), QStringLiteral("档案_姓名")};
        QCOMPARE(present(), failing ? QStringList() : all);
        const auto shown = MessageBox::takeShown();
        if (failing) {
            QCOMPARE(shown.size(), 1);
            QVERIFY2(shown[0].text.startsWith(
                         QStringLiteral("无法为数据库添加历史版本的数据表，数据库保持原样：")),
                     qPrintable(shown[0].text));
            QVERIFY2(shown[0].text.endsWith(
                         QStringLiteral("程序照常使用，但本次运行中保存和删除不保留历史版本。")),
                     qPrintable(shown[0].text));
            QVERIFY(copies().isEmpty());
            if (!server) {
                QCOMPARE(contents(file), before);
            }
        } else {
            QVERIFY2(shown.isEmpty(), qPrintable(shown.value(0).text));
            QCOMPARE(copies().size(), server ? 0 : 1);
        }
        // The main window's load after the login upgrades nothing again.
        logIn();
        QVERIFY(MainWindow::instance());
        for (const auto& message : MessageBox::takeShown()) {
            QVERIFY2(!message.text.contains(QStringLiteral("数据库保持原样")), qPrintable(message.text));
        }
        QCOMPARE(present(), failing ? QStringList() : all);
        QCOMPARE(copies().size(), server || failing ? 0 : 1);
        delete MainWindow::instance();
        delete LoginWindow::loaded();
    }

private:
    // Writes `text` as the folder's brenvoll.ini beside a 数据库.db and starts
    // the program there: it opens the server database named in the file,
    // or stops with `message`.
    void runWithConfig(const QString& text, const QString& encoding, const QString& password,
                       const QString& message)
    {
        BRENVOLL_PG_PROGRAM_DATABASE(conninfo);
        QString other;
        {
            BRENVOLL_PG_PROGRAM_DATABASE(otherConninfo);
            other = databaseNameOf(otherConninfo);
        }
        m_server = {conninfo, databaseNameOf(conninfo), other, test::PgServer::shared().user()};
        static int roles = 0;
        if (!password.isEmpty()) {
            m_server.user = QStringLiteral("desk%1").arg(++roles);
            QString error;
            QVERIFY2(test::PgServer::shared().createPasswordRole(m_server.user, m_server.configText(password),
                                                                 &error),
                     qPrintable(error));
        }
        m_folder = std::make_unique<test::TestFolder>();
        QVERIFY(m_folder->isValid());
        QFile file(serverConfigPath(m_folder->path()));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(encoded(m_server.configText(text), encoding));
        file.close();
        QFile::setPermissions(file.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);

        const bool started = startUp(m_folder->path());
        const auto shown = MessageBox::takeShown();
        if (message.isEmpty()) {
            QVERIFY2(shown.isEmpty(), qPrintable(shown.isEmpty() ? QString() : shown[0].text));
            QVERIFY(started);
            QCOMPARE(Database::engine(), Database::Engine::PostgreSQL);
            QCOMPARE(currentDatabase(), m_server.name);
            QCOMPARE(dumpedDatabase(m_folder->path()), m_server.name);
            closeWindows();
            return;
        }
        QVERIFY(!started);
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.contains(message), qPrintable(shown[0].text));
        // A fault of the file itself names the file; one of the server, the server.
        QVERIFY2(shown[0].text.contains(file.fileName()) ||
                     shown[0].text.contains(test::PgServer::shared().socketFolder()),
                 qPrintable(shown[0].text));
        QCOMPARE(visibleWindows(), 0);
        QVERIFY(!Database::isOpen());
    }

    ServerCase m_server;
    std::unique_ptr<test::TestFolder> m_folder;
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
