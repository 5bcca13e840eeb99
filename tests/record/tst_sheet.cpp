// The sheet on screen follows the field map.
#include "record/SheetView.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

using namespace brenvoll;

class TestSheet : public QObject
{
    Q_OBJECT
private slots:
    void everyElementIsThereByName()
    {
        SheetView sheet;
        QCOMPARE(sheet.findChildren<QLineEdit*>(QRegularExpression(QStringLiteral("^Text5_\\d+$"))).size(),
                 6);
        QCOMPARE(sheet.findChildren<QLineEdit*>(QRegularExpression(QStringLiteral("^Text6_\\d+$"))).size(),
                 46);
        QCOMPARE(sheet.findChildren<QLabel*>(QRegularExpression(QStringLiteral("^Label4_\\d+$"))).size(), 66);
        QCOMPARE(sheet.findChildren<QWidget*>(QRegularExpression(QStringLiteral("^Line1_\\d+$"))).size(), 45);
        QVERIFY(sheet.findChild<QLabel*>(QStringLiteral("Label3")));
        QCOMPARE(sheet.objectName(), QStringLiteral("Picture5"));
    }

    void hiddenElementsAreHidden()
    {
        SheetView sheet;
        sheet.show();
        QVERIFY(!sheet.findChild<QLineEdit*>(QStringLiteral("Text5_5"))->isVisible());
        QVERIFY(!sheet.findChild<QLineEdit*>(QStringLiteral("Text6_43"))->isVisible());
        QVERIFY(!sheet.findChild<QLabel*>(QStringLiteral("Label4_37"))->isVisible());
        QVERIFY(!sheet.findChild<QWidget*>(QStringLiteral("Line1_26"))->isVisible());
        QVERIFY(sheet.findChild<QLineEdit*>(QStringLiteral("Text6_44"))->isVisible());
        QVERIFY(sheet.findChild<QLabel*>(QStringLiteral("Label4_65"))->isVisible());
    }

    void geometryFollowsTheDesignInTwips()
    {
        SheetView sheet; // 96 dpi in tests: 15 twips a pixel
        QCOMPARE(sheet.size(), QSize(797, 1120));
        QCOMPARE(sheet.findChild<QLineEdit*>(QStringLiteral("Text5_0"))->geometry(), QRect(136, 116, 81, 21));
        QCOMPARE(sheet.findChild<QLineEdit*>(QStringLiteral("Text6_41"))->geometry(),
                 QRect(136, 944, 589, 21));
        QCOMPARE(sheet.findChild<QLabel*>(QStringLiteral("Label4_0"))->pos(), QPoint(56, 116));
        QCOMPARE(sheet.findChild<QLabel*>(QStringLiteral("Label4_0"))->text(), QStringLiteral("姓名"));
        QCOMPARE(sheet.findChild<QLabel*>(QStringLiteral("Label4_56"))->text(),
                 QStringLiteral("白细胞：      ×10^/L(4.0-10.0)"));
        QCOMPARE(sheet.findChild<QWidget*>(QStringLiteral("Line1_27"))->geometry(), QRect(128, 104, 1, 905));
    }

    void secondBloodPressureBoxLiesBetweenSlashAndUnit()
    {
        SheetView sheet;
        const QRect slash = sheet.findChild<QLabel*>(QStringLiteral("Label4_10"))->geometry();
        const QRect unit = sheet.findChild<QLabel*>(QStringLiteral("Label4_15"))->geometry();
        QLineEdit* between = nullptr;
        for (QLineEdit* box : sheet.findChildren<QLineEdit*>()) {
            const QRect g = box->geometry();
            if (g.top() == slash.top() && g.left() >= slash.left() && g.right() < unit.left()) {
                QVERIFY2(!between, "two boxes between / and mmHg");
                between = box;
            }
        }
        QVERIFY(between);
        QCOMPARE(between->objectName(), QStringLiteral("Text6_44"));
        QCOMPARE(FieldMap::box(Field::DiastolicPressure).column, QStringLiteral("44"));
    }

    void recordRoundTripsThroughTheBoxes()
    {
        SheetView sheet;
        ExamRecord record;
        for (int i = 0; i < FieldMap::kIdentifyingCount; ++i) {
            record.identifying[i] = QStringLiteral("甲") + QString::number(i);
        }
        for (int i = 0; i < FieldMap::kFindingCount; ++i) {
            record.findings[i] = QStringLiteral("乙") + QString::number(i);
        }
        sheet.setRecord(record);
        QCOMPARE(sheet.findChild<QLineEdit*>(QStringLiteral("Text6_43"))->text(), QStringLiteral("乙43"));
        QCOMPARE(sheet.record(), record);
    }

    void captionsUseTheSheetFont()
    {
        SheetView sheet;
        const QFont font = sheet.findChild<QLabel*>(QStringLiteral("Label4_0"))->font();
        QCOMPARE(font.pointSizeF(), 12.0);
        QVERIFY(!font.bold());
        const QFont title = sheet.findChild<QLabel*>(QStringLiteral("Label3"))->font();
        QCOMPARE(title.pointSizeF(), 21.75);
        QVERIFY(title.bold());
        QVERIFY(QFontInfo(font).family().contains(QStringLiteral("CJK")) ||
                QFontInfo(font).family() == QStringLiteral("宋体"));
    }
};

QTEST_MAIN(TestSheet)
#include "tst_sheet.moc"
