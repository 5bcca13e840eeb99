// The sheet on screen follows the field map.
#include "record/ValueFlags.h"
#include "sheet/SheetView.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTextDocument>

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

    // Every laboratory caption yields its range for the box lying over it;
    // no other box has one, and a range that cannot be read gives none.
    void referenceRangesComeFromTheCaptions()
    {
        // Column, unit, then the range read back as numbers.
        const QStringList expected{QStringLiteral("20 ×10^/L 4-10"),    QStringLiteral("21 g/L 110-160"),
                                   QStringLiteral("22 ×10^/L 100-300"), QStringLiteral("27 U/L 0-40"),
                                   QStringLiteral("28 U/L 0-40"),       QStringLiteral("29 µmol/L 1.7-17.1"),
                                   QStringLiteral("31 mmol/L 3.2-7.1"), QStringLiteral("32 µmol/L 53-106"),
                                   QStringLiteral("33 mmol/L 3.8-6.1"), QStringLiteral("34 mmol/L 0-1.8"),
                                   QStringLiteral("35 mmol/L 2-5.7"),   QStringLiteral("36 mmol/L 1.04-1.8"),
                                   QStringLiteral("37 mmol/L 0-3.61")};
        QStringList found;
        for (const BoxDef& def : FieldMap::boxes()) {
            if (const auto& r = FieldMap::referenceRange(def.field)) {
                found << def.column + u' ' + r->unit + u' ' + QString::number(r->low) + u'-' +
                             QString::number(r->high);
            }
        }
        QCOMPARE(found, expected);
        QCOMPARE(FieldMap::referenceRange(Field::Hdl)->text, QStringLiteral("1.04-1.8")); // as printed
        for (const char16_t* caption : {u"表面抗体：", u"白细胞：      ×10^/L(10.0-4.0)",
                                        u"肌酐：      mmol/L(53-)", u"血红蛋白：      g/L(110-160"}) {
            QVERIFY(!parseReferenceRange(QString::fromUtf16(caption)));
        }
    }

    // Typed or loaded, a number outside its caption's range, a high blood
    // pressure or a positive urine test shows red with its reason; a text in
    // a box of numbers that is no number shows grey with the reason that it
    // went unchecked; any other text stays blue.
    void outstandingValuesAreRedWithAReason()
    {
        const QString above = QStringLiteral("高于参考范围 4.0-10.0");
        const QString high = QStringLiteral("血压偏高");
        const QString positive = QStringLiteral("阳性");
        checkFlags({{Field::WhiteCells, u"4.0", {}},
                    {Field::WhiteCells, u"10", {}},
                    {Field::WhiteCells, u"10.01", above},
                    {Field::WhiteCells, u"3.99", QStringLiteral("低于参考范围 4.0-10.0")},
                    {Field::WhiteCells, u" １２．５", above},
                    {Field::WhiteCells, u"12.5.1", kUnchecked},
                    {Field::WhiteCells, u"偏高", kUnchecked},
                    {Field::Hdl, u"1.81", QStringLiteral("高于参考范围 1.04-1.8")},
                    {Field::UreaNitrogen, u"3.1", QStringLiteral("低于参考范围 3.2-7.1")},
                    {Field::SystolicPressure, u"140", high},
                    {Field::SystolicPressure, u"139", {}},
                    {Field::DiastolicPressure, u"90", high},
                    {Field::UrineProtein, u"++", positive},
                    {Field::UrineSugar, u"阳性", positive},
                    {Field::UrineKetones, u"-", {}}});
    }

    // A value as laboratories print it is read: "<" or ">" before the number,
    // an arrow, H or L, or the caption's unit after it; a bound is judged
    // only where the range decides it. What is still no value shows grey.
    void markedValuesAreReadAndTheRestShowUnchecked()
    {
        const QString glucoseHigh = QStringLiteral("高于参考范围 3.8-6.1");
        const QString glucoseLow = QStringLiteral("低于参考范围 3.8-6.1");
        checkFlags({{Field::FastingGlucose, u">33.3", glucoseHigh},
                    {Field::FastingGlucose, u"＞ 33.3", glucoseHigh},
                    {Field::FastingGlucose, u"12.5↑", glucoseHigh},
                    {Field::FastingGlucose, u"12.5H", glucoseHigh},
                    {Field::FastingGlucose, u"12.5 mmol/L", glucoseHigh},
                    {Field::FastingGlucose, u"12.5ｍｍｏｌ／ｌ ↑", glucoseHigh},
                    {Field::FastingGlucose, u"3.0L", glucoseLow},
                    {Field::FastingGlucose, u"3.0 ↓", glucoseLow},
                    {Field::FastingGlucose, u"5.0H", {}}, // the sheet's range decides
                    {Field::FastingGlucose, u"<3.5", glucoseLow},
                    {Field::FastingGlucose, u"<5", kUnchecked},
                    {Field::FastingGlucose, u"12.5 mg/dL", kUnchecked}, // another unit
                    {Field::FastingGlucose, u"12.5↑↑", kUnchecked},
                    {Field::FastingGlucose, u"未查", kUnchecked},
                    {Field::FastingGlucose, u"   ", {}},
                    {Field::Alt, u">40", QStringLiteral("高于参考范围 0-40")},
                    {Field::Alt, u">3", kUnchecked}, // within or above
                    {Field::Alt, u"<50", kUnchecked},
                    {Field::Triglycerides, u"<0.1", {}}, // never negative, so within
                    {Field::WhiteCells, u"12.5 ×10^9/L", QStringLiteral("高于参考范围 4.0-10.0")},
                    {Field::SystolicPressure, u"150↑", QStringLiteral("血压偏高")},
                    {Field::SystolicPressure, u"150 mmHg", QStringLiteral("血压偏高")},
                    {Field::DiastolicPressure, u"约85", kUnchecked},
                    {Field::UrineSugar, u"阴性", {}},
                    {Field::Name, u">33.3", {}}});

        // The reading the counting of values shares, widget-free.
        const ReferenceRange range{3.8, 6.1, QStringLiteral("mmol/L"), QStringLiteral("3.8-6.1"),
                                   QStringLiteral("空腹血糖")};
        QVERIFY(readAgainstRange(QStringLiteral(">6.1"), range) == RangeReading::Above);
        QVERIFY(readAgainstRange(QStringLiteral("<3.8"), range) == RangeReading::Below);
        QVERIFY(readAgainstRange(QStringLiteral("6.1 mmol/L"), range) == RangeReading::Within);
        QVERIFY(readAgainstRange(QStringLiteral("mmol/L"), range) == RangeReading::Unreadable);
        QVERIFY(!readAgainstRange(QString(), range));
        QVERIFY(readLabValue(QStringLiteral("< 0.1"), {}) == (LabValue{0.1, LabValue::Bound::Below}));
        QVERIFY(!readLabValue(QStringLiteral("0.1U/L"), {}));
    }

    // A box too narrow for its text has the whole text as its tooltip, above
    // the reason of a flag; a text that fits has none but the reason. The
    // tooltip follows the text, typed or loaded, and shows markup-like text
    // as typed.
    void wholeTextOfATooLongBoxIsItsTooltip()
    {
        SheetView sheet;
        const QString above = QStringLiteral("高于参考范围 4.0-10.0");
        const struct
        {
            Field field;
            QString text;
            QString tip;
        } cases[] = {
            {Field::Number, QStringLiteral("1024"), {}},
            {Field::Number, QStringLiteral("上海市浦东新区张江镇"), QStringLiteral("上海市浦东新区张江镇")},
            {Field::WhiteCells, QStringLiteral("12"), above},
            {Field::WhiteCells, QStringLiteral("12.5 ×10^9/L"), QStringLiteral("12.5 ×10^9/L\n") + above},
            {Field::WhiteCells, QStringLiteral("5"), {}},
            {Field::WhiteCells, QStringLiteral("标本溶血未检测"),
             QStringLiteral("标本溶血未检测\n") + kUnchecked},
            {Field::Name, QStringLiteral("<b>王</b>小明（复查）"), QStringLiteral("<b>王</b>小明（复查）")},
        };
        for (const auto& c : cases) {
            QLineEdit* box = sheet.box(c.field);
            for (bool loaded : {false, true}) {
                sheet.setRecord(ExamRecord());
                QCOMPARE(box->toolTip(), QString());
                if (loaded) {
                    ExamRecord record;
                    record[c.field] = c.text;
                    sheet.setRecord(record);
                } else {
                    type(box, c.text);
                }
                QCOMPARE(box->text(), c.text);
                QVERIFY2(shownTip(box) == c.tip, qPrintable(c.text + QStringLiteral(": ") + box->toolTip()));
            }
        }
    }

