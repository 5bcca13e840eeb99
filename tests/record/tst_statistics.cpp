// The yearly statistics: the counting rules at their edges, the same rules as
// the sheet's red flags, and the count read from a real database on either
// engine.
#include "TestSupport.h"
#include "record/RecordStore.h"
#include "record/StatisticsRead.h"
#include "storage/Database.h"

#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

using namespace brenvoll;

namespace {

int itemIndex(const QString& title)
{
    const auto& items = statisticsItems();
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].title == title) {
            return int(i);
        }
    }
    return -1;
}

ItemOutcome outcomeOf(const QString& title, const ExamRecord& record)
{
    const int i = itemIndex(title);
    return i < 0 ? ItemOutcome::NotExamined : itemOutcome(statisticsItems()[size_t(i)], record);
}

ExamRecord pressure(const QString& systolic, const QString& diastolic)
{
    ExamRecord record;
    record[Field::SystolicPressure] = systolic;
    record[Field::DiastolicPressure] = diastolic;
    return record;
}

ExamRecord body(const QString& height, const QString& weight)
{
    ExamRecord record;
    record[Field::Height] = height;
    record[Field::Weight] = weight;
    return record;
}

ExamRecord boxWith(Field field, const QString& text)
{
    ExamRecord record;
    record[field] = text;
    return record;
}

// A record for the stored counts: who, when, and a fasting glucose.
ExamRecord exam(const QString& key, const QString& name, const QString& date, const QString& sex,
                const QString& age, const QString& glucose,
                const QString& address = QStringLiteral("东街1号"))
{
    ExamRecord record;
    record[Field::Key] = key;
    record[Field::Name] = name;
    record[Field::ExamDate] = date;
    record[Field::Sex] = sex;
    record[Field::Age] = age;
    record[Field::Address] = address;
    record[Field::FastingGlucose] = glucose;
    return record;
}

StatisticsFilter wholeYear(const QString& address = {})
{
    return {address, QStringLiteral("2026-01-01"), QStringLiteral("2026-12-31")};
}

} // namespace

