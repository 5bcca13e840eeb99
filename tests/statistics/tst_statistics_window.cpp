// The window 体检统计 on a real database: the table and the summary line,
// the chart by row, and the printed, PDF and Excel pages read back by tools
// that know nothing of the program (pdftotext, xlrd).
#include "PdfText.h"
#include "TestSupport.h"
#include "WorkbookReader.h"
#include "base/Clock.h"
#include "print/SheetPrinter.h"
#include "record/RecordStore.h"
#include "statistics/StatisticsChart.h"
#include "statistics/StatisticsWindow.h"
#include "ui/MessageBox.h"

#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <qcustomplot.h>

using namespace brenvoll;

namespace {

ExamRecord exam(const QString& key, const QString& name, const QString& date, const QString& sex,
                const QString& age, const QString& systolic, const QString& ecg)
{
    ExamRecord record;
    record[Field::Key] = key;
    record[Field::Name] = name;
    record[Field::ExamDate] = date;
    record[Field::Sex] = sex;
    record[Field::Age] = age;
    record[Field::Address] = QStringLiteral("东街1号");
    record[Field::SystolicPressure] = systolic;
    record[Field::DiastolicPressure] = QStringLiteral("80");
    record[Field::Ecg] = ecg;
    return record;
}

int rowOf(const QTableWidget* table, const QString& title)
{
    for (int r = 0; r < table->rowCount(); ++r) {
        if (table->verticalHeaderItem(r)->text() == title) {
            return r;
        }
    }
    return -1;
}

QString cell(const QTableWidget* table, const QString& row, int column)
{
    const int r = rowOf(table, row);
    return r < 0 ? QString() : table->item(r, column)->text();
}

QString allPages(const QString& file)
{
    QString text;
    for (const auto& page : test::pdfWords(file)) {
        text += test::pageText(page) + u'\n';
    }
    return text;
}

} // namespace

class TestStatisticsWindow : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::TestFolder> m_folder;
    QPointer<StatisticsWindow> m_window;

