// Saving a sheet's record with several workstations on one database: the
// update of a loaded record, the questions when another workstation changed
// or deleted it, and a new sheet whose key was taken meanwhile.
#include "TestSupport.h"
#include "record/RecordHistory.h"
#include "record/RecordSaver.h"
#include "record/RecordStore.h"
#include "storage/Database.h"

#include <QProcess>
#include <QSqlQuery>
#include <QSysInfo>
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

std::vector<RecordVersion> versionsOf(const QString& key)
{
    std::vector<RecordVersion> versions;
    QString error;
    [&] { QVERIFY2(RecordHistory::versions(key, versions, &error), qPrintable(error)); }();
    return versions;
}

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

        // Stored again, it is no longer a deleted record: neither listed nor
        // restored a second time under another key.
        std::vector<DeletedRecord> deleted;
        QVERIFY(RecordHistory::deleted(deleted));
        QVERIFY(std::none_of(deleted.begin(), deleted.end(),
                             [&](const DeletedRecord& d) { return d.key == key; }));
        qint64 deletion = 0;
        for (const RecordVersion& version : versionsOf(key)) {
            if (version.stamp.action == QStringLiteral("删除")) {
                deletion = version.id;
            }
        }
        QVERIFY(deletion > 0);
        QString error;
        const RecordHistory::NextKey next = [](QString*) {
            return std::optional<QString>(QStringLiteral("20240506080098"));
        };
        QVERIFY(!RecordHistory::restoreDeleted(deletion, next, &error));
        QVERIFY2(error.contains(key), qPrintable(error));
        QVERIFY(!RecordStore::exists(QStringLiteral("20240506080098")));
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

    // Every save that changes a stored record keeps the row as it was, with
    // its stamp; a save that changes nothing and a new record keep none.
    void savesKeepTheStoredRowAsAVersion()
    {
        RecordSaver saver;
        const auto key = saver.issueKey();
        QVERIFY(key);
        Operator clerk;
        QCOMPARE(saver
                     .save(test::makeRecord(*key, QStringLiteral("孙八"), QStringLiteral("2024-05-06")),
                           clerk.ask())
                     .status,
                 Status::Saved);
        QVERIFY(versionsOf(*key).empty());
        const ExamRecord first = *saver.stored();
        QCOMPARE(saver.save(first, clerk.ask()).status, Status::Saved);
        QVERIFY(versionsOf(*key).empty()); // nothing changed

        ExamRecord edited = first;
        edited[Field::Conclusion] = QStringLiteral("改过的结论");
        QCOMPARE(saver.save(edited, clerk.ask()).status, Status::Saved);
        edited[Field::Guidance] = QStringLiteral("第二次改动");
        QCOMPARE(saver.save(edited, clerk.ask()).status, Status::Saved);
        const auto versions = versionsOf(*key);
        QCOMPARE(versions.size(), size_t(2));
        QCOMPARE(versions[1].record, first); // oldest last
        QCOMPARE(versions[0].record[Field::Conclusion], QStringLiteral("改过的结论"));
        QCOMPARE(versions[0].stamp.action, QStringLiteral("修改"));
        QCOMPARE(versions[0].stamp.desk, QSysInfo::machineHostName());
        QCOMPARE(versions[0].stamp.operatorName, QStringLiteral("（共用密码）"));
        QVERIFY(
            QDateTime::fromString(versions[0].stamp.time, QStringLiteral("yyyy-MM-dd hh:mm:ss")).isValid());
        QCOMPARE(RecordHistory::differences(versions[1].record, versions[0].record),
                 QList<Field>{Field::Conclusion});
        QCOMPARE(RecordHistory::captionList({Field::Name, Field::Conclusion, Field::Ecg, Field::Doctor}, 3),
                 QStringLiteral("姓名、体检结论、心电图 等 4 项"));
    }

    // 是 to the question keeps the other desk's row as a version; the
    // question names the boxes the other desk changed.
    void overwriteAfterQuestionKeepsTheOtherDesksRow()
    {
        RecordSaver saver;
        const QString key = QStringLiteral("20240506080004");
        loadInto(saver, key, QStringLiteral("周九"));
        const ExamRecord original = *saver.stored();
        ExamRecord theirs = original;
        theirs[Field::Conclusion] = QStringLiteral("另一台的结论");
        theirs[Field::Telephone] = QStringLiteral("13800000000");
        QVERIFY(RecordStore::save(theirs));

        ExamRecord mine = original;
        mine[Field::Guidance] = QStringLiteral("本机的指导");
        Operator clerk;
        QCOMPARE(saver.save(mine, clerk.ask()).status, Status::Saved);
        QCOMPARE(clerk.asked, QList<Question>{Question::ChangedElsewhere});
        QCOMPARE(saver.changedElsewhere(), (QList<Field>{Field::Telephone, Field::Conclusion}));
        const auto versions = versionsOf(key);
        QCOMPARE(versions.size(), size_t(2));
        QCOMPARE(versions[0].record, RecordStore::asStored(theirs));
        QCOMPARE(versions[1].record, original);
        QCOMPARE(stored(key), RecordStore::asStored(mine));
    }

    // A delete keeps the record; it is listed as deleted, stored again under
    // its key, or under the next free key when another record holds it.
    void deleteKeepsTheRecordToStoreAgain()
    {
        const QString key = QStringLiteral("20240506080005");
        const ExamRecord record = test::makeRecord(key, QStringLiteral("吴十"), QStringLiteral("2024-05-06"));
        QVERIFY(RecordStore::save(record));
        QVERIFY(RecordStore::remove(key));
        QVERIFY(!RecordStore::exists(key));
        std::vector<DeletedRecord> deleted;
        QVERIFY(RecordHistory::deleted(deleted));
        QCOMPARE(deleted.size(), size_t(1));
        QCOMPARE(deleted[0].key, key);
        QCOMPARE(deleted[0].name, QStringLiteral("吴十"));
        QCOMPARE(deleted[0].stamp.action, QStringLiteral("删除"));
        int asked = 0;
        const RecordHistory::NextKey next = [&asked](QString*) {
            ++asked;
            return std::optional<QString>(QStringLiteral("20240506080099"));
        };
        QCOMPARE(RecordHistory::restoreDeleted(deleted[0].id, next), std::optional<QString>(key));
        QCOMPARE(asked, 0);
        QCOMPARE(stored(key), RecordStore::asStored(record));
        QVERIFY(RecordHistory::deleted(deleted));
        QVERIFY(deleted.empty());

        // Deleted again, and its key taken by a new record meanwhile.
        QVERIFY(RecordStore::remove(key));
        QVERIFY(RecordHistory::deleted(deleted));
        QCOMPARE(deleted.size(), size_t(1));
        const qint64 id = deleted[0].id;
        QCOMPARE(
            RecordStore::insert(test::makeRecord(key, QStringLiteral("新人"), QStringLiteral("2024-06-01"))),
            RecordStore::SaveResult::Saved);
        QCOMPARE(RecordHistory::restoreDeleted(id, next),
                 std::optional<QString>(QStringLiteral("20240506080099")));
        QCOMPARE(asked, 1);
        QCOMPARE(stored(key)[Field::Name], QStringLiteral("新人"));
        QCOMPARE(stored(QStringLiteral("20240506080099"))[Field::Name], QStringLiteral("吴十"));
        QString error;
        QVERIFY(!RecordHistory::restoreDeleted(id, next, &error)); // once only
        QVERIFY(!error.isEmpty());
    }

    // The version and the change are one transaction: a version that cannot
    // be written leaves the record as it was.
    void versionAndChangeCommitTogether()
    {
        RecordSaver saver;
        const QString key = QStringLiteral("20240506080006");
        loadInto(saver, key, QStringLiteral("郑十一"));
        QSqlQuery refuse(Database::connection());
        if (test::onServer()) {
            QVERIFY(refuse.exec(QStringLiteral("create function refuse() returns trigger language plpgsql as "
                                               "$$ begin raise exception 'refused'; end $$")));
            QVERIFY(refuse.exec(QStringLiteral("create trigger refuse before insert on 档案版本 "
                                               "for each row execute function refuse()")));
        } else {
            QVERIFY(refuse.exec(QStringLiteral("create trigger refuse before insert on 档案版本 "
                                               "begin select raise(abort, 'refused'); end")));
        }
        ExamRecord edited = *saver.stored();
        edited[Field::Conclusion] = QStringLiteral("不会保存");
        Operator clerk;
        QCOMPARE(saver.save(edited, clerk.ask()).status, Status::Failed);
        QCOMPARE(stored(key), *saver.stored());
        QVERIFY(!RecordStore::remove(key));
        QVERIFY(RecordStore::exists(key));
        QVERIFY(!RecordStore::save(edited));
        QCOMPARE(stored(key), *saver.stored());
    }

    // On a server the save locks the row before keeping it: a save that
    // waited for another desk's change, one that left the record as loaded
    // (an empty box made null), keeps the row that desk wrote, the row the
    // save replaced, not the one there when the save began.
    void versionIsTheRowTheSaveReplaced()
    {
        if (!test::onServer()) {
            QSKIP("the file lets one desk write at a time");
        }
        const QString key = QStringLiteral("20240506080007");
        ExamRecord record = test::makeRecord(key, QStringLiteral("冯十二"), QStringLiteral("2024-05-06"));
        record.findings[0].clear();
        QVERIFY(RecordStore::save(record));
        RecordSaver saver;
        saver.setLoaded(stored(key));
        QProcess otherDesk;
        otherDesk.setProcessChannelMode(QProcess::MergedChannels);
        otherDesk.start(QStringLiteral("psql"),
                        {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                         QStringLiteral("ON_ERROR_STOP=1"), m_folder->conninfo(), QStringLiteral("-c"),
                         QStringLiteral("begin; update 档案 set \"0\" = null where 序列号 = '%1'; "
                                        "select pg_sleep(1); commit;")
                             .arg(key)});
        QSqlQuery holding(Database::connection());
        QTRY_VERIFY_WITH_TIMEOUT(
            holding.exec(QStringLiteral("select 1 from pg_stat_activity where query like "
                                        "'%pg_sleep%' and state = 'active' and pid <> "
                                        "pg_backend_pid()")) &&
                holding.next(),
            10000);
        ExamRecord edited = *saver.stored();
        edited[Field::Conclusion] = QStringLiteral("等另一台保存后");
        Operator clerk;
        QCOMPARE(saver.save(edited, clerk.ask()).status, Status::Saved);
        QVERIFY(otherDesk.waitForFinished(10000));
        QVERIFY2(otherDesk.exitCode() == 0, otherDesk.readAll().constData());
        QVERIFY(clerk.asked.isEmpty());
        QCOMPARE(stored(key)[Field::Conclusion], QStringLiteral("等另一台保存后"));
        QSqlQuery kept(Database::connection());
        QVERIFY(
            kept.exec(QStringLiteral("select \"0\" is null, count(*) over () from 档案版本 where 序列号 = "
                                     "'%1' order by 版本号 desc limit 1")
                          .arg(key)));
        QVERIFY(kept.next());
        QVERIFY2(kept.value(0).toBool(), "the version kept is not the row the save replaced");
        QCOMPARE(kept.value(1).toInt(), 1);
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
