// 公共卫生指标 on a fixture worked by hand, with a value at each side of
// every cut-off: the window's table (offscreen), the .xlsx it exports read
// back with openpyxl, and the CSV of brenvoll-report run as a program give
// the same counts, on either engine. The command's refusals write nothing.
#include "TestSupport.h"
#include "base/Clock.h"
#include "record/RecordStore.h"
#include "statistics/StatisticsWindow.h"
#include "statisticsfiles/StatisticsReport.h"
#include "ui/MessageBox.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QTableWidget>
#include <QTest>

using namespace brenvoll;

namespace {

// One resident: sex, age, then the boxes that differ from empty.
struct Resident
{
    const char* sex;
    const char* age;
    std::vector<std::pair<Field, const char*>> boxes;
};

// Sixteen residents, each latest examination in 2026. Down the columns:
// blood pressure 139/140/159/160/179/180 systolic and 89/90/99/100/109/110
// diastolic, one value missing (P13, P15) or both (P14); glucose 6.0, 6.1,
// 6.9, 7.0, "<7.0" (undecided), ">7.5"; BMI at a height of 100 cm 18.4 to
// 28.0, then 1.70 m and "170cm" with 60 kg (20.8); haemoglobin 119/120 (男),
// 109/110 (女), 100 with no sex; one lipid each: TC 6.1/6.2, TG 2.2/2.3,
// LDL 4.0/4.1, HDL 0.99/1.0; every urine grade and one unreadable;
// ALT/AST 40/41, bilirubin 17.1/17.2 µmol/L, creatinine 106/107, urea 7.1/7.2.
const std::vector<Resident>& residents()
{
    using F = Field;
    static const std::vector<Resident> all{
        {"男",
         "64",
         {{F::SystolicPressure, "139"},
          {F::DiastolicPressure, "80"},
          {F::FastingGlucose, "6.0"},
          {F::Height, "100"},
          {F::Weight, "18.4"},
          {F::Haemoglobin, "119"},
          {F::UrineProtein, "1+"},
          {F::UrineSugar, "＋"},
          {F::Ecg, "正常"}}},
        {"男",
         "65",
         {{F::SystolicPressure, "140"},
          {F::DiastolicPressure, "80"},
          {F::FastingGlucose, "6.1"},
          {F::Height, "100"},
          {F::Weight, "18.5"},
          {F::Haemoglobin, "120"},
          {F::UrineProtein, "2+"},
          {F::UrineSugar, "－"},
          {F::Ecg, "ST段改变"}}},
        {"女",
         "69",
         {{F::SystolicPressure, "159"},
          {F::DiastolicPressure, "80"},
          {F::FastingGlucose, "6.9"},
          {F::Height, "100"},
          {F::Weight, "23.9"},
          {F::Haemoglobin, "109"},
          {F::UrineProtein, "3+"},
          {F::UrineSugar, "阳性（+）"},
          {F::Ultrasound, "脂肪肝"}}},
        {"女",
         "70",
         {{F::SystolicPressure, "160"},
          {F::DiastolicPressure, "80"},
          {F::FastingGlucose, "7.0"},
          {F::Height, "100"},
          {F::Weight, "24.0"},
          {F::Haemoglobin, "110"},
          {F::UrineProtein, "4+"}}},
        {"",
         "79",
         {{F::SystolicPressure, "179"},
          {F::DiastolicPressure, "80"},
          {F::FastingGlucose, "<7.0"},
          {F::Height, "100"},
          {F::Weight, "27.9"},
          {F::Haemoglobin, "100"},
          {F::UrineProtein, "++++"}}},
        {"男",
         "80",
         {{F::SystolicPressure, "180"},
          {F::DiastolicPressure, "80"},
          {F::FastingGlucose, ">7.5"},
          {F::Height, "100"},
          {F::Weight, "28.0"},
          {F::TotalCholesterol, "6.1"},
          {F::UrineProtein, "阳性"}}},
        {"女",
         "",
         {{F::SystolicPressure, "120"},
          {F::DiastolicPressure, "89"},
          {F::Height, "1.70"},
          {F::Weight, "60"},
          {F::TotalCholesterol, "6.2"},
          {F::UrineProtein, "阳性(+)"}}},
        {"男",
         "72",
         {{F::SystolicPressure, "120"},
          {F::DiastolicPressure, "90"},
          {F::Height, "170cm"},
          {F::Weight, "60kg"},
          {F::Triglycerides, "2.2"},
          {F::UrineProtein, "+"}}},
        {"女",
         "72",
         {{F::SystolicPressure, "120"},
          {F::DiastolicPressure, "99"},
          {F::Triglycerides, "2.3"},
          {F::UrineProtein, "++"}}},
        {"男",
         "72",
         {{F::SystolicPressure, "120"},
          {F::DiastolicPressure, "100"},
          {F::Ldl, "4.0"},
          {F::UrineProtein, "+++"}}},
        {"女",
         "72",
         {{F::SystolicPressure, "120"},
          {F::DiastolicPressure, "109"},
          {F::Ldl, "4.1"},
          {F::UrineProtein, "-"},
          {F::UreaNitrogen, "7.2"}}},
        {"男",
         "72",
         {{F::SystolicPressure, "120"},
          {F::DiastolicPressure, "110"},
          {F::Hdl, "0.99"},
          {F::UrineProtein, "阴性"},
          {F::TotalBilirubin, "17.2 µmol/L"}}},
        {"女",
         "72",
         {{F::SystolicPressure, "150"},
          {F::Hdl, "1.0"},
          {F::UrineProtein, "±"},
          {F::Ast, "40"},
          {F::Creatinine, "106"}}},
        {"男", "72", {{F::UrineProtein, "微量"}, {F::Alt, "41"}, {F::Creatinine, "107"}}},
        {"女", "72", {{F::SystolicPressure, "185"}, {F::Alt, "40"}, {F::UreaNitrogen, "7.1"}}},
        {"男",
         "72",
         {{F::SystolicPressure, "130"}, {F::DiastolicPressure, "85"}, {F::TotalBilirubin, "17.1"}}},
    };
    return all;
}

ExamRecord examOf(int n, const Resident& resident, const QString& date)
{
    ExamRecord record;
    record[Field::Key] = QString(date).remove(u'-') + QStringLiteral("%1").arg(n, 6, 10, QChar(u'0'));
    record[Field::Name] = QStringLiteral("居民%1").arg(n, 2, 10, QChar(u'0'));
    record[Field::ExamDate] = date;
    record[Field::Sex] = QString::fromUtf8(resident.sex);
    record[Field::Age] = QString::fromUtf8(resident.age);
    record[Field::Address] = QStringLiteral("东街%1号").arg(n);
    for (const auto& [field, text] : resident.boxes) {
        record[field] = QString::fromUtf8(text);
    }
    return record;
}

// The figures of one cell as a program reads them.
struct Figures
{
    QString numerator;
    QString denominator;
    QString ratio;
};

QString numberText(const QJsonValue& value, bool oneDecimal)
{
    if (value.isNull() || value.isUndefined()) {
        return {};
    }
    return oneDecimal ? QString::number(value.toDouble(), 'f', 1) : QString::number(qint64(value.toDouble()));
}

int runTool(const QStringList& arguments, QString* err = nullptr)
{
    QProcess tool;
    tool.start(QStringLiteral(BRENVOLL_REPORT_TOOL), arguments);
    if (!tool.waitForFinished(120000)) {
        return -1;
    }
    if (err) {
        *err = QString::fromUtf8(tool.readAllStandardError());
    }
    return tool.exitCode();
}

} // namespace

