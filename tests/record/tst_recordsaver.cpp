// Saving a sheet's record with several workstations on one database: the
// update of a loaded record, the questions when another workstation changed
// or deleted it, and a new sheet whose key was taken meanwhile.
#include "TestSupport.h"
#include "record/RecordSaver.h"
#include "record/RecordStore.h"

#include <QTest>

#include <memory>

using namespace brenvoll;

namespace {
using Question = RecordSaver::Question;
using Status = RecordSaver::Status;

// Answers every question with `answer` and keeps what was asked.
struct Operator
{
    bool answer = true;
    QList<Question> asked;
    RecordSaver::Ask ask()
    {
        return [this](Question question) {
            asked << question;
            return answer;
        };
    }
};

ExamRecord stored(const QString& key)
{
    ExamRecord record;
    [&] { QVERIFY(RecordStore::load(key, record)); }();
    return record;
}
} // namespace

class RecordSaverTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::TestFolder> m_folder;

    // A saver holding the record `key`, stored and loaded as the sheet loads it.
    static void loadInto(RecordSaver& saver, const QString& key, const QString& name)
    {
        QVERIFY(RecordStore::save(test::makeRecord(key, name, QStringLiteral("2024-05-06"))));
        saver.setLoaded(stored(key));
    }

private slots:
    void init()
    {
        m_folder = std::make_unique<test::TestFolder>();
        QVERIFY(m_folder->open());
    }
    void cleanup() { m_folder.reset(); }

    void newSheetIsAddedUnderItsKey()
    {
        RecordSaver saver;
        const auto key = saver.issueKey();
        QVERIFY(key);
        QCOMPARE(key->size(), 14);
        const ExamRecord record =
            test::makeRecord(*key, QStringLiteral("张三"), QStringLiteral("2024-05-06"));
        Operator clerk;
        const auto outcome = saver.save(record, clerk.ask());
        QCOMPARE(outcome.status, Status::Saved);
        QVERIFY(clerk.asked.isEmpty());
        QCOMPARE(saver.stored()->key(), *key);
        QCOMPARE(stored(*key), RecordStore::asStored(record));
        // Handed out once: the next blank sheet gets another key.
        QVERIFY(saver.issueKey() != key);
    }

    void loadedRecordIsUpdated()
    {
        RecordSaver saver;
        loadInto(saver, QStringLiteral("20240506080000"), QStringLiteral("李四"));
        const qint64 before = RecordStore::count();
        ExamRecord edited = *saver.stored();
        edited[Field::Conclusion] = QStringLiteral("血压偏高");
        Operator clerk;
        QCOMPARE(saver.save(edited, clerk.ask()).status, Status::Saved);
        QVERIFY(clerk.asked.isEmpty());
        QCOMPARE(RecordStore::count(), before);
        QCOMPARE(stored(edited.key())[Field::Conclusion], QStringLiteral("血压偏高"));
        // Saved twice in a row: the second save builds on the first.
        edited[Field::Guidance] = QStringLiteral("低盐饮食");
        QCOMPARE(saver.save(edited, clerk.ask()).status, Status::Saved);
        QVERIFY(clerk.asked.isEmpty());
        QCOMPARE(stored(edited.key()), RecordStore::asStored(edited));
    }

    void changedElsewhereAsksFirst()
    {
        RecordSaver saver;
        const QString key = QStringLiteral("20240506080001");
        loadInto(saver, key, QStringLiteral("王五"));
        ExamRecord theirs = *saver.stored();
        theirs[Field::Conclusion] = QStringLiteral("另一台工作站的结论");
        QVERIFY(RecordStore::save(theirs));

        ExamRecord mine = *saver.stored();
        mine[Field::Conclusion] = QStringLiteral("本机的结论");
        Operator clerk;
        clerk.answer = false;
        QCOMPARE(saver.save(mine, clerk.ask()).status, Status::Declined);
        QCOMPARE(clerk.asked, QList<Question>{Question::ChangedElsewhere});
        QCOMPARE(stored(key)[Field::Conclusion], QStringLiteral("另一台工作站的结论"));

        clerk.answer = true;
        QCOMPARE(saver.save(mine, clerk.ask()).status, Status::Saved);
        QCOMPARE(stored(key)[Field::Conclusion], QStringLiteral("本机的结论"));
        QCOMPARE(*saver.stored(), stored(key));
    }

    void deletedElsewhereAsksFirst()
    {
        RecordSaver saver;
        const QString key = QStringLiteral("20240506080002");
        loadInto(saver, key, QStringLiteral("赵六"));
        QVERIFY(RecordStore::remove(key));
        Operator clerk;
        clerk.answer = false;
        QCOMPARE(saver.save(*saver.stored(), clerk.ask()).status, Status::Declined);
        QCOMPARE(clerk.asked, QList<Question>{Question::DeletedElsewhere});
        QVERIFY(!RecordStore::exists(key));
        clerk.answer = true;
        QCOMPARE(saver.save(*saver.stored(), clerk.ask()).status, Status::Saved);
        QVERIFY(RecordStore::exists(key));
    }

    void takenKeyMovesToTheNextFreeOne()
    {
        RecordSaver saver;
        const auto key = saver.issueKey();
        QVERIFY(key);
        // Another workstation stores its record under the same key first.
        const ExamRecord theirs =
            test::makeRecord(*key, QStringLiteral("他人"), QStringLiteral("2024-05-06"));
        QCOMPARE(RecordStore::insert(theirs), RecordStore::SaveResult::Saved);

        const ExamRecord mine = test::makeRecord(*key, QStringLiteral("本人"), QStringLiteral("2024-05-06"));
        Operator clerk;
        QCOMPARE(saver.save(mine, clerk.ask()).status, Status::Saved);
        QVERIFY(clerk.asked.isEmpty());
        const QString mineKey = saver.stored()->key();
        QVERIFY(mineKey != *key);
        QCOMPARE(stored(*key)[Field::Name], QStringLiteral("他人"));
        QCOMPARE(stored(mineKey)[Field::Name], QStringLiteral("本人"));
        // Saved again, the record is the one under its new key.
        ExamRecord again = *saver.stored();
        again[Field::Conclusion] = QStringLiteral("复查");
        QCOMPARE(saver.save(again, clerk.ask()).status, Status::Saved);
        QCOMPARE(stored(mineKey)[Field::Conclusion], QStringLiteral("复查"));
        QCOMPARE(stored(*key)[Field::Name], QStringLiteral("他人"));
    }

    void failureSaysWhy()
    {
        RecordSaver saver;
        loadInto(saver, QStringLiteral("20240506080003"), QStringLiteral("钱七"));
        m_folder.reset(); // the database is gone
        Operator clerk;
        const auto outcome = saver.save(*saver.stored(), clerk.ask());
        QCOMPARE(outcome.status, Status::Failed);
        QVERIFY(!outcome.error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(RecordSaverTest)
#include "tst_recordsaver.moc"
