// The kept versions on the main window: 历史版本… and 已删除的记录…, the
// question before overwriting another desk's change, a restored draft saved
// again, and the upgrade of a database made before versions were kept.
#include "FaultVfs.h"
#include "TestSupport.h"
#include "backup/Restore.h"
#include "backup/SchemaUpgrade.h"
#include "base/Clock.h"
#include "drafts/SheetDrafts.h"
#include "mainwindow/HistoryWindows.h"
#include "mainwindow/MainWindow.h"
#include "record/RecordHistory.h"
#include "record/RecordStore.h"
#include "record/ResultModel.h"
#include "sheet/SheetView.h"
#include "storage/Database.h"
#include "storage/HistoryTables.h"
#include "ui/MessageBox.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>
#include <QTreeWidget>

using namespace brenvoll;

namespace {
const QString kChanged = QStringLiteral("此记录已被其他工作站修改。是否覆盖？");

std::vector<RecordVersion> versionsOf(const QString& key)
{
    std::vector<RecordVersion> versions;
    RecordHistory::versions(key, versions);
    return versions;
}

QStringList texts(const QList<MessageBox::Shown>& shown)
{
    QStringList list;
    for (const auto& s : shown) {
        list << s.text;
    }
    return list;
}

QByteArray fileHash(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
               ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
               : QByteArray();
}

QStringList safetyCopies(const QString& database)
{
    return QFileInfo(database).absoluteDir().entryList({QStringLiteral("数据库.恢复前-*")}, QDir::Files);
}
} // namespace

class MainWindowHistoryTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::TestFolder> m_folder;
    std::unique_ptr<MainWindow> m_form;
    SchemaUpgrade::Result m_upgrade; // what the last start's upgrade did

    MainWindow& form() { return *m_form; }
    QLineEdit* box(Field field) { return m_form->box(field); }
    void start()
    {
        Clock::setFixed(QDateTime(QDate(2016, 5, 9), QTime(8, 0)));
        // As the program starts: the database is upgraded where it opens,
        // before the main window reads it.
        m_upgrade = SchemaUpgrade::runAndTell(nullptr, Clock::now());
        m_form = std::make_unique<MainWindow>();
        m_form->loadOnStart();
    }
    void select(const QString& key)
    {
        form().fromDate()->setText(QStringLiteral("2016-01-01"));
        form().search();
        form().selectLine(form().results()->lineOf(key));
        QCOMPARE(box(Field::Key)->text(), key);
    }
    // Stores `key`, then saves it changed twice on the sheet.
    void storeWithTwoVersions(const QString& key)
    {
        QVERIFY(
            RecordStore::save(test::makeRecord(key, QStringLiteral("张三"), QStringLiteral("2016-05-07"))));
        select(key);
        box(Field::Conclusion)->setText(QStringLiteral("第一次"));
        form().saveRecord();
        box(Field::Conclusion)->setText(QStringLiteral("第二次"));
        box(Field::Telephone)->setText(QStringLiteral("110"));
        form().saveRecord();
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(versionsOf(key).size(), size_t(2));
    }
    // The database as one made before versions were kept.
    void dropHistoryTables()
    {
        QSqlQuery drop(Database::connection());
        QVERIFY(drop.exec(QStringLiteral("drop table 档案版本")));
        QVERIFY(drop.exec(QStringLiteral("drop table 档案恢复")));
        Database::close();
        QVERIFY(m_folder->open());
        QVERIFY(!HistoryTables::present());
    }