class TestStatistics : public QObject
{
    Q_OBJECT

private slots:
    void countingRulesAtTheirEdges()
    {
        using enum ItemOutcome;
        const QString bp = QStringLiteral("血压偏高");
        QCOMPARE(outcomeOf(bp, pressure("139", "89")), Normal);
        QCOMPARE(outcomeOf(bp, pressure("140", "89")), Abnormal);
        QCOMPARE(outcomeOf(bp, pressure("139", "90")), Abnormal);
        QCOMPARE(outcomeOf(bp, pressure("１４０", "80")), Abnormal); // full-width digits
        QCOMPARE(outcomeOf(bp, pressure("", "")), NotExamined);
        QCOMPARE(outcomeOf(bp, pressure("120", "")), NotExamined);
        QCOMPARE(outcomeOf(bp, pressure("高", "80")), NotExamined);
        // One raised value is enough, whatever the other box holds.
        QCOMPARE(outcomeOf(bp, pressure("150", "")), Abnormal);

        // A height of 100 cm makes the BMI the weight.
        const QString over = QStringLiteral("超重");
        const QString obese = QStringLiteral("肥胖");
        QCOMPARE(outcomeOf(over, body("100", "23.9")), Normal);
        QCOMPARE(outcomeOf(over, body("100", "24.0")), Abnormal);
        QCOMPARE(outcomeOf(over, body("100", "27.9")), Abnormal);
        QCOMPARE(outcomeOf(obese, body("100", "27.9")), Normal);
        QCOMPARE(outcomeOf(over, body("100", "28.0")), Normal);
        QCOMPARE(outcomeOf(obese, body("100", "28.0")), Abnormal);
        QCOMPARE(outcomeOf(obese, body("１００", "２８")), Abnormal);
        QCOMPARE(outcomeOf(obese, body("100 cm", "28kg")), Abnormal);
        QCOMPARE(bmiTenths(QStringLiteral("170"), QStringLiteral("69.36")),
                 std::optional<int>(240)); // 23.99… rounds to 24.0
        QCOMPARE(outcomeOf(over, body("0", "60")), NotExamined);
        QCOMPARE(outcomeOf(over, body("", "60")), NotExamined);
        QCOMPARE(outcomeOf(obese, body("170", "约60")), NotExamined);

        // 空腹血糖 3.8-6.1: both ends belong to the range.
        const QString high = QStringLiteral("空腹血糖偏高");
        const QString low = QStringLiteral("空腹血糖偏低");
        QVERIFY(itemIndex(high) >= 0 && itemIndex(low) >= 0);
        const auto glucose = [](const char* text) {
            return boxWith(Field::FastingGlucose, QString::fromUtf8(text));
        };
        QCOMPARE(outcomeOf(high, glucose("6.1")), Normal);
        QCOMPARE(outcomeOf(high, glucose("6.2")), Abnormal);
        QCOMPARE(outcomeOf(high, glucose("６．２")), Abnormal);
        QCOMPARE(outcomeOf(low, glucose("6.2")), Normal);
        QCOMPARE(outcomeOf(low, glucose("3.8")), Normal);
        QCOMPARE(outcomeOf(low, glucose("3.7")), Abnormal);
        QCOMPARE(outcomeOf(high, glucose("7.0 mmol/L↑")), Abnormal);
        QCOMPARE(outcomeOf(high, glucose("未测")), NotExamined);
        QCOMPARE(outcomeOf(low, glucose("未测")), NotExamined);
        QCOMPARE(outcomeOf(high, glucose("  ")), NotExamined);
        // A range from 0 has no lower row.
        QVERIFY(itemIndex(QStringLiteral("谷丙转氨酶偏高")) >= 0);
        QCOMPARE(itemIndex(QStringLiteral("谷丙转氨酶偏低")), -1);

        const QString protein = QStringLiteral("尿蛋白阳性");
        QCOMPARE(outcomeOf(protein, boxWith(Field::UrineProtein, "++")), Abnormal);
        QCOMPARE(outcomeOf(protein, boxWith(Field::UrineProtein, "＋")), Abnormal);
        QCOMPARE(outcomeOf(protein, boxWith(Field::UrineProtein, "-")), Normal);
        QCOMPARE(outcomeOf(protein, boxWith(Field::UrineProtein, "")), NotExamined);

        // The rows in their order: 血压偏高 first, the findings last.
        const auto& items = statisticsItems();
        QCOMPARE(items.front().title, bp);
        QCOMPARE(items.back().title, QStringLiteral("胸部X线异常"));
        QVERIFY(items.size() <= size_t(ExamOutcomes::kMaxItems));
    }

