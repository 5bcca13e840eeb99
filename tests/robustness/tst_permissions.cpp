// The database holds medical records: the delivered file, every database the
// build tool makes and every copy the backup writes are readable and writable
// by their owner only (the program copy also runnable by its owner), whatever
// the umask of the one who runs it.
#include "TestSupport.h"
#include "backup/Backup.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace brenvoll;

namespace {
mode_t modeOf(const QString& path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? (info.st_mode & 07777) : mode_t(-1);
}
} // namespace

class TestPermissions : public QObject
{
    Q_OBJECT

private slots:
    void deliveredDatabaseIsOwnerOnly()
    {
        QVERIFY(QFile::exists(test::deliveredDatabase()));
        QCOMPARE(modeOf(test::deliveredDatabase()), mode_t(0600));
    }

    void toolMakesOwnerOnlyDatabases_data()
    {
        QTest::addColumn<int>("umask");
        QTest::newRow("umask 022") << 022;
        QTest::newRow("umask 000") << 0;
    }
    void toolMakesOwnerOnlyDatabases()
    {
        QFETCH(int, umask);
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("新建/数据库.db"));
        const mode_t previous = ::umask(mode_t(umask));
        const int exitCode =
            QProcess::execute(QString::fromUtf8(BRENVOLL_MKDB), {QString::fromUtf8(BRENVOLL_SCHEMA), out});
        ::umask(previous);
        QCOMPARE(exitCode, 0);
        QCOMPARE(modeOf(out), mode_t(0600));
        QVERIFY(!QFile::exists(out + QStringLiteral(".new")));
        QVERIFY(!QFile::exists(out + QStringLiteral(".new-journal")));
    }

    void backupCopiesAreOwnerOnly_data()
    {
        QTest::addColumn<int>("umask");
        QTest::newRow("umask 022") << 022;
        QTest::newRow("umask 000") << 0;
    }
    void backupCopiesAreOwnerOnly()
    {
        QFETCH(int, umask);
        test::TestFolder folder;
        QVERIFY(folder.isValid());
        const QString program = folder.path() + QStringLiteral("/brenvoll");
        QFile file(program);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("program");
        file.close();
        QVERIFY(QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                   QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                   QFileDevice::ExeOther));
        QTemporaryDir target;
        const QDate day(2026, 5, 7);
        const mode_t previous = ::umask(mode_t(umask));
        // Twice: a new copy, then one replacing the day's earlier copy.
        const QStringList first = Backup::run(target.path(), day, folder.databaseFile(), program);
        const QStringList second = Backup::run(target.path(), day, folder.databaseFile(), program);
        ::umask(previous);
        QVERIFY2(first.isEmpty() && second.isEmpty(), qPrintable((first + second).join(u'\n')));
        const QDir dayFolder(Backup::dayFolder(target.path(), day));
        const QStringList written =
            dayFolder.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QCOMPARE(written, (QStringList{QStringLiteral("brenvoll"), QStringLiteral("数据库.db")}));
        // The program copy stays runnable by its owner, so that a restored copy runs.
        QCOMPARE(modeOf(dayFolder.filePath(QStringLiteral("brenvoll"))), mode_t(0700));
        QCOMPARE(modeOf(dayFolder.filePath(QStringLiteral("数据库.db"))), mode_t(0600));
    }
};

QTEST_GUILESS_MAIN(TestPermissions)
#include "tst_permissions.moc"
