// Date texts and record keys.
#include "record/DateRules.h"
#include "record/RecordKey.h"

#include <QTest>

using namespace brenvoll;

class TestDateRules : public QObject
{
    Q_OBJECT
private slots:
    void saveAcceptsOnlyRealDatesOfTheRightShape_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored"); // empty: refused
        QTest::newRow("plain") << "2016-05-07"
                               << "2016-05-07";
        QTest::newRow("blanks around") << "  2016-05-07 "
                                       << "2016-05-07";
        QTest::newRow("dot") << "2016-05.07"
                             << "2016-05-07";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("slashes") << "2016/05/07"
                                 << "";
        QTest::newRow("short year") << "16-05-07"
                                    << "";
        QTest::newRow("no such day") << "2016-13-45"
                                     << "";
        QTest::newRow("letters") << "abcd-efghi"
                                 << "";
        QTest::newRow("29 Feb leap") << "2016-02-29"
                                     << "2016-02-29";
        QTest::newRow("29 Feb common") << "2015-02-29"
                                       << "";
        // Blanks around the date go, full-width ones as ASCII ones.
        QTest::newRow("full-width blank") << QStringLiteral("\u30002016-05-07") << "2016-05-07";
    }
    void saveAcceptsOnlyRealDatesOfTheRightShape()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        const auto result = dateForSaving(typed);
        QCOMPARE(result.value_or(QString()), stored);
    }

    void shapeTestLooksAtLengthAndDashOnly()
    {
        QVERIFY(hasDateShape(QStringLiteral(" 2016-05-07 ")));
        QVERIFY(hasDateShape(QStringLiteral("abcd-efghi")));
        QVERIFY(!hasDateShape(QStringLiteral("2016-5-7")));
        QVERIFY(!hasDateShape(QStringLiteral("2016/05/07")));
    }

    void searchDates_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QDate>("date"); // invalid: refused
        QTest::newRow("dash") << "2016-05-07" << QDate(2016, 5, 7);
        QTest::newRow("slash short") << "2016/5/7" << QDate(2016, 5, 7);
        QTest::newRow("dots") << "2016.05.07" << QDate(2016, 5, 7);
        QTest::newRow("blanks") << " 2016-5-07 " << QDate(2016, 5, 7);
        QTest::newRow("mixed separators") << "2016-05/07" << QDate();
        QTest::newRow("no month 13") << "2016-13-01" << QDate();
        QTest::newRow("words") << "abc" << QDate();
        QTest::newRow("empty") << "" << QDate();
        QTest::newRow("quote") << "2016-05-07'" << QDate();
    }
    void searchDates()
    {
        QFETCH(QString, typed);
        QFETCH(QDate, date);
        QCOMPARE(parseSearchDate(typed).value_or(QDate()), date);
    }

    void oneYearBeforeKeepsDayExceptLeapDay()
    {
        QCOMPARE(oneYearBefore(QDate(2016, 5, 7)), QDate(2015, 5, 7));
        QCOMPARE(oneYearBefore(QDate(2016, 2, 29)), QDate(2015, 2, 28));
    }

    void keysNeverRepeatOrHitStoredOnes()
    {
        const QDateTime t(QDate(2016, 5, 7), QTime(14, 30, 25));
        QCOMPARE(keyFor(t), QStringLiteral("20160507143025"));
        KeyIssuer issuer;
        const QSet<QString> stored{QStringLiteral("20160507143026")};
        auto exists = [&](const QString& k) { return stored.contains(k); };
        QCOMPARE(issuer.issue(t, exists), QStringLiteral("20160507143025"));
        QCOMPARE(issuer.issue(t, exists), QStringLiteral("20160507143027")); // 26 is stored
        QCOMPARE(issuer.issue(t.addSecs(5), exists), QStringLiteral("20160507143030"));
    }
};

QTEST_GUILESS_MAIN(TestDateRules)
#include "tst_daterules.moc"
