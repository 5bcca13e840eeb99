// Storage of examination records on a real database file.
#include "TestSupport.h"
#include "app/Database.h"
#include "record/RecordStore.h"

#include <QSqlQuery>
#include <QTest>

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
};

QTEST_GUILESS_MAIN(TestRecordStore)
#include "tst_recordstore.moc"
