// Storage of examination records on a real database file.
#include "TestSupport.h"
#include "record/ExamSeries.h"
#include "record/RecordStore.h"
#include "storage/Database.h"
#include "storage/PairedRead.h"

#include <QSqlQuery>
#include <QTest>

#include <atomic>
#include <sqlite3.h>
#include <thread>

using namespace brenvoll;

namespace {
qint64 rows(const char* table)
{
    QSqlQuery q(Database::connection());
    q.exec(QStringLiteral("select count(*) from ") + QString::fromUtf8(table));
    return q.next() ? q.value(0).toLongLong() : -1;
}

QStringList keysOf(const ResultLines& lines)
{
    QStringList keys;
    for (const auto& l : lines) {
        keys << l.key;
    }
    return keys;
}

QStringList linesOf(const ResultLines& lines)
{
    QStringList texts;
    for (const auto& l : lines) {
        texts << l.text + u'|' + l.key;
    }
    return texts;
}

// 6000 records over 2016-01-01 to 2016-03-01, whose keys do not follow their
// dates: keys of different lengths and bytes, names and addresses left NULL,
// many records on 2016-01-31 (the middle day of the searches), some at a time
// of that day, and on the day after. 赵 is only on the middle day, 钱 only at
// its time of day.
void storeVariedRecords()
{
    QSqlQuery q(Database::connection());
    QVERIFY(q.exec(QStringLiteral(
        "with recursive n(i) as (select 0 union all select i + 1 from n where i < 5999) "
        "insert into 档案 (序列号, 姓名, 日期, 地址) select "
        "case when i % 97 = 0 then 'é' || i when i % 89 = 0 then '~' || i "
        "else cast(i * 7919 % 100003 as text) end, "
        "case when i % 11 = 0 then null when i % 13 = 0 then '赵' || i when i % 17 = 0 then '钱' || i "
        "else substr('张王李', i % 3 + 1, 1) || i end, "
        "case when i % 13 = 0 then '2016-01-31' when i % 17 = 0 then '2016-01-31 08:30:00' "
        "when i % 19 = 0 then '2016-02-01' else date('2016-01-01', '+' || (i % 61) || ' days') end, "
        "case when i % 7 = 0 then null else '东街' || (i % 5) end from n")));
}

// The search's lines as one read of the engine lists them.
QStringList oneRead(const SearchFilter& filter)
{
    QSqlQuery q(Database::connection());
    q.prepare(QStringLiteral(
        "select 姓名, substr(日期, 1, 10), 序列号 from 档案 where coalesce(姓名, '') like '%' || "
        "? || '%' and coalesce(地址, '') like '%' || ? || '%' and 日期 between ? and ? "
        "order by 序列号 desc"));
    for (const QString& value : {filter.name, filter.address, filter.from, filter.to}) {
        q.addBindValue(value.isNull() ? QStringLiteral("") : value);
    }
    QStringList texts;
    for (q.exec(); q.next();) {
        texts << q.value(0).toString() + u'[' + q.value(1).toString() + QStringLiteral("]|") +
                     q.value(2).toString();
    }
    return texts;
}
} // namespace

class TestRecordStore : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::TestFolder> m_folder;

