// Restoring a backup through the window "恢复备份": real backups in day
// folders, checked and put back over a real database, the main window
// started over on the restored records. HOME is a temporary folder here.
#include "TestSupport.h"
#include "backup/Backup.h"
#include "backup/CloseBackup.h"
#include "backup/ProgressWindow.h"
#include "backup/RestoreWindow.h"
#include "base/Clock.h"
#include "mainwindow/MainWindow.h"
#include "record/RecordStore.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsWindow.h"
#include "storage/Database.h"
#include "ui/MessageBox.h"
#include "ui/ProgramEnd.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <memory>
#include <sqlite3.h>

using namespace brenvoll;

namespace {
const QDateTime kNow(QDate(2016, 5, 7), QTime(18, 30, 5));

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString nameOf(const QString& key)
{
    ExamRecord record;
    return RecordStore::load(key, record) ? record[Field::Name] : QString();
}

// Runs `sql` on the database file at `path`, creating it when missing.
bool execOn(const QString& path, const QString& sql)
{
    sqlite3* db = nullptr;
    const bool done = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK &&
                      sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close_v2(db);
    return done;
}

// The texts of the restore window's columns 日期文件夹, 记录数 and 状态, one
// line per backup, with "+" when its "恢复" can be pressed.
QStringList linesOf(RestoreWindow* window)
{
    QStringList lines;
    for (int row = 0; row < window->list()->rowCount(); ++row) {
        lines << window->list()->item(row, 0)->text() + u' ' + window->list()->item(row, 3)->text() + u' ' +
                     window->list()->item(row, 4)->text() +
                     (window->restoreButton(row)->isEnabled() ? "+" : "");
    }
    return lines;
}
} // namespace

class RestoreTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_home;
    std::unique_ptr<test::TestFolder> m_folder;
    int m_ended = 0;

    QString backupFolder() const { return m_home.filePath(QStringLiteral("备份")); }
    // The day's copy of the database in the backup folder (the database file
    // standing in for the program file too).
    QString backUp(int day)
    {
        const QDate date(2016, 5, day);
        const QString database = m_folder->databaseFile();
        return Backup::run(backupFolder(), date, database, database).isEmpty()
                   ? Backup::dayFolder(backupFolder(), date) + QStringLiteral("/数据库.db")
                   : QString();
    }
    void save(const QString& key, const QString& name)
    {
        QVERIFY(RecordStore::save(test::makeRecord(key, name, QStringLiteral("2016-05-01"))));
    }
    // The restore window opened from the main window's menu, with `folder`
    // typed into the settings, once every line is checked.
    RestoreWindow* openFromMenu(MainWindow& window, const QString& folder)
    {
        window.show();
        SettingsWindow::get()->backupFolderBox()->setText(folder);
        window.findChild<QAction*>(QStringLiteral("恢复备份…"))->trigger();
        RestoreWindow* restore = RestoreWindow::loaded();
        return restore && QTest::qWaitFor([restore] { return !restore->isChecking(); }, 20000) ? restore
                                                                                               : nullptr;
    }

