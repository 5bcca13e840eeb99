// Faults while the backup on close copies the database and the program:
// read errors through the engine's file layer, a full or read-only disk (a
// real small disk), a read-only backup folder, a lock held by another process
// and the database file deleted or replaced. The one message says which copy
// failed and where, the day's earlier good backup stays as it was, and no
// half-written file is left beside it. Faults in the engine's own writes do
// not reach the backup, which writes its copies itself.
//
// Faults while a backup is restored over the database: a full or read-only
// disk under the program folder and another program holding the database.
// The step that failed is named, and the database stays as it was.
//
// A backup or a restore killed in the middle: what it left half written goes
// at the next one.
#include "FaultScenario.h"
#include "FaultVfs.h"
#include "HelperProcess.h"
#include "SmallDisk.h"
#include "TestSupport.h"
#include "backup/Backup.h"
#include "backup/CloseBackup.h"
#include "backup/Restore.h"
#include "base/Clock.h"
#include "base/ProgramPaths.h"
#include "drafts/DraftStore.h"
#include "mainwindow/MainWindow.h"
#include "phrases/PhraseStore.h"
#include "settings/SettingsWindow.h"
#include "storage/Database.h"
#include "ui/MessageBox.h"
#include "ui/ProgramEnd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>

#include <sqlite3.h>
#include <unistd.h>

using namespace brenvoll;
using robust::FaultScenario;

Q_DECLARE_METATYPE(FaultScenario::Kind)

namespace {
const QDate kDay(2026, 5, 7);
const QString kDatabaseName = QStringLiteral("数据库.db");

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

bool phraseStored(const QString& phrase)
{
    QStringList phrases;
    return PhraseStore::all(phrases) && phrases.contains(phrase);
}
} // namespace

class TestBackupFaults : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::TestFolder> m_folder;
    QString m_program; // a stand-in for the program file
    QList<MessageBox::Shown> m_shownAtEnd;
    int m_refused = 0;

    // A good backup of the day, then a change it does not hold yet.
    void goodBackupThenChange(const QString& backupFolder, const QString& program)
    {
        const QStringList failures = Backup::run(backupFolder, kDay, m_folder->databaseFile(), program);
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
        QVERIFY(PhraseStore::add(QStringLiteral("备份之后加的常用语")));
    }

    // The day folder holds exactly the earlier copies, byte for byte.
    void expectEarlierBackupKept(const QString& dayFolder, const QByteArray& database,
                                 const QByteArray& program, const QString& programName)
    {
        QCOMPARE(entries(dayFolder), (QStringList{programName, kDatabaseName}));
        QCOMPARE(contents(QDir(dayFolder).filePath(kDatabaseName)), database);
        QCOMPARE(contents(QDir(dayFolder).filePath(programName)), program);
        QString error;
        QVERIFY2(Backup::checkDatabase(QDir(dayFolder).filePath(kDatabaseName), &error), qPrintable(error));
    }

