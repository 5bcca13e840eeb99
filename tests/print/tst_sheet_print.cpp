// The sheet on paper: what MainWindow::printSheet prints, read back by poppler's tools
// from the PDF that the real print path writes (A4, full page).
#include "PdfText.h"
#include "TestSupport.h"
#include "app/EncodedText.h"
#include "app/MessageBox.h"
#include "app/SettingsWindow.h"
#include "mainwindow/MainWindow.h"
#include "print/SheetPrinter.h"
#include "record/SheetView.h"

#include <QLabel>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace brenvoll;

namespace {

const QString kTitle = QStringLiteral("测试卫生院健康体检反馈表");

// Poppler names some ideographs by their radical forms and full-width
// punctuation as it stands; both sides are compared in compatibility form.
QString plain(const QString& text)
{
    return text.normalized(QString::NormalizationForm_KC);
}

const test::PdfWord* wordOf(const QList<test::PdfWord>& words, const QString& text)
{
    for (const test::PdfWord& w : words) {
        if (plain(w.text) == plain(text)) {
            return &w;
        }
    }
    return nullptr;
}

} // namespace

class SheetPrintTest : public QObject
{
    Q_OBJECT

private:
    test::TestFolder m_folder;
    MainWindow* m_main = nullptr;
    std::unique_ptr<QTemporaryDir> m_out;