    void normalFindingsAreOneList()
    {
        using enum ItemOutcome;
        QCOMPARE(normalFindings().mid(0, 4), QStringList({"正常", "未见异常", "未见明显异常", "大致正常"}));
        // The delivered phrase library's normal findings of these boxes are
        // normal findings too.
        test::TestFolder folder;
        QVERIFY(folder.open());
        QStringList phrases;
        QSqlQuery library = Database::prepare(QStringLiteral("select 常用语 from 词库"));
        QVERIFY(Database::exec(library));
        while (library.next()) {
            phrases << library.value(0).toString();
        }
        for (const char* stock :
             {"窦性心律，心电图正常", "肝胆脾胰双肾未见明显异常", "双肺纹理清晰，心膈未见异常"}) {
            QVERIFY(phrases.contains(QString::fromUtf8(stock)));
            QVERIFY(normalFindings().contains(QString::fromUtf8(stock)));
        }
        // The help page lists the same findings.
        QFile help(QStringLiteral(BRENVOLL_HELP_PAGE));
        QVERIFY(help.open(QIODevice::ReadOnly));
        const QString page = QString::fromUtf8(help.readAll());
        const qsizetype list = page.indexOf(QStringLiteral("<ul id=\"normal-findings\">"));
        QVERIFY(list >= 0);
        QStringList listed;
        static const QRegularExpression item(QStringLiteral("<li>([^<]*)</li>"));
        for (const auto& match :
             item.globalMatch(page.mid(list, page.indexOf(QStringLiteral("</ul>"), list) - list))) {
            listed << match.captured(1);
        }
        QCOMPARE(listed, normalFindings());
        for (const char* title : {"心电图异常", "B超异常", "胸部X线异常"}) {
            const auto& item = statisticsItems()[size_t(itemIndex(QString::fromUtf8(title)))];
            for (const QString& normal : normalFindings()) {
                QCOMPARE(itemOutcome(item, boxWith(item.field, u' ' + normal + u'\u3000')), Normal);
            }
            QCOMPARE(itemOutcome(item, boxWith(item.field, "窦性心动过速")), Abnormal);
            QCOMPARE(itemOutcome(item, boxWith(item.field, "正常？")), Abnormal);
            QCOMPARE(itemOutcome(item, boxWith(item.field, " ")), NotExamined);
        }
    }

    void sexAndAgeColumns()
    {
        using namespace StatisticsColumns;
        QCOMPARE(count(), 12);
        QCOMPARE(titles(), QStringList({"合计", "男", "女", "未填", "<65", "65–69", "70–74", "75–79", "80–84",
                                        "≥85", "未填", "未检"}));
        QCOMPARE(sexColumn("男"), kMale);
        QCOMPARE(sexColumn(" 女 "), kFemale);
        QCOMPARE(sexColumn(""), kSexUnknown);
        QCOMPARE(sexColumn("M"), kSexUnknown);
        QCOMPARE(ageColumn("64"), kFirstAge);
        QCOMPARE(ageColumn("65"), kFirstAge + 1);
        QCOMPARE(ageColumn("69.9"), kFirstAge + 1);
        QCOMPARE(ageColumn("72岁"), kFirstAge + 2);
        QCOMPARE(ageColumn("８４"), kFirstAge + 4);
        QCOMPARE(ageColumn("85"), kFirstAge + 5);
        QCOMPARE(ageColumn("101"), kFirstAge + 5);
        QCOMPARE(ageColumn(""), ageUnknown());
        QCOMPARE(ageColumn("七十"), ageUnknown());
    }