private slots:
    void init()
    {
        Clock::setFixed(QDateTime(QDate(2026, 12, 7), QTime(9, 0)));
        MessageBox::setAnswerMode(true);
        m_folder = std::make_unique<test::TestFolder>();
        QVERIFY(m_folder->open());
        for (const ExamRecord& record : {
                 exam("20260105080000", "张三", "2026-01-05", "男", "70", "150", "ST段改变"),
                 exam("20260605080000", "张三", "2026-06-05", "男", "70", "120", "正常"),
                 exam("20260301080000", "李四", "2026-03-01", "女", "86", "145", "窦性心律不齐"),
                 exam("20260302080000", "王五", "2026-03-02", "女", "", "", "未见明显异常"),
                 exam("20251201080000", "赵六", "2025-12-01", "女", "70", "180", "房颤"),
             }) {
            QVERIFY(RecordStore::save(record));
        }
        m_window = StatisticsWindow::showWindow();
        QVERIFY(m_window);
    }

    void cleanup()
    {
        delete m_window;
        m_folder.reset();
        MessageBox::takeShown();
        Clock::reset();
    }

    // The keyboard alone: before a count the chart says what it will show,
    // Enter in a date box counts, Escape closes the window.
    void keysCountAndClose_data()
    {
        QTest::addColumn<QString>("box");
        QTest::newRow("from") << QStringLiteral("fromDate");
        QTest::newRow("to") << QStringLiteral("toDate");
    }
    void keysCountAndClose()
    {
        QFETCH(QString, box);
        auto* title = m_window->findChild<QCPTextElement*>(QStringLiteral("chartTitle"));
        QVERIFY(title);
        QCOMPARE(title->text(), QStringLiteral("点“统计”后，这里按合计、男、女显示各项的异常率。"));
        QVERIFY(!m_window->findChild<QCustomPlot*>(QStringLiteral("chart"))->xAxis->visible());
        QVERIFY(m_window->summary()->text().isEmpty());
        QLineEdit* date = m_window->findChild<QLineEdit*>(box);
        QTest::keyClick(date, Qt::Key_Return);
        QVERIFY(MessageBox::takeShown().isEmpty());
        QVERIFY(m_window->summary()->text().contains(QStringLiteral("共 4 次体检，3 人")));
        QVERIFY(m_window->findChild<QCustomPlot*>(QStringLiteral("chart"))->xAxis->visible());
        QPointer<StatisticsWindow> window = m_window;
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        QTest::keyClick(date, Qt::Key_Escape);
        QTRY_VERIFY(window.isNull() || !window->isVisible());
    }

    void countShowsTableSummaryAndChart()
    {
        QCOMPARE(m_window->windowTitle(), QStringLiteral("体检统计"));
        QCOMPARE(m_window->fromDate()->text(), QStringLiteral("2026-01-01"));
        QCOMPARE(m_window->toDate()->text(), QStringLiteral("2026-12-07"));
        // Nothing to print or export before a count.
        QVERIFY(!m_window->findChild<QPushButton*>(QStringLiteral("print"))->isEnabled());
        QTest::mouseClick(m_window->countButton(), Qt::LeftButton);
        QVERIFY(MessageBox::takeShown().isEmpty());

        QCOMPARE(m_window->summary()->text(),
                 QStringLiteral("每人只计一次，按其在所选期间内最近一次体检统计（同姓名同地址视为同一人）："
                                "共 4 次体检，3 人。"));
        const QTableWidget* table = m_window->table();
        QCOMPARE(table->columnCount(), 12);
        QCOMPARE(table->horizontalHeaderItem(0)->text(), QStringLiteral("合计"));
        QCOMPARE(table->verticalHeaderItem(0)->text(), QStringLiteral("体检人数"));
        QCOMPARE(table->verticalHeaderItem(1)->text(), QStringLiteral("血压偏高"));
        QCOMPARE(cell(table, "体检人数", 0), QStringLiteral("3"));
        QCOMPARE(cell(table, "体检人数", 1), QStringLiteral("1"));
        QCOMPARE(cell(table, "体检人数", 2), QStringLiteral("2"));
        // 张三 counts by his latest, normal examination; 王五 has no pressure.
        QCOMPARE(cell(table, "血压偏高", 0), QStringLiteral("1 (50.0%)"));
        QCOMPARE(cell(table, "血压偏高", 1), QStringLiteral("0 (0.0%)"));
        QCOMPARE(cell(table, "血压偏高", 2), QStringLiteral("1 (100.0%)"));
        QCOMPARE(cell(table, "血压偏高", 9), QStringLiteral("1 (100.0%)")); // ≥85
        QCOMPARE(cell(table, "血压偏高", 11), QStringLiteral("1"));         // 未检
        QCOMPARE(cell(table, "心电图异常", 0), QStringLiteral("1 (33.3%)"));

        // The chart: every row, total and by sex; a row clicked shows it by age.
        QCustomPlot* chart = m_window->chart();
        QCOMPARE(chart->plottableCount(), 3);
        // A bar for each of the rows above 公共卫生指标 but 体检人数.
        QCOMPARE(qobject_cast<QCPBars*>(chart->plottable(0))->data()->size(),
                 rowOf(table, QStringLiteral("公共卫生指标")) - 1);
        QCOMPARE(qobject_cast<QCPBars*>(chart->plottable(0))->data()->at(0)->value, 50.0);
        m_window->table()->setCurrentCell(rowOf(table, QStringLiteral("血压偏高")), 0);
        QCOMPARE(chart->plottableCount(), 1);
        const auto* byAge = qobject_cast<QCPBars*>(chart->plottable(0));
        QCOMPARE(byAge->data()->size(), 7);
        QCOMPARE(byAge->data()->at(2)->value, 0.0);   // 70–74: 张三
        QCOMPARE(byAge->data()->at(5)->value, 100.0); // ≥85: 李四
        auto* title = qobject_cast<QCPTextElement*>(chart->plotLayout()->element(0, 0));
        QVERIFY(title->text().startsWith(QStringLiteral("血压偏高")));
        m_window->table()->setCurrentCell(0, 0);
        QCOMPARE(chart->plottableCount(), 3);

        // A bad date gives the report's message and keeps the table.
        m_window->fromDate()->setText(QStringLiteral("2026-13-01"));
        m_window->count();
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("请填写正确格式的起止日期！日期格式为“2016-01-03”。"));
    }

    void printPdfAndExcelCarryTheTable()
    {
        m_window->count();
        QTemporaryDir out;
        PrintTarget::usePdfFolder(out.path());
        QTest::mouseClick(m_window->findChild<QPushButton*>(QStringLiteral("print")), Qt::LeftButton);
        PrintTarget::useDefaultPrinter();
        QVERIFY(MessageBox::takeShown().isEmpty());
        const QStringList jobs = test::printedJobs(out.path());
        QCOMPARE(jobs.size(), 1);

        const QString pdf = out.filePath(QStringLiteral("统计.pdf"));
        FileDialogs::queuePath(out.filePath(QStringLiteral("统计")));
        QTest::mouseClick(m_window->findChild<QPushButton*>(QStringLiteral("exportPdf")), Qt::LeftButton);
        QCOMPARE(FileDialogs::takeProposed(),
                 QStringList{QStringLiteral("体检统计_2026-01-01_2026-12-07.pdf")});
        QCOMPARE(MessageBox::takeShown().value(0).text, QStringLiteral("文件导出成功！"));

        for (const QString& file : {jobs[0], pdf}) {
            // Today's rows fit one A4 page here, 公共卫生指标 takes the next;
            // the chart follows on its own.
            QVERIFY2(test::pdfInfo(file).contains(QRegularExpression(QStringLiteral("Pages: +3\\b"))),
                     qPrintable(test::pdfInfo(file)));
            const QString text = allPages(file);
            for (const char* expected :
                 {"体检统计", "统计期间：2026-01-01 至 2026-12-07", "共 4 次体检，3 人", "血压偏高",
                  "1 (50.0%)", "空腹血糖偏高", "心电图异常", "≥85", "未检"}) {
                QVERIFY2(text.contains(QString::fromUtf8(expected).remove(u' ')) ||
                             text.contains(QString::fromUtf8(expected)),
                         qPrintable(file + u' ' + QString::fromUtf8(expected)));
            }
            // The chart's page: its title and a row's name beside its bar.
            const QString chartPage = test::pageText(test::pdfWords(file).value(2));
            QVERIFY2(chartPage.contains(QStringLiteral("各项异常率")), qPrintable(chartPage));
            QVERIFY(chartPage.contains(QStringLiteral("尿蛋白阳性")));
        }

        const QString xls = out.filePath(QStringLiteral("统计.xls"));
        FileDialogs::queuePath(xls);
        QTest::mouseClick(m_window->findChild<QPushButton*>(QStringLiteral("exportExcel")), Qt::LeftButton);
        QCOMPARE(MessageBox::takeShown().value(0).text, QStringLiteral("文件导出成功！"));
        QString error;
        const QJsonObject book = test::readWorkbook(xls, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const QJsonArray rows = book[u"sheets"].toArray()[0].toObject()[u"rows"].toArray();
        QCOMPARE(rows[0].toArray()[0].toString(), QStringLiteral("项目"));
        QCOMPARE(rows[0].toArray()[12].toString(), QStringLiteral("未检"));
        QCOMPARE(rows[1].toArray()[0].toString(), QStringLiteral("体检人数"));
        QCOMPARE(rows[1].toArray()[1].toString(), QStringLiteral("3"));
        QCOMPARE(rows[2].toArray()[0].toString(), QStringLiteral("血压偏高"));
        QCOMPARE(rows[2].toArray()[1].toString(), QStringLiteral("1 (50.0%)"));
        bool summary = false;
        for (const auto& row : rows) {
            summary = summary || row.toArray()[0].toString().contains(QStringLiteral("共 4 次体检，3 人"));
        }
        QVERIFY(summary);
    }

    // Counts of a large year break the cells between count and rate; today's
    // rows still fit their page, 公共卫生指标 the next, the chart follows.
    void largeCountsKeepTheTableOnOnePage()
    {
        StatisticsReport report{QStringLiteral("2026-01-01"), QStringLiteral("2026-12-07"), QString(), {}};
        ExamRecord record = exam("k", "n", "2026-01-01", "男", "70", "150", "房颤");
        record[Field::FastingGlucose] = QStringLiteral("7.0");
        const ExamOutcomes outcomes = examOutcomes(record);
        for (int i = 0; i < 123457; ++i) {
            report.table.addPerson(i % 2 ? StatisticsColumns::kMale : StatisticsColumns::kFemale,
                                   StatisticsColumns::kFirstAge + i % 6, outcomes);
        }
        report.table.examinations = 123457;
        showChart(*m_window->chart(), overviewChart(report.table));
        QTemporaryDir out;
        const QString pdf = out.filePath(QStringLiteral("long.pdf"));
        QString error;
        QVERIFY2(writeStatisticsPdf(pdf, report, *m_window->chart(), &error), qPrintable(error));
        const auto pages = test::pdfWords(pdf);
        QCOMPARE(pages.size(), 3);
        const QString first = test::pageText(pages[0]);
        for (const char* expected : {"123457", "61729", "(100.0%)", "血压偏高", "胸部X线异常", "未检"}) {
            QVERIFY2(first.contains(QString::fromUtf8(expected)), expected);
        }
        QVERIFY(test::pageText(pages[1]).contains(QStringLiteral("公共卫生指标")));
        QVERIFY(test::pageText(pages[2]).contains(QStringLiteral("各项异常率")));
    }
};

QTEST_MAIN(TestStatisticsWindow)
#include "tst_statistics_window.moc"