private slots:
    void initTestCase() { test::FaultVfs::install(); }
    void init()
    {
        MessageBox::setAnswerMode(true);
        m_folder = std::make_unique<test::TestFolder>();
        QVERIFY(m_folder->open());
    }
    void cleanup()
    {
        m_form.reset();
        m_folder.reset();
        Clock::reset();
    }

    // The versions newest first, one shown read-only with its differences
    // tinted, 关闭 back to the stored record, 恢复此版本 unsaved until 保存.
    void versionsAreShownAndPutBack()
    {
        start();
        form().newRecord();
        QVERIFY(form().showVersions() == nullptr);
        QCOMPARE(texts(MessageBox::takeShown()), QStringList{QStringLiteral("此记录没有历史版本。")});

        const QString key = QStringLiteral("20160507080000");
        storeWithTwoVersions(key);
        VersionsWindow* window = form().showVersions();
        QVERIFY(window);
        QListWidget* list = window->versionList();
        QCOMPARE(list->count(), 2);
        const QString newest = list->item(0)->text();
        QVERIFY2(newest.startsWith(QStringLiteral("2016-05-09 08:00:00  修改  （共用密码）  ")),
                 qPrintable(newest));
        QVERIFY2(newest.endsWith(QStringLiteral("电话、体检结论")), qPrintable(newest));
        QVERIFY(list->item(1)->text().endsWith(QStringLiteral("体检结论")));

        list->setCurrentRow(1); // the record as first stored
        QCOMPARE(box(Field::Conclusion)->text(), test::makeRecord(key, {}, {})[Field::Conclusion]);
        QVERIFY(box(Field::Conclusion)->isReadOnly());
        QVERIFY(box(Field::Conclusion)->palette().color(QPalette::Base) !=
                box(Field::Name)->palette().color(QPalette::Base));
        QVERIFY(form().drafts()->list().empty()); // a version shown is no typing
        window->findChild<QPushButton*>(QStringLiteral("closeButton"))->click();
        QCOMPARE(box(Field::Conclusion)->text(), QStringLiteral("第二次"));
        QVERIFY(!box(Field::Conclusion)->isReadOnly());
        QCOMPARE(box(Field::Conclusion)->palette().color(QPalette::Base),
                 box(Field::Name)->palette().color(QPalette::Base));

        window = form().showVersions();
        window->versionList()->setCurrentRow(1);
        window->restoreButton()->click();
        QCOMPARE(box(Field::Conclusion)->text(), test::makeRecord(key, {}, {})[Field::Conclusion]);
        QVERIFY(!box(Field::Conclusion)->isReadOnly());
        ExamRecord stored;
        QVERIFY(RecordStore::load(key, stored));
        QCOMPARE(stored[Field::Conclusion], QStringLiteral("第二次")); // unsaved until 保存
        form().saveRecord();
        QVERIFY(MessageBox::takeShown().isEmpty());
        QVERIFY(RecordStore::load(key, stored));
        QCOMPARE(stored[Field::Conclusion], test::makeRecord(key, {}, {})[Field::Conclusion]);
        const auto versions = versionsOf(key);
        QCOMPARE(versions.size(), size_t(3));
        QCOMPARE(versions[0].record[Field::Conclusion], QStringLiteral("第二次"));
    }

    // The question names the boxes the other desk changed; 否 keeps this
    // sheet's text, 是 keeps the other desk's record as a version.
    void overwriteQuestionNamesTheOtherDesksChanges()
    {
        const QString key = QStringLiteral("20160507080001");
        QVERIFY(
            RecordStore::save(test::makeRecord(key, QStringLiteral("李四"), QStringLiteral("2016-05-07"))));
        start();
        select(key);
        ExamRecord theirs = form().sheet()->record();
        theirs[Field::Telephone] = QStringLiteral("别处的电话");
        theirs[Field::Ecg] = QStringLiteral("别处的心电图");
        QVERIFY(RecordStore::save(theirs));
        box(Field::Guidance)->setText(QStringLiteral("本机的指导"));
        MessageBox::queueAnswer(QMessageBox::No);
        form().saveRecord();
        auto shown = MessageBox::takeShown();
        QCOMPARE(texts(shown), QStringList{kChanged});
        QCOMPARE(shown[0].detail, QStringLiteral("其他工作站改动了：电话、心电图"));
        QCOMPARE(box(Field::Guidance)->text(), QStringLiteral("本机的指导"));
        form().saveRecord(); // 是
        shown = MessageBox::takeShown();
        QCOMPARE(texts(shown), QStringList{kChanged});
        const auto versions = versionsOf(key);
        QCOMPARE(versions.size(), size_t(2));
        QCOMPARE(versions[0].record[Field::Ecg], QStringLiteral("别处的心电图"));
        QCOMPARE(versions[0].record[Field::Guidance], theirs[Field::Guidance]);
        ExamRecord stored;
        QVERIFY(RecordStore::load(key, stored));
        QCOMPARE(stored[Field::Guidance], QStringLiteral("本机的指导"));
    }

    // A draft typed over a record, put back and saved, keeps the stored row.
    void restoredDraftSavedKeepsTheStoredRow()
    {
        const QString k1 = QStringLiteral("20160507080002");
        const QString k2 = QStringLiteral("20160507080003");
        QVERIFY(
            RecordStore::save(test::makeRecord(k1, QStringLiteral("王五"), QStringLiteral("2016-05-07"))));
        QVERIFY(
            RecordStore::save(test::makeRecord(k2, QStringLiteral("赵六"), QStringLiteral("2016-05-07"))));
        start();
        select(k1);
        box(Field::Conclusion)->setText(QStringLiteral("草稿里的结论"));
        select(k2);
        QCOMPARE(form().drafts()->list().size(), size_t(1));
        form().restoreDraft(form().drafts()->list().front().id);
        form().saveRecord();
        QVERIFY(MessageBox::takeShown().isEmpty());
        const auto versions = versionsOf(k1);
        QCOMPARE(versions.size(), size_t(1));
        QCOMPARE(versions[0].record, RecordStore::asStored(test::makeRecord(k1, QStringLiteral("王五"),
                                                                            QStringLiteral("2016-05-07"))));
    }

    // 删除 keeps the record: listed in 已删除的记录…, 恢复 stores it again
    // and selects it, under the next free key when its own is taken.
    void deletedRecordsAreStoredAgain()
    {
        const QString key = QStringLiteral("20160507080004");
        QVERIFY(
            RecordStore::save(test::makeRecord(key, QStringLiteral("钱七"), QStringLiteral("2016-05-07"))));
        start();
        select(key);
        form().deleteRecord(); // 是
        MessageBox::takeShown();
        QVERIFY(!RecordStore::exists(key));
        DeletedRecordsWindow* window = form().showDeletedRecords();
        QVERIFY(window);
        QTreeWidget* list = window->recordList();
        QCOMPARE(list->topLevelItemCount(), 1);
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("钱七"));
        QCOMPARE(list->topLevelItem(0)->text(1), key);
        list->setCurrentItem(list->topLevelItem(0));
        window->restoreButton()->click();
        QVERIFY(MessageBox::takeShown().isEmpty());
        QVERIFY(RecordStore::exists(key));
        QCOMPARE(form().keyOfLine(form().selectedLine()), key);
        QCOMPARE(box(Field::Name)->text(), QStringLiteral("钱七"));
        QCOMPARE(list->topLevelItemCount(), 0);

        // Deleted again; another record takes its key meanwhile.
        form().deleteRecord();
        MessageBox::takeShown();
        QVERIFY(
            RecordStore::save(test::makeRecord(key, QStringLiteral("新人"), QStringLiteral("2016-05-07"))));
        window->refresh();
        list->setCurrentItem(list->topLevelItem(0));
        window->restoreButton()->click();
        const QString moved = form().keyOfLine(form().selectedLine());
        QVERIFY(moved != key);
        QCOMPARE(box(Field::Name)->text(), QStringLiteral("钱七"));
        QCOMPARE(
            texts(MessageBox::takeShown()),
            QStringList{
                QStringLiteral("序列号 %1 已有其他记录使用，恢复的记录改用序列号 %2。").arg(key, moved)});
    }

    // A database without the tables gets them once, after a safety copy;
    // the restore's check takes a database with them and one without.
    void oldDatabaseIsUpgradedOnce()
    {
        if (test::onServer()) {
            QSKIP("the file's upgrade");
        }
        dropHistoryTables();
        const QString file = m_folder->databaseFile();
        QVERIFY(Restore::inspect(file).sound);
        QVERIFY(safetyCopies(file).isEmpty());
        start();
        QVERIFY(MessageBox::takeShown().isEmpty());
        QVERIFY(HistoryTables::present());
        QCOMPARE(safetyCopies(file).size(), 1);
        QVERIFY(Restore::inspect(file).sound);
        const QString copy = QFileInfo(file).absoluteDir().filePath(safetyCopies(file).constFirst());
        QVERIFY(Restore::inspect(copy).sound);
        m_form.reset();
        start();
        QCOMPARE(safetyCopies(file).size(), 1);
        const QString key = QStringLiteral("20160507080005");
        QVERIFY(RecordStore::save(test::makeRecord(key, QStringLiteral("甲"), QStringLiteral("2016-05-07"))));
        QVERIFY(RecordStore::save(test::makeRecord(key, QStringLiteral("乙"), QStringLiteral("2016-05-07"))));
        QCOMPARE(versionsOf(key).size(), size_t(1));
    }

    // A database made before the index of names gets it at start-up, on
    // either engine, and the search by name uses it.
    void olderDatabaseGetsTheIndexOfNames()
    {
        QSqlQuery drop(Database::connection());
        QVERIFY(drop.exec(QStringLiteral("drop index if exists 档案_姓名")));
        start();
        QVERIFY(MessageBox::takeShown().isEmpty());
        QSqlQuery index(Database::connection());
        QVERIFY(
            index.exec(test::onServer()
                           ? QStringLiteral("select count(*) from pg_indexes where indexname = '档案_姓名'")
                           : QStringLiteral("select count(*) from sqlite_master where name = '档案_姓名'")));
        QVERIFY(index.next());
        QCOMPARE(index.value(0).toInt(), 1);
        if (!test::onServer()) {
            QSqlQuery plan(Database::connection());
            QVERIFY(plan.exec(
                QStringLiteral("explain query plan select 序列号 from 档案 where trim(姓名) = '张三'")));
            QVERIFY(plan.next());
            QVERIFY2(plan.value(3).toString().contains(QStringLiteral("档案_姓名")),
                     qPrintable(plan.value(3).toString()));
        }
    }

    // An upgrade that fails (a full disk, a read-only file) leaves the file
    // as it was, says so once, and the program works on without versions.
    void failedUpgradeLeavesTheFileAndWorksOn_data()
    {
        QTest::addColumn<int>("fault");
        QTest::newRow("disk full") << int(test::FaultVfs::Fault::DiskFull);
        QTest::newRow("read-only") << int(test::FaultVfs::Fault::ReadOnly);
    }
    void failedUpgradeLeavesTheFileAndWorksOn()
    {
        if (test::onServer()) {
            QSKIP("the file's upgrade");
        }
        QFETCH(int, fault);
        dropHistoryTables();
        const QString file = m_folder->databaseFile();
        const QByteArray before = fileHash(file);
        {
            const test::ScopedFault failing{static_cast<test::FaultVfs::Fault>(fault)};
            if (fault == int(test::FaultVfs::Fault::ReadOnly)) {
                Database::close();
                QVERIFY(m_folder->open());
            }
            start();
        }
        // The drafts file, opened under the same fault, has its own message.
        const QStringList shown =
            texts(MessageBox::takeShown())
                .filter(QStringLiteral("无法为数据库添加历史版本的数据表，数据库保持原样"));
        QCOMPARE(shown.size(), 1);
        QVERIFY(!HistoryTables::present());
        QCOMPARE(fileHash(file), before);
        QVERIFY(safetyCopies(file).isEmpty());
        if (fault == int(test::FaultVfs::Fault::ReadOnly)) {
            QCOMPARE(m_upgrade.outcome, SchemaUpgrade::Outcome::Failed);
            QVERIFY(!m_upgrade.error.isEmpty());
            QVERIFY(m_upgrade.safetyCopy.isEmpty());
            form().loadOnStart(); // the main window's load upgrades nothing: told once
            QVERIFY(!HistoryTables::present());
            QVERIFY(MessageBox::takeShown().isEmpty());
        } else {
            // The disk has room again: saves work on, the next start upgrades.
            const QString key = QStringLiteral("20160507080006");
            QVERIFY(
                RecordStore::save(test::makeRecord(key, QStringLiteral("丙"), QStringLiteral("2016-05-07"))));
            QVERIFY(
                RecordStore::save(test::makeRecord(key, QStringLiteral("丁"), QStringLiteral("2016-05-07"))));
            QVERIFY(form().showVersions() == nullptr);
            QCOMPARE(texts(MessageBox::takeShown()), QStringList{QStringLiteral("此数据库不保留历史版本。")});
        }
    }
};

QTEST_MAIN(MainWindowHistoryTest)
#include "tst_mainwindow_history.moc"
