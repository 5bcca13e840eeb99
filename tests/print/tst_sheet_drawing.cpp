// The widget-free drawing of a sheet on a preview image: the same routine that
// draws on printers and into PDFs, here measured in pixels.
#include "print/SheetDrawing.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

using namespace brenvoll;

namespace {

constexpr int kDpi = 144; // ten twips per pixel

QImage drawn(const SheetSnapshot& sheet, double left, double top)
{
    QImage image(FieldMap::kSheetWidth / 10 + 100, FieldMap::kSheetHeight / 10 + 100, QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(kDpi / 0.0254));
    image.setDotsPerMeterY(qRound(kDpi / 0.0254));
    image.fill(Qt::white);
    QPainter painter(&image);
    drawSheet(painter, sheet, left, top);
    return image;
}

// Dark pixels in the rectangle given in sheet twips.
int inkIn(const QImage& image, double left, double top, double width, double height)
{
    int ink = 0;
    for (int y = qFloor(top / 10); y < qCeil((top + height) / 10); ++y) {
        for (int x = qFloor(left / 10); x < qCeil((left + width) / 10); ++x) {
            ink += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
        }
    }
    return ink;
}

} // namespace

class SheetDrawingTest : public QObject
{
    Q_OBJECT

private slots:
    // Lines land where the field map puts them, moved by the margins; the
    // hidden line 26 is not drawn.
    void linesFollowTheMargins()
    {
        const QImage image = drawn(designedSheet({}, QStringLiteral("健康体检反馈表")), 567, 283.5);
        const auto row = [&](double y) { return inkIn(image, 720 + 567 + 100, y + 283.5 - 10, 9000, 20); };
        QVERIFY(row(1560) > 850);    // line 0
        QVERIFY(row(15120) > 850);   // line 25
        QCOMPARE(row(16080), 0);     // line 26, hidden
        QCOMPARE(row(1560 - 60), 0); // nothing just above the frame
        // Vertical line 1 at x 720, one or two pixels wide.
        QVERIFY(inkIn(image, 720 + 567 - 10, 5000, 20, 5000) >= 500);
        QVERIFY(inkIn(image, 720 + 567 - 10, 5000, 20, 5000) <= 1000);
    }

    // Box texts of hidden boxes and empty boxes leave their place blank; a
    // filled visible box shows its text from its left edge on.
    void onlyVisibleTextsAreDrawn()
    {
        ExamRecord record;
        record[Field::Name] = QStringLiteral("王小明");
        record[Field::Key] = QStringLiteral("20160507143025");
        record[Field::SignatureDate] = QStringLiteral("2016-05-07");
        const QImage image = drawn(designedSheet(record, QStringLiteral("健康体检反馈表")), 0, 0);
        QVERIFY(inkIn(image, 2040, 1740, 720, 240) > 100); // the name
        QCOMPARE(inkIn(image, 120, 60, 2235, 315), 0);     // the key
        QCOMPARE(inkIn(image, 9060, 15660, 1875, 315), 0); // the signature date and its caption
        QCOMPARE(inkIn(image, 4260, 1760, 555, 240), 0);   // the sex, empty
    }

    // On any device a box text too wide for its room is drawn smaller inside
    // it: a 12-digit number stops at the end of its box, clear of line 35 and
    // of "地址" after it.
    void longTextStaysInItsRoom()
    {
        ExamRecord record;
        record[Field::Number] = QStringLiteral("201605070001");
        const SheetSnapshot sheet = designedSheet(record, QStringLiteral("健康体检反馈表"));
        QCOMPARE(sheetFit(sheet).fitted, 1);
        QCOMPARE(sheetFit(sheet).cut, 0);
        const QImage image = drawn(sheet, 0, 0);
        QVERIFY(inkIn(image, 2040, 2280, 1200, 315) > 200); // the number
        QCOMPARE(inkIn(image, 3270, 2290, 20, 300), 0);     // up to line 35
        QCOMPARE(inkIn(image, 3320, 2290, 90, 300), 0);     // from line 35 to "地址"
    }

    // The operator is told which boxes were fitted, by the names the sheet
    // gives them, in the sheet's order; a batch names a box once however many
    // of its sheets fitted it, and a long list ends in a count.
    void fittedBoxesAreNamed_data()
    {
        QTest::addColumn<QList<int>>("boxes"); // Field values
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<int>("sheets");
        QTest::addColumn<QString>("message");
        const QString heart = QStringLiteral("心律齐，各瓣膜听诊区未闻及杂音");
        const QString conclusion =
            QStringLiteral("血压偏高，建议低盐饮食，适量运动，定期复查血压，必要时心内科就诊。"
                           "空腹血糖偏高，建议复查糖化血红蛋白");
        const QString number = QStringLiteral("201605070001");
        QTest::newRow("none") << QList<int>{int(Field::Heart)} << QStringList{QStringLiteral("正常")} << 1
                              << QString();
        QTest::newRow("in the sheet's order")
            << QList<int>{int(Field::Conclusion), int(Field::Heart)} << QStringList{conclusion, heart} << 1
            << QStringLiteral("有 2 个方框的文字太长，已缩小打印：心脏、体检结论。");
        QTest::newRow("once in a batch") << QList<int>{int(Field::Number)} << QStringList{number} << 3
                                         << QStringLiteral("有 3 个方框的文字太长，已缩小打印：编号。");
        QTest::newRow("cut short") << QList<int>{int(Field::Number), int(Field::Heart)}
                                   << QStringList{number, heart.repeated(4)} << 1
                                   << QStringLiteral("有 2 个方框的文字太长，已截断：编号、心脏。");
        QList<int> many;
        QStringList manyTexts;
        for (const Field field :
             {Field::Number, Field::Telephone, Field::MedicalHistory, Field::Height, Field::Weight,
              Field::SystolicPressure, Field::Respiratory, Field::Nervous, Field::Heart, Field::Abdomen}) {
            many << int(field);
            manyTexts << heart.repeated(4);
        }
        QTest::newRow("more than eight")
            << many << manyTexts << 1
            << QStringLiteral("有 10 个方框的文字太长，已截断：编号、电话、既往史、身高、"
                              "体重、收缩压、呼吸系统、神经系统 等 10 项。");
    }

    void fittedBoxesAreNamed()
    {
        QFETCH(QList<int>, boxes);
        QFETCH(QStringList, texts);
        QFETCH(int, sheets);
        QFETCH(QString, message);
        ExamRecord record;
        for (qsizetype i = 0; i < boxes.size(); ++i) {
            record[Field(boxes[i])] = texts[i];
        }
        SheetFit fit;
        for (int i = 0; i < sheets; ++i) {
            fit += sheetFit(designedSheet(record, QStringLiteral("健康体检反馈表")));
        }
        QCOMPARE(fittedTextsMessage(fit), message);
    }

    // The title is centred across the sheet at its designed top.
    void titleIsCentred()
    {
        const QImage image = drawn(designedSheet({}, QStringLiteral("健康体检反馈表")), 0, 0);
        int first = -1, last = -1;
        for (int x = 0; x < image.width(); ++x) {
            if (inkIn(image, x * 10, 900, 10, 435) > 0) {
                first = first < 0 ? x : first;
                last = x;
            }
        }
        QVERIFY(first > 0);
        QVERIFY(qAbs((first + last) * 10 / 2.0 - FieldMap::kSheetWidth / 2.0) < 60);
        QCOMPARE(inkIn(image, 0, 0, FieldMap::kSheetWidth, 880), 0);
    }
};

QTEST_MAIN(SheetDrawingTest)
#include "tst_sheet_drawing.moc"
