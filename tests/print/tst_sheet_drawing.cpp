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
