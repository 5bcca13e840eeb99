// Encoded lists, folder creation and the connection string.
#include "TestSupport.h"
#include "backup/FolderPath.h"
#include "base/EncodedText.h"
#include "base/ProgramPaths.h"
#include "storage/Database.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace brenvoll;

class TestProgramTexts : public QObject
{
    Q_OBJECT
private slots:
    void decodeEmptyListGivesEmptyTextAndRewritesArgument()
    {
        QString list;
        QCOMPARE(decodeNumberList(list), QString());
        QVERIFY(list.isEmpty());
    }

    void decodeRoundTripsChineseAndLatin_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("title") << QStringLiteral("社区卫生服务中心健康体检反馈表");
        QTest::newRow("address") << QStringLiteral("web/help.html");
        QTest::newRow("mixed") << QStringLiteral("Qindle卫生院（一）No.5");
    }
    void decodeRoundTripsChineseAndLatin()
    {
        QFETCH(QString, text);
        QString list = encodeNumberList(text);
        QVERIFY(!list.isEmpty());
        const QString decoded = decodeNumberList(list);
        QCOMPARE(decoded, text);
        QCOMPARE(list, text); // the argument holds the result as well
    }

    void doubleByteCodesAreSignedAndKeyed()
    {
        // 健 is BD A1 in code page 936; its list item is the signed 16-bit
        // code XOR the key, so Chinese characters give negative numbers.
        const QString list = encodeNumberList(QStringLiteral("健"));
        QVERIFY(list.toInt() < 0);
        QString copy = QString::number((0xBDA1 - 0x10000) ^ kListKey);
        QCOMPARE(decodeNumberList(copy), QStringLiteral("健"));
    }

    void everyItemIsOneCharacter()
    {
        // 0xB0 leads a double-byte code in code page 936; alone it has no
        // meaning and never takes the next item with it. 0x80 is the euro sign.
        QStringList items;
        for (int code : {0xB0, int('A'), 0x80, 0xFF, 0x81, -0x425F, int('z')}) {
            items << QString::number(code ^ kListKey);
        }
        QString list = items.join(u',');
        QCOMPARE(decodeNumberList(list), QStringLiteral("\uFFFDA€\uFFFD\uFFFD健z"));
    }

    void storedListsDecodeToTheirTexts()
    {
        QString title = QString::fromLatin1(kSheetTitleList);
        QCOMPARE(decodeNumberList(title), QStringLiteral("社区卫生服务中心健康体检反馈表"));
        QString help = QString::fromLatin1(kHelpPageList);
        QCOMPARE(decodeNumberList(help), QStringLiteral("web/help.html"));
        QString home = QString::fromLatin1(kHomePageList);
        QCOMPARE(decodeNumberList(home), QStringLiteral("web/home.html"));
        QString missing = QString::fromLatin1(kMissingPageList);
        QCOMPARE(decodeNumberList(missing), QStringLiteral("web/missing-database.html"));
    }

    void createFolderPathCreatesEveryLevelAndNormalises()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QString path = dir.path() + QStringLiteral("\\备份\\\\5日");
        createFolderPath(path);
        QCOMPARE(path, dir.path() + QStringLiteral("/备份/5日/"));
        QVERIFY(QDir(dir.path() + QStringLiteral("/备份/5日")).exists());

        QString again = dir.path() + QStringLiteral("//备份///6日/");
        createFolderPath(again);
        QCOMPARE(again, dir.path() + QStringLiteral("/备份/6日/"));
        QVERIFY(QDir(dir.path() + QStringLiteral("/备份/6日")).exists());
    }

    void createFolderPathKeepsANetworkSharePrefix()
    {
        QString share = QStringLiteral("\\\\server\\\\备份\\7日");
        createFolderPath(share);
        QCOMPARE(share, QStringLiteral("//server/备份/7日/"));
    }

    void createFolderPathGoesOnPastALevelThatCannotBeMade()
    {
        QTemporaryDir dir;
        QFile blocker(dir.path() + QStringLiteral("/file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QString path = dir.path() + QStringLiteral("/file/x");
        createFolderPath(path); // must not throw or hang
        QVERIFY(!QDir(dir.path() + QStringLiteral("/file/x")).exists());
    }

    void connectionStringNamesTheDatabaseBesideTheProgram()
    {
        const QString connection = connectionString(QStringLiteral("/opt/体检"));
        QCOMPARE(connection,
                 QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/opt/体检/数据库.db;"
                                "Jet OLEDB:Database Password=mk4817;"));
        QCOMPARE(dataSourceOf(connection), QStringLiteral("/opt/体检/数据库.db"));
    }

    void connectionStringCarriesAnyFolderName()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/a;b=c \"体检\" 'x' ;");
        for (const QString& name : {QStringLiteral("/a;b"), QStringLiteral("/x=1"), QStringLiteral("/\"q\""),
                                    QStringLiteral("/'s'"), QStringLiteral("/ 前后空格 ")}) {
            const QString path = dir.path() + name;
            QCOMPARE(dataSourceOf(connectionString(path)), databasePath(path));
        }
        QCOMPARE(dataSourceOf(connectionString(folder)), databasePath(folder));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::copy(test::deliveredDatabase(), databasePath(folder)));
        QString error;
        QVERIFY2(Database::open(connectionString(folder), &error), qPrintable(error));
        QCOMPARE(Database::filePath(), databasePath(folder));
        Database::close();
    }

    void onlyAnOrdinaryVisibleFileCounts()
    {
        QTemporaryDir dir;
        QVERIFY(!isOrdinaryFile(dir.path() + QStringLiteral("/数据库.db")));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("数据库.db")));
        QVERIFY(!isOrdinaryFile(dir.path() + QStringLiteral("/数据库.db")));
        QFile hidden(dir.path() + QStringLiteral("/.hidden.db"));
        QVERIFY(hidden.open(QIODevice::WriteOnly));
        hidden.close();
        QVERIFY(!isOrdinaryFile(hidden.fileName()));
        QFile plain(dir.path() + QStringLiteral("/plain.db"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        QVERIFY(isOrdinaryFile(plain.fileName()));
    }
};

QTEST_GUILESS_MAIN(TestProgramTexts)
#include "tst_program_texts.moc"