private slots:
    void initTestCase()
    {
        test::FaultVfs::install();
        setProgramEnder([this] { m_shownAtEnd = MessageBox::takeShown(); });
    }
    void cleanupTestCase()
    {
        setProgramEnder({});
        qInfo(
            "backup faults: backups and restores refused with a clear message: %d; calls failed by the file "
            "layer: %d",
            m_refused, test::FaultVfs::injected());
    }
    void init()
    {
        MessageBox::setAnswerMode(true);
        m_shownAtEnd.clear();
        Clock::setFixed(QDateTime(kDay, QTime(18, 30)));
        m_folder = std::make_unique<test::TestFolder>();
        QVERIFY(m_folder->open());
        m_program = m_folder->path() + QStringLiteral("/brenvoll");
        QFile program(m_program);
        QVERIFY(program.open(QIODevice::WriteOnly));
        program.write(QByteArray(200000, '\x7f') + "program");
    }
    void cleanup()
    {
        test::FaultVfs::set(test::FaultVfs::Fault::None);
        delete MainWindow::instance();
        delete SettingsWindow::loaded();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        MessageBox::takeShown();
        m_folder.reset();
        Clock::reset();
    }

    // The database copy meets the fault; the message comes when the main
    // window closes. A fault that only the engine's writes meet leaves the
    // backup to be made (an empty reason).
    void databaseCopyOnClose_data()
    {
        QTest::addColumn<FaultScenario::Kind>("kind");
        QTest::addColumn<QString>("reason");
        const QString ioError = QStringLiteral("读写数据库文件时出错");
        QTest::newRow("disk full") << FaultScenario::DiskFull << QString();
        QTest::newRow("write error") << FaultScenario::WriteError << QString();
        QTest::newRow("sync error") << FaultScenario::SyncError << QString();
        QTest::newRow("read error") << FaultScenario::ReadError << ioError;
        QTest::newRow("locked") << FaultScenario::Locked
                                << QStringLiteral("另一个副本或别的程序正在使用数据库");
        QTest::newRow("deleted") << FaultScenario::Deleted << QStringLiteral("已被删除、移走或替换");
        QTest::newRow("replaced") << FaultScenario::Replaced << QStringLiteral("已被删除、移走或替换");
    }
    void databaseCopyOnClose()
    {
        QFETCH(FaultScenario::Kind, kind);
        QFETCH(QString, reason);
        QTemporaryDir target;
        const QString backupFolder = target.filePath(QStringLiteral("备份"));
        const QString program = QCoreApplication::applicationFilePath();
        const QString programName = QFileInfo(program).fileName();
        goodBackupThenChange(backupFolder, program);
        const QString day = Backup::dayFolder(backupFolder, kDay);
        const QByteArray earlier = contents(QDir(day).filePath(kDatabaseName));
        const QByteArray earlierProgram = contents(QDir(day).filePath(programName));

        auto* window = new MainWindow();
        window->show();
        SettingsWindow::get()->backupFolderBox()->setText(backupFolder);
        FaultScenario fault(kind, *m_folder);
        QString why;
        QVERIFY2(fault.begin(&why), qPrintable(why));
        QVERIFY(window->close());
        QVERIFY2(fault.end(&why), qPrintable(why));

        if (reason.isEmpty()) {
            QVERIFY(m_shownAtEnd.isEmpty());
            QCOMPARE(entries(day), (QStringList{programName, kDatabaseName}));
            QVERIFY(contents(QDir(day).filePath(kDatabaseName)) != earlier); // holds the new phrase
            QVERIFY(Backup::checkDatabase(QDir(day).filePath(kDatabaseName)));
            return;
        }
        QCOMPARE(m_shownAtEnd.size(), 1);
        const QString message = m_shownAtEnd[0].text;
        QVERIFY2(message.startsWith(QStringLiteral("数据备份没有完成：\n数据库“数据库.db”没有备份到“%1”：")
                                        .arg(QDir::toNativeSeparators(day))),
                 qPrintable(message));
        QVERIFY2(message.contains(reason), qPrintable(message));
        // The folder is not to blame: no other folder is suggested; the copy
        // holding the file is.
        QVERIFY2(!message.contains(QStringLiteral("综合设置")), qPrintable(message));
        QCOMPARE(message.contains(QStringLiteral("请关闭同一文件夹中的另一个副本")),
                 kind == FaultScenario::Locked);
        // The program copy did not meet the fault and was made.
        QVERIFY2(!message.contains(QStringLiteral("程序文件")), qPrintable(message));
        ++m_refused;
        expectEarlierBackupKept(day, earlier, earlierProgram, programName);
        // The program's own database still holds what was added.
        QStringList phrases;
        QVERIFY(PhraseStore::all(phrases));
        QVERIFY(phrases.contains(QStringLiteral("备份之后加的常用语")));
    }

    // Another program holds the drafts file beside the database beyond the
    // wait: the one message names the drafts file in use and what holds it,
    // not the backup folder; the database and the program are backed up.
    void draftsFileInUse()
    {
        QTemporaryDir target;
        const QString drafts = draftsPath(m_folder->databaseFile());
        {
            DraftStore store;
            QVERIFY(store.open(drafts, Clock::now()));
            Draft draft{0, Clock::now(), {}};
            draft.record[Field::Name] = QStringLiteral("未保存的人");
            QVERIFY(store.write(draft));
            store.closeCleanly();
        }
        sqlite3* other = nullptr;
        QVERIFY(sqlite3_open(QFile::encodeName(drafts).constData(), &other) == SQLITE_OK);
        QVERIFY(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK);
        QList<Backup::Cause> causes;
        const QStringList failures =
            Backup::run(target.path(), kDay, m_folder->databaseFile(), m_program, {}, &causes);
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close_v2(other);
        QCOMPARE(failures.size(), 1);
        QCOMPARE(causes, QList<Backup::Cause>{Backup::Cause::InUse});
        const QString message = Backup::failureMessage(failures, causes);
        QVERIFY2(failures[0].startsWith(QStringLiteral("未保存表格的草稿“数据库.drafts”没有备份到")) &&
                     failures[0].contains(QStringLiteral("另一个副本或别的程序正在使用草稿文件")),
                 qPrintable(message));
        QVERIFY2(!message.contains(QStringLiteral("综合设置")), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("请关闭同一文件夹中的另一个副本")), qPrintable(message));
        const QString day = Backup::dayFolder(target.path(), kDay);
        QCOMPARE(entries(day), (QStringList{QStringLiteral("brenvoll"), kDatabaseName}));
        QVERIFY(Backup::checkDatabase(QDir(day).filePath(kDatabaseName)));
        ++m_refused;
    }

    // Real file system faults under both copies: a disk too full for another
    // copy, a disk that became read-only.
    void fileSystemFaults_data()
    {
        QTest::addColumn<bool>("full");
        QTest::addColumn<QString>("reason");
        QTest::newRow("disk full") << true << QStringLiteral("磁盘已满");
        QTest::newRow("read-only disk") << false << QStringLiteral("磁盘是只读的");
    }
    void fileSystemFaults()
    {
        QFETCH(bool, full);
        QFETCH(QString, reason);
        robust::SmallDisk disk(1 << 20);
        if (!disk.isValid()) {
            QSKIP(qPrintable(disk.why()));
        }
        const QString backupFolder = disk.filePath(QStringLiteral("备份"));
        goodBackupThenChange(backupFolder, m_program);
        const QString day = Backup::dayFolder(backupFolder, kDay);
        const QByteArray earlier = contents(QDir(day).filePath(kDatabaseName));
        const QByteArray earlierProgram = contents(m_program);
        QVERIFY(full ? disk.fill(8192) : disk.setReadOnly(true));

        QList<Backup::Cause> causes;
        const QStringList failures =
            Backup::run(backupFolder, kDay, m_folder->databaseFile(), m_program, {}, &causes);
        QCOMPARE(failures.size(), 2);
        QCOMPARE(causes, QList<Backup::Cause>(2, Backup::Cause::Folder));
        QVERIFY(Backup::failureMessage(failures, causes)
                    .endsWith(QStringLiteral("请在“综合设置”中选择一个可以写入的数据备份文件夹。")));
        const QString shown = QDir::toNativeSeparators(day);
        QVERIFY2(failures[0].startsWith(QStringLiteral("数据库“数据库.db”没有备份到“%1”").arg(shown)),
                 qPrintable(failures[0]));
        QVERIFY2(failures[1].startsWith(QStringLiteral("程序文件“brenvoll”没有备份到“%1”").arg(shown)),
                 qPrintable(failures[1]));
        for (const QString& failure : failures) {
            QVERIFY2(failure.contains(reason), qPrintable(failure));
            ++m_refused;
        }
        QVERIFY(disk.setReadOnly(false));
        expectEarlierBackupKept(day, earlier, earlierProgram, QStringLiteral("brenvoll"));
    }

    void restoreOnAFullOrReadOnlyDisk_data()
    {
        // Bytes left free; -1: the disk turns read-only; -2: room for one
        // copy of the database as it is.
        QTest::addColumn<qint64>("leave");
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("reason");
        const int keep = int(Restore::Step::KeepCurrent);
        QTest::newRow("read-only disk") << qint64(-1) << keep << QStringLiteral("磁盘是只读的");
        QTest::newRow("disk full") << qint64(4096) << keep << QStringLiteral("磁盘已满");
        QTest::newRow("room for one copy only")
            << qint64(-2) << int(Restore::Step::WriteChosen) << QStringLiteral("磁盘已满");
    }
    void restoreOnAFullOrReadOnlyDisk()
    {
        QFETCH(qint64, leave);
        QFETCH(int, step);
        QFETCH(QString, reason);
        robust::SmallDisk disk(1 << 20);
        if (!disk.isValid()) {
            QSKIP(qPrintable(disk.why()));
        }
        // The program folder lies on the small disk.
        const QString database = databasePath(disk.path());
        QVERIFY(QFile::copy(m_folder->databaseFile(), database));
        QVERIFY(Database::open(connectionString(disk.path())));
        QVERIFY(PhraseStore::add(QStringLiteral("恢复前的常用语")));
        const QString copy = m_folder->path() + QStringLiteral("/copy.db");
        QVERIFY(Backup::copyDatabase(m_folder->databaseFile(), copy));
        const QByteArray before = contents(database);
        Database::close(); // a disk with a file open for writing cannot turn read-only
        if (leave == -2) {
            leave = before.size();
        }
        QVERIFY(leave < 0 ? disk.setReadOnly(true) : disk.fill(leave));
        QVERIFY(Database::open(connectionString(disk.path())));

        Restore restore(copy, database, QDateTime(kDay, QTime(9, 0)));
        QVERIFY(!restore.prepare());
        QCOMPARE(int(restore.failedStep()), step);
        QVERIFY2(restore.error().contains(reason), qPrintable(restore.error()));
        QVERIFY(disk.setReadOnly(false));
        QCOMPARE(contents(database), before);
        QVERIFY(phraseStored(QStringLiteral("恢复前的常用语")));
        for (const QString& name : entries(disk.path())) {
            QVERIFY2(!name.contains(QStringLiteral(".part")), qPrintable(name));
        }
        Database::close();
        ++m_refused;
    }

    // Another program holds the database when the copy is to replace it: the
    // program's connection goes on with the database as it was.
    void restoreWhileAnotherProgramHoldsTheDatabase()
    {
        const QString copy = m_folder->path() + QStringLiteral("/copy.db");
        QVERIFY(Backup::copyDatabase(m_folder->databaseFile(), copy));
        QVERIFY(PhraseStore::add(QStringLiteral("备份之后的常用语")));
        Restore restore(copy, m_folder->databaseFile(), QDateTime(kDay, QTime(9, 0)));
        QVERIFY(restore.prepare());
        const QByteArray before = contents(m_folder->databaseFile());
        FaultScenario fault(FaultScenario::Locked, *m_folder);
        QVERIFY(fault.begin() && !restore.replace() && fault.end());
        QCOMPARE(restore.failedStep(), Restore::Step::Replace);
        QVERIFY2(restore.error().contains(fault.reason()), qPrintable(restore.error()));
        QCOMPARE(contents(m_folder->databaseFile()), before);
        QVERIFY(phraseStored(QStringLiteral("备份之后的常用语")));
        ++m_refused;
    }

    // A backup and a restore killed while they copy (each waits for the
    // database another program holds) leave a part file as large as the
    // database. The next restore removes what a restore left beside the
    // database, the next backup what a backup left in the day folder: the
    // program's own part files only, never a link or another file, and never
    // the part file of a restore still under way.
    void partFilesOfKilledCopiesAreRemoved()
    {
        QTemporaryDir target;
        const QString backupFolder = target.filePath(QStringLiteral("备份"));
        const QString day = Backup::dayFolder(backupFolder, kDay);
        const QString beside = m_folder->path();
        const QString copy = target.filePath(QStringLiteral("copy.db"));
        QVERIFY(Backup::copyDatabase(m_folder->databaseFile(), copy));
        const QStringList parts{QStringLiteral("*.part-*")};

        // Each helper opens the database, then another program takes it.
        sqlite3* other = nullptr;
        QVERIFY(sqlite3_open(QFile::encodeName(m_folder->databaseFile()).constData(), &other) == SQLITE_OK);
        const QList<std::pair<QStringList, QString>> kills{
            {{QStringLiteral("backup"), beside, backupFolder}, day},
            {{QStringLiteral("restore"), beside, copy, QStringLiteral("later")}, beside},
        };
        for (const auto& [arguments, folder] : kills) {
            robust::HelperProcess helper(arguments);
            QVERIFY2(helper.waitForLine(QStringLiteral("ready")), qPrintable(helper.lines().join(u'\n')));
            QVERIFY(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK);
            helper.closeInput();
            const bool copying =
                QTest::qWaitFor([&] { return !QDir(folder).entryList(parts, QDir::Files).isEmpty(); }, 10000);
            helper.killHard();
            QVERIFY(sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr) == SQLITE_OK);
            QVERIFY2(copying, qPrintable(helper.lines().join(u'\n')));
        }
        sqlite3_close_v2(other);
        const QStringList killedBackup = QDir(day).entryList(parts, QDir::Files);
        const QStringList killedRestore = QDir(beside).entryList(parts, QDir::Files);
        QCOMPARE(killedBackup.size(), 1);
        QVERIFY2(killedBackup[0].startsWith(kDatabaseName + QStringLiteral(".part-")),
                 qPrintable(killedBackup[0]));
        QCOMPARE(killedRestore.size(), 1);
        QVERIFY2(killedRestore[0].startsWith(QStringLiteral("数据库.恢复前-")), qPrintable(killedRestore[0]));

        // Beside them: a link at a part file's name, and files of other names.
        const QString outside = target.filePath(QStringLiteral("outside.db"));
        QFile file(outside);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("outside") == 7);
        file.close();
        const QStringList others{QStringLiteral("别的.db.part-abc"), QStringLiteral("数据库.db.part-1.txt"),
                                 QStringLiteral("数据库.db.partial"), QStringLiteral("数据库.db.part-link")};
        for (const QString& folder : {day, beside}) {
            for (const QString& name : others.mid(0, 3)) {
                QFile other(QDir(folder).filePath(name));
                QVERIFY(other.open(QIODevice::WriteOnly) && other.write("keep") == 4);
            }
            QVERIFY(QFile::link(outside, QDir(folder).filePath(others[3])));
        }
        auto partsIn = [&](const QString& folder) {
            QStringList found = QDir(folder).entryList(parts, QDir::Files | QDir::System);
            for (const QString& name : others) {
                found.removeOne(name);
            }
            return found;
        };

        Restore running(copy, m_folder->databaseFile(), QDateTime(kDay, QTime(9, 0)));
        QVERIFY2(running.prepare(), qPrintable(running.error()));
        const QStringList ownPart = partsIn(beside);
        QCOMPARE(ownPart.size(), 1);
        QVERIFY2(ownPart[0].startsWith(kDatabaseName + QStringLiteral(".part-")), qPrintable(ownPart[0]));

        SettingsWindow::get()->backupFolderBox()->setText(backupFolder);
        backUpOnClose();
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(partsIn(day), QStringList());
        QCOMPARE(partsIn(beside), ownPart);
        QVERIFY2(running.replace(), qPrintable(running.error()));
        QCOMPARE(partsIn(beside), QStringList());
        for (const QString& folder : {day, beside}) {
            for (const QString& name : others) {
                QCOMPARE(contents(QDir(folder).filePath(name)),
                         name == others[3] ? QByteArray("outside") : "keep");
            }
            QVERIFY(QFileInfo(QDir(folder).filePath(others[3])).isSymLink());
        }
        QCOMPARE(contents(outside), QByteArray("outside"));
    }

    // Without the right to write into the backup folder (root may write
    // anywhere: there the read-only disk above stands in).
    void unwritableFolder()
    {
        if (::geteuid() == 0) {
            QSKIP("root may write into any folder");
        }
        QTemporaryDir target;
        const QString backupFolder = target.filePath(QStringLiteral("备份"));
        goodBackupThenChange(backupFolder, m_program);
        const QString day = Backup::dayFolder(backupFolder, kDay);
        const QByteArray earlier = contents(QDir(day).filePath(kDatabaseName));
        QVERIFY(QFile::setPermissions(day, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        QList<Backup::Cause> causes;
        const QStringList failures =
            Backup::run(backupFolder, kDay, m_folder->databaseFile(), m_program, {}, &causes);
        QFile::setPermissions(day, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QCOMPARE(failures.size(), 2);
        QCOMPARE(causes, QList<Backup::Cause>(2, Backup::Cause::Folder));
        for (const QString& failure : failures) {
            QVERIFY2(failure.contains(QStringLiteral("没有写入权限")), qPrintable(failure));
            QVERIFY2(failure.contains(QDir::toNativeSeparators(day)), qPrintable(failure));
            ++m_refused;
        }
        expectEarlierBackupKept(day, earlier, contents(m_program), QStringLiteral("brenvoll"));
    }
};

QTEST_MAIN(TestBackupFaults)
#include "tst_backupfaults.moc"