private slots:
    void init()
    {
        m_folder = std::make_unique<test::TestFolder>();
        QVERIFY(m_folder->open());
    }
    void cleanup() { m_folder.reset(); }

    // A list of every record is packed into large blocks: lines on both
    // sides of a block's end, and texts longer than a block, come back whole.
    void resultLinesKeepEveryText()
    {
        const QByteArray huge(3 << 20, 'x');
        ResultLines lines;
        for (int i = 0; i < 60000; ++i) {
            const QByteArray key = QByteArray::number(20160507000000LL + i);
            lines.append(i % 20000 == 7 ? QByteArrayView(huge) : QByteArrayView("张三"),
                         "2016-05-07 08:30:00", key);
        }
        QCOMPARE(lines.size(), size_t(60000));
        for (size_t k = 0; k < lines.size(); ++k) {
            const QString name = k % 20000 == 7 ? QString::fromLatin1(huge) : QStringLiteral("张三");
            QCOMPARE(lines.text(k), name + QStringLiteral("[2016-05-07]"));
            QCOMPARE(lines.key(k), QString::number(20160507000000LL + qint64(k)));
        }
        QCOMPARE(lines.find("20160507059999"), qsizetype(59999));
        QCOMPARE(lines.find("2016050705999"), qsizetype(-1));
    }

    void appendOverwriteAndDeleteByKey()
    {
        QCOMPARE(RecordStore::count(), 0);
        const ExamRecord a = test::makeRecord(QStringLiteral("20160507143025"), QStringLiteral("张三"),
                                              QStringLiteral("2016-05-07"));
        QString error;
        QVERIFY2(RecordStore::save(a, &error), qPrintable(error));
        QCOMPARE(RecordStore::count(), 1);

        ExamRecord changed = a;
        changed[Field::Conclusion] = QStringLiteral("未见异常");
        changed[Field::DiastolicPressure] = QStringLiteral("80");
        QVERIFY(RecordStore::save(changed, &error));
        QCOMPARE(RecordStore::count(), 1);

        ExamRecord back;
        QVERIFY(RecordStore::load(a.key(), back, &error));
        QCOMPARE(back, changed);

        QVERIFY(RecordStore::remove(a.key(), &error));
        QCOMPARE(RecordStore::count(), 0);
        QVERIFY(!RecordStore::load(a.key(), back, &error));
        QVERIFY(RecordStore::remove(a.key(), &error)); // already gone: no error
    }

    // With several workstations: a new record never replaces a stored one,
    // a loaded one is overwritten only while it is still as loaded.
    void insertAndUpdateNeverOverwriteUnseen()
    {
        using Result = RecordStore::SaveResult;
        const ExamRecord mine = test::makeRecord(QStringLiteral("20160507080000"), QStringLiteral("甲"),
                                                 QStringLiteral("2016-05-07"));
        const ExamRecord theirs =
            test::makeRecord(mine.key(), QStringLiteral("乙"), QStringLiteral("2016-05-07"));
        QCOMPARE(RecordStore::insert(theirs), Result::Saved);
        QCOMPARE(RecordStore::insert(mine), Result::KeyTaken);
        ExamRecord loaded;
        QVERIFY(RecordStore::load(mine.key(), loaded));
        QCOMPARE(loaded[Field::Name], QStringLiteral("乙"));

        ExamRecord edited = loaded;
        edited[Field::Conclusion] = QStringLiteral("未见异常");
        QCOMPARE(RecordStore::update(loaded, edited), Result::Saved);
        QCOMPARE(RecordStore::update(loaded, edited), Result::ChangedElsewhere); // no longer as loaded
        QCOMPARE(RecordStore::update(RecordStore::asStored(edited), edited), Result::Saved);
        QVERIFY(RecordStore::remove(mine.key()));
        QCOMPARE(RecordStore::update(loaded, edited), Result::DeletedElsewhere);
        QCOMPARE(RecordStore::count(), 0);

        // Columns never written by this program load as empty and compare so.
        QSqlQuery(Database::connection())
            .exec(QStringLiteral("insert into 档案 (序列号, 日期) values ('1', '2016-05-07 08:00:00')"));
        QVERIFY(RecordStore::load(QStringLiteral("1"), loaded));
        QCOMPARE(RecordStore::update(loaded, edited), Result::Saved);
    }

    void everyFindingColumnKeepsItsOwnValue()
    {
        ExamRecord record = test::makeRecord(QStringLiteral("20160507000001"), QStringLiteral("李四"),
                                             QStringLiteral("2016-05-07"));
        for (int i = 0; i < FieldMap::kFindingCount; ++i) {
            record.findings[i] = QStringLiteral("列") + QString::number(i) + QStringLiteral(" 值 ");
        }
        QVERIFY(RecordStore::save(record));
        QSqlQuery q(Database::connection());
        QVERIFY(q.exec(QStringLiteral("select \"0\", \"43\", \"44\", \"45\" from 档案")));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("列0 值 "));
        QCOMPARE(q.value(1).toString(), QStringLiteral("列43 值 "));
        QCOMPARE(q.value(2).toString(), QStringLiteral("列44 值 "));
        QCOMPARE(q.value(3).toString(), QStringLiteral("列45 值 "));
    }

    void nullColumnsLoadAsEmptyText()
    {
        QSqlQuery q(Database::connection());
        QVERIFY(q.exec(QStringLiteral(
            "insert into 档案 (序列号, 日期) values ('20160101000000', '2016-01-01 08:30:00')")));
        ExamRecord record;
        record[Field::Height] = QStringLiteral("stale");
        QVERIFY(RecordStore::load(QStringLiteral("20160101000000"), record));
        QCOMPARE(record[Field::Height], QString());
        QCOMPARE(record[Field::Name], QString());
        QCOMPARE(record.date(), QStringLiteral("2016-01-01")); // the time of day is not shown
    }

    void searchSelectsOrdersAndCounts()
    {
        const struct
        {
            const char* key;
            const char16_t* name;
            const char* date;
            const char16_t* address;
        } data[] = {
            {"20160507080000", u"张三", "2016-05-07", u"东街1号"},
            {"20160507090000", u"小张", "2016-05-07", u"西街2号"},
            {"20160508080000", u"王五", "2016-05-08", u"东街3号"},
            {"20160401080000", u"张飞", "2016-04-01", u"东街4号"},
            {"20170101080000", u"赵六", "2017-01-01", u"南街5号"},
        };
        for (const auto& d : data) {
            QVERIFY(RecordStore::save(test::makeRecord(QString::fromLatin1(d.key), QString::fromUtf16(d.name),
                                                       QString::fromLatin1(d.date),
                                                       QString::fromUtf16(d.address))));
        }
        ResultLines lines;
        QCOMPARE(
            RecordStore::search({{}, {}, QStringLiteral("2016-05-07"), QStringLiteral("2016-05-08")}, lines),
            RecordStore::SearchError::None);
        QCOMPARE(keysOf(lines),
                 (QStringList{QStringLiteral("20160508080000"), QStringLiteral("20160507090000"),
                              QStringLiteral("20160507080000")}));
        QCOMPARE(lines[0].text, QStringLiteral("王五[2016-05-08]"));

        QCOMPARE(
            RecordStore::search(
                {QStringLiteral("张"), {}, QStringLiteral("2016/1/1"), QStringLiteral("2016.12.31")}, lines),
            RecordStore::SearchError::None);
        QCOMPARE(keysOf(lines),
                 (QStringList{QStringLiteral("20160507090000"), QStringLiteral("20160507080000"),
                              QStringLiteral("20160401080000")}));

        QCOMPARE(RecordStore::search(
                     {{}, QStringLiteral("东街"), QStringLiteral("2016-05-07"), QStringLiteral("2016-05-07")},
                     lines),
                 RecordStore::SearchError::None);
        QCOMPARE(keysOf(lines), QStringList{QStringLiteral("20160507080000")});

        // Wildcards typed into a filter keep their meaning.
        QCOMPARE(RecordStore::search(
                     {QStringLiteral("张_"), {}, QStringLiteral("2000-01-01"), QStringLiteral("2030-01-01")},
                     lines),
                 RecordStore::SearchError::None);
        QCOMPARE(lines.size(), size_t(2)); // 张三 and 张飞, not 小张

        QCOMPARE(
            RecordStore::search({{}, {}, QStringLiteral("2016-13-45"), QStringLiteral("2016-05-07")}, lines),
            RecordStore::SearchError::BadDate);
        QCOMPARE(RecordStore::search({{}, {}, QString(), QStringLiteral("2016-05-07")}, lines),
                 RecordStore::SearchError::BadDate);

        QVERIFY(RecordStore::listDay(QStringLiteral("2016-05-07"), lines));
        QCOMPARE(keysOf(lines),
                 (QStringList{QStringLiteral("20160507090000"), QStringLiteral("20160507080000")}));
    }

    // The name filter means the same on either engine: ASCII letters in
    // either case, every other character only itself, no escape character.
    void filterMatchesAlikeOnEveryEngine()
    {
        const QStringList names{QStringLiteral("Anna"), QStringLiteral("ÉMILE"), QStringLiteral("a\\b"),
                                QStringLiteral("50%")};
        for (int i = 0; i < names.size(); ++i) {
            QVERIFY(RecordStore::save(test::makeRecord(QStringLiteral("2016050708000%1").arg(i), names[i],
                                                       QStringLiteral("2016-05-07"))));
        }
        const auto found = [](const QString& name) {
            ResultLines lines;
            RecordStore::search({name, {}, QStringLiteral("2016-01-01"), QStringLiteral("2016-12-31")},
                                lines);
            QStringList texts;
            for (const auto& line : lines) {
                texts << line.text.section(u'[', 0, 0);
            }
            return texts;
        };
        QCOMPARE(found(QStringLiteral("aNNA")), QStringList{QStringLiteral("Anna")});
        QCOMPARE(found(QStringLiteral("émile")), QStringList());
        QCOMPARE(found(QStringLiteral("ÉMI")), QStringList{QStringLiteral("ÉMILE")});
        QCOMPARE(found(QStringLiteral("\\")), QStringList{QStringLiteral("a\\b")});
        QCOMPARE(found(QStringLiteral("\\b")), QStringList{QStringLiteral("a\\b")});
        QCOMPARE(found(QStringLiteral("0%")).size(), 1);
        QCOMPARE(found(QStringLiteral("A_N")).size(), 1);
        // Filters without a letter A to Z: no folding needed, wildcards kept.
        QCOMPARE(found(QStringLiteral("É")), QStringList{QStringLiteral("ÉMILE")});
        QCOMPARE(found(QStringLiteral("_%")).size(), names.size());
    }

    // A name or address that another program left null is the empty text:
    // every filter that the empty text meets lists its record, on either
    // engine.
    void nullNameOrAddressIsTheEmptyText()
    {
        QSqlQuery q(Database::connection());
        QVERIFY(q.exec(QStringLiteral("insert into 档案 (序列号, 姓名, 性别, 年龄, 日期, 地址) values "
                                      "('20160507080000', null, '男', '40', '2016-05-07', '东街'), "
                                      "('20160507090000', '张三', '男', '40', '2016-05-07', null), "
                                      "('20160507100000', null, null, null, '2016-05-07', null)")));
        const auto found = [](const char16_t* name, const char16_t* address) {
            ResultLines lines;
            const auto result =
                RecordStore::search({QString::fromUtf16(name), QString::fromUtf16(address),
                                     QStringLiteral("2016-05-07"), QStringLiteral("2016-05-07")},
                                    lines);
            return result == RecordStore::SearchError::None ? linesOf(lines)
                                                            : QStringList{QStringLiteral("failed")};
        };
        const QStringList all{QStringLiteral("[2016-05-07]|20160507100000"),
                              QStringLiteral("张三[2016-05-07]|20160507090000"),
                              QStringLiteral("[2016-05-07]|20160507080000")};
        QCOMPARE(found(u"", u""), all);
        QCOMPARE(found(u"%", u"%"), all); // a wildcard alone meets the empty text
        QCOMPARE(found(u"张", u""), QStringList{all[1]});
        QCOMPARE(found(u"", u"东"), QStringList{all[2]});
        QCOMPARE(found(u"_", u""), QStringList{all[1]}); // one character at least
    }

    // A long search is read in two halves of its days at the same time; the
    // merged list is the one a single read gives, line for line.
    void searchReadInHalvesListsAsOneRead()
    {
        if (test::onServer()) {
            QSKIP("a server database is read on one connection");
        }
        storeVariedRecords();
        const QString from = QStringLiteral("2016-01-05");
        const QString to = QStringLiteral("2016-02-27");
        const SearchFilter filters[] = {
            {{}, {}, QStringLiteral("2015-01-01"), QStringLiteral("2017-01-01")},
            {{}, {}, from, to},
            {QStringLiteral("张"), {}, from, to},
            {{}, QStringLiteral("东街3"), from, to},
            {QStringLiteral("赵"), {}, from, to}, // later half empty
            {QStringLiteral("钱"), {}, from, to}, // earlier half empty
            {QStringLiteral("孙"), {}, from, to}, // both empty
        };
        for (const SearchFilter& filter : filters) {
            const int paired = PairedRead::completed();
            ResultLines lines;
            QCOMPARE(RecordStore::search(filter, lines), RecordStore::SearchError::None);
            QCOMPARE(PairedRead::completed(), paired + 1);
            QCOMPARE(linesOf(lines), oneRead(filter));
        }
    }

    // Whenever the second connection cannot read at once, the program's
    // connection reads alone, and the list is the whole one all the same.
    void searchReadsAloneWhenSecondConnectionCannot()
    {
        if (test::onServer()) {
            QSKIP("a server database is read on one connection");
        }
        storeVariedRecords();
        const SearchFilter all{{}, {}, QStringLiteral("2016-01-01"), QStringLiteral("2016-03-01")};
        const QStringList whole = oneRead(all);
        ResultLines lines;
        const int paired = PairedRead::completed();

        // Another connection holds the file locked for a moment.
        std::atomic_int locked = -1;
        std::jthread holder([&] {
            sqlite3* other = nullptr;
            sqlite3_open(m_folder->databaseFile().toUtf8().constData(), &other);
            locked = sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
            locked.notify_one();
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            sqlite3_close_v2(other);
        });
        locked.wait(-1);
        QCOMPARE(locked.load(), 1);
        QCOMPARE(RecordStore::search(all, lines), RecordStore::SearchError::None);
        holder.join();
        QCOMPARE(linesOf(lines), whole);

        // A write-ahead log lets each reader keep a state of its own.
        QSqlQuery wal(Database::connection());
        QVERIFY(wal.exec(QStringLiteral("PRAGMA journal_mode = WAL")) && wal.next());
        QCOMPARE(wal.value(0).toString(), QStringLiteral("wal"));
        wal.finish();
        QCOMPARE(RecordStore::search(all, lines), RecordStore::SearchError::None);
        QCOMPARE(linesOf(lines), whole);
        QCOMPARE(PairedRead::completed(), paired);
    }

    // Both halves read one state of the database while another connection
    // renames every record again and again: a list never mixes two names.
    void concurrentWriterNeverTearsTheList()
    {
        if (test::onServer()) {
            QSKIP("a server database is read on one connection");
        }
        storeVariedRecords();
        QVERIFY(QSqlQuery(Database::connection()).exec(QStringLiteral("update 档案 set 姓名 = 'v0'")));
        const SearchFilter all{{}, {}, QStringLiteral("2016-01-01"), QStringLiteral("2016-03-01")};
        const size_t count = size_t(oneRead(all).size());
        std::jthread writer([&](std::stop_token stop) {
            sqlite3* other = nullptr;
            sqlite3_open(m_folder->databaseFile().toUtf8().constData(), &other);
            sqlite3_busy_timeout(other, 10000);
            for (int k = 1; !stop.stop_requested(); ++k) {
                const QByteArray sql = "update 档案 set 姓名 = 'v" + QByteArray::number(k) + '\'';
                sqlite3_exec(other, sql.constData(), nullptr, nullptr, nullptr);
            }
            sqlite3_close_v2(other);
        });
        const int paired = PairedRead::completed();
        QSet<QString> names;
        for (int round = 0; round < 40; ++round) {
            ResultLines lines;
            QCOMPARE(RecordStore::search(all, lines), RecordStore::SearchError::None);
            QSet<QString> listed;
            for (size_t k = 0; k < lines.size(); ++k) {
                listed.insert(lines.text(k).section(u'[', 0, 0));
            }
            QCOMPARE(lines.size(), count);
            QCOMPARE(listed.size(), 1);
            names += listed;
        }
        writer.request_stop();
        writer.join();
        QVERIFY(names.size() > 1);
        QVERIFY(PairedRead::completed() > paired);
    }

    void hostileFilterTextIsOnlyData_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("apostrophe") << QStringLiteral("O'Neil");
        QTest::newRow("percent") << QStringLiteral("%");
        QTest::newRow("statement") << QStringLiteral("\";drop table 档案;--");
        QTest::newRow("quote statement") << QStringLiteral("'; delete from 设置; --");
        QTest::newRow("nul") << QString(QChar(0)) + QStringLiteral("x");
        QTest::newRow("long") << QString(2000, QChar(u'张'));
    }
    void hostileFilterTextIsOnlyData()
    {
        QFETCH(QString, text);
        ExamRecord record =
            test::makeRecord(QStringLiteral("20160507080000"), text, QStringLiteral("2016-05-07"), text);
        QVERIFY(RecordStore::save(record));
        ResultLines lines;
        QCOMPARE(RecordStore::search({text, text, QStringLiteral("2016-01-01"), QStringLiteral("2016-12-31")},
                                     lines),
                 RecordStore::SearchError::None);
        QCOMPARE(lines.size(), size_t(1));
        QCOMPARE(lines[0].key, record.key());
        ExamRecord back;
        QVERIFY(RecordStore::load(record.key(), back));
        QCOMPARE(back[Field::Name], Database::storable(text)); // a server takes no U+0000
        QCOMPARE(rows("档案"), 1);
        QCOMPARE(rows("设置"), 1);
        QVERIFY(rows("词库") > 0);
    }

    void failedWriteIsReportedAndChangesNothing()
    {
        QVERIFY(RecordStore::save(test::makeRecord(QStringLiteral("20160507080000"), QStringLiteral("甲"),
                                                   QStringLiteral("2016-05-07"))));
        Database::close();
        QFile::setPermissions(m_folder->databaseFile(), QFileDevice::ReadOwner);
        QVERIFY(m_folder->open());
        QSqlQuery(Database::connection())
            .exec(test::onServer() ? QStringLiteral("set default_transaction_read_only = on")
                                   : QStringLiteral("PRAGMA query_only = 1")); // root ignores file modes
        QString error;
        QVERIFY(!RecordStore::save(test::makeRecord(QStringLiteral("20160507090000"), QStringLiteral("乙"),
                                                    QStringLiteral("2016-05-07")),
                                   &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!RecordStore::remove(QStringLiteral("20160507080000"), &error));
        QCOMPARE(RecordStore::count(), 1);
    }
    // One person's examinations side by side. Everyone of a name comes with
    // the keys of all of that person's records (a namesake at the address, a
    // son by his year of birth, another address are other people); they are
    // read oldest examination first whatever their keys; each row's text is
    // flagged exactly as the sheet flags its box, and only plain numbers are
    // plotted, anything else being told as left out.
    void comparisonSeriesOfOnePerson()
    {
        auto exam = [](const char* key, const char* date, const char16_t* sex, const char16_t* age,
                       const char16_t* address, const char16_t* name = u"张三") {
            ExamRecord record = test::makeRecord(QString::fromLatin1(key), QString::fromUtf16(name),
                                                 QString::fromLatin1(date), QString::fromUtf16(address));
            for (Field field :
                 {Field::Height, Field::Weight, Field::SystolicPressure, Field::DiastolicPressure}) {
                record[field].clear();
            }
            for (const SeriesRow& row : seriesRows()) {
                if (row.kind == SeriesRow::Kind::Value) {
                    record[row.field].clear();
                }
            }
            record[Field::Sex] = QString::fromUtf16(sex);
            record[Field::Age] = QString::fromUtf16(age);
            return record;
        };
        ExamRecord latest = exam("20230101080000", "2023-05-01", u"男", u"60", u"东街");
        latest[Field::Height] = QStringLiteral("170");
        latest[Field::Weight] = QStringLiteral("72.25");
        latest[Field::SystolicPressure] = QStringLiteral("150");
        latest[Field::DiastolicPressure] = QStringLiteral("95");
        latest[Field::FastingGlucose] = QStringLiteral("7.2");
        latest[Field::Hdl] = QStringLiteral("<0.5");
        latest[Field::Creatinine] = QStringLiteral("阴性");
        latest[Field::UrineProtein] = QStringLiteral("+");
        ExamRecord earliest = exam("20210101080000", "2021-05-01", u"男", u"58", u"东街");
        earliest[Field::Height] = QStringLiteral("1.70");
        earliest[Field::Weight] = QStringLiteral("60");
        earliest[Field::FastingGlucose] = QStringLiteral("5.0");
        earliest[Field::SystolicPressure] = QStringLiteral("120");
        ExamRecord middle = exam("20250101080000", "2022-05-01", u"男", u"59岁", u"东街"); // newest key
        middle[Field::FastingGlucose] = QStringLiteral("6.5↑");
        for (const ExamRecord& record :
             {latest, earliest, middle, exam("20240101080000", "2024-05-01", u"女", u"61", u"东街"),
              exam("20240201080000", "2024-02-01", u"男", u"30", u"东街", u"张三  "),
              exam("20200101080000", "2020-01-01", u"男", u"57", u"西街"),
              exam("20230601080000", "2023-06-01", u"男", u"60", u"东街", u"李四")}) {
            QVERIFY(RecordStore::save(record));
        }

        std::vector<PersonRecords> people;
        QVERIFY(RecordStore::recordsByPerson(QStringLiteral(" 张三"), people));
        QCOMPARE(people.size(), size_t(4));
        QStringList latestKeys;
        for (const PersonRecords& person : people) {
            latestKeys << person.latest.key;
        }
        QCOMPARE(latestKeys,
                 (QStringList{QStringLiteral("20240101080000"), QStringLiteral("20240201080000"),
                              QStringLiteral("20230101080000"), QStringLiteral("20200101080000")}));
        const PersonRecords& him = people[2];
        QCOMPARE(him.keys, (QStringList{QStringLiteral("20230101080000"), QStringLiteral("20250101080000"),
                                        QStringLiteral("20210101080000")}));
        std::vector<LatestExam> latestOnly;
        QVERIFY(RecordStore::latestByPerson(QStringLiteral("张三"), latestOnly));
        QCOMPARE(latestOnly.size(), people.size());
        QCOMPARE(latestOnly[2].key, him.latest.key);

        std::vector<SeriesColumn> columns;
        QVERIFY(readSeries(him.keys, columns));
        QStringList titles;
        for (const SeriesColumn& column : columns) {
            titles << column.title();
            QCOMPARE(column.date(), QDate::fromString(column.title(), Qt::ISODate));
        }
        QCOMPARE(titles, (QStringList{QStringLiteral("2021-05-01"), QStringLiteral("2022-05-01"),
                                      QStringLiteral("2023-05-01")}));
        QCOMPARE(columns.back().record, RecordStore::asStored(latest));

        // Every box row flags as the sheet does.
        for (const SeriesRow& row : seriesRows()) {
            for (const SeriesColumn& column : columns) {
                if (row.kind == SeriesRow::Kind::Value) {
                    const SeriesCell cell = seriesCell(row, column.record);
                    const ValueFlag sheet = valueFlag(row.field, column.record[row.field]);
                    QCOMPARE(cell.text, column.record[row.field]);
                    QCOMPARE(cell.flag.kind, sheet.kind);
                    QCOMPARE(cell.flag.reason, sheet.reason);
                }
            }
        }
        auto cell = [&columns](const QString& name, int column) {
            const auto row =
                std::ranges::find_if(seriesRows(), [&name](const SeriesRow& r) { return r.name == name; });
            return seriesCell(*row, columns[size_t(column)].record);
        };
        const SeriesCell glucose = cell(QStringLiteral("空腹血糖"), 2);
        QCOMPARE(glucose.flag.reason, QStringLiteral("高于参考范围 3.8-6.1"));
        QCOMPARE(glucose.numbers, std::vector<double>{7.2});
        QCOMPARE(cell(QStringLiteral("空腹血糖"), 1).numbers,
                 std::vector<double>{6.5}); // the lab's mark read past
        const SeriesCell hdl = cell(QStringLiteral("高密度脂蛋白"), 2);
        QCOMPARE(hdl.flag.reason, QStringLiteral("低于参考范围 1.04-1.8"));
        QVERIFY(hdl.numbers.empty() && hdl.notNumber);
        const SeriesCell creatinine = cell(QStringLiteral("肌酐"), 2);
        QCOMPARE(creatinine.flag.kind, ValueFlag::Kind::Unreadable);
        QVERIFY(creatinine.numbers.empty() && creatinine.notNumber);
        const SeriesCell urine = cell(QStringLiteral("尿蛋白"), 2);
        QCOMPARE(urine.flag.reason, QStringLiteral("阳性"));
        QVERIFY(urine.notNumber);
        const SeriesCell pressure = cell(QStringLiteral("血压"), 2);
        QCOMPARE(pressure.text, QStringLiteral("150/95"));
        QCOMPARE(pressure.flag.reason, QStringLiteral("血压偏高"));
        QCOMPARE(pressure.numbers, (std::vector<double>{150, 95}));
        const SeriesCell half = cell(QStringLiteral("血压"), 0); // only the systolic typed
        QCOMPARE(half.text, QStringLiteral("120/"));
        QVERIFY(half.numbers.empty() && half.notNumber);
        QCOMPARE(cell(QStringLiteral("BMI"), 2).text, QStringLiteral("25.0"));
        QCOMPARE(cell(QStringLiteral("BMI"), 0).text, QStringLiteral("20.8")); // a height in metres
        const SeriesCell empty = cell(QStringLiteral("BMI"), 1);
        QVERIFY(empty.text.isEmpty() && empty.numbers.empty() && !empty.notNumber);
        const std::vector<int> counts = flagCounts(columns);
        const auto rowOf = [](const QString& name) {
            return size_t(
                std::ranges::find_if(seriesRows(), [&name](const SeriesRow& r) { return r.name == name; }) -
                seriesRows().begin());
        };
        QCOMPARE(counts[rowOf(QStringLiteral("空腹血糖"))], 2);
        QCOMPARE(counts[rowOf(QStringLiteral("肌酐"))], 0); // unreadable is no finding
        QCOMPARE(counts[rowOf(QStringLiteral("血压"))], 1);

        // A record deleted meanwhile: nothing is half read.
        QVERIFY(RecordStore::remove(QStringLiteral("20250101080000")));
        QString error;
        QVERIFY(!readSeries(him.keys, columns, &error));
        QVERIFY(columns.empty());
        QVERIFY(!error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestRecordStore)
#include "tst_recordstore.moc"
