// Upgrades that fail loudly or not at all: a database records the version
// of the program that last upgraded it; a database of the release before the
// kept versions opens with its records, a safety copy and the new tables; a
// database that a newer program upgraded is refused and left byte for byte
// as it was.
#include "TestSupport.h"
#include "base/ProgramPaths.h"
#include "base/ProgramVersion.h"
#include "mainwindow/MainWindow.h"
#include "program/LoginWindow.h"
#include "program/Startup.h"
#include "record/RecordStore.h"
#include "storage/Database.h"
#include "storage/HistoryTables.h"
#include "storage/VersionMark.h"
#include "ui/MessageBox.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using namespace brenvoll;

namespace {
QByteArray digestOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
               ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
               : QByteArray();
}

QStringList tablesOf(const QString& path)
{
    QStringList tables;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, "select name from sqlite_master where type = 'table' order by name", -1,
                           &statement, nullptr);
        while (statement && sqlite3_step(statement) == SQLITE_ROW) {
            tables << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return tables;
}

// The database as the release before the kept versions and the accounts
// delivered it: data/schema.sql alone.
bool writePreviousRelease(const QString& path)
{
    QFile schema(QStringLiteral(BRENVOLL_SCHEMA));
    if (!schema.open(QIODevice::ReadOnly)) {
        return false;
    }
    sqlite3* db = nullptr;
    bool done = sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK &&
                sqlite3_exec(db, schema.readAll().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return done;
}

// The messages of the start other than the notice of a missing backup,
// which every fresh database gets.
QStringList messagesBesidesBackup()
{
    QStringList texts;
    for (const auto& box : MessageBox::takeShown()) {
        if (!box.text.startsWith(QStringLiteral("还没有数据备份"))) {
            texts << box.text;
        }
    }
    return texts;
}

void logIn()
{
    LoginWindow::loaded()->passwordBox()->setText(QStringLiteral("864"));
    LoginWindow::loaded()->logIn();
}

void closeAll()
{
    delete MainWindow::instance();
    delete LoginWindow::loaded();
    Database::close();
}
} // namespace

class TestUpgrade : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        MessageBox::setAnswerMode(true);
        MessageBox::takeShown();
    }
    void cleanup() { closeAll(); }

    void versionMark_data()
    {
        QTest::addColumn<QString>("recorded"); // none when empty
        QTest::addColumn<bool>("refused");
        const QVersionNumber program = programVersion();
        QTest::newRow("none: made before the mark") << QString() << false;
        QTest::newRow("older") << QStringLiteral("1.0") << false;
        QTest::newRow("this version") << program.toString() << false;
        QTest::newRow("a fix newer") << QVersionNumber(program.majorVersion(), program.minorVersion(),
                                                       program.microVersion() + 1)
                                            .toString()
                                     << true;
        QTest::newRow("a major version newer")
            << QVersionNumber(program.majorVersion() + 1).toString() << true;
    }
    void versionMark()
    {
        QFETCH(QString, recorded);
        QFETCH(bool, refused);
        test::TestFolder folder;
        QVERIFY(folder.isValid());
        if (!recorded.isEmpty()) {
            QVERIFY(folder.open());
            QString error;
            QVERIFY2(VersionMark::write(QVersionNumber::fromString(recorded), &error), qPrintable(error));
            Database::close();
        }
        const QByteArray before = digestOf(folder.databaseFile());

        QCOMPARE(startUp(folder.path()), !refused);
        const auto shown = MessageBox::takeShown();
        if (refused) {
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].text,
                     QStringLiteral("此数据库已由较新版本（版本 %1）的程序升级，请安装该版本或更新的程序。")
                         .arg(recorded));
            QVERIFY(!Database::isOpen());
            QVERIFY(!LoginWindow::loaded() || !LoginWindow::loaded()->isVisible());
            if (!test::onServer()) {
                // Not a byte written, and no journal left beside it.
                QCOMPARE(digestOf(folder.databaseFile()), before);
                QCOMPARE(QDir(folder.path()).entryList(QDir::Files),
                         QStringList{QStringLiteral("数据库.db")});
            }
        } else {
            QVERIFY(shown.isEmpty());
            QVERIFY(LoginWindow::loaded()->isVisible());
            logIn();
            QVERIFY(MainWindow::instance());
            QCOMPARE(messagesBesidesBackup(), QStringList());
            // Nothing to upgrade in a database with every table: it records
            // what it recorded.
            QVersionNumber now;
            QVERIFY(VersionMark::read(&now));
            QCOMPARE(now, QVersionNumber::fromString(recorded));
        }
        // Refused or not, a second start says the same.
        closeAll();
        QCOMPARE(startUp(folder.path()), !refused);
    }

    void previousReleaseDatabaseUpgrades()
    {
        if (test::onServer()) {
            QSKIP("the previous release's database is a file");
        }
        QTemporaryDir folder;
        const QString file = databasePath(folder.path());
        QVERIFY(writePreviousRelease(file));
        QVERIFY(!tablesOf(file).contains(QStringLiteral("档案版本")));
        QVERIFY(Database::open(connectionString(folder.path())));
        for (const auto& [key, name] :
             {std::pair{"20230501080000", "张三"}, std::pair{"20240502090000", "李四"}}) {
            QVERIFY(RecordStore::save(test::makeRecord(QString::fromLatin1(key), QString::fromUtf8(name),
                                                       QStringLiteral("2024-05-02"))));
        }
        Database::close();
        const QByteArray before = digestOf(file);

        QVERIFY(startUp(folder.path()));
        logIn();
        QVERIFY(MainWindow::instance());
        QCOMPARE(messagesBesidesBackup(), QStringList());
        QCOMPARE(RecordStore::count(), qint64(2));
        ExamRecord loaded;
        QVERIFY(RecordStore::load(QStringLiteral("20240502090000"), loaded));
        QCOMPARE(loaded[Field::Name], QStringLiteral("李四"));
        QVERIFY(HistoryTables::present());
        QVersionNumber recorded;
        QVERIFY(VersionMark::read(&recorded));
        QCOMPARE(recorded, programVersion());
        closeAll();

        const QStringList tables = tablesOf(file);
        for (const char* table : {"档案", "设置", "词库", "档案版本", "档案恢复", "程序版本"}) {
            QVERIFY2(tables.contains(QString::fromUtf8(table)), table);
        }
        // The safety copy beside it is the database as the old program left it.
        const QStringList copies =
            QFileInfo(file).absoluteDir().entryList({QStringLiteral("数据库.恢复前-*")}, QDir::Files);
        QCOMPARE(copies.size(), 1);
        const QString copy = QFileInfo(file).absoluteDir().filePath(copies.first());
        QCOMPARE(QFileInfo(copy).absolutePath(), QFileInfo(file).absolutePath());
        QCOMPARE(digestOf(copy), before);
    }
};

QTEST_MAIN(TestUpgrade)
#include "tst_upgrade.moc"
