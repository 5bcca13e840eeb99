// The drafts file of unsaved sheets: a real SQLite file beside a real copy of
// the database.
#include "TestSupport.h"
#include "base/ProgramPaths.h"
#include "drafts/DraftStore.h"
#include "record/RecordStore.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QTest>

#include <sqlite3.h>
#include <unistd.h>

using namespace brenvoll;

namespace {
QByteArray digestOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
               ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
               : QByteArray();
}

QStringList namesOf(const DraftStore& store)
{
    std::vector<Draft> drafts;
    store.list(drafts);
    QStringList names;
    for (const Draft& draft : drafts) {
        names << draft.record[Field::Name];
    }
    return names;
}

// Which run left each draft listed, the one typed last first.
QList<Draft::Left> leftAs(const DraftStore& store)
{
    std::vector<Draft> drafts;
    store.list(drafts);
    QList<Draft::Left> left;
    for (const Draft& draft : drafts) {
        left << draft.left;
    }
    return left;
}

void writeDraft(DraftStore& store, const QString& name, const QDateTime& at)
{
    Draft draft{0, at, test::makeRecord(name, name, QString())};
    QVERIFY(store.write(draft));
}

// A draft written as programs wrote them before drafts kept their run and
// the record they were typed over.
QString earlierDraft(const char* typedAt, int leftOpen, const QString& name)
{
    QStringList columns;
    QStringList values;
    for (const BoxDef& box : FieldMap::boxes()) {
        columns << u'"' + box.column + u'"';
        values << u'\'' + (box.field == Field::Name || box.field == Field::Key ? name : QString()) + u'\'';
    }
    return QStringLiteral("insert into 草稿 (时间, 未关闭, %1) values ('%2', %3, %4);")
        .arg(columns.join(u','), QLatin1String(typedAt), QString::number(leftOpen), values.join(u','));
}

bool runSql(const QString& path, const QString& sql)
{
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK &&
              sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// A drafts file of that time: one draft left open by a run that did not
// close cleanly, one by a run that did.
bool writeEarlierDraftsFile(const QString& path)
{
    QStringList columns;
    for (const BoxDef& box : FieldMap::boxes()) {
        columns << u'"' + box.column + QStringLiteral("\" text not null");
    }
    return runSql(path, QStringLiteral("create table 草稿 (编号 integer primary key, 时间 text not null, "
                                       "未关闭 integer not null, ") +
                            columns.join(u',') + QStringLiteral(");") +
                            earlierDraft("2026-05-06T10:00:00.000", 1, QStringLiteral("旧甲")) +
                            earlierDraft("2026-05-05T10:00:00.000", 0, QStringLiteral("旧乙")));
}
} // namespace