private slots:
    void initTestCase()
    {
        qputenv("HOME", QFile::encodeName(m_home.path()));
        setProgramEnder([this] { ++m_ended; });
    }
    void init()
    {
        MessageBox::setAnswerMode(true);
        Clock::setFixed(kNow);
        m_folder = std::make_unique<test::TestFolder>();
        QVERIFY(m_folder->open());
    }
    void cleanup()
    {
        delete RestoreWindow::loaded();
        delete MainWindow::instance();
        delete SettingsWindow::loaded();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_folder.reset();
        QDir(m_home.path()).removeRecursively();
        QDir().mkpath(m_home.path());
    }

    // Back up, change and delete records, restore the morning's copy from the
    // menu: the records are back, the main window lists them, and the safety
    // copy beside the program holds the changed state.
    void roundTrip()
    {
        save(QStringLiteral("20160501080000"), QStringLiteral("张三"));
        save(QStringLiteral("20160501090000"), QStringLiteral("李四"));
        save(QStringLiteral("20160501100000"), QStringLiteral("王五"));
        const QString copy = backUp(7);
        save(QStringLiteral("20160501090000"), QStringLiteral("改过"));
        QVERIFY(RecordStore::remove(QStringLiteral("20160501100000")));

        MainWindow window;
        const QList<QAction*> settingsMenu = window.findChild<QMenu*>(QStringLiteral("设置"))->actions();
        QCOMPARE(settingsMenu.value(1)->text(), QStringLiteral("恢复备份…"));
        RestoreWindow* restore = openFromMenu(window, backupFolder());
        QVERIFY(restore && restore->isVisible());
        QCOMPARE(restore->windowTitle(), QStringLiteral("恢复备份"));
        const QString when = QFileInfo(copy).lastModified().toString(QStringLiteral("yyyy-MM-dd hh:mm"));
        QStringList line;
        for (int column = 0; column < 5; ++column) {
            line << restore->list()->item(0, column)->text();
        }
        QCOMPARE(restore->list()->rowCount(), 1);
        QCOMPARE(line.value(0) + line.value(1) + line.value(3) + line.value(4),
                 QStringLiteral("7日") + when + QStringLiteral("3完好"));

        const QString safety = QStringLiteral("数据库.恢复前-20160507-183005.db");
        MessageBox::queueAnswer(QMessageBox::No);
        QTest::mouseClick(restore->restoreButton(0), Qt::LeftButton);
        QCOMPARE(MessageBox::takeShown().value(0).text,
                 QStringLiteral("用 %1 的备份替换当前数据库？当前数据库将先另存为 %2。").arg(when, safety));
        QCOMPARE(RecordStore::count(), 2);
        QTest::mouseClick(restore->restoreButton(0), Qt::LeftButton); // 是
        QCOMPARE(MessageBox::takeShown().value(1).text, QStringLiteral("已恢复 %1 的备份。").arg(when));
        QCOMPARE(RecordStore::count(), 3); // on the reopened connection
        QCOMPARE(nameOf(QStringLiteral("20160501090000")), QStringLiteral("李四"));
        QCOMPARE(window.lineCount(), 3); // the start-up search ran again
        QCOMPARE(Restore::inspect(m_folder->path() + u'/' + safety).records, 2);
        const QStringList written{QStringLiteral("*.db"), QStringLiteral("*-journal"),
                                  QStringLiteral("*.part-*")};
        QCOMPARE(QDir(m_folder->path()).entryList(written, QDir::Files),
                 (QStringList{QStringLiteral("数据库.db"), safety}));
    }

    // A damaged copy and one that is not the program's database are shown as
    // such and cannot be restored; the copy is checked again when restoring.
    void damagedCopiesAreRefused()
    {
        backUp(7);
        QFile damaged(backUp(8));
        QVERIFY(damaged.open(QIODevice::ReadWrite));
        for (qint64 page = 4096; page < damaged.size(); page += 4096) { // every page behind the first
            QVERIFY(damaged.seek(page) && damaged.write(QByteArray(64, '\xA5')) == 64);
        }
        damaged.close();
        QVERIFY(QFile::resize(backUp(9), 0));
        const QByteArray live = contents(m_folder->databaseFile());

        MainWindow window;
        RestoreWindow* restore = openFromMenu(window, backupFolder());
        QVERIFY(restore);
        QCOMPARE(restore->list()->rowCount(), 3);
        for (int row = 0; row < 3; ++row) {
            const QString day = restore->list()->item(row, 0)->text();
            const QString state = restore->list()->item(row, 4)->text();
            QCOMPARE(restore->restoreButton(row)->isEnabled(), day == QStringLiteral("7日"));
            QVERIFY2(day == QStringLiteral("7日") || state.startsWith(QStringLiteral("损坏：")),
                     qPrintable(state));
            if (day == QStringLiteral("9日")) {
                QCOMPARE(state, QStringLiteral("损坏：不是本程序的数据库（缺少数据表）"));
            }
            if (day != QStringLiteral("7日")) {
                restore->restoreLine(row); // not even asked
            }
        }
        QVERIFY(MessageBox::takeShown().isEmpty());

        Restore direct(damaged.fileName(), m_folder->databaseFile(), kNow);
        QVERIFY(!direct.prepare());
        QCOMPARE(direct.failedStep(), Restore::Step::WriteChosen);
        QCOMPARE(contents(m_folder->databaseFile()), live);
    }

    // Files that are not the program's database, though they have tables of
    // its names, are shown as such and cannot be restored, from the window
    // or directly: the live database stays as it was. A link, at a copy's
    // name or a day folder's, is not listed and never restored.
    void foreignFilesAreRefused()
    {
        const QString sound = backUp(7);
        const QString noPhrases = backUp(8);
        QVERIFY(execOn(noPhrases, QStringLiteral("drop table 词库")));
        const QString noAddress = backUp(9);
        QVERIFY(execOn(noAddress, QStringLiteral("alter table 档案 drop column 地址")));
        auto dayCopy = [this](int day) {
            const QString folder = Backup::dayFolder(backupFolder(), QDate(2016, 5, day));
            return QDir().mkpath(folder) ? folder + QStringLiteral("/数据库.db") : QString();
        };
        const QString foreign = dayCopy(10);
        QVERIFY(execOn(foreign, QStringLiteral("create table 档案 (编号, 内容); create table 设置 (键, 值); "
                                               "create table 词库 (词)")));
        // Every designed column, but the record key not kept unique.
        QString tables;
        QSqlQuery schema(Database::connection());
        QVERIFY(schema.exec(QStringLiteral("select sql from sqlite_master where type = 'table'")));
        while (schema.next()) {
            tables += schema.value(0).toString().replace(QStringLiteral("UNIQUE"), QString()) + u';';
        }
        const QString notUnique = dayCopy(12);
        QVERIFY(execOn(notUnique, tables));
        QVERIFY(QFile::link(sound, dayCopy(11)));
        QVERIFY(QFile::link(QFileInfo(sound).path(), Backup::dayFolder(backupFolder(), QDate(2016, 5, 13))));
        const QByteArray live = contents(m_folder->databaseFile());

        MainWindow window;
        RestoreWindow* restore = openFromMenu(window, backupFolder());
        QVERIFY(restore);
        QStringList lines = linesOf(restore);
        lines.sort();
        QCOMPARE(lines,
                 (QStringList{QStringLiteral("10日  损坏：不是本程序的数据库（数据表“档案”缺少“姓名”列）"),
                              QStringLiteral("12日  损坏：不是本程序的数据库（“序列号”不是唯一的）"),
                              QStringLiteral("7日 0 完好+"),
                              QStringLiteral("8日  损坏：不是本程序的数据库（缺少数据表）"),
                              QStringLiteral("9日  损坏：不是本程序的数据库（数据表“档案”缺少“地址”列）")}));

        for (const QString& copy : {noPhrases, noAddress, foreign, notUnique, dayCopy(11)}) {
            QVERIFY2(!Restore::inspect(copy).sound || copy == dayCopy(11), qPrintable(copy));
            Restore direct(copy, m_folder->databaseFile(), kNow);
            QVERIFY2(!direct.prepare(), qPrintable(copy));
            QCOMPARE(direct.failedStep(), Restore::Step::WriteChosen);
            QVERIFY2(direct.error().contains(copy == dayCopy(11) ? QStringLiteral("链接")
                                                                 : QStringLiteral("不是本程序的数据库")),
                     qPrintable(direct.error()));
            QCOMPARE(contents(m_folder->databaseFile()), live);
        }
        QCOMPARE(contents(sound), live); // what the link points to stays as it was
    }

    // The database kept before a restore is offered in the window too: the
    // restore is undone there.
    void aRestoreIsUndoneFromTheWindow()
    {
        save(QStringLiteral("20160501080000"), QStringLiteral("张三"));
        backUp(7);
        save(QStringLiteral("20160501090000"), QStringLiteral("备份之后加的"));
        MainWindow window;
        RestoreWindow* restore = openFromMenu(window, backupFolder());
        QVERIFY(restore);
        QCOMPARE(linesOf(restore), QStringList{QStringLiteral("7日 1 完好+")});
        restore->restoreLine(0);
        QCOMPARE(RecordStore::count(), 1);
        delete restore;
        MessageBox::takeShown();

        restore = openFromMenu(window, backupFolder());
        QVERIFY(restore);
        const QStringList lines = linesOf(restore);
        const qsizetype kept = lines.indexOf(QStringLiteral("恢复前 2 完好+"));
        QVERIFY2(kept >= 0, qPrintable(lines.join(u'\n')));
        QCOMPARE(restore->copies()[kept].path,
                 m_folder->path() + QStringLiteral("/数据库.恢复前-20160507-183005.db"));
        const QString where = restore->findChild<QLabel*>(QStringLiteral("foldersLabel"))->text();
        QVERIFY2(where.contains(QDir::toNativeSeparators(m_folder->path())), qPrintable(where));
        restore->restoreLine(int(kept));
        QCOMPARE(RecordStore::count(), 2);
        QCOMPARE(nameOf(QStringLiteral("20160501090000")), QStringLiteral("备份之后加的"));
    }

    // The backups made on the last and the first day of a month are offered
    // like every other day's.
    void lastAndFirstDayOfTheMonthAreOffered()
    {
        MainWindow window;
        window.show();
        SettingsWindow::get()->backupFolderBox()->setText(backupFolder());
        for (const QDate day : {QDate(2016, 5, 31), QDate(2016, 6, 1)}) {
            Clock::setFixed(QDateTime(day, QTime(18, 30)));
            backUpOnClose();
            QVERIFY(MessageBox::takeShown().isEmpty());
        }
        Clock::setFixed(kNow);
        RestoreWindow* restore = openFromMenu(window, backupFolder());
        QVERIFY(restore);
        QStringList lines = linesOf(restore);
        lines.sort();
        QCOMPARE(lines, (QStringList{QStringLiteral("1日 0 完好+"), QStringLiteral("31日 0 完好+")}));
    }

    // A journal left beside the database by an interrupted write belongs to
    // the old file: it is rolled back into that one, never into the restored.
    void journalOfTheOldFileIsNeverApplied()
    {
        save(QStringLiteral("20160501080000"), QStringLiteral("备份里的"));
        const QString copy = m_home.filePath(QStringLiteral("copy.db"));
        QVERIFY(Backup::copyDatabase(m_folder->databaseFile(), copy));
        Restore restore(copy, m_folder->databaseFile(), kNow);
        QVERIFY(restore.prepare());
        save(QStringLiteral("20160501080000"), QStringLiteral("备份之后改的"));
        save(QStringLiteral("20160501090000"), QStringLiteral("备份之后加的"));

        // Another program crashes in the middle of a large write.
        Database::close();
        const QString database = m_folder->databaseFile();
        const QString crashed = m_home.filePath(QStringLiteral("crashed.db"));
        const QString journal = QStringLiteral("-journal");
        QVERIFY(test::crashedMidWrite(database, crashed));
        QVERIFY(QFile::remove(database) && QFile::rename(crashed, database) &&
                QFile::rename(crashed + journal, database + journal));

        QVERIFY2(restore.replace(), qPrintable(restore.error()));
        QVERIFY(!QFileInfo::exists(database + journal));
        QVERIFY(Backup::checkDatabase(database));
        QCOMPARE(contents(database), contents(copy));
        QCOMPARE(RecordStore::count(), 1);
    }

    // An empty backup folder means the home folder; the setting stays empty.
    // The copy runs under a window that cannot be closed before it ends.
    void emptyFolderMeansHomeAndCloseShowsProgress()
    {
        const QString copy = m_home.filePath(QStringLiteral("7日/数据库.db"));
        QCOMPARE(Backup::dayFolder(QString(), kNow.date()) + QStringLiteral("/数据库.db"), copy);
        auto* window = new MainWindow();
        window->show();
        QCOMPARE(SettingsWindow::get()->backupFolder(), QString());
        // Another connection keeps the database locked for a moment, so the
        // copy waits and its window can be seen.
        sqlite3* other = nullptr;
        QVERIFY(sqlite3_open(QFile::encodeName(m_folder->databaseFile()).constData(), &other) == SQLITE_OK);
        QVERIFY(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK);
        QString seen;
        QTimer::singleShot(100, [&] {
            if (ProgressWindow* progress = ProgressWindow::current()) {
                progress->close();
                seen = progress->windowTitle() + (progress->isModal() && progress->isVisible() ? "+" : "-");
            }
            sqlite3_close_v2(other); // rolls back and unlocks
        });
        QVERIFY(window->close());
        QCOMPARE(seen, QStringLiteral("正在备份数据库…+")); // modal, and still open after close()
        QCOMPARE(m_ended, 1);
        QVERIFY(MessageBox::takeShown().isEmpty());
        QVERIFY(Backup::checkDatabase(copy));
        Settings stored;
        QVERIFY(SettingsStore::read(stored) && stored.folder.isEmpty());

        RestoreWindow* restore = openFromMenu(*window, QString());
        QVERIFY(restore && restore->copies().size() == 1);
        QCOMPARE(restore->copies()[0].path, copy);
    }
};

QTEST_MAIN(RestoreTest)
#include "tst_restore.moc"
