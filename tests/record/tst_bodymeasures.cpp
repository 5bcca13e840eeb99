// Height, weight and BMI read by one rule: a resident's BMI in 历年对比 and
// the class 体检统计 counts them under agree, whatever unit the height was
// typed in, on either engine.
#include "TestSupport.h"
#include "record/ExamSeries.h"
#include "record/RecordStore.h"
#include "record/StatisticsRead.h"

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

const SeriesRow& rowOf(SeriesRow::Kind kind, Field field = Field::Height)
{
    for (const SeriesRow& row : seriesRows()) {
        if (row.kind == kind && (kind != SeriesRow::Kind::Value || row.field == field)) {
            return row;
        }
    }
    return seriesRows().front();
}

} // namespace

class TestBodyMeasures : public QObject
{
    Q_OBJECT

private slots:
    void comparisonAndCountAgree_data()
    {
        QTest::addColumn<QString>("height");
        QTest::addColumn<QString>("weight");
        QTest::addColumn<QString>("bmi");        // as 历年对比 shows it; empty when none
        QTest::addColumn<QString>("bmiClass");   // "未检" when the BMI cannot be made
        QTest::addColumn<double>("heightDrawn"); // in cm; 0 when none

        const QString normal = QStringLiteral("正常");
        const QString none = QStringLiteral("未检");
        QTest::newRow("metres") << "1.70"
                                << "60"
                                << "20.8" << normal << 170.0;
        QTest::newRow("centimetres and kilograms named") << "170cm"
                                                         << "60kg"
                                                         << "20.8" << normal << 170.0;
        QTest::newRow("metres named, blanks") << "1.70 m"
                                              << " 60 kg "
                                              << "20.8" << normal << 170.0;
        QTest::newRow("full-width digits and blanks")
            << QStringLiteral("\u3000１７０\u3000") << QStringLiteral("６０\u3000") << "20.8" << normal
            << 170.0;
        QTest::newRow("overweight") << "170"
                                    << "72.25"
                                    << "25.0" << QStringLiteral("超重") << 170.0;
        QTest::newRow("obese, in metres") << "1.60"
                                          << "72"
                                          << "28.1" << QStringLiteral("肥胖") << 160.0;
        QTest::newRow("tallest and lightest readable") << "2.5"
                                                       << "60"
                                                       << "9.6" << QStringLiteral("体重过低") << 250.0;
        QTest::newRow("shortest readable") << "50 cm"
                                           << "2"
                                           << "8.0" << QStringLiteral("体重过低") << 50.0;
        QTest::newRow("metres called centimetres") << "1.70cm"
                                                   << "60"
                                                   << "" << none << 0.0;
        QTest::newRow("too short") << "0.3"
                                   << "60"
                                   << "" << none << 0.0;
        QTest::newRow("too tall") << "300"
                                  << "60"
                                  << "" << none << 0.0;
        QTest::newRow("no number") << "abc"
                                   << "60"
                                   << "" << none << 0.0;
        QTest::newRow("no weight") << "170"
                                   << ""
                                   << "" << none << 170.0;
        QTest::newRow("too light") << "170"
                                   << "1"
                                   << "" << none << 170.0;
        QTest::newRow("too heavy") << "170"
                                   << "500"
                                   << "" << none << 170.0;
        QTest::newRow("weight in another unit") << "170"
                                                << "120斤"
                                                << "" << none << 170.0;
    }

    void comparisonAndCountAgree()
    {
        QFETCH(QString, height);
        QFETCH(QString, weight);
        QFETCH(QString, bmi);
        QFETCH(QString, bmiClass);
        QFETCH(double, heightDrawn);

        test::TestFolder folder;
        QVERIFY(folder.open());
        ExamRecord record = test::makeRecord(QStringLiteral("20260507093000"), QStringLiteral("张三"),
                                             QStringLiteral("2026-05-07"));
        record[Field::Height] = height;
        record[Field::Weight] = weight;
        QVERIFY(RecordStore::save(record));

        // 历年对比: the stored record read back as the comparison reads it.
        std::vector<SeriesColumn> columns;
        QString error;
        QVERIFY2(readSeries({record.key()}, columns, &error), qPrintable(error));
        QCOMPARE(columns.size(), size_t(1));
        const SeriesCell bmiCell = seriesCell(rowOf(SeriesRow::Kind::Bmi), columns.front().record);
        QCOMPARE(bmiCell.text, bmi);
        QCOMPARE(bmiCell.numbers.empty(), bmi.isEmpty());
        const SeriesCell heightCell = seriesCell(rowOf(SeriesRow::Kind::Value), columns.front().record);
        QCOMPARE(heightCell.numbers,
                 heightDrawn > 0 ? std::vector<double>{heightDrawn} : std::vector<double>{});

        // 体检统计 over the same database: one person, in one class only.
        StatisticsTable table;
        QCOMPARE(StatisticsRead::run({{}, QStringLiteral("2026-01-01"), QStringLiteral("2026-12-31")}, table,
                                     {}, &error),
                 StatisticsRead::Error::None);
        QCOMPARE(table.persons(), 1);
        const int overweight = itemIndex(QStringLiteral("超重"));
        const int obese = itemIndex(QStringLiteral("肥胖"));
        QVERIFY(overweight >= 0 && obese >= 0);
        const bool examined = bmiClass != QStringLiteral("未检");
        QCOMPARE(table.notExamined(overweight), examined ? 0 : 1);
        QCOMPARE(table.notExamined(obese), examined ? 0 : 1);
        QCOMPARE(table.abnormal(overweight, StatisticsColumns::kTotal),
                 bmiClass == QStringLiteral("超重") ? 1 : 0);
        QCOMPARE(table.abnormal(obese, StatisticsColumns::kTotal),
                 bmiClass == QStringLiteral("肥胖") ? 1 : 0);

        // The class the count judges is the one of the BMI shown.
        const auto tenths = bmiTenths(height, weight);
        QCOMPARE(tenths.has_value(), examined);
        if (tenths) {
            QCOMPARE(QString::number(*tenths / 10.0, 'f', 1), bmi);
            QCOMPARE(bmiClassName(brenvoll::bmiClass(*tenths)), bmiClass);
        }
    }

    // The class limits at their edges, on the BMI as shown.
    void classLimits_data()
    {
        QTest::addColumn<int>("tenths");
        QTest::addColumn<QString>("name");
        QTest::newRow("18.4") << 184 << QStringLiteral("体重过低");
        QTest::newRow("18.5") << 185 << QStringLiteral("正常");
        QTest::newRow("23.9") << 239 << QStringLiteral("正常");
        QTest::newRow("24.0") << 240 << QStringLiteral("超重");
        QTest::newRow("27.9") << 279 << QStringLiteral("超重");
        QTest::newRow("28.0") << 280 << QStringLiteral("肥胖");
    }

    void classLimits()
    {
        QFETCH(int, tenths);
        QFETCH(QString, name);
        QCOMPARE(bmiClassName(bmiClass(tenths)), name);
    }
};

QTEST_GUILESS_MAIN(TestBodyMeasures)
#include "tst_bodymeasures.moc"
