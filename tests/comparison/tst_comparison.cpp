// 历年对比 on the main window: the person found as 复制上次体检 finds them,
// the columns and their flags, the plot, opening an examination from its
// column, and the page printed and exported, read back by pdftotext.
#include "../print/PdfText.h"
#include "MainWindowParts.h"
#include "TestSupport.h"
#include "base/Clock.h"
#include "comparison/ComparisonWindow.h"
#include "drafts/SheetDrafts.h"
#include "mainwindow/MainWindow.h"
#include "print/SheetPrinter.h"
#include "record/RecordStore.h"
#include "record/ResultModel.h"
#include "sheet/PersonChooser.h"
#include "sheet/SheetView.h"
#include "ui/MessageBox.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <qcustomplot.h>

using namespace brenvoll;

namespace {

const QString kUnsaved = QStringLiteral("本次（未保存）");

QStringList texts(const QList<MessageBox::Shown>& shown)
{
    QStringList list;
    for (const auto& s : shown) {
        list << s.text;
    }
    return list;
}

int rowOf(const QString& name)
{
    const QList<SeriesRow>& rows = seriesRows();
    for (qsizetype r = 0; r < rows.size(); ++r) {
        if (rows[r].name == name) {
            return int(r);
        }
    }
    return -1;
}

QStringList headings(const QTableWidget* table)
{
    QStringList list;
    for (int c = 0; c < table->columnCount(); ++c) {
        list << table->horizontalHeaderItem(c)->text();
    }
    return list;
}

double dateKey(const char* date)
{
    return QCPAxisTickerDateTime::dateTimeToKey(
        QDateTime(QDate::fromString(QString::fromLatin1(date), Qt::ISODate), QTime(12, 0)));
}

} // namespace

class ComparisonTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::TestFolder> m_folder;
    std::unique_ptr<MainWindow> m_form;
    std::unique_ptr<QTemporaryDir> m_out;

    MainWindow& form() { return *m_form; }
    QLineEdit* box(Field field) { return m_form->box(field); }

    // An examination of 张三 (or `name`) with only the values given filled
    // among those compared.
    static ExamRecord exam(const char* key, const char* date, const char16_t* address = u"东街",
                           const char16_t* name = u"张三", const char16_t* sex = u"男",
                           const char16_t* age = u"60")
    {
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
        // The age follows the date, so that the examinations are of one person.
        const int year = QString::fromLatin1(date).left(4).toInt();
        record[Field::Age] = QString::number(QString::fromUtf16(age).toInt() + year - 2023);
        return record;
    }

    // Three examinations of 张三 at 东街, stored with keys out of date order.
    void storeThree()
    {
        ExamRecord a = exam("20230101080000", "2023-05-01");
        a[Field::FastingGlucose] = QStringLiteral("7.2");
        a[Field::SystolicPressure] = QStringLiteral("150");
        a[Field::DiastolicPressure] = QStringLiteral("95");
        a[Field::Height] = QStringLiteral("170");
        a[Field::Weight] = QStringLiteral("72.25");
        ExamRecord b = exam("20250101080000", "2021-05-01");
        b[Field::FastingGlucose] = QStringLiteral("5.0");
        b[Field::SystolicPressure] = QStringLiteral("125");
        b[Field::DiastolicPressure] = QStringLiteral("80");
        ExamRecord c = exam("20210101080000", "2022-05-01");
        c[Field::FastingGlucose] = QStringLiteral("阴性");
        c[Field::Creatinine] = QStringLiteral("88");
        for (const ExamRecord& record : {a, b, c}) {
            QVERIFY(RecordStore::save(record));
        }
    }

    void start()
    {
        Clock::setFixed(QDateTime(QDate(2024, 3, 1), QTime(8, 0)));
        m_form = std::make_unique<MainWindow>();
        m_form->loadOnStart();
        m_form->show();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        test::fromDate(form())->setText(QStringLiteral("2000-01-01"));
        form().search();
    }
    void select(const QString& key)
    {
        for (int k = 0; k < form().lineCount(); ++k) {
            if (form().keyOfLine(k) == key) {
                form().selectLine(k);
                QCOMPARE(box(Field::Key)->text(), key);
                return;
            }
        }
        QFAIL("no such line");
    }
    PersonChooser* chooser()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the last one closed
        test::comparison(form()).showComparison();
        auto* dialog = form().findChild<PersonChooser*>();
        return dialog && QTest::qWaitForWindowExposed(dialog) ? dialog : nullptr;
    }
    // The comparison of the person on the sheet, shown.
    ComparisonWindow* compare()
    {
        ComparisonWindow* window = test::comparison(form()).showComparison();
        return window && QTest::qWaitForWindowExposed(window) ? window : nullptr;
    }
    QString pageText(const QString& file)
    {
        const auto pages = test::pdfWords(file);
        return pages.size() == 1 ? test::pageText(pages.front())
                                 : QStringLiteral("(%1 pages)").arg(pages.size());
    }

