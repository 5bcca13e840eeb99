// The report window: report lines, the name rule, the query and the window.
#include "ReportTestSupport.h"
#include "TestSupport.h"
#include "base/Clock.h"
#include "reports/ReportModel.h"
#include "reports/ReportQuery.h"
#include "reports/ReportWindow.h"
#include "storage/Database.h"
#include "ui/MessageBox.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QSqlQuery>
#include <QTest>

using namespace brenvoll;

namespace {
const QString kDateMessage = QStringLiteral("请填写正确格式的起止日期！日期格式为“2016-01-03”。");

QString blanks(int n)
{
    return QString(n, u' ');
}

ReportWindow* openReportWindow()
{
    return ReportWindow::showWindow();
}

void closeReportWindow()
{
    if (ReportWindow* form = ReportWindow::loaded()) {
        form->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

QStringList listed(const ReportWindow* form)
{
    QStringList lines;
    for (int k = 0; k < form->report()->count(); ++k) {
        lines << form->report()->lineAt(k);
    }
    return lines;
}

test::ReportRecord rec(const QString& key, const QString& date, const QString& address, const QString& number,
                       const QString& name = QStringLiteral("张三"))
{
    return {key,
            date,
            address,
            number,
            name,
            QStringLiteral("男"),
            QStringLiteral("45"),
            QStringLiteral("13800138000"),
            QStringLiteral("正常")};
}
} // namespace

class ReportTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        MessageBox::setAnswerMode(true);
        Clock::setFixed(QDateTime(QDate(2016, 5, 7), QTime(9, 0)));
    }
    void cleanup()
    {
        closeReportWindow();
        Clock::reset();
    }

