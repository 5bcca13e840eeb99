// Display widths in half-width cells and the decoding of the engine's texts,
// which size the workbook's columns and align the report's lines.
#include "formats/TextCells.h"

#include <QTest>

using namespace brenvoll;

class TextCellsTest : public QObject
{
    Q_OBJECT
private slots:
    void cells_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("cells");
        QTest::newRow("empty") << QString() << 0;
        QTest::newRow("ascii") << QStringLiteral("A001 x") << 6;
        QTest::newRow("han") << QStringLiteral("张三") << 4;
        QTest::newRow("mixed") << QStringLiteral("张三A") << 5;
        QTest::newRow("ideographic punctuation") << QStringLiteral("、。") << 4;
        QTest::newRow("full-width letter") << QStringLiteral("Ａ") << 2;
        QTest::newRow("half-width katakana") << QStringLiteral("ｱ") << 1;
        QTest::newRow("hangul") << QStringLiteral("한") << 2;
        QTest::newRow("extension B, one character") << QString::fromUcs4(U"\U00020000") << 2;
        QTest::newRow("latin accent") << QStringLiteral("é") << 1;
    }
    void cells()
    {
        QFETCH(QString, text);
        QFETCH(int, cells);
        QCOMPARE(displayCells(text), cells);
    }

    // Texts in the database that are not well-formed UTF-8 (written by other
    // programs) are decoded and measured as Qt decodes them.
    void utf8AsQtDecodesIt_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("wide and narrow") << QByteArray("A\xe5\xbc\xa0\xc3\xa9\xf0\xa0\x80\x80");
        QTest::newRow("stray continuation") << QByteArray("a\x80"
                                                          "b");
        QTest::newRow("cut sequence") << QByteArray("\xe5\xbc");
        QTest::newRow("bad lead") << QByteArray("\xff\xfe");
        QTest::newRow("overlong") << QByteArray("\xc0\xaf\xe0\x80\xaf");
        QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80");
        QTest::newRow("past U+10FFFF") << QByteArray("\xf4\x90\x80\x80");
        QTest::newRow("byte order mark") << QByteArray("\xef\xbb\xbf\xe5\xbc\xa0");
        QTest::newRow("non-characters") << QByteArray("\xef\xbf\xbe\xef\xbf\xbf");
    }
    void utf8AsQtDecodesIt()
    {
        QFETCH(QByteArray, bytes);
        QString text = QStringLiteral("a longer text from before");
        const int cells = decodeUtf8(bytes, text);
        QCOMPARE(text, QString::fromUtf8(bytes));
        QCOMPARE(cells, displayCells(text));
    }

    void cutNeverSplitsACharacter()
    {
        const QString text = QStringLiteral("a") + QString::fromUcs4(U"\U00020000") + QStringLiteral("b");
        QCOMPARE(leftChars(text, 2), text.left(3));
        QCOMPARE(leftChars(text, 10), text);
        QCOMPARE(leftChars(text, 0), QString());
    }
};

QTEST_MAIN(TextCellsTest)
#include "tst_textcells.moc"