    // The statistics count a value abnormal exactly when the sheet flags its
    // box: over varied values of every checked box.
    void statisticsAgreeWithRedFlags()
    {
        const QStringList typed{
            "",    " ",    "0",    "0.5",  "1.04",  "1.8",   "1.81", "3.2",       "3.7",    "3.8",  "6.1",
            "6.2", "40",   "41",   "53",   "106",   "110",   "139",  "140",       "160",    "161",  "300",
            "301", "８９", "９０", "<0.1", ">33.3", "5.5↑",  "3.1L", "12 mmol/L", "12 g/L", "阴性", "+",
            "++",  "＋",   "-",    "阳性", "未测",  "1.2.3", "89",   "90"};
        QRandomGenerator random(29);
        int abnormalSeen = 0;
        for (int n = 0; n < 3000; ++n) {
            ExamRecord record;
            for (const BoxDef& box : FieldMap::boxes()) {
                record[box.field] = typed[random.bounded(int(typed.size()))];
            }
            const ExamOutcomes outcomes = examOutcomes(record);
            const auto& items = statisticsItems();
            for (size_t i = 0; i < items.size(); ++i) {
                const StatisticsItem& item = items[i];
                QCOMPARE(outcomes.abnormal[i], itemOutcome(item, record) == ItemOutcome::Abnormal);
                abnormalSeen += outcomes.abnormal[i];
                const ValueFlag flag = valueFlag(item.field, record[item.field]);
                const bool flagged = flag.kind == ValueFlag::Kind::Outstanding;
                switch (item.kind) {
                case StatisticsItem::Kind::BloodPressure:
                    QCOMPARE(outcomes.abnormal[i],
                             flagged ||
                                 valueFlag(Field::DiastolicPressure, record[Field::DiastolicPressure]).kind ==
                                     ValueFlag::Kind::Outstanding);
                    break;
                case StatisticsItem::Kind::AboveRange:
                    QCOMPARE(outcomes.abnormal[i], flagged && flag.reason.startsWith(u"高于"));
                    break;
                case StatisticsItem::Kind::BelowRange:
                    QCOMPARE(outcomes.abnormal[i], flagged && flag.reason.startsWith(u"低于"));
                    break;
                case StatisticsItem::Kind::Positive:
                    QCOMPARE(outcomes.abnormal[i], flagged);
                    break;
                default:
                    break;
                }
            }
            // Every flagged box is counted in some row.
            for (const BoxDef& box : FieldMap::boxes()) {
                if (valueFlag(box.field, record[box.field]).kind != ValueFlag::Kind::Outstanding) {
                    continue;
                }
                const bool counted = std::ranges::any_of(items, [&](const StatisticsItem& item) {
                    const bool onBox =
                        item.field == box.field || (item.kind == StatisticsItem::Kind::BloodPressure &&
                                                    box.field == Field::DiastolicPressure);
                    return onBox && outcomes.abnormal[size_t(&item - items.data())];
                });
                QVERIFY2(counted, qPrintable(box.objectName() + u' ' + record[box.field]));
            }
        }
        QVERIFY(abnormalSeen > 1000);
    }

    // Each person once, by the latest examination of the range; sex and age
    // columns; rates of those examined; both engines.
    void storedExaminationsCountEachPersonOnce()
    {
        test::TestFolder folder;
        QVERIFY(folder.open());
        const QList<ExamRecord> records{
            // 张三 twice: the older one high, the latest normal.
            exam("20260105080000", "张三", "2026-01-05", "男", "70", "7.5"),
            exam("20260605080000", " 张三 ", "2026-06-05", "男", "70", "5.0"),
            // His son of the same name at the same address is someone else.
            exam("20260606080000", "张三", "2026-06-06", "男", "40", "6.5"),
            // The same name elsewhere is someone else too.
            exam("20260607080000", "张三", "2026-06-07", "", "", "", QStringLiteral("西街2号")),
            exam("20260301080000", "李四", "2026-03-01", "女", "85", "3.0"),
            exam("20260302080000", "王五", "2026-03-02", "女", "66岁", "未测"),
            // Outside the range.
            exam("20251231080000", "赵六", "2025-12-31", "女", "70", "9.9"),
        };
        for (const ExamRecord& record : records) {
            QVERIFY(RecordStore::save(record));
        }
        StatisticsTable table;
        QString error;
        QCOMPARE(StatisticsRead::run(wholeYear(), table, {}, &error), StatisticsRead::Error::None);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(table.examinations, 6);
        QCOMPARE(table.persons(), 5);
        using namespace StatisticsColumns;
        QCOMPARE(table.persons(kMale), 2);
        QCOMPARE(table.persons(kFemale), 2);
        QCOMPARE(table.persons(kSexUnknown), 1);
        QCOMPARE(table.persons(kFirstAge), 1);     // 40
        QCOMPARE(table.persons(kFirstAge + 1), 1); // 66岁
        QCOMPARE(table.persons(kFirstAge + 2), 1); // 70
        QCOMPARE(table.persons(kFirstAge + 5), 1); // 85
        QCOMPARE(table.persons(ageUnknown()), 1);

        const int high = itemIndex(QStringLiteral("空腹血糖偏高"));
        const int low = itemIndex(QStringLiteral("空腹血糖偏低"));
        QCOMPARE(table.abnormal(high, kTotal), 1); // the son; the father's 7.5 is older
        QCOMPARE(table.abnormal(high, kFirstAge + 2), 0);
        QCOMPARE(table.abnormal(low, kFemale), 1);
        QCOMPARE(table.notExamined(high), 2); // empty and 未测
        QCOMPARE(table.examined(high, kTotal), 3);
        QCOMPARE(table.cellText(high, kTotal), QStringLiteral("1 (33.3%)"));
        QCOMPARE(table.cellText(high, kSexUnknown), QStringLiteral("0 (—)"));
        QCOMPARE(table.cellText(high, notExamined()), QStringLiteral("2"));
        QCOMPARE(table.cellText(-1, kTotal), QStringLiteral("5"));
        QVERIFY(table.summary().contains(QStringLiteral("共 6 次体检，5 人")));

        // The address filter, as the report's.
        QCOMPARE(StatisticsRead::run(wholeYear(QStringLiteral("西街")), table), StatisticsRead::Error::None);
        QCOMPARE(table.persons(), 1);
        QCOMPARE(StatisticsRead::run({{}, QStringLiteral("2026-13-01"), QStringLiteral("2026-12-31")}, table),
                 StatisticsRead::Error::BadDate);
        // The operator's 取消 stops the count and leaves no figures.
        QCOMPARE(StatisticsRead::run(
                     wholeYear(), table, [](qint64, qint64) { return false; }, &error),
                 StatisticsRead::Error::Cancelled);
        QCOMPARE(table.persons(), 0);
    }