class TestDraftStore : public QObject
{
    Q_OBJECT

private slots:
    void keepsTheNewestFiftyForThirtyDays()
    {
        test::TestFolder folder;
        const QString path = draftsPath(folder.databaseFile());
        QCOMPARE(path, folder.path() + QStringLiteral("/数据库.drafts"));
        const QDateTime now(QDate(2026, 5, 7), QTime(9, 30));
        auto store = std::make_unique<DraftStore>();
        QVERIFY(store->open(path, now));
        QCOMPARE(QFile::permissions(path) & ~QFileDevice::Permissions(0x0700),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        for (int i = 0; i < 52; ++i) { // an hour apart, the oldest 52 hours ago
            Draft draft{0, now.addSecs(3600 * (i - 52)),
                        test::makeRecord(QString::number(i), QStringLiteral("第%1份").arg(i), QString())};
            QVERIFY(store->write(draft));
        }
        std::vector<Draft> drafts;
        QVERIFY(store->list(drafts));
        QCOMPARE(int(drafts.size()), DraftStore::kMaxDrafts);
        QCOMPARE(drafts.back().record[Field::Name], QStringLiteral("第2份"));
        Draft again = drafts.back(); // written again: the same draft, now the newest
        again.typedAt = now;
        again.record[Field::Conclusion] = QStringLiteral("复查");
        QVERIFY(store->write(again) && store->list(drafts));
        QCOMPARE(drafts.front(), again);
        QVERIFY(store->remove(again.id) && !store->read(again.id));

        // Nothing was closed cleanly: 30 days less 10 hours later, the drafts
        // of those 10 hours are left and told of.
        store = std::make_unique<DraftStore>();
        QVERIFY(store->open(path, now.addDays(30).addSecs(-3600 * 10)));
        QVERIFY(store->list(drafts));
        QCOMPARE(drafts.size(), size_t(10));
        QCOMPARE(store->leftOpen().count, 10);
        QCOMPARE(store->leftOpen().newest.record[Field::Name], QStringLiteral("第51份"));
        store->closeCleanly();
        QVERIFY(!QFileInfo::exists(path + QStringLiteral("-wal")));
        QVERIFY(store->open(path, now));
        QCOMPARE(store->leftOpen().count, 0);
    }

    // The drafts file is used only as a plain file of its own: a link at its
    // name or beside it, or a second name, is refused, and the file it leads
    // to is left exactly as it was (the records database is not switched to
    // a log, nor given a table; health data go into no other file).
    void refusesLinksAndSecondNames_data()
    {
        QTest::addColumn<QString>("name");   // what is put in the folder
        QTest::addColumn<QString>("target"); // what it leads to
        QTest::addColumn<bool>("hard");
        QTest::addColumn<QString>("reason");
        QTest::newRow("link to the records database") << "数据库.drafts"
                                                      << "数据库.db" << false << "链接";
        QTest::newRow("link to another file") << "数据库.drafts"
                                              << "other.txt" << false << "链接";
        QTest::newRow("link to nowhere") << "数据库.drafts"
                                         << "nowhere" << false << "链接";
        QTest::newRow("second name") << "数据库.drafts"
                                     << "other.txt" << true << "硬链接";
        QTest::newRow("log is a link") << "数据库.drafts-wal"
                                       << "other.txt" << false << "链接";
        QTest::newRow("lock file is a link") << "数据库.drafts-lock"
                                             << "other.txt" << false << "链接";
    }
    void refusesLinksAndSecondNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, target);
        QFETCH(bool, hard);
        QFETCH(QString, reason);
        test::TestFolder folder;
        const QString other = folder.path() + QStringLiteral("/other.txt");
        QFile text(other);
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("病历：张三") > 0);
        text.close();
        const QString linked = folder.path() + u'/' + name;
        const QString targetPath = folder.path() + u'/' + target;
        QVERIFY(hard ? ::link(QFile::encodeName(targetPath).constData(),
                              QFile::encodeName(linked).constData()) == 0
                     : QFile::link(target, linked));
        const QByteArray before = digestOf(targetPath);

        DraftStore store;
        QString error;
        QVERIFY(!store.open(draftsPath(folder.databaseFile()), QDateTime::currentDateTime(), &error));
        QVERIFY2(error.contains(name) && error.contains(reason), qPrintable(error));
        QVERIFY(!store.isOpen());
        QCOMPARE(digestOf(targetPath), before);
        QCOMPARE(QFileInfo::exists(targetPath), target != QLatin1String("nowhere"));
        QVERIFY(!QFileInfo::exists(targetPath + QStringLiteral("-wal")));
        QVERIFY(name.endsWith(QLatin1String("-wal")) ||
                !QFileInfo::exists(draftsPath(folder.databaseFile()) + QStringLiteral("-wal")));
    }

    // Runs on one drafts file: two copies of the program and crashes. Only
    // what runs that ended without a clean close left is told, until a later
    // run closes cleanly; a copy still running keeps its drafts to itself; the
    // count told is the drafts listed.
    void tellsWhatUncleanRunsLeftAndNothingOfALiveCopy()
    {
        test::TestFolder folder;
        const QString path = draftsPath(folder.databaseFile());
        const QDateTime now = QDateTime::currentDateTime();
        auto first = std::make_unique<DraftStore>();
        QVERIFY(first->open(path, now));
        writeDraft(*first, QStringLiteral("甲"), now.addSecs(-50));
        auto second = std::make_unique<DraftStore>();
        QVERIFY(second->open(path, now));
        QCOMPARE(second->leftOpen().count, 0);
        QCOMPARE(namesOf(*second), QStringList());
        writeDraft(*second, QStringLiteral("乙"), now.addSecs(-40));
        QCOMPARE(namesOf(*first), QStringList{QStringLiteral("甲")});

        // The second copy crashes; the first closes cleanly afterwards.
        second.reset();
        first->closeCleanly();
        auto third = std::make_unique<DraftStore>();
        QVERIFY(third->open(path, now));
        QCOMPARE(namesOf(*third), (QStringList{QStringLiteral("乙"), QStringLiteral("甲")}));
        QCOMPARE(third->leftOpen().count, 2);
        QCOMPARE(third->leftOpen().byUncleanEnd, 1);
        QCOMPARE(third->leftOpen().newest.record[Field::Name], QStringLiteral("乙"));
        QCOMPARE(leftAs(*third), (QList<Draft::Left>{Draft::Left::ByUncleanEnd, Draft::Left::AtCleanClose}));

        // Two unclean ends in a row: what both left is told.
        writeDraft(*third, QStringLiteral("丙"), now.addSecs(-30));
        third.reset();
        auto fourth = std::make_unique<DraftStore>();
        QVERIFY(fourth->open(path, now));
        QCOMPARE(fourth->leftOpen().count, 3);
        QCOMPARE(fourth->leftOpen().byUncleanEnd, 2);
        QCOMPARE(fourth->leftOpen().newest.record[Field::Name], QStringLiteral("丙"));
        QCOMPARE(namesOf(*fourth).size(), 3);
        QCOMPARE(leftAs(*fourth), (QList<Draft::Left>{Draft::Left::ByUncleanEnd, Draft::Left::ByUncleanEnd,
                                                      Draft::Left::AtCleanClose}));
        writeDraft(*fourth, QStringLiteral("丁"), now.addSecs(-20));
        QCOMPARE(leftAs(*fourth).constFirst(), Draft::Left::ThisRun);
        QCOMPARE(fourth->leftOpen().question(),
                 QStringLiteral("发现 3 份未保存的表格（最近：丙 %1），其中 2 份是程序意外结束时留下的。"
                                "是否现在查看？")
                     .arg(now.addSecs(-30).toString(QStringLiteral("yyyy-MM-dd hh:mm"))));
        // A copy that starts meanwhile is told the same; one clean close
        // settles it for the runs after.
        DraftStore fifth;
        QVERIFY(fifth.open(path, now));
        QCOMPARE(fifth.leftOpen().count, 3);
        QCOMPARE(fifth.leftOpen().byUncleanEnd, 2);
        fourth->closeCleanly();
        fifth.closeCleanly();
        QVERIFY(first->open(path, now));
        QCOMPARE(first->leftOpen().count, 0);
        QCOMPARE(namesOf(*first).size(), 4);
        QCOMPARE(leftAs(*first), QList<Draft::Left>(4, Draft::Left::AtCleanClose));
    }

    // A drafts file of an earlier version opens: its drafts are listed (not
    // telling what they were typed over), the one its run left open is told,
    // and the earlier version can still write into the file.
    void opensADraftsFileOfAnEarlierVersion()
    {
        test::TestFolder folder;
        const QString path = draftsPath(folder.databaseFile());
        QVERIFY(writeEarlierDraftsFile(path));
        const QDateTime now(QDate(2026, 5, 7), QTime(9, 30));
        auto store = std::make_unique<DraftStore>();
        QVERIFY(store->open(path, now));
        QCOMPARE(namesOf(*store), (QStringList{QStringLiteral("旧甲"), QStringLiteral("旧乙")}));
        QCOMPARE(store->leftOpen().count, 2);
        std::vector<Draft> drafts;
        QVERIFY(store->list(drafts));
        QVERIFY(drafts[0].typedOverUnknown && !drafts[0].typedOver);

        Draft over{
            0, now,
            test::makeRecord(QStringLiteral("K1"), QStringLiteral("改过"), QStringLiteral("2026-05-07"))};
        over.typedOver =
            test::makeRecord(QStringLiteral("K1"), QStringLiteral("原样"), QStringLiteral("2026-05-01"));
        Draft fresh{0, now.addSecs(-1),
                    test::makeRecord(QStringLiteral("K2"), QStringLiteral("新的"), QString())};
        QVERIFY(store->write(over) && store->write(fresh));
        QCOMPARE(store->read(over.id), over);
        QCOMPARE(store->read(fresh.id), fresh);
        QVERIFY(!store->read(fresh.id)->typedOver && !store->read(fresh.id)->typedOverUnknown);
        QCOMPARE(draftChanges(*store->read(fresh.id)), QStringLiteral("新记录"));
        store->closeCleanly();
        QVERIFY(store->open(path, now));
        QCOMPARE(store->leftOpen().count, 0);
        store.reset();

        QVERIFY(runSql(path, earlierDraft("2026-05-07T09:00:00.000", 1, QStringLiteral("旧丙"))));
    }

    void changesAgainstTheStoredRecord()
    {
        test::TestFolder folder;
        QVERIFY(folder.open());
        QCOMPARE(FieldMap::box(Field::WhiteCells).operatorName, QStringLiteral("白细胞"));
        QCOMPARE(FieldMap::box(Field::DiastolicPressure).operatorName, QStringLiteral("舒张压"));
        ExamRecord record = test::makeRecord(QStringLiteral("20260507093000"), QStringLiteral("张三"),
                                             QStringLiteral("2026-05-07"));
        QCOMPARE(draftChanges(record), QStringLiteral("新记录"));
        QVERIFY(RecordStore::save(record));
        QCOMPARE(draftChanges(record), QString());
        record[Field::Conclusion] = QStringLiteral("复查");
        record[Field::SystolicPressure] = QStringLiteral("140");
        QCOMPARE(draftChanges(record), QStringLiteral("收缩压、体检结论"));
        record[Field::Name] = QStringLiteral("张山");
        record[Field::Ecg] = QStringLiteral("窦性心律");
        QCOMPARE(draftChanges(record), QStringLiteral("姓名、收缩压、心电图 等 4 项"));
    }
};

QTEST_GUILESS_MAIN(TestDraftStore)
#include "tst_draftstore.moc"
