// The backup into the day folder: real files, a real copy of the database,
// and the main window's close on real widgets.
#include "PgServer.h"
#include "TestSupport.h"
#include "backup/Backup.h"
#include "backup/ProgressWindow.h"
#include "backup/RestoreWindow.h"
#include "base/Clock.h"
#include "base/ProgramPaths.h"
#include "drafts/DraftStore.h"
#include "mainwindow/MainWindow.h"
#include "record/RecordStore.h"
#include "settings/SettingsWindow.h"
#include "storage/Database.h"
#include "storage/ServerConfig.h"
#include "ui/MessageBox.h"
#include "ui/ProgramEnd.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSqlDatabase>
#include <QtTest>

#include <memory>
#include <sqlite3.h>

using namespace brenvoll;

namespace {
constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// Phrases of a database file, read on a connection of their own.
QStringList phrasesIn(const QString& path)
{
    QStringList phrases;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("reader"));
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery query(db);
            query.exec(QStringLiteral("select 常用语 from 词库 order by rowid"));
            while (query.next()) {
                phrases << query.value(0).toString();
            }
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("reader"));
    return phrases;
}
} // namespace

class BackupTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<test::TestFolder> m_folder;
    std::unique_ptr<QTemporaryDir> m_target;
    QString m_program;
    int m_ended = 0;
    QList<MessageBox::Shown> m_shownAtEnd; // the boxes shown before the end

    void addPhrase(const QString& phrase)
    {
        QSqlQuery query = Database::prepare(QStringLiteral("insert into 词库 (常用语) values (?)"));
        query.addBindValue(phrase);
        QVERIFY(Database::exec(query));
    }
    QString target(const QString& relative) const { return m_target->filePath(relative); }
    static QByteArray contents(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void initTestCase()
    {
        setProgramEnder([this] {
            ++m_ended;
            m_shownAtEnd = MessageBox::takeShown();
        });
    }
    void cleanupTestCase() { setProgramEnder({}); }

    void init()
    {
        MessageBox::setAnswerMode(true);
        m_ended = 0;
        m_shownAtEnd.clear();
        Clock::setFixed(QDateTime(QDate(2016, 5, 7), QTime(18, 30)));
        m_folder = std::make_unique<test::TestFolder>();
        QVERIFY(m_folder->open());
        m_target = std::make_unique<QTemporaryDir>();
        m_program = m_folder->path() + QStringLiteral("/brenvoll");
        QFile program(m_program);
        QVERIFY(program.open(QIODevice::WriteOnly));
        program.write(QByteArray(300000, '\x7f') + "program");
    }

    void cleanup()
    {
        delete MainWindow::instance();
        delete SettingsWindow::loaded();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Clock::reset();
        m_folder.reset();
        m_target.reset();
    }

    void dayFolder()
    {
        QCOMPARE(Backup::dayFolderName(QDate(2016, 5, 7)), QStringLiteral("7日"));
        QCOMPARE(Backup::dayFolderName(QDate(2016, 12, 31)), QStringLiteral("31日"));
        QCOMPARE(Backup::dayFolder(QStringLiteral("/d/备份"), QDate(2016, 6, 1)),
                 QStringLiteral("/d/备份/1日"));
        QCOMPARE(Backup::dayFolder(QStringLiteral("\\d\\备份"), QDate(2016, 6, 1)),
                 QStringLiteral("/d/备份/1日"));
    }

    void intoNewNestedFolder()
    {
        addPhrase(QStringLiteral("备份前的常用语"));
        const QStringList failures = Backup::run(target(QStringLiteral("备份/二级")), Clock::today(),
                                                 m_folder->databaseFile(), m_program);
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));

        const QString copy = target(QStringLiteral("备份/二级/7日/数据库.db"));
        const QString programCopy = target(QStringLiteral("备份/二级/7日/brenvoll"));
        QString error;
        QVERIFY2(Backup::checkDatabase(copy, &error), qPrintable(error));
        QCOMPARE(phrasesIn(copy), phrasesIn(m_folder->databaseFile()));
        QVERIFY(phrasesIn(copy).contains(QStringLiteral("备份前的常用语")));
        QCOMPARE(contents(programCopy), contents(m_program));
        QCOMPARE(QFile::permissions(copy) & ~QFileDevice::Permissions(0x0700), kOwnerOnly);
        QCOMPARE(QFile::permissions(programCopy) & ~QFileDevice::Permissions(0x0700), kOwnerOnly);
        // Nothing half-written is left beside the copies.
        QCOMPARE(QDir(target(QStringLiteral("备份/二级/7日"))).entryList(QDir::Files | QDir::Hidden).size(),
                 2);
    }

    void sameDayTwiceKeepsTheLater()
    {
        const QString folder = target(QStringLiteral("bk"));
        QVERIFY(Backup::run(folder, Clock::today(), m_folder->databaseFile(), m_program).isEmpty());
        addPhrase(QStringLiteral("后来加的"));
        QFile program(m_program);
        QVERIFY(program.open(QIODevice::WriteOnly | QIODevice::Truncate));
        program.write("second program");
        program.close();
        QVERIFY(Backup::run(folder, Clock::today(), m_folder->databaseFile(), m_program).isEmpty());

        QVERIFY(phrasesIn(target(QStringLiteral("bk/7日/数据库.db"))).contains(QStringLiteral("后来加的")));
        QCOMPARE(contents(target(QStringLiteral("bk/7日/brenvoll"))), QByteArray("second program"));
        // The next day goes into its own folder and leaves the 7th alone.
        QVERIFY(Backup::run(folder, QDate(2016, 5, 8), m_folder->databaseFile(), m_program).isEmpty());
        QVERIFY(QFileInfo::exists(target(QStringLiteral("bk/8日/数据库.db"))));
        QCOMPARE(QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 2);
    }

    void uncommittedWriteStaysOut()
    {
        addPhrase(QStringLiteral("已保存"));
        QSqlDatabase db = Database::connection();
        QVERIFY(db.transaction());
        addPhrase(QStringLiteral("写到一半"));
        const QString copy = target(QStringLiteral("x/7日/数据库.db"));
        const QStringList failures =
            Backup::run(target(QStringLiteral("x")), Clock::today(), m_folder->databaseFile(), m_program);
        QVERIFY(db.rollback());
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
        QVERIFY(Backup::checkDatabase(copy));
        QVERIFY(phrasesIn(copy).contains(QStringLiteral("已保存")));
        QVERIFY(!phrasesIn(copy).contains(QStringLiteral("写到一半")));
    }

    void journalLeftByACrashIsRolledBack()
    {
        const QStringList committed = phrasesIn(m_folder->databaseFile());
        const QString crashed = target(QStringLiteral("crashed.db"));
        QVERIFY(test::crashedMidWrite(m_folder->databaseFile(), crashed));
        QVERIFY(QFileInfo(crashed).size() > QFileInfo(m_folder->databaseFile()).size());

        const QString copy = target(QStringLiteral("copy.db"));
        QString error;
        QVERIFY2(Backup::copyDatabase(crashed, copy, &error), qPrintable(error));
        QVERIFY(Backup::checkDatabase(copy));
        QCOMPARE(phrasesIn(copy), committed);
    }

    void failedCopyKeepsEarlierBackup()
    {
        const QString folder = target(QStringLiteral("bk"));
        QVERIFY(Backup::run(folder, Clock::today(), m_folder->databaseFile(), m_program).isEmpty());
        const QByteArray earlier = contents(target(QStringLiteral("bk/7日/数据库.db")));
        // A damaged database of the same name: its copy fails the check.
        const QString damaged = target(QStringLiteral("损坏/数据库.db"));
        QVERIFY(QDir().mkpath(QFileInfo(damaged).path()));
        QVERIFY(QFile::copy(m_folder->databaseFile(), damaged));
        QVERIFY(QFile(damaged).resize(QFileInfo(damaged).size() / 2 + 100));
        const QStringList failures = Backup::run(folder, Clock::today(), damaged, m_program);
        QCOMPARE(failures.size(), 1);
        QVERIFY2(failures[0].contains(QStringLiteral("数据库.db")) && failures[0].contains(folder + "/7日"),
                 qPrintable(failures[0]));
        QCOMPARE(contents(target(QStringLiteral("bk/7日/数据库.db"))), earlier);
        QVERIFY(Backup::checkDatabase(target(QStringLiteral("bk/7日/数据库.db"))));
        QCOMPARE(QDir(target(QStringLiteral("bk/7日"))).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    // Whoever may write into a shared backup folder can plant links at the
    // names the backup writes; each is replaced, and what it pointed to (the
    // live database, any other file) stays untouched. A day folder that is
    // itself a link is refused.
    void linksInTheBackupFolderAreNeverFollowed()
    {
        const QString outside = target(QStringLiteral("outside.txt"));
        QFile file(outside);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("outside");
        file.close();
        const QString live = m_folder->databaseFile();
        const QByteArray liveBytes = contents(live);
        const auto livePermissions = QFile::permissions(live);
        const auto outsidePermissions = QFile::permissions(outside);
        const QString day = target(QStringLiteral("bk/7日/"));
        QVERIFY(QDir().mkpath(day));
        const QStringList names{QStringLiteral("brenvoll"), QStringLiteral("数据库.db"),
                                QStringLiteral("数据库.db.part"), QStringLiteral("数据库.db.part-journal"),
                                QStringLiteral("brenvoll.part")};
        for (qsizetype i = 0; i < names.size(); ++i) {
            QVERIFY(QFile::link(i % 2 == 0 ? live : outside, day + names[i]));
        }

        const QStringList failures =
            Backup::run(target(QStringLiteral("bk")), Clock::today(), live, m_program);
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
        QCOMPARE(contents(live), liveBytes);
        QCOMPARE(QFile::permissions(live), livePermissions);
        QCOMPARE(contents(outside), QByteArray("outside"));
        QCOMPARE(QFile::permissions(outside), outsidePermissions);
        for (const QString& name : {QStringLiteral("brenvoll"), QStringLiteral("数据库.db")}) {
            QVERIFY(!QFileInfo(day + name).isSymLink());
            QCOMPARE(QFile::permissions(day + name) & ~QFileDevice::Permissions(0x0700), kOwnerOnly);
        }
        QCOMPARE(contents(day + QStringLiteral("brenvoll")), contents(m_program));
        QVERIFY(Backup::checkDatabase(day + QStringLiteral("数据库.db")));

        QVERIFY(QFile::link(m_folder->path(), target(QStringLiteral("bk/8日"))));
        const QStringList refused =
            Backup::run(target(QStringLiteral("bk")), QDate(2016, 5, 8), live, m_program);
        QCOMPARE(refused.size(), 2);
        QVERIFY2(refused[0].contains(QStringLiteral("链接")), qPrintable(refused[0]));
        QCOMPARE(contents(live), liveBytes);
        QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files),
                 (QStringList{QStringLiteral("brenvoll"), QStringLiteral("数据库.db")}));
    }

    void folderCannotBeCreated_data()
    {
        QTest::addColumn<QString>("blocker"); // an ordinary file where a folder is needed
        QTest::addColumn<QString>("folder");
        QTest::newRow("backup folder below a file") << "plain.txt"
                                                    << "plain.txt/备份";
        QTest::newRow("day folder is a file") << "bk/7日"
                                              << "bk";
    }
    void folderCannotBeCreated()
    {
        QFETCH(QString, blocker);
        QFETCH(QString, folder);
        QVERIFY(QDir().mkpath(QFileInfo(target(blocker)).path()));
        QFile file(target(blocker));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("keep");
        file.close();

        QList<Backup::Cause> causes;
        const QStringList failures =
            Backup::run(target(folder), Clock::today(), m_folder->databaseFile(), m_program, {}, &causes);
        QCOMPARE(failures.size(), 1);
        QVERIFY2(failures[0].contains(QStringLiteral("无法创建备份文件夹")), qPrintable(failures[0]));
        QVERIFY2(failures[0].contains(target(folder) + QStringLiteral("/7日")), qPrintable(failures[0]));
        QCOMPARE(contents(target(blocker)), QByteArray("keep"));
        QCOMPARE(causes, QList<Backup::Cause>{Backup::Cause::Folder});
        const QString message = Backup::failureMessage(failures, causes);
        QVERIFY(message.contains(failures[0]));
        QVERIFY(message.contains(QStringLiteral("综合设置")));
    }

    void missingProgramFileIsTold()
    {
        const QStringList failures =
            Backup::run(target(QStringLiteral("bk")), Clock::today(), m_folder->databaseFile(),
                        m_program + QStringLiteral(".gone"));
        QCOMPARE(failures.size(), 1);
        QVERIFY2(failures[0].startsWith(QStringLiteral("程序文件“brenvoll.gone”")), qPrintable(failures[0]));
        QVERIFY(Backup::checkDatabase(target(QStringLiteral("bk/7日/数据库.db"))));
    }

    void closingMainWindowBacksUpThenEnds()
    {
        auto* mainWindow = new MainWindow();
        mainWindow->show();
        // Typed into the settings window and not saved: this folder counts.
        SettingsWindow::get()->backupFolderBox()->setText(target(QStringLiteral("未保存/备份")));
        QVERIFY(mainWindow->close());
        QCOMPARE(m_ended, 1);
        QVERIFY(m_shownAtEnd.isEmpty());
        QVERIFY(!mainWindow->isVisible());
        QVERIFY(Backup::checkDatabase(target(QStringLiteral("未保存/备份/7日/数据库.db"))));
        const QString programName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
        QVERIFY(QFileInfo(target(QStringLiteral("未保存/备份/7日/") + programName)).isFile());
    }

    void closingKeepsTheUnsavedSheetAndBacksItsDraftUp()
    {
        auto* mainWindow = new MainWindow();
        mainWindow->loadOnStart();
        mainWindow->show();
        mainWindow->box(Field::Name)->setText(QStringLiteral("未保存的人"));
        SettingsWindow::get()->backupFolderBox()->setText(target(QStringLiteral("bk")));
        QVERIFY(mainWindow->close());
        QCOMPARE(m_ended, 1);
        QVERIFY2(m_shownAtEnd.isEmpty(), qPrintable(m_shownAtEnd.value(0).text));
        const QString copy = target(QStringLiteral("bk/7日/数据库.drafts"));
        QCOMPARE(QFile::permissions(copy) & ~QFileDevice::Permissions(0x0700), kOwnerOnly);
        for (const QString& drafts : {draftsPath(m_folder->databaseFile()), copy}) {
            DraftStore store;
            QVERIFY(store.open(drafts, Clock::now()));
            QCOMPARE(store.leftOpen().count, 0); // a clean close
            std::vector<Draft> kept;
            QVERIFY(store.list(kept));
            QCOMPARE(kept.size(), size_t(1));
            QCOMPARE(kept[0].record[Field::Name], QStringLiteral("未保存的人"));
        }
    }

    // A drafts file left in its write-ahead log (by a run killed while it
    // typed, or closed while another program still had the file open) is
    // copied with what its log holds, as an ordinary database file of its own,
    // and the backup goes on without a message.
    void draftsLeftInTheirLogAreBackedUp()
    {
        const QString drafts = draftsPath(m_folder->databaseFile());
        const QString copy = target(QStringLiteral("bk/7日/数据库.drafts"));
        auto expectCopyHolds = [&](const QString& name) {
            QCOMPARE(contents(copy).mid(18, 2), QByteArray("\x01\x01")); // no log of its own
            QVERIFY(!QFileInfo::exists(copy + QStringLiteral("-wal")));
            DraftStore store;
            QVERIFY(store.open(copy, Clock::now()));
            std::vector<Draft> kept;
            QVERIFY(store.list(kept));
            QCOMPARE(kept.size(), size_t(1));
            QCOMPARE(kept[0].record[Field::Name], name);
        };

        // What a kill leaves: the file and its synced log, the draft in the log.
        {
            QTemporaryDir running;
            const QString live = running.filePath(QStringLiteral("数据库.drafts"));
            DraftStore store;
            QVERIFY(store.open(live, Clock::now()));
            Draft draft;
            draft.typedAt = Clock::now();
            draft.record[Field::Name] = QStringLiteral("被中断时的草稿");
            QVERIFY(store.write(draft));
            QVERIFY(QFileInfo(live + QStringLiteral("-wal")).size() > 0);
            QVERIFY(QFile::copy(live, drafts) &&
                    QFile::copy(live + QStringLiteral("-wal"), drafts + QStringLiteral("-wal")));
        }
        QCOMPARE(contents(drafts).mid(18, 2), QByteArray("\x02\x02"));
        const QStringList failures =
            Backup::run(target(QStringLiteral("bk")), Clock::today(), m_folder->databaseFile(), m_program);
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
        expectCopyHolds(QStringLiteral("被中断时的草稿"));
        for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
            QFile::remove(drafts + suffix);
        }
        QVERIFY(!QFileInfo::exists(drafts));

        // Another program keeps the drafts file open: the close cannot take
        // the file out of its log.
        auto* mainWindow = new MainWindow();
        mainWindow->loadOnStart();
        mainWindow->show();
        mainWindow->box(Field::Name)->setText(QStringLiteral("另一个程序打开草稿时"));
        sqlite3* other = nullptr;
        QVERIFY(sqlite3_open_v2(QFile::encodeName(drafts).constData(), &other, SQLITE_OPEN_READONLY,
                                nullptr) == SQLITE_OK);
        QVERIFY(sqlite3_exec(other, "select count(*) from 草稿", nullptr, nullptr, nullptr) == SQLITE_OK);
        SettingsWindow::get()->backupFolderBox()->setText(target(QStringLiteral("bk")));
        QVERIFY(mainWindow->close());
        sqlite3_close_v2(other);
        QCOMPARE(m_ended, 1);
        QVERIFY2(m_shownAtEnd.isEmpty(), qPrintable(m_shownAtEnd.value(0).text));
        expectCopyHolds(QStringLiteral("另一个程序打开草稿时"));
    }

    // A drafts file the run cannot use (damaged, or a link to the records
    // database) is told of once, when the run starts; the close neither
    // tells of it again nor backs it up, and the database stays as it was.
    void unusableDraftsFileIsToldOnceAtStartUp_data()
    {
        QTest::addColumn<bool>("link");
        QTest::newRow("damaged") << false;
        QTest::newRow("link to the database") << true;
    }
    void unusableDraftsFileIsToldOnceAtStartUp()
    {
        QFETCH(bool, link);
        const QString drafts = draftsPath(m_folder->databaseFile());
        if (link) {
            QVERIFY(QFile::link(m_folder->databaseFile(), drafts));
        } else {
            QFile damaged(drafts);
            QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write(QByteArray(8192, '\x5a')) == 8192);
        }
        const QByteArray database = contents(m_folder->databaseFile());
        auto* mainWindow = new MainWindow();
        mainWindow->loadOnStart();
        mainWindow->show();
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.startsWith(QStringLiteral("无法保存未保存表格的草稿")) &&
                     shown[0].text.contains(link ? QStringLiteral("链接") : QStringLiteral("草稿文件已损坏")),
                 qPrintable(shown[0].text));
        mainWindow->box(Field::Name)->setText(QStringLiteral("未保存的人"));
        SettingsWindow::get()->backupFolderBox()->setText(target(QStringLiteral("bk")));
        QVERIFY(mainWindow->close());
        QCOMPARE(m_ended, 1);
        QVERIFY2(m_shownAtEnd.isEmpty(), qPrintable(m_shownAtEnd.value(0).text));
        QVERIFY(Backup::checkDatabase(target(QStringLiteral("bk/7日/数据库.db"))));
        QVERIFY(!QFileInfo::exists(target(QStringLiteral("bk/7日/数据库.drafts"))));
        QCOMPARE(contents(m_folder->databaseFile()), database);
    }

    void folderTypedAfterAFailedLoadCounts()
    {
        QSqlQuery clear = Database::prepare(QStringLiteral("delete from 设置"));
        QVERIFY(Database::exec(clear));
        auto* mainWindow = new MainWindow();
        mainWindow->show();
        SettingsWindow* settings = SettingsWindow::showWindow();
        QCOMPARE(MessageBox::takeShown().size(), 1); // the settings could not be read
        QTest::keyClicks(settings->backupFolderBox(), target(QStringLiteral("typed")));
        QVERIFY(mainWindow->close());
        QCOMPARE(m_ended, 1);
        QVERIFY2(m_shownAtEnd.isEmpty(), qPrintable(m_shownAtEnd.value(0).text));
        QVERIFY(Backup::checkDatabase(target(QStringLiteral("typed/7日/数据库.db"))));
    }

    void failedBackupIsToldOnceBeforeTheEnd()
    {
        QFile file(target(QStringLiteral("plain.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        auto* mainWindow = new MainWindow();
        mainWindow->show();
        SettingsWindow::get()->backupFolderBox()->setText(target(QStringLiteral("plain.txt/备份")));
        QVERIFY(mainWindow->close());
        QCOMPARE(m_ended, 1);
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(m_shownAtEnd.size(), 1);
        const MessageBox::Shown& shown = m_shownAtEnd[0];
        QCOMPARE(shown.icon, QMessageBox::Warning);
        QCOMPARE(shown.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY2(shown.text.contains(target(QStringLiteral("plain.txt/备份/7日"))), qPrintable(shown.text));
        QVERIFY(shown.text.contains(QStringLiteral("数据库和程序文件都没有备份")));
        QVERIFY(shown.text.contains(QStringLiteral("请在“综合设置”中选择")));
    }

    // A dump's size is not known beforehand: the progress window shows a
    // moving bar and the megabytes written so far.
    void progressOfUnknownSizeShowsTheBytesWritten()
    {
        int maximum = -1;
        QString caption;
        ProgressWindow::run(QStringLiteral("正在备份数据库…"), [&](const Backup::Progress& progress) {
            progress(qint64(5) << 20, -1);
            // Read on the window's thread once the step above has reached it.
            QMetaObject::invokeMethod(
                qApp,
                [&] {
                    maximum = ProgressWindow::current()->bar()->maximum();
                    caption = ProgressWindow::current()
                                  ->findChild<QLabel*>(QStringLiteral("progressCaption"))
                                  ->text();
                },
                Qt::BlockingQueuedConnection);
        });
        QCOMPARE(maximum, 0); // a busy bar
        QVERIFY2(caption.contains(QStringLiteral("已写入 5 MB")), qPrintable(caption));
    }

    // With a server the day folder gets a pg_dump file of its database; a
    // missing pg_dump is reported as any failed backup.
    void serverDatabaseIsDumped()
    {
        BRENVOLL_PG_PROGRAM_DATABASE(conninfo);
        Database::close();
        QFile config(serverConfigPath(m_folder->path()));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(test::PgServer::shared().configText(conninfo).toUtf8());
        config.close();
        const auto server = readServerConfig(m_folder->path(), nullptr);
        QVERIFY(server && Database::openServer(*server));
        QVERIFY(RecordStore::save(test::makeRecord(QStringLiteral("20160507080000"), QStringLiteral("甲"),
                                                   QStringLiteral("2016-05-07"))));
        const QString& program = m_program;
        const QString folder = m_target->path();
        // The dump's size is not known beforehand: the bytes written so far,
        // growing to the file's size, with a total of -1.
        std::vector<std::pair<qint64, qint64>> steps;
        QCOMPARE(Backup::run(folder, QDate(2016, 5, 7), Database::filePath(), program,
                             [&](qint64 done, qint64 total) { steps.emplace_back(done, total); }),
                 QStringList());
        const QString dump = folder + QStringLiteral("/7日/数据库.dump");
        QVERIFY(!steps.empty());
        QCOMPARE(steps.back().first, QFileInfo(dump).size());
        for (size_t i = 0; i < steps.size(); ++i) {
            QCOMPARE(steps[i].second, qint64(-1));
            QVERIFY(i == 0 || steps[i].first > steps[i - 1].first);
        }
        QProcess list;
        list.start(QStringLiteral("pg_restore"), {QStringLiteral("--list"), dump});
        QVERIFY(list.waitForFinished() && list.exitCode() == 0);
        QVERIFY(QString::fromUtf8(list.readAll()).contains(QStringLiteral("TABLE DATA public 档案")));
        QCOMPARE(QDir(folder + QStringLiteral("/7日")).entryList(QDir::Files).size(), 2);

        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", "/nonexistent");
        const QStringList failures = Backup::run(folder, QDate(2016, 5, 7), Database::filePath(), program);
        qputenv("PATH", path);
        QCOMPARE(failures.size(), 1);
        QVERIFY(failures[0].contains(QStringLiteral("pg_dump")));
        QVERIFY(QFileInfo(dump).size() > 0); // the earlier dump stays

        // Restoring is the server administrator's: the window never opens.
        {
            MainWindow window;
            window.findChild<QAction*>(QStringLiteral("恢复备份…"))->trigger();
            const auto shown = MessageBox::takeShown();
            QCOMPARE(shown.size(), 1);
            QVERIFY(shown[0].text.contains(QStringLiteral("pg_restore")));
            QVERIFY(!RestoreWindow::loaded());
        }

        // The server gone when the desk closes: told as any failed backup,
        // the earlier dump kept, and the program ends all the same.
        auto* closing = new MainWindow();
        closing->show();
        SettingsWindow::get()->backupFolderBox()->setText(folder);
        auto& pg = test::PgServer::shared();
        QString error;
        QVERIFY2(pg.stopServer(QStringLiteral("fast"), &error), qPrintable(error));
        const auto restart = qScopeGuard([&] { QVERIFY2(pg.startServer(&error), qPrintable(error)); });
        const qint64 earlier = QFileInfo(dump).size();
        QVERIFY(closing->close());
        QCOMPARE(m_ended, 1);
        QCOMPARE(m_shownAtEnd.size(), 1);
        QCOMPARE(m_shownAtEnd[0].icon, QMessageBox::Warning);
        QVERIFY2(m_shownAtEnd[0].text.contains(QStringLiteral("pg_dump 失败")),
                 qPrintable(m_shownAtEnd[0].text));
        QCOMPARE(QFileInfo(dump).size(), earlier);
    }

    void endProgramMakesNoBackup()
    {
        auto* mainWindow = new MainWindow();
        mainWindow->show();
        SettingsWindow::get()->backupFolderBox()->setText(target(QStringLiteral("bk")));
        endProgram();
        QCOMPARE(m_ended, 1);
        QVERIFY(!QFileInfo::exists(target(QStringLiteral("bk"))));
        QVERIFY(mainWindow->isVisible());
    }
};

QTEST_MAIN(BackupTest)
#include "tst_backup.moc"
