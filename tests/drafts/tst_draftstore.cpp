// The drafts file of unsaved sheets: a real SQLite file beside a real copy of
// the database.
#include "TestSupport.h"
#include "base/ProgramPaths.h"
#include "drafts/DraftStore.h"
#include "record/RecordStore.h"

#include <QFileInfo>
#include <QTest>

using namespace brenvoll;

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

    void changesAgainstTheStoredRecord()
    {
        test::TestFolder folder;
        QVERIFY(folder.open());
        QCOMPARE(boxCaption(Field::WhiteCells), QStringLiteral("白细胞"));
        QCOMPARE(boxCaption(Field::DiastolicPressure), QStringLiteral("血压"));
        ExamRecord record = test::makeRecord(QStringLiteral("20260507093000"), QStringLiteral("张三"),
                                             QStringLiteral("2026-05-07"));
        QCOMPARE(draftChanges(record), QStringLiteral("新记录"));
        QVERIFY(RecordStore::save(record));
        QCOMPARE(draftChanges(record), QString());
        record[Field::Conclusion] = QStringLiteral("复查");
        record[Field::SystolicPressure] = QStringLiteral("140");
        QCOMPARE(draftChanges(record), QStringLiteral("血压、体检结论"));
        record[Field::Name] = QStringLiteral("张山");
        record[Field::Ecg] = QStringLiteral("窦性心律");
        QCOMPARE(draftChanges(record), QStringLiteral("姓名、血压、心电图等"));
    }
};

QTEST_GUILESS_MAIN(TestDraftStore)
#include "tst_draftstore.moc"