class TestPublicHealth : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::TestFolder> m_folder;
    QPointer<StatisticsWindow> m_window;
    QTemporaryDir m_out;
    QMap<QString, QMap<QString, Figures>> m_csv;
    QJsonObject m_xlsx;

    QStringList databaseArguments() const
    {
        return test::onServer() ? QStringList{QStringLiteral("--ini"), m_folder->path() + u"/brenvoll.ini"}
                                : QStringList{QStringLiteral("--db"), m_folder->databaseFile()};
    }

    int rowOf(const QString& title) const
    {
        for (int r = 0; r < m_window->table()->rowCount(); ++r) {
            if (m_window->table()->verticalHeaderItem(r)->text() == title) {
                return r;
            }
        }
        return -1;
    }

    int columnOf(const QString& key) const
    {
        const QStringList keys = StatisticsColumns::keys(AgeGrouping::Elderly) << QStringLiteral("未检");
        return int(keys.indexOf(key));
    }

private slots:
    void initTestCase()
    {
        Clock::setFixed(QDateTime(QDate(2026, 12, 31), QTime(9, 0)));
        MessageBox::setAnswerMode(true);
        m_folder = std::make_unique<test::TestFolder>();
        QVERIFY(m_folder->open());
        for (int n = 0; n < int(residents().size()); ++n) {
            QVERIFY(RecordStore::save(examOf(n + 1, residents()[size_t(n)], QStringLiteral("2026-06-01"))));
        }
        // An earlier examination of the year and one of the year before do
        // not count: each person counts by the latest of the period.
        Resident earlier{"男", "64", {{Field::SystolicPressure, "200"}, {Field::DiastolicPressure, "120"}}};
        QVERIFY(RecordStore::save(examOf(1, earlier, QStringLiteral("2026-01-10"))));
        QVERIFY(RecordStore::save(examOf(1, earlier, QStringLiteral("2025-06-01"))));

        m_window = StatisticsWindow::showWindow();
        QVERIFY(m_window);
        m_window->fromDate()->setText(QStringLiteral("2026-01-01"));
        m_window->toDate()->setText(QStringLiteral("2026-12-31"));
        m_window->ageGrouping()->setCurrentIndex(1);
        m_window->count();
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(m_window->table()->horizontalHeaderItem(6)->text(), QStringLiteral("70–79"));

        // 应管人数 typed for 合计 and 男: kept, and 体检率 follows.
        const int population = rowOf(QStringLiteral("应管人数"));
        QVERIFY(population > 0);
        QVERIFY(m_window->table()->item(population, 0)->flags() & Qt::ItemIsEditable);
        QVERIFY(!(m_window->table()->item(population - 1, 0)->flags() & Qt::ItemIsEditable));
        m_window->table()->item(population, 0)->setText(QStringLiteral("20"));
        m_window->table()->item(population, 1)->setText(QStringLiteral("10"));
        QTRY_COMPARE(m_window->table()->item(rowOf(QStringLiteral("体检率")), 0)->text(),
                     QStringLiteral("80.0%"));

        const QString xlsx = m_out.filePath(QStringLiteral("统计"));
        FileDialogs::queuePath(xlsx);
        m_window->exportExcel();
        QCOMPARE(MessageBox::takeShown().value(0).text, QStringLiteral("文件导出成功！"));
        QProcess dump;
        // Debian's interpreter carries python3-openpyxl; a python3 earlier on PATH may not.
        const QString python = QFileInfo::exists(QStringLiteral("/usr/bin/python3"))
                                   ? QStringLiteral("/usr/bin/python3")
                                   : QStringLiteral("python3");
        dump.start(python, {QStringLiteral(BRENVOLL_XLSX_DUMP), xlsx + u".xlsx"});
        QVERIFY(dump.waitForFinished(60000));
        QVERIFY2(dump.exitCode() == 0, dump.readAllStandardError().constData());
        m_xlsx = QJsonDocument::fromJson(dump.readAllStandardOutput()).object();
        QVERIFY(m_xlsx[u"numbers"].toBool());

        // The command reads the population the window kept.
        const QString csv = m_out.filePath(QStringLiteral("统计.csv"));
        QString err;
        QCOMPARE(runTool(QStringList{QStringLiteral("statistics")} + databaseArguments() +
                             QStringList{QStringLiteral("--from"), QStringLiteral("2026-01-01"),
                                         QStringLiteral("--to"), QStringLiteral("2026-12-31"),
                                         QStringLiteral("--groups"), QStringLiteral("elderly"),
                                         QStringLiteral("--csv"), csv},
                         &err),
                 0);
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.value(0), QStringLiteral("行,列,分子,分母,比例"));
        for (const QString& line : lines.mid(1)) {
            const QStringList f = line.split(u',');
            QCOMPARE(f.size(), 5);
            QVERIFY2(!m_csv[f[0]].contains(f[1]), qPrintable(line)); // one line per cell
            m_csv[f[0]][f[1]] = {f[2], f[3], f[4]};
        }
    }

    void cleanupTestCase()
    {
        delete m_window;
        m_folder.reset();
        MessageBox::takeShown();
        Clock::reset();
    }

    void countsWorkedByHand_data()
    {
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("numerator");
        QTest::addColumn<QString>("denominator");
        QTest::addColumn<QString>("ratio");
        QTest::addColumn<QString>("shown"); // in the window
        const auto row = [](const char* tag, const char* r, const char* c, const char* n, const char* d,
                            const char* ratio, const char* shown) {
            QTest::newRow(tag) << QString::fromUtf8(r) << QString::fromUtf8(c) << QString::fromUtf8(n)
                               << QString::fromUtf8(d) << QString::fromUtf8(ratio)
                               << QString::fromUtf8(shown);
        };
        row("people", "体检人数", "合计", "16", "", "", "16");
        row("people 70–79", "体检人数", "70–79", "11", "", "", "11");
        row("people no age", "体检人数", "年龄未填", "1", "", "", "1");
        // 140/90 and over; P13 150/– is high, P14 –/– not examined.
        row("hypertension", "高血压（≥140/90）", "合计", "12", "15", "80.0", "12 (80.0%)");
        row("hypertension 男", "高血压（≥140/90）", "男", "5", "7", "71.4", "5 (71.4%)");
        row("hypertension 女", "高血压（≥140/90）", "女", "6", "7", "85.7", "6 (85.7%)");
        row("hypertension no sex", "高血压（≥140/90）", "未填", "1", "1", "100.0", "1 (100.0%)");
        row("hypertension 70–79", "高血压（≥140/90）", "70–79", "9", "10", "90.0", "9 (90.0%)");
        row("hypertension <65", "高血压（≥140/90）", "<65", "0", "1", "0.0", "0 (0.0%)");
        row("hypertension not examined", "高血压（≥140/90）", "未检", "1", "", "", "1");
        // Graded by the higher of the two; 150/– cannot be graded, 185/– can.
        row("grade 1", "1级高血压（140–159/90–99）", "合计", "4", "14", "28.6", "4 (28.6%)");
        row("grade 2", "2级高血压（160–179/100–109）", "合计", "4", "14", "28.6", "4 (28.6%)");
        row("grade 3", "3级高血压（≥180/110）", "合计", "3", "14", "21.4", "3 (21.4%)");
        row("grade not examined", "3级高血压（≥180/110）", "未检", "2", "", "", "2");
        row("systolic mean", "收缩压均值（mmHg）", "合计", "2142.0", "15", "142.8", "142.8");
        row("systolic mean 男", "收缩压均值（mmHg）", "男", "949.0", "7", "135.6", "135.6");
        row("diastolic mean", "舒张压均值（mmHg）", "合计", "1162.0", "13", "89.4", "89.4");
        row("impaired glucose", "空腹血糖受损（6.1–6.9）", "合计", "2", "5", "40.0", "2 (40.0%)");
        row("diabetic glucose", "血糖达糖尿病切点（≥7.0）", "合计", "2", "5", "40.0", "2 (40.0%)");
        row("underweight", "体重过低（BMI<18.5）", "合计", "1", "8", "12.5", "1 (12.5%)");
        row("normal weight", "体重正常（18.5–23.9）", "合计", "4", "8", "50.0", "4 (50.0%)");
        row("overweight", "超重（24–27.9）", "合计", "2", "8", "25.0", "2 (25.0%)");
        row("obese", "肥胖（≥28）", "合计", "1", "8", "12.5", "1 (12.5%)");
        row("BMI mean", "BMI均值", "合计", "182.3", "8", "22.8", "22.8");
        row("dyslipidaemia", "血脂异常", "合计", "4", "8", "50.0", "4 (50.0%)");
        row("liver", "肝功能异常", "合计", "2", "5", "40.0", "2 (40.0%)");
        row("kidney", "肾功能异常", "合计", "2", "4", "50.0", "2 (50.0%)");
        row("anaemia", "贫血", "合计", "2", "4", "50.0", "2 (50.0%)");
        row("anaemia 男", "贫血", "男", "1", "2", "50.0", "1 (50.0%)");
        row("anaemia no sex", "贫血", "未填", "0", "0", "", "0 (—)");
        row("urine protein", "尿蛋白阳性（+及以上）", "合计", "10", "13", "76.9", "10 (76.9%)");
        row("urine protein today", "尿蛋白阳性", "合计", "10", "13", "76.9", "10 (76.9%)");
        row("urine sugar", "尿糖阳性（+及以上）", "合计", "2", "3", "66.7", "2 (66.7%)");
        row("ecg", "心电图异常（非正常所见）", "合计", "1", "2", "50.0", "1 (50.0%)");
        row("ultrasound", "B超异常（非正常所见）", "合计", "1", "1", "100.0", "1 (100.0%)");
        row("chest x-ray", "胸片异常（非正常所见）", "合计", "0", "0", "", "0 (—)");
        row("any", "任一异常", "合计", "15", "16", "93.8", "15 (93.8%)");
        row("population", "应管人数", "合计", "20", "", "", "20");
        row("rate", "体检率", "合计", "16", "20", "80.0", "80.0%");
        row("rate 男", "体检率", "男", "8", "10", "80.0", "80.0%");
        row("rate 女", "体检率", "女", "7", "", "", "—");
    }

    void countsWorkedByHand()
    {
        QFETCH(QString, row);
        QFETCH(QString, column);
        QFETCH(QString, numerator);
        QFETCH(QString, denominator);
        QFETCH(QString, ratio);
        QFETCH(QString, shown);

        const int r = rowOf(row);
        const int c = columnOf(column);
        QVERIFY2(r >= 0 && c >= 0, qPrintable(row + u' ' + column));
        QCOMPARE(m_window->table()->item(r, c)->text(), shown);

        const Figures csv = m_csv.value(row).value(column);
        QCOMPARE(csv.numerator, numerator);
        QCOMPARE(csv.denominator, denominator);
        QCOMPARE(csv.ratio, ratio);

        const QJsonArray cell = m_xlsx[u"统计"].toObject()[row].toObject()[column].toArray();
        const bool sum = row.contains(u"均值");
        QCOMPARE(numberText(cell.at(0), sum), numerator);
        if (column != u"未检") {
            QCOMPARE(numberText(cell.at(1), false), denominator);
            QCOMPARE(numberText(cell.at(2), true), ratio);
        }
    }

    // Every row of the section has its definition and source in the
    // workbook, and on the help page.
    void everyRowIsDefined()
    {
        const QJsonObject defined = m_xlsx[u"定义"].toObject();
        QFile help(QStringLiteral(BRENVOLL_HELP_PAGE));
        QVERIFY(help.open(QIODevice::ReadOnly));
        const QString page = QString::fromUtf8(help.readAll());
        for (const HealthRow& row : healthRows()) {
            QCOMPARE(defined[row.label].toArray().at(0).toString(), row.definition);
            QCOMPARE(defined[row.label].toArray().at(1).toString(), row.source);
            QVERIFY2(page.contains(row.label.toHtmlEscaped()) &&
                         page.contains(row.definition.toHtmlEscaped()),
                     qPrintable(row.label));
        }
        QVERIFY(defined.contains(QStringLiteral("血压偏高")));
    }

    // A bad argument, a database that cannot be opened or a period without
    // examinations: status 2, one line on standard error, nothing written.
    void commandRefusesWithoutWriting_data()
    {
        QTest::addColumn<QStringList>("arguments");
        const QStringList period{QStringLiteral("--from"), QStringLiteral("2026-01-01"),
                                 QStringLiteral("--to"), QStringLiteral("2026-12-31")};
        const QString out = QStringLiteral("--csv");
        QTest::newRow("no command") << QStringList{QStringLiteral("--db"), QStringLiteral("x.db")};
        QTest::newRow("no database") << (QStringList{QStringLiteral("statistics")} + period << out);
        QTest::newRow("bad day") << (QStringList{QStringLiteral("statistics"), QStringLiteral("--db"),
                                                 m_folder->databaseFile(), QStringLiteral("--from"),
                                                 QStringLiteral("2026-02-30"), QStringLiteral("--to"),
                                                 QStringLiteral("2026-12-31")}
                                     << out);
        QTest::newRow("bad groups") << (QStringList{QStringLiteral("statistics"), QStringLiteral("--db"),
                                                    m_folder->databaseFile(), QStringLiteral("--groups"),
                                                    QStringLiteral("ten")} +
                                            period
                                        << out);
        QTest::newRow("missing file") << (QStringList{QStringLiteral("statistics"), QStringLiteral("--db"),
                                                      QStringLiteral("/nonexistent/数据库.db")} +
                                              period
                                          << out);
        QTest::newRow("not a database") << (QStringList{QStringLiteral("statistics"), QStringLiteral("--db"),
                                                        QStringLiteral(BRENVOLL_XLSX_DUMP)} +
                                                period
                                            << out);
        QTest::newRow("empty period")
            << (QStringList{QStringLiteral("statistics"), QStringLiteral("--db"), m_folder->databaseFile(),
                            QStringLiteral("--from"), QStringLiteral("2020-01-01"), QStringLiteral("--to"),
                            QStringLiteral("2020-12-31")}
                << out);
    }

    void commandRefusesWithoutWriting()
    {
        QFETCH(QStringList, arguments);
        QTemporaryDir out;
        const QString target = out.filePath(QStringLiteral("out.csv"));
        if (arguments.last() == u"--csv") {
            arguments << target;
        }
        QString err;
        QCOMPARE(runTool(arguments, &err), 2);
        QVERIFY2(err.startsWith(QStringLiteral("brenvoll-report: ")) && err.count(u'\n') == 1,
                 qPrintable(err));
        QCOMPARE(QDir(out.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    }
};

QTEST_MAIN(TestPublicHealth)
#include "tst_public_health.moc"