private:
    // Types `text` key by key, Chinese included.
    static void type(QLineEdit* box, const QString& text)
    {
        for (const QChar ch : text) {
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        }
    }

    // The tooltip of `box` as the tooltip window reads it: plain text, or
    // markup when it looks like markup.
    static QString shownTip(const QLineEdit* box)
    {
        QTextDocument document;
        if (Qt::mightBeRichText(box->toolTip())) {
            document.setHtml(box->toolTip());
        } else {
            document.setPlainText(box->toolTip());
        }
        return document.toPlainText();
    }

    const QString kUnchecked = QStringLiteral("无法判断是否超出参考范围");

    // Each text, typed and loaded, shows its reason in its tooltip: red for a
    // value that stands out, grey for one that went unchecked, blue else.
    void checkFlags(std::initializer_list<std::tuple<Field, const char16_t*, QString>> cases)
    {
        SheetView sheet;
        for (const auto& [field, typed, reason] : cases) {
            QLineEdit* box = sheet.box(field);
            const QString text = QString::fromUtf16(typed);
            for (bool loaded : {false, true}) {
                sheet.setRecord(ExamRecord());
                if (loaded) {
                    ExamRecord record;
                    record[field] = text;
                    sheet.setRecord(record);
                } else {
                    QInputMethodEvent input; // as an input method hands over full-width text
                    input.setCommitString(text);
                    QApplication::sendEvent(box, &input);
                }
                // A text too long for its narrow box comes first, on a line of its own.
                const QString tip = box->toolTip();
                const QString longTip = reason.isEmpty() ? text : text + u'\n' + reason;
                QVERIFY2(box->text() == text && (tip == reason || tip == longTip),
                         qPrintable(text + QStringLiteral(": ") + tip));
                const QColor colour = reason.isEmpty()       ? QColor(0, 0, 255)
                                      : reason == kUnchecked ? QColor(Qt::darkGray)
                                                             : QColor(Qt::red);
                QVERIFY2(box->palette().color(QPalette::Text) == colour, qPrintable(text));
            }
        }
    }
};

QTEST_MAIN(TestSheet)
#include "tst_sheet.moc"