    QLineEdit* box(Field field) { return m_main->box(field); }
    static void setMargins(const QString& left, const QString& top)
    {
        SettingsWindow::get()->leftMarginBox()->setText(left);
        SettingsWindow::get()->topMarginBox()->setText(top);
    }
    // Prints the sheet through printSheet; the one page of the one job.
    QList<test::PdfWord> printOnce(QString* file = nullptr)
    {
        m_main->printSheet();
        const QStringList jobs = test::printedJobs(m_out->path());
        if (jobs.size() != 1) {
            qWarning("expected one print job, found %d", int(jobs.size()));
            return {};
        }
        if (file) {
            *file = jobs.first();
        }
        const auto pages = test::pdfWords(jobs.first());
        if (pages.size() != 1) {
            qWarning("expected one page, found %d", int(pages.size()));
            return {};
        }
        return pages.first();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_folder.open());
        MessageBox::setAnswerMode(true);
        setSheetTitle(kTitle);
        m_main = new MainWindow();
        m_main->loadOnStart();
    }
    void init()
    {
        m_out = std::make_unique<QTemporaryDir>();
        PrintTarget::usePdfFolder(m_out->path());
        for (const BoxDef& def : FieldMap::boxes()) {
            box(def.field)->clear();
        }
        setMargins(QStringLiteral("0"), QStringLiteral("0"));
    }
    void cleanup() { QCOMPARE(MessageBox::takeShown().size(), 0); }
    void cleanupTestCase()
    {
        delete m_main;
        PrintTarget::useDefaultPrinter();
    }

    // The caption "姓名" stands at 840, 1740 twips on the sheet; the margins move
    // it, read from the settings window's fields as typed.
    void marginsMoveTheSheet_data()
    {
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("top");
        QTest::addColumn<double>("x"); // twips
        QTest::addColumn<double>("y");
        QTest::newRow("none") << "0"
                              << "0" << 840.0 << 1740.0;
        QTest::newRow("10 mm") << "10"
                               << "10" << 1407.0 << 2307.0;
        QTest::newRow("number then letters") << "12.5ab"
                                             << "0" << 840.0 + 708.75 << 1740.0;
        QTest::newRow("letters and empty") << "abc"
                                           << "" << 840.0 << 1740.0;
        QTest::newRow("blanks inside") << "1 5"
                                       << " 2\t0" << 840.0 + 850.5 << 1740.0 + 1134.0;
        QTest::newRow("negative") << "-10"
                                  << "-10" << 840.0 - 567.0 << 1740.0 - 567.0;
    }
    void marginsMoveTheSheet()
    {
        QFETCH(QString, left);
        QFETCH(QString, top);
        QFETCH(double, x);
        QFETCH(double, y);
        setMargins(left, top);
        const auto words = printOnce();
        const test::PdfWord* name = wordOf(words, QStringLiteral("姓名"));
        QVERIFY(name);
        QVERIFY2(qAbs(name->box.left() * 20 - x) < 0.5, qPrintable(QString::number(name->box.left() * 20)));
        QVERIFY2(qAbs(name->box.top() * 20 - y) < 0.5, qPrintable(QString::number(name->box.top() * 20)));
    }

    // The sheet prints what it shows now, typed but unsaved, each text with
    // its top-left corner at its box.
    void boxTextsPrintAtTheirBoxes()
    {
        box(Field::Name)->setText(QStringLiteral("张三"));
        box(Field::Conclusion)->setText(QStringLiteral("建议复查"));
        const auto words = printOnce();
        const test::PdfWord* name = wordOf(words, QStringLiteral("张三"));
        const test::PdfWord* conclusion = wordOf(words, QStringLiteral("建议复查"));
        QVERIFY(name);
        QVERIFY2(conclusion, qPrintable(test::pageText(words)));
        QCOMPARE(qRound(name->box.left() * 20), 2040);
        QCOMPARE(qRound(name->box.top() * 20), 1740);
        QCOMPARE(qRound(conclusion->box.left() * 20), 2040);
        QCOMPARE(qRound(conclusion->box.top() * 20), 14160);
    }

    // The record key, the signature date with its caption "日期：" and line 26
    // hold or show something but never print; empty boxes print nothing at all.
    void hiddenElementsAndEmptyBoxesAreAbsent()
    {
        box(Field::Key)->setText(QStringLiteral("键值隐藏"));
        box(Field::SignatureDate)->setText(QStringLiteral("日期隐藏"));
        QString file;
        const auto words = printOnce(&file);
        QVERIFY(wordOf(words, QStringLiteral("姓名")));
        QVERIFY(!wordOf(words, QStringLiteral("键值隐藏")));
        QVERIFY(!wordOf(words, QStringLiteral("日期隐藏")));
        QVERIFY(!wordOf(words, QStringLiteral("日期：")));
        for (const test::PdfWord& w : words) {
            // Nothing stands below the signature line's captions (762 pt).
            QVERIFY2(w.box.top() < 770, qPrintable(w.text));
            // No word starts inside a visible box: those are all empty.
            for (const BoxDef& def : FieldMap::boxes()) {
                const double x = w.box.left() * 20, y = w.box.top() * 20;
                const bool inBox = def.visible && x >= def.rect.left && x < def.rect.left + def.rect.width &&
                                   qAbs(y - def.rect.top) < 20;
                QVERIFY2(!inBox, qPrintable(w.text + QStringLiteral(" in ") + def.objectName()));
            }
        }

        // Line 25 (y 15120) is drawn across the sheet, line 26 (y 16080) is not.
        const QImage page = test::pdfPage(file, 144);
        QVERIFY(!page.isNull());
        auto darkAlong = [&page](int yTwips) {
            int dark = 0;
            const int y = qRound(yTwips / 10.0);
            for (int x = 72; x <= 1104; ++x) {
                int darkest = 255;
                for (int dy = -1; dy <= 1; ++dy) {
                    darkest = qMin(darkest, qGray(page.pixel(x, y + dy)));
                }
                dark += darkest < 160 ? 1 : 0;
            }
            return dark;
        };
        QVERIFY(darkAlong(15120) > 1000);
        QCOMPARE(darkAlong(16080), 0);
    }

    // Whatever the screen hides at the moment of printing is left out, and a
    // font changed on screen prints changed.
    void printsWhatTheScreenShows()
    {
        QLabel* address = m_main->sheet()->caption(9); // "地址"
        QLabel* name = m_main->sheet()->caption(0);    // "姓名"
        const QFont before = name->font();
        address->hide();
        QFont bigger = before;
        bigger.setPointSizeF(18);
        name->setFont(bigger);
        const auto words = printOnce();
        address->show();
        name->setFont(before);
        QVERIFY(!wordOf(words, QStringLiteral("地址")));
        const test::PdfWord* printedName = wordOf(words, QStringLiteral("姓名"));
        const test::PdfWord* sex = wordOf(words, QStringLiteral("性别"));
        QVERIFY(printedName && sex);
        QVERIFY(printedName->box.height() > sex->box.height() * 1.4);
    }

    // A text longer than its box runs on, whole, on one line.
    void longTextPrintsWhole()
    {
        const QString longText = QStringLiteral("社区卫生服务站值班电话");
        box(Field::Telephone)->setText(longText); // 2055 twips wide at 8820
        const auto words = printOnce();
        const test::PdfWord* phone = wordOf(words, longText);
        QVERIFY2(phone, qPrintable(test::pageText(words)));
        QCOMPARE(qRound(phone->box.left() * 20), 8820);
        QVERIFY(phone->box.right() * 20 > 8820 + 2055 + 480);
    }

    // The title stands centred across the sheet in a larger, bold font.
    void titleIsLargerAndBold()
    {
        QString file;
        const auto words = printOnce(&file);
        const test::PdfWord* title = wordOf(words, kTitle);
        const test::PdfWord* caption = wordOf(words, QStringLiteral("姓名"));
        QVERIFY2(title, qPrintable(test::pageText(words)));
        QVERIFY(caption);
        QVERIFY(title->box.height() > caption->box.height() * 1.6);
        QCOMPARE(qRound(title->box.top() * 20), 900);
        const double centre = (title->box.left() + title->box.right()) * 10;
        QVERIFY2(qAbs(centre - FieldMap::kSheetWidth / 2.0) < 30, qPrintable(QString::number(centre)));
        const QString fonts = test::pdfFonts(file);
        QVERIFY2(fonts.contains(QStringLiteral("Bold")), qPrintable(fonts));
        QVERIFY2(fonts.contains(QStringLiteral("Regular")), qPrintable(fonts));
    }

    // Without a default printer nothing is printed and the operator is told.
    void noPrinterIsReported()
    {
        PrintTarget::useDefaultPrinter();
        if (!QPrinterInfo::defaultPrinter().isNull()) {
            PrintTarget::usePdfFolder(m_out->path());
            QSKIP("this machine has a default printer");
        }
        m_main->printSheet();
        PrintTarget::usePdfFolder(m_out->path());
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().text, kNoPrinterMessage);
        QVERIFY(test::printedJobs(m_out->path()).isEmpty());
    }

    // A page the device refuses is reported, not passed off as printed.
    void refusedPageIsReported()
    {
        PrintTarget::usePdfFolder(m_out->filePath(QStringLiteral("missing/folder")));
        m_main->printSheet();
        PrintTarget::usePdfFolder(m_out->path());
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.first().text.startsWith(QStringLiteral("表格没有打印出来")));
        QCOMPARE(shown.first().icon, QMessageBox::Warning);
    }
};

QTEST_MAIN(SheetPrintTest)
#include "tst_sheet_print.moc"
