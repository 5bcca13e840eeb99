// Where the program keeps its data: beside itself when run from a build or
// an unpacked folder, in a data folder when the package marked it installed;
// and the first start's copy of the delivered database there, which never
// replaces a database that exists.
#include "base/ProgramPaths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace brenvoll;

namespace {
bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class TestProgramPaths : public QObject
{
    Q_OBJECT
private slots:
    void dataFolderChoice_data()
    {
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QString>("config"); // the text of brenvoll.conf; no file when null
        QTest::addColumn<QString>("xdgDataHome");
        QTest::addColumn<QString>("expected"); // %P program folder, %H home

        const QString none;
        QTest::newRow("build folder, whatever the system says")
            << false << QStringLiteral("data=/srv/brenvoll\n") << QStringLiteral("/x")
            << QStringLiteral("%P");
        QTest::newRow("installed, XDG_DATA_HOME")
            << true << none << QStringLiteral("/x/data") << QStringLiteral("/x/data/brenvoll");
        QTest::newRow("installed, no XDG_DATA_HOME")
            << true << none << QString() << QStringLiteral("%H/.local/share/brenvoll");
        QTest::newRow("installed, relative XDG_DATA_HOME ignored")
            << true << none << QStringLiteral("rel") << QStringLiteral("%H/.local/share/brenvoll");
        QTest::newRow("system folder") << true << QStringLiteral("data=/srv/brenvoll\n")
                                       << QStringLiteral("/x") << QStringLiteral("/srv/brenvoll");
        QTest::newRow("system folder among comments and blanks")
            << true << QStringLiteral("# shared desk\n\n  data = /srv/clinic/ \nother=1\n") << QString()
            << QStringLiteral("/srv/clinic");
        QTest::newRow("relative system folder ignored")
            << true << QStringLiteral("data=srv\n") << QStringLiteral("/x") << QStringLiteral("/x/brenvoll");
        QTest::newRow("commented system folder ignored")
            << true << QStringLiteral("#data=/srv/brenvoll\n") << QStringLiteral("/x")
            << QStringLiteral("/x/brenvoll");
        QTest::newRow("empty system folder ignored")
            << true << QStringLiteral("data=\n") << QStringLiteral("/x") << QStringLiteral("/x/brenvoll");
    }
    void dataFolderChoice()
    {
        QFETCH(bool, installed);
        QFETCH(QString, config);
        QFETCH(QString, xdgDataHome);
        QFETCH(QString, expected);
        QTemporaryDir program;
        QTemporaryDir home;
        if (installed) {
            QVERIFY(writeFile(QDir(program.path()).filePath(QString::fromLatin1(kInstalledMark)), "mark"));
        }
        const QString configFile = QDir(home.path()).filePath(QStringLiteral("brenvoll.conf"));
        if (!config.isNull()) {
            QVERIFY(writeFile(configFile, config.toUtf8()));
        }
        QCOMPARE(isInstalledIn(program.path()), installed);
        expected.replace(QStringLiteral("%P"), program.path()).replace(QStringLiteral("%H"), home.path());
        QCOMPARE(dataFolderFor(program.path(), configFile, xdgDataHome, home.path()), expected);
    }

    // The first start copies the delivered database; later starts, and a
    // database put there by hand, keep what is there.
    void firstStartCopiesTheDeliveredDatabase_data()
    {
        QTest::addColumn<bool>("databaseThere");
        QTest::addColumn<bool>("folderThere");
        QTest::newRow("first start, no folder") << false << false;
        QTest::newRow("folder made by the administrator") << false << true;
        QTest::newRow("database there") << true << true;
    }
    void firstStartCopiesTheDeliveredDatabase()
    {
        QFETCH(bool, databaseThere);
        QFETCH(bool, folderThere);
        QTemporaryDir program;
        QTemporaryDir data;
        const QString folder = QDir(data.path()).filePath(QStringLiteral("share/brenvoll"));
        QVERIFY(writeFile(databasePath(program.path()), "delivered"));
        if (folderThere) {
            QVERIFY(QDir().mkpath(folder));
        }
        if (databaseThere) {
            QVERIFY(writeFile(databasePath(folder), "the clinic's records"));
        }
        QString error;
        QVERIFY2(prepareDataFolder(program.path(), folder, &error), qPrintable(error));
        QCOMPARE(readFile(databasePath(folder)),
                 databaseThere ? QByteArray("the clinic's records") : "delivered");
        QCOMPARE(readFile(databasePath(program.path())), QByteArray("delivered"));
        QVERIFY(!QFile::exists(databasePath(folder) + QStringLiteral(".new")));
        const QFile::Permissions permissions = QFile::permissions(databasePath(folder));
        QVERIFY(permissions & QFile::WriteOwner);
        if (!databaseThere) {
            QVERIFY(!(permissions & (QFile::ReadOther | QFile::WriteOther)));
        }
    }

    void besideTheProgramNothingIsCopied()
    {
        QTemporaryDir program;
        QString error;
        QVERIFY(prepareDataFolder(program.path(), program.path(), &error));
        QVERIFY(!QFile::exists(databasePath(program.path())));
    }

    // A folder that cannot be made, or a delivered database that is missing,
    // is named to the operator and leaves no database behind.
    void failuresAreNamed_data()
    {
        QTest::addColumn<bool>("parentIsAFile");
        QTest::addColumn<QString>("named");
        QTest::newRow("parent is a file") << true << QStringLiteral("无法建立数据文件夹");
        QTest::newRow("delivered database missing") << false << QStringLiteral("无法把程序附带的数据库");
    }
    void failuresAreNamed()
    {
        QFETCH(bool, parentIsAFile);
        QFETCH(QString, named);
        QTemporaryDir program;
        QTemporaryDir data;
        const QString parent = QDir(data.path()).filePath(QStringLiteral("share"));
        if (parentIsAFile) {
            QVERIFY(writeFile(parent, "a file"));
            QVERIFY(writeFile(databasePath(program.path()), "delivered"));
        }
        const QString folder = QDir(parent).filePath(QStringLiteral("brenvoll"));
        QString error;
        QVERIFY(!prepareDataFolder(program.path(), folder, &error));
        QVERIFY2(error.startsWith(named), qPrintable(error));
        QVERIFY(!QFile::exists(databasePath(folder)));
        QVERIFY(!QFile::exists(databasePath(folder) + QStringLiteral(".new")));
    }
};

QTEST_GUILESS_MAIN(TestProgramPaths)
#include "tst_program_paths.moc"
