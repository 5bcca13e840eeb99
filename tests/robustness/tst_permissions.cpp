// The database holds medical records: the delivered file, and every database
// the build tool makes, is readable and writable by its owner only, whatever
// the umask of the one who builds it.
#include "TestSupport.h"

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
};

QTEST_GUILESS_MAIN(TestPermissions)
#include "tst_permissions.moc"