    // Enough records for the read to go in two halves on SQLite: the count
    // is the same as one record at a time gives.
    void longReadsCountAsOneByOne()
    {
        test::TestFolder folder;
        QVERIFY(folder.open());
        QRandomGenerator random(7);
        StatisticsTable expected;
        const QStringList values{"5.0", "6.5", "3.0", "", "x"};
        QSqlDatabase db = Database::connection();
        QVERIFY(db.transaction());
        QSqlQuery insert(db);
        QVERIFY(insert.prepare(QStringLiteral(
            "insert into 档案 (序列号, 姓名, 日期, 性别, 年龄, 地址, \"33\") values (?, ?, ?, ?, ?, ?, ?)")));
        for (int i = 0; i < 9000; ++i) {
            const QString date = QDate(2026, 1, 1).addDays(i % 300).toString(Qt::ISODate);
            const QString age = QString::number(50 + i % 45);
            const QString sex = i % 3 == 0 ? QStringLiteral("男") : QStringLiteral("女");
            ExamRecord record =
                exam(QString::number(20260000000000LL + i), QStringLiteral("人") + QString::number(i), date,
                     sex, age, values[random.bounded(int(values.size()))]);
            for (Field field : {Field::Key, Field::Name, Field::ExamDate, Field::Sex, Field::Age,
                                Field::Address, Field::FastingGlucose}) {
                insert.addBindValue(record[field]);
            }
            QVERIFY2(insert.exec(), qPrintable(insert.lastError().text()));
            expected.addPerson(sexColumn(sex), ageColumn(age), examOutcomes(record));
        }
        QVERIFY(db.commit());
        StatisticsTable table;
        qint64 lastRead = 0;
        QCOMPARE(StatisticsRead::run(wholeYear(), table,
                                     [&lastRead](qint64 read, qint64 most) {
                                         lastRead = read;
                                         return read <= most;
                                     }),
                 StatisticsRead::Error::None);
        QCOMPARE(lastRead, 9000);
        QCOMPARE(table.persons(), 9000);
        for (int row = -1; row < int(statisticsItems().size()); ++row) {
            for (int c = 0; c < StatisticsColumns::count(); ++c) {
                QCOMPARE(table.cellText(row, c), expected.cellText(row, c));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestStatistics)
#include "tst_statistics.moc"