private slots:
    void init()
    {
        MessageBox::setAnswerMode(true);
        m_folder = std::make_unique<test::TestFolder>();
        QVERIFY(m_folder->open());
        m_out = std::make_unique<QTemporaryDir>();
        PrintTarget::usePdfFolder(m_out->path());
    }
    void cleanup()
    {
        // With a server the drafts file is the desk's, beside the program,
        // and other tests read it: none of this test's drafts stays there.
        if (m_form) {
            for (const Draft& draft : m_form->drafts()->list()) {
                m_form->drafts()->remove(draft.id);
            }
        }
        m_form.reset();
        m_folder.reset();
        PrintTarget::useDefaultPrinter();
        Clock::reset();
        QCOMPARE(texts(MessageBox::takeShown()), QStringList());
    }

    // The person as 复制上次体检 finds them: a name no one has is told and
    // opens nothing; namesakes are chosen between in the same list, under
    // this command's title, and the one chosen is compared alone; a stored
    // record on the sheet names its own person (Ctrl+T).
    void findsThePersonAsCopyLastExaminationDoes()
    {
        storeThree();
        QVERIFY(RecordStore::save(exam("20240101080000", "2024-01-01", u"西街")));
        QVERIFY(RecordStore::save(exam("20240102080000", "2024-01-02", u"东街", u"李四")));
        start();

        box(Field::Name)->setText(QStringLiteral("王五"));
        QVERIFY(!test::comparison(form()).showComparison());
        QCOMPARE(texts(MessageBox::takeShown()), QStringList{QStringLiteral("没有找到此人的体检记录。")});
        QVERIFY(!test::comparison(form()).comparisonWindow());

        box(Field::Name)->setText(QStringLiteral("张三"));
        PersonChooser* dialog = chooser();
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("历年对比"));
        QCOMPARE(test::itemsOf(dialog->personList()),
                 (QStringList{QStringLiteral("西街，男，61岁[2024-01-01]"),
                              QStringLiteral("东街，男，60岁[2023-05-01]")}));
        QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
        QVERIFY(!test::comparison(form()).comparisonWindow());
        QVERIFY(dialog = chooser());
        dialog->personList()->setCurrentRow(1);
        QTest::keyClick(dialog->personList(), Qt::Key_Return);
        ComparisonWindow* window = test::comparison(form()).comparisonWindow();
        QVERIFY(window);
        QCOMPARE(headings(window->table()),
                 (QStringList{QStringLiteral("2021-05-01"), QStringLiteral("2022-05-01"),
                              QStringLiteral("2023-05-01")}));
        QVERIFY(window->personLabel()->text().contains(QStringLiteral("东街")));
        window->close();

        // The record of 西街 shown: its person alone, no choice; by the menu's key.
        select(QStringLiteral("20240101080000"));
        form().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form()));
        QTest::keyClick(box(Field::Conclusion), Qt::Key_T, Qt::ControlModifier);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(headings(window->table()), QStringList{QStringLiteral("2024-01-01")});
        QVERIFY(!form().findChild<PersonChooser*>() || !form().findChild<PersonChooser*>()->isVisible());
    }

    // Oldest left; the sheet's typing a last column only while it differs
    // from the stored record; flagged cells red with the sheet's own
    // tooltip; a text that is no number shown as typed and left out of the
    // plot, which says so.
    void columnsFlagsAndTheUnsavedColumn()
    {
        storeThree();
        start();
        select(QStringLiteral("20230101080000"));
        ComparisonWindow* window = compare();
        QVERIFY(window);
        const QTableWidget* table = window->table();
        QCOMPARE(headings(table), (QStringList{QStringLiteral("2021-05-01"), QStringLiteral("2022-05-01"),
                                               QStringLiteral("2023-05-01")}));
        QCOMPARE(table->rowCount(), int(seriesRows().size()));
        QCOMPARE(table->verticalHeaderItem(rowOf(QStringLiteral("空腹血糖")))->text(),
                 QStringLiteral("空腹血糖 mmol/L(3.8-6.1)"));
        const int glucose = rowOf(QStringLiteral("空腹血糖"));
        const int pressure = rowOf(QStringLiteral("血压"));
        QCOMPARE(table->item(glucose, 1)->text(), QStringLiteral("阴性"));
        QCOMPARE(table->item(pressure, 0)->text(), QStringLiteral("125/80"));
        QCOMPARE(table->item(pressure, 2)->text(), QStringLiteral("150/95"));
        QCOMPARE(table->item(rowOf(QStringLiteral("BMI")), 2)->text(), QStringLiteral("25.0"));

        // The cells of the record on the sheet flag as its boxes do.
        for (Field field : {Field::FastingGlucose, Field::SystolicPressure}) {
            const int row = field == Field::FastingGlucose ? glucose : pressure;
            const QTableWidgetItem* item = table->item(row, 2);
            QCOMPARE(item->foreground().color(), box(field)->palette().color(QPalette::Text));
            // The sheet's tooltip ends in the reason (after the text when the box is too narrow for it).
            QCOMPARE(item->toolTip(), box(field)->toolTip().split(u'\n').last());
            QVERIFY(!item->toolTip().isEmpty());
        }
        QCOMPARE(table->item(glucose, 1)->toolTip(), QStringLiteral("无法判断是否超出参考范围"));
        QCOMPARE(table->item(glucose, 0)->toolTip(), QString());
        QCOMPARE(table->item(glucose, 0)->foreground().color(), window->palette().color(QPalette::Text));
        QVERIFY(!headings(table).contains(kUnsaved));

        // Typed and not saved: a last column with the sheet's texts.
        box(Field::FastingGlucose)->setFocus();
        box(Field::FastingGlucose)->selectAll();
        QTest::keyClicks(box(Field::FastingGlucose), QStringLiteral("3.1"));
        QVERIFY(window = compare());
        QCOMPARE(headings(table).last(), kUnsaved);
        QCOMPARE(table->columnCount(), 4);
        QCOMPARE(table->item(glucose, 3)->text(), QStringLiteral("3.1"));
        QCOMPARE(table->item(glucose, 3)->toolTip(), QStringLiteral("低于参考范围 3.8-6.1"));
        QCOMPARE(table->item(glucose, 2)->text(), QStringLiteral("7.2")); // the stored one beside it

        // The glucose over the dates: the text left out and told.
        window->table()->setCurrentCell(glucose, 0);
        const QCustomPlot* plot = window->plot();
        QCOMPARE(plot->graphCount(), 1);
        const QCPGraph* graph = plot->graph(0);
        QList<std::pair<double, double>> points;
        for (auto point = graph->data()->constBegin(); point != graph->data()->constEnd(); ++point) {
            points << std::pair(point->key, point->value);
        }
        std::ranges::sort(points);
        // The typing on the record of 2023-05-01 stands at its date.
        QCOMPARE(points, (QList<std::pair<double, double>>{{dateKey("2021-05-01"), 5.0},
                                                           {dateKey("2023-05-01"), 3.1},
                                                           {dateKey("2023-05-01"), 7.2}}));
        QCOMPARE(window->plotNote()->text(), QStringLiteral("未绘出的非数值：2022-05-01“阴性”"));

        // Saved: the column goes.
        form().saveRecord();
        QVERIFY(window = compare());
        QCOMPARE(headings(table), (QStringList{QStringLiteral("2021-05-01"), QStringLiteral("2022-05-01"),
                                               QStringLiteral("2023-05-01")}));
        QCOMPARE(table->item(glucose, 2)->text(), QStringLiteral("3.1"));
    }

    // A real date axis, the reference range shaded, the levels of the blood
    // pressure and the BMI drawn across, the pressure as two lines.
    void plotsOverDatesWithRangeAndLevels()
    {
        storeThree();
        start();
        select(QStringLiteral("20230101080000"));
        ComparisonWindow* window = compare();
        QVERIFY(window);
        const QCustomPlot* plot = window->plot();

        window->plotRow(rowOf(QStringLiteral("空腹血糖")));
        QVERIFY(qSharedPointerDynamicCast<QCPAxisTickerDateTime>(plot->xAxis->ticker()));
        QVERIFY(plot->xAxis->range().contains(dateKey("2021-05-01")));
        QVERIFY(plot->xAxis->range().contains(dateKey("2023-05-01")));
        QCOMPARE(plot->itemCount(), 1);
        const auto* shade = qobject_cast<QCPItemRect*>(plot->item(0));
        QVERIFY(shade);
        QCOMPARE(shade->topLeft->coords().y(), 6.1);
        QCOMPARE(shade->bottomRight->coords().y(), 3.8);

        window->plotRow(rowOf(QStringLiteral("血压")));
        QCOMPARE(plot->graphCount(), 2);
        QCOMPARE(plot->graph(0)->data()->size(), 2);
        QCOMPARE(plot->graph(0)->data()->at(1)->value, 150.0);
        QCOMPARE(plot->graph(1)->data()->at(1)->value, 95.0);
        QList<double> levels;
        for (int i = 0; i < plot->itemCount(); ++i) {
            if (const auto* line = qobject_cast<QCPItemStraightLine*>(plot->item(i))) {
                levels << line->point1->coords().y();
            }
        }
        QCOMPARE(levels, (QList<double>{140, 90}));
        QCOMPARE(window->plotNote()->text(), QString());

        window->plotRow(rowOf(QStringLiteral("BMI")));
        QCOMPARE(plot->graph(0)->data()->size(), 1);
        QCOMPARE(plot->itemCount(), 2);
        QCOMPARE(qobject_cast<QCPItemStraightLine*>(plot->item(0))->point1->coords().y(), 24.0);
        QCOMPARE(qobject_cast<QCPItemStraightLine*>(plot->item(1))->point1->coords().y(), 28.0);
    }

    // A double-click on a column's date puts that examination on the sheet,
    // the typing it replaces kept as a draft; the unsaved column opens
    // nothing.
    void headingOpensTheExaminationOnTheSheet()
    {
        storeThree();
        start();
        select(QStringLiteral("20230101080000"));
        box(Field::Conclusion)->setFocus();
        box(Field::Conclusion)->end(false);
        QTest::keyClicks(box(Field::Conclusion), QStringLiteral("abc"));
        ComparisonWindow* window = compare();
        QVERIFY(window);
        QHeaderView* header = window->table()->horizontalHeader();
        auto doubleClick = [header](int column) {
            const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                            header->height() / 2);
            QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, at);
        };
        QCOMPARE(header->count(), 4);
        doubleClick(3); // 本次（未保存）
        QCOMPARE(box(Field::Key)->text(), QStringLiteral("20230101080000"));
        QVERIFY(box(Field::Conclusion)->text().endsWith(QStringLiteral("abc")));

        doubleClick(0);
        QCOMPARE(box(Field::Key)->text(), QStringLiteral("20250101080000"));
        QCOMPARE(box(Field::ExamDate)->text(), QStringLiteral("2021-05-01"));
        QCOMPARE(form().keyOfLine(form().selectedLine()), QStringLiteral("20250101080000"));
        bool kept = false;
        for (const Draft& draft : form().drafts()->list()) {
            kept = kept || (draft.record.key() == QStringLiteral("20230101080000") &&
                            draft.record[Field::Conclusion].endsWith(QStringLiteral("abc")));
        }
        QVERIFY(kept);
    }

    // The page for the resident, printed as the sheet prints and exported
    // through the export path: name, sex, address, the dates and values;
    // 本次 only while the sheet holds unsaved typing; the latest eight of
    // more examinations, which the page says.
    void pageReadBackByPdftotext()
    {
        storeThree();
        start();
        select(QStringLiteral("20230101080000"));
        ComparisonWindow* window = compare();
        QVERIFY(window);
        window->print();
        const QStringList jobs = test::printedJobs(m_out->path());
        QCOMPARE(jobs.size(), 1);
        const QString printed = pageText(jobs.front());
        for (const QString& part :
             {QStringLiteral("健康体检历年对比"), QStringLiteral("张三"), QStringLiteral("性别：男"),
              QStringLiteral("地址：东街"), QStringLiteral("2021-05-01"), QStringLiteral("2022-05-01"),
              QStringLiteral("2023-05-01"), QStringLiteral("7.2"), QStringLiteral("150/95"),
              QStringLiteral("阴性"), QStringLiteral("空腹血糖"), QStringLiteral("mmol/L(3.8-6.1)")}) {
            QVERIFY2(printed.contains(part), qPrintable(part + u'\n' + printed));
        }
        QVERIFY(!printed.contains(QStringLiteral("本次")));
        QVERIFY(!printed.contains(QStringLiteral("最近")));
        // Flagged rows plotted: the glucose and the pressure, each titled.
        QCOMPARE(pageRows(window->comparison()),
                 (QList<int>{rowOf(QStringLiteral("血压")), rowOf(QStringLiteral("空腹血糖"))}));

        // Exported with typing on the sheet: the unsaved column is on it.
        box(Field::Creatinine)->setFocus();
        QTest::keyClicks(box(Field::Creatinine), QStringLiteral("99"));
        QVERIFY(window = compare());
        const QString file = QDir(m_out->path()).filePath(QStringLiteral("对比.pdf"));
        FileDialogs::queuePath(file);
        window->exportPdf();
        const QStringList proposed = FileDialogs::takeProposed();
        QCOMPARE(proposed.size(), 1);
        QCOMPARE(QFileInfo(proposed.front()).fileName(), QStringLiteral("张三_历年对比.pdf"));
        QCOMPARE(texts(MessageBox::takeShown()).size(), 1); // where it went
        const QString exported = pageText(file);
        QVERIFY2(exported.contains(kUnsaved), qPrintable(exported));
        QVERIFY(exported.contains(QStringLiteral("99")));

        // Ten examinations: the latest eight, said on the page.
        for (int year = 2010; year < 2017; ++year) {
            const QByteArray key = QByteArray::number(year) + "0101080000";
            const QByteArray date = QByteArray::number(year) + "-05-01";
            QVERIFY(RecordStore::save(exam(key.constData(), date.constData())));
        }
        form().saveRecord();
        QCOMPARE(texts(MessageBox::takeShown()), QStringList());
        QVERIFY(window = compare());
        QCOMPARE(window->table()->columnCount(), 10);
        window->print();
        const QString many = pageText(test::printedJobs(m_out->path()).last());
        QVERIFY2(many.contains(QStringLiteral("共10次体检，表中为最近8次。")), qPrintable(many));
        QVERIFY(!many.contains(QStringLiteral("2010-05-01")) && !many.contains(QStringLiteral("2011-05-01")));
        QVERIFY(many.contains(QStringLiteral("2012-05-01")) && many.contains(QStringLiteral("2023-05-01")));
    }
};

QTEST_MAIN(ComparisonTest)
#include "tst_comparison.moc"
