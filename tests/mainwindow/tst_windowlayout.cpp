// The main window's layout rules and scroll rule as plain arithmetic.
#include "mainwindow/WindowLayout.h"

#include <QtTest>

using namespace brenvoll;

namespace {
// Controls as the window is designed.
WindowGeometry designed()
{
    WindowGeometry g;
    g.toolbarWidth = 15135;
    g.viewportWidth = 12670;
    g.viewportHeight = 9375;
    g.listHeight = 3300;
    g.listTop = 6840;
    g.barHeight = 150;
    g.barLeft = 200;
    g.pageLeft = 0;
    g.pageTop = 0;
    g.barEnabled = true;
    return g;
}

bool near(double actual, double expected, double tolerance)
{
    return std::abs(actual - expected) <= tolerance;
}
} // namespace

class WindowLayoutTest : public QObject
{
    Q_OBJECT
private slots:
    void workedExample();
    void pageCentredVertically_data();
    void pageCentredVertically();
    void narrowViewportCutsBothSides();
    void negativeSizesAreSkipped();
    void scrollRule_data();
    void scrollRule();
    void scrollRuleWithoutRange();
};

void WindowLayoutTest::workedExample()
{
    const WindowGeometry g = WindowLayout::arrange(15360, 12000, designed());
    QCOMPARE(g.toolbarWidth, 15150.0);
    QCOMPARE(g.viewportWidth, 12685.0);
    QCOMPARE(g.viewportHeight, 10335.0);
    QCOMPARE(g.listHeight, 4230.0);
    QCOMPARE(g.listTop, 6870.0);
    QVERIFY2(near(g.barHeight, 181.4, 0.05), qPrintable(QString::number(g.barHeight)));
    QVERIFY2(near(g.barLeft, 218.2, 0.05), qPrintable(QString::number(g.barLeft)));
    QVERIFY2(near(g.pageLeft, 4.1, 0.05), qPrintable(QString::number(g.pageLeft)));
    QCOMPARE(g.pageTop, 0.0);
    QVERIFY(g.barEnabled);
    // The two conversions differ: 56.6667 for the bar, 56.7 for widths.
    QVERIFY(near(g.barHeight, 10335 / 56.6667 - 1, 1e-9));
    QVERIFY(!near(g.barHeight, 10335 / 56.7 - 1, 0.05));
}

void WindowLayoutTest::pageCentredVertically_data()
{
    QTest::addColumn<double>("viewportHeight");
    QTest::addColumn<bool>("barEnabled");
    QTest::addColumn<double>("pageTop");

    QTest::newRow("shorter than the page") << 15000.0 << true << 0.0;
    QTest::newRow("exactly the page") << 297 * 56.7 << true << 0.0;
    QTest::newRow("a twip taller") << 297 * 56.7 + 1 << false << (1 / 56.7) / 2;
    QTest::newRow("much taller") << 20000.0 << false << (20000 / 56.7 - 297) / 2;
}

void WindowLayoutTest::pageCentredVertically()
{
    QFETCH(double, viewportHeight);
    QFETCH(bool, barEnabled);
    QFETCH(double, pageTop);

    WindowGeometry before = designed();
    before.barEnabled = !barEnabled;
    before.pageTop = -50;
    const WindowGeometry g = WindowLayout::arrange(15360, viewportHeight + 1665, before);
    QVERIFY(near(g.viewportHeight, viewportHeight, 1e-6));
    QCOMPARE(g.barEnabled, barEnabled);
    QVERIFY2(near(g.pageTop, pageTop, 1e-6), qPrintable(QString::number(g.pageTop)));
}

void WindowLayoutTest::narrowViewportCutsBothSides()
{
    // 11000 twips = 194 mm: less than the page and the bar.
    const WindowGeometry g = WindowLayout::arrange(11000 + 2675, 12000, designed());
    const double inner = 11000 / 56.7;
    QVERIFY(near(g.pageLeft, (inner - 4.5 - 210 - 1) / 2, 1e-9));
    QVERIFY(g.pageLeft < 0);
    // The strips cut off left of the viewport and under the bar are alike.
    const double cutRight = (g.pageLeft + 210) - (g.barLeft);
    QVERIFY(near(-g.pageLeft, cutRight, 1e-9));
    QVERIFY(near(g.barLeft, inner - 4.5 - 1, 1e-9));
}

void WindowLayoutTest::negativeSizesAreSkipped()
{
    // A tiny window: the viewport's width and height and the list's height
    // would be negative and keep what they had; the rest goes on with them.
    const WindowGeometry before = designed();
    const WindowGeometry g = WindowLayout::arrange(2000, 1000, before);
    QCOMPARE(g.toolbarWidth, 1790.0);
    QCOMPARE(g.viewportWidth, before.viewportWidth);
    QCOMPARE(g.viewportHeight, before.viewportHeight);
    QCOMPARE(g.listHeight, before.listHeight);
    // A position may be negative: the list's bottom still keeps 900 twips.
    QCOMPARE(g.listTop, 1000.0 - 3300 - 900);
    QVERIFY(near(g.barHeight, 9375 / 56.6667 - 1, 1e-9));
    QVERIFY(near(g.barLeft, 12670 / 56.7 - 5.5, 1e-9));

    // Narrower than the band's allowance: the band keeps its width.
    QCOMPARE(WindowLayout::arrange(200, 12000, before).toolbarWidth, before.toolbarWidth);

    // A viewport lower than one millimetre leaves the bar's height alone,
    // while the viewport itself takes its new small height.
    const WindowGeometry flat = WindowLayout::arrange(15360, 1665 + 30, before);
    QCOMPARE(flat.viewportHeight, 30.0);
    QCOMPARE(flat.barHeight, before.barHeight);
    QCOMPARE(flat.pageTop, 0.0);
    QVERIFY(flat.barEnabled);
}

void WindowLayoutTest::scrollRule_data()
{
    QTest::addColumn<double>("viewportHeight");
    QTest::addColumn<int>("value");
    QTest::addColumn<double>("pageTop");

    const double overflow = 297 - 10335 / 56.6667; // 114.6 mm
    QTest::newRow("top") << 10335.0 << 0 << 0.0;
    QTest::newRow("one step") << 10335.0 << 1 << -overflow / 90;
    QTest::newRow("half way") << 10335.0 << 45 << -overflow / 2;
    QTest::newRow("maximum") << 10335.0 << 90 << -overflow;
}

void WindowLayoutTest::scrollRule()
{
    QFETCH(double, viewportHeight);
    QFETCH(int, value);
    QFETCH(double, pageTop);

    const auto top = WindowLayout::scrolledPageTop(viewportHeight, value);
    QVERIFY(top.has_value());
    QVERIFY2(near(*top, pageTop, 1e-9), qPrintable(QString::number(*top)));
    if (value == 90) {
        // The page's bottom edge meets the viewport's bottom edge.
        QVERIFY(near(*top + 297, viewportHeight / 56.6667, 1e-9));
        QVERIFY(near(*top, -114.6, 0.05));
    }
    if (value == 1) {
        QVERIFY(near(-*top, 1.27, 0.005));
    }
}

void WindowLayoutTest::scrollRuleWithoutRange()
{
    QVERIFY(!WindowLayout::scrolledPageTop(10335, 0, 0).has_value());
}

QTEST_APPLESS_MAIN(WindowLayoutTest)
#include "tst_windowlayout.moc"