    void reportLine_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("sex");
        QTest::addColumn<QString>("age");
        QTest::addColumn<QString>("conclusion");
        QTest::addColumn<QString>("line");
        const QString tail = blanks(8) + QStringLiteral("男") + blanks(6) + QStringLiteral("45") + blanks(5) +
                             QStringLiteral("正常");
        QTest::newRow("example") << "A001"
                                 << "张三"
                                 << "男"
                                 << "45"
                                 << "正常"
                                 << QStringLiteral("A001") + blanks(18) + QStringLiteral("张三") + blanks(4) +
                                        tail;
        QTest::newRow("number cut to 22")
            << "1234567890123456789012345"
            << "张三"
            << "男"
            << "45"
            << "正常" << QStringLiteral("1234567890123456789012") + QStringLiteral("张三") + blanks(4) + tail;
        QTest::newRow("Chinese number counts characters")
            << QStringLiteral("甲").repeated(30) << "张三"
            << "男"
            << "45"
            << "正常" << QStringLiteral("甲").repeated(22) + QStringLiteral("张三") + blanks(4) + tail;
        QTest::newRow("age cut to 7")
            << "A1"
            << "张三"
            << "男"
            << "123456789"
            << "正常"
            << QStringLiteral("A1") + blanks(20) + QStringLiteral("张三") + blanks(4) + blanks(8) +
                   QStringLiteral("男") + blanks(6) + QStringLiteral("1234567") + QStringLiteral("正常");
        QTest::newRow("sex cut to 7")
            << "A1"
            << "张三"
            << "abcdefghij"
            << "45"
            << "正常"
            << QStringLiteral("A1") + blanks(20) + QStringLiteral("张三") + blanks(4) + blanks(8) +
                   QStringLiteral("abcdefg") + QStringLiteral("45") + blanks(5) + QStringLiteral("正常");
        QTest::newRow("one-character name unpadded")
            << "A001"
            << "张"
            << "男"
            << "45"
            << "正常" << QStringLiteral("A001") + blanks(18) + QStringLiteral("张") + tail;
        QTest::newRow("four-character name unpadded")
            << "A001"
            << "欧阳娜娜"
            << "男"
            << "45"
            << "正常" << QStringLiteral("A001") + blanks(18) + QStringLiteral("欧阳娜娜") + tail;
        QTest::newRow("three characters get 2")
            << "A001"
            << "王小明"
            << "男"
            << "45"
            << "正常" << QStringLiteral("A001") + blanks(18) + QStringLiteral("王小明") + blanks(2) + tail;
        QTest::newRow("two characters and a letter get 3")
            << "A001"
            << "张三A"
            << "男"
            << "45"
            << "正常" << QStringLiteral("A001") + blanks(18) + QStringLiteral("张三A") + blanks(3) + tail;
        QTest::newRow("empty parts give blanks") << ""
                                                 << ""
                                                 << ""
                                                 << ""
                                                 << "" << blanks(22) + blanks(8) + blanks(7) + blanks(7);
        QTest::newRow("conclusion kept whole")
            << "A001"
            << "张三"
            << "男"
            << "45" << QStringLiteral("长").repeated(300)
            << QStringLiteral("A001") + blanks(18) + QStringLiteral("张三") + blanks(4) + blanks(8) +
                   QStringLiteral("男") + blanks(6) + QStringLiteral("45") + blanks(5) +
                   QStringLiteral("长").repeated(300);
    }
    void reportLine()
    {
        QFETCH(QString, number);
        QFETCH(QString, name);
        QFETCH(QString, sex);
        QFETCH(QString, age);
        QFETCH(QString, conclusion);
        QFETCH(QString, line);
        QCOMPARE(brenvoll::reportLine({number, name, sex, age, QStringLiteral("1"), conclusion}), line);
    }

    void nameRule_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("padded");
        QTest::newRow("2 cells") << "张"
                                 << "张";
        QTest::newRow("3 cells") << "Tom"
                                 << "Tom";
        QTest::newRow("4 cells") << "张三"
                                 << "张三    ";
        QTest::newRow("4 narrow cells") << "Anna"
                                        << "Anna    ";
        QTest::newRow("5 cells") << "张三A"
                                 << "张三A   ";
        QTest::newRow("6 cells") << "王小明"
                                 << "王小明  ";
        QTest::newRow("7 cells") << "王小明A"
                                 << "王小明A";
        QTest::newRow("8 cells") << "欧阳娜娜"
                                 << "欧阳娜娜";
    }
    void nameRule()
    {
        QFETCH(QString, name);
        QFETCH(QString, padded);
        QCOMPARE(ReportWindow::paddedName(name), padded);
    }

    void opensWithLastYearAndEmptyList_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("from");
        QTest::newRow("ordinary day") << QDate(2016, 5, 7) << "2015-05-07";
        QTest::newRow("29 February") << QDate(2016, 2, 29) << "2015-02-28";
    }
    void opensWithLastYearAndEmptyList()
    {
        QFETCH(QDate, today);
        QFETCH(QString, from);
        Clock::setFixed(QDateTime(today, QTime(8, 30)));
        test::TestFolder folder;
        QVERIFY(folder.open());
        QVERIFY(test::storeAll({rec("20160101080000", "2016-01-01", "东街", "A1")}));
        ReportWindow* form = openReportWindow();
        QCOMPARE(form->windowTitle(), QStringLiteral("生成报表"));
        QCOMPARE(form->fromDate()->text(), from);
        QCOMPARE(form->toDate()->text(), today.toString(QStringLiteral("yyyy-MM-dd")));
        QCOMPARE(form->report()->count(), 0);
        QCOMPARE(form->countLabel()->text(), QStringLiteral("记录数：0"));
        QVERIFY(form->addressFilter()->text().isEmpty());
        QVERIFY(!form->lastExportPath()->isVisible());
        const QRect screen = form->screen()->geometry();
        QCOMPARE(form->x(), (screen.width() - form->width()) / 2);
        QCOMPARE(form->y(), (screen.height() - form->height()) / 2);
        // Layout from its twips at 96 dpi.
        QCOMPARE(form->size(), QSize(978, 667));
        QCOMPARE(form->exportButton()->geometry(), QRect(748, 608, 105, 29));
    }

    void queryListsAddressAndRangeInKeyOrder()
    {
        test::TestFolder folder;
        QVERIFY(folder.open());
        QVERIFY(test::storeAll({
            rec("20160301100000", "2016-03-01", "东街1号", "B", QStringLiteral("李四")),
            rec("20160301090000", "2016-03-01", "东街2号", "A", QStringLiteral("张三")),
            rec("20160302090000", "2016-03-02", "西街", "C"),
            rec("20160101090000", "2016-01-01", "东街", "D"),    // before the range
            rec("20160402090000", "2016-04-02", "东街", "E"),    // after the range
            rec("20160401090000", "2016-04-01", "东街3号", "F"), // last day included
            {"20160331090000", "2016-03-31", "东街4号", "G", "欧阳娜娜", "", "", "",
             QStringLiteral("长").repeated(300)},
        }));
        ReportWindow* form = openReportWindow();
        form->addressFilter()->setText(QStringLiteral("东街"));
        form->fromDate()->setText(QStringLiteral("2016-03-01"));
        form->toDate()->setText(QStringLiteral("2016-4-1"));
        form->searchButton()->click();
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(form->countLabel()->text(), QStringLiteral("计录数：4"));
        const QStringList lines = listed(form);
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines[0].startsWith(QStringLiteral("A ")));
        QVERIFY(lines[0].contains(QStringLiteral("张三")));
        QVERIFY(lines[1].startsWith(QStringLiteral("B ")));
        QVERIFY(lines[1].contains(QStringLiteral("李四")));
        // Empty parts and a conclusion longer than 127 bytes come back whole.
        QCOMPARE(lines[2], QStringLiteral("G") + blanks(21) + QStringLiteral("欧阳娜娜") + blanks(8 + 14) +
                               QStringLiteral("长").repeated(300));
        QVERIFY(lines[3].startsWith(QStringLiteral("F ")));
        // The list shows the same lines.
        for (int k = 0; k < lines.size(); ++k) {
            QCOMPARE(form->report()->index(k).data().toString(), lines[k]);
        }

        // A second query replaces the list.
        form->addressFilter()->setText(QStringLiteral("西"));
        form->searchButton()->click();
        QCOMPARE(listed(form).size(), 1);
        QCOMPARE(form->countLabel()->text(), QStringLiteral("计录数：1"));
    }

    void addressTextIsDataNotSql_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("count");
        QTest::newRow("apostrophe") << "O'Neil路" << 1;
        QTest::newRow("percent wildcard") << "东%号" << 2;
        QTest::newRow("underscore wildcard") << "东街_号" << 2;
        QTest::newRow("empty matches every address") << "" << 3;
        QTest::newRow("no match") << "北街" << 0;
    }
    void addressTextIsDataNotSql()
    {
        QFETCH(QString, address);
        QFETCH(int, count);
        test::TestFolder folder;
        QVERIFY(folder.open());
        QVERIFY(test::storeAll({rec("20160301090000", "2016-03-01", "东街1号", "A"),
                                rec("20160301100000", "2016-03-01", "东街2号", "B"),
                                rec("20160301110000", "2016-03-01", "O'Neil路5号", "C")}));
        ReportWindow* form = openReportWindow();
        form->addressFilter()->setText(address);
        form->search();
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(form->report()->count(), count);
        QCOMPARE(form->countLabel()->text(), QStringLiteral("计录数：%1").arg(count));
    }

    // An address (or name) that another program left null is the empty
    // text: the empty filter lists its record, on either engine, and the
    // count of a run agrees.
    void nullAddressIsTheEmptyAddress()
    {
        test::TestFolder folder;
        QVERIFY(folder.open());
        QVERIFY(test::storeAll({rec("20160301090000", "2016-03-01", "东街1号", "A")}));
        QSqlQuery q(Database::connection());
        QVERIFY(q.exec(QStringLiteral("insert into 档案 (序列号, 日期, \"0\", 姓名, 地址) values "
                                      "('20160302090000', '2016-03-02', 'B', '李四', null), "
                                      "('20160303090000', '2016-03-03', 'C', null, null)")));
        ReportWindow* form = openReportWindow();
        form->fromDate()->setText(QStringLiteral("2016-03-01"));
        form->search();
        QVERIFY(MessageBox::takeShown().isEmpty());
        const QStringList lines = listed(form);
        QCOMPARE(form->countLabel()->text(), QStringLiteral("计录数：3"));
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[1].startsWith(QStringLiteral("B ")) && lines[1].contains(QStringLiteral("李四")));
        QCOMPARE(lines[2], QStringLiteral("C") + blanks(21 + 8 + 14));

        form->addressFilter()->setText(QStringLiteral("东"));
        form->search();
        QCOMPARE(listed(form).size(), 1);

        ReportQuery::Extent extent;
        QCOMPARE(
            ReportQuery::extent({{}, QStringLiteral("2016-03-02"), QStringLiteral("2016-03-03")}, extent),
            ReportQuery::Error::None);
        QVERIFY(extent.any);
    }

    void badDatesWarnAndLeaveTheListEmpty_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::newRow("month 13") << "2016-13-01"
                                  << "2016-05-07";
        QTest::newRow("empty start") << ""
                                     << "2016-05-07";
        QTest::newRow("empty end") << "2015-05-07"
                                   << "";
        QTest::newRow("30 February") << "2016-01-01"
                                     << "2016-02-30";
        QTest::newRow("words") << "昨天"
                               << "2016-05-07";
    }
    void badDatesWarnAndLeaveTheListEmpty()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        test::TestFolder folder;
        QVERIFY(folder.open());
        QVERIFY(test::storeAll({rec("20160301090000", "2016-03-01", "东街1号", "A")}));
        ReportWindow* form = openReportWindow();
        form->search();
        QCOMPARE(form->report()->count(), 1);
        form->fromDate()->setText(from);
        form->toDate()->setText(to);
        form->search();
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, kDateMessage);
        QCOMPARE(shown[0].icon, QMessageBox::Warning);
        QCOMPARE(form->report()->count(), 0);
        QCOMPARE(form->countLabel()->text(), QStringLiteral("计录数：1")); // kept from the last query
    }

    void unreadableDatabaseIsNotCalledADateError()
    {
        test::TestFolder folder;
        QVERIFY(folder.open());
        ReportWindow* form = openReportWindow();
        Database::close();
        form->search();
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.startsWith(QStringLiteral("无法查询记录：")));
        QCOMPARE(form->countLabel()->text(), QStringLiteral("记录数：0"));
    }

    void enterPressesTheFocusedButton()
    {
        test::TestFolder folder;
        QVERIFY(folder.open());
        QVERIFY(test::storeAll({rec("20160301090000", "2016-03-01", "东街1号", "A")}));
        ReportWindow* form = openReportWindow();
        QTest::keyClick(form->addressFilter(), Qt::Key_Return); // in a box it presses nothing
        QCOMPARE(form->countLabel()->text(), QStringLiteral("记录数：0"));
        QVERIFY(test::pressEnterOn(form->searchButton()));
        QCOMPARE(form->countLabel()->text(), QStringLiteral("计录数：1"));
    }

    void columnHeadsAndExit()
    {
        test::TestFolder folder;
        QVERIFY(folder.open());
        QVERIFY(test::storeAll({rec("20160301090000", "2016-03-01", "东街1号", "A")}));
        ReportWindow* form = openReportWindow();
        form->search();
        for (int index : {0, 1, 2, 3, 5}) {
            auto* head = form->findChild<QPushButton*>(QStringLiteral("Command1_%1").arg(index));
            QVERIFY2(head, qPrintable(QString::number(index)));
            QCOMPARE(head, form->columnHead(index));
            head->click();
        }
        QVERIFY(!form->findChild<QPushButton*>(QStringLiteral("Command1_4")));
        QCOMPARE(form->report()->count(), 1);
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(form->columnHead(5)->text(), QStringLiteral("体检结论"));

        form->closeButton()->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!ReportWindow::loaded());
        // Opened again: defaults and an empty list.
        form = openReportWindow();
        QCOMPARE(form->report()->count(), 0);
        QCOMPARE(form->countLabel()->text(), QStringLiteral("记录数：0"));
    }
};

QTEST_MAIN(ReportTest)
#include "tst_report.moc"
