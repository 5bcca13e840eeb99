// The sheet on paper: what MainWindow::printSheet prints, read back by poppler's tools
// from the PDF that the real print path writes (A4, full page).
#include "PdfText.h"
#include "TestSupport.h"
#include "base/Clock.h"
#include "base/EncodedText.h"
#include "base/ProgramPaths.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MainWindowPrint.h"
#include "print/PdfTextMap.h"
#include "print/SheetPdf.h"
#include "print/SheetPrinter.h"
#include "settings/SettingsWindow.h"
#include "sheet/SheetView.h"
#include "storage/Database.h"
#include "storage/ServerConfig.h"
#include "ui/MessageBox.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>

using namespace brenvoll;

namespace {

const QString kTitle = QStringLiteral("测试卫生院健康体检反馈表");

const test::PdfWord* wordOf(const QList<test::PdfWord>& words, const QString& text)
{
    for (const test::PdfWord& w : words) {
        if (w.text == text) {
            return &w;
        }
    }
    return nullptr;
}

// Words with their places in twips, as poppler reads them from a page.
QStringList placedWords(const QList<test::PdfWord>& words)
{
    QStringList placed;
    for (const test::PdfWord& w : words) {
        placed << QStringLiteral("%1@%2,%3")
                      .arg(w.text)
                      .arg(qRound(w.box.left() * 20))
                      .arg(qRound(w.box.top() * 20));
    }
    return placed;
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// A PDF of one page showing the codes 0x05 and 0x19 in a font whose text
// map gives the first as a range of one code and the second as the last code
// of a range of ten, laid out as Qt lays its files out.
QByteArray pdfWithRanges()
{
    const QByteArray map = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                           "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n"
                           "2 beginbfrange\n<0005> <0005> <2EC6>\n<0010> <0019> <0030>\nendbfrange\n"
                           "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    const QByteArray content = "BT /F1 24 Tf 72 700 Td <00050019> Tj ET\n";
    const QList<QByteArray> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font << /F1 4 0 R >> >> "
        "/Contents 5 0 R >>",
        "<< /Type /Font /Subtype /Type0 /BaseFont /Test /Encoding /Identity-H /DescendantFonts [6 0 R] "
        "/ToUnicode 7 0 R >>",
        "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "endstream",
        "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /Test /CIDSystemInfo << /Registry (Adobe) "
        "/Ordering (Identity) /Supplement 0 >> /DW 1000 >>",
        "<< /Length " + QByteArray::number(map.size()) + " >>\nstream\n" + map + "endstream",
    };
    QByteArray file = "%PDF-1.4\n";
    QList<qsizetype> offsets;
    for (qsizetype i = 0; i < objects.size(); ++i) {
        offsets << file.size();
        file += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = file.size();
    file += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const qsizetype offset : offsets) {
        file += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    }
    file += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
            QByteArray::number(xref) + "\n%%EOF\n";
    return file;
}

// Writes files of at most `bytes` bytes until it goes out of scope, as a
// full disk does.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        const rlimit limit{bytes, m_old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old{};
};

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

    // A value flagged red on screen prints as it would unflagged: the same
    // words in the same places, the same page.
    void flaggedValuePrintsUnchanged()
    {
        QLineEdit* cells = box(Field::WhiteCells);
        cells->setText(QStringLiteral("12.5"));
        QCOMPARE(cells->palette().color(QPalette::Text), QColor(Qt::red));
        QString flaggedFile, plainFile;
        const auto flagged = printOnce(&flaggedFile);
        QVERIFY2(wordOf(flagged, QStringLiteral("12.5")), qPrintable(test::pageText(flagged)));
        QPalette blue = cells->palette(); // as an unflagged box looks
        blue.setColor(QPalette::Text, QColor(0, 0, 255));
        cells->setPalette(blue);
        cells->setToolTip(QString());
        const auto flaggedFolder = std::move(m_out);
        m_out = std::make_unique<QTemporaryDir>();
        PrintTarget::usePdfFolder(m_out->path());
        const auto plain = printOnce(&plainFile);
        QCOMPARE(test::pageText(flagged), test::pageText(plain));
        for (qsizetype i = 0; i < flagged.size(); ++i) {
            QCOMPARE(flagged[i].box, plain[i].box);
        }
        QCOMPARE(test::pdfPage(flaggedFile, 144), test::pdfPage(plainFile, 144));
    }

    // A box text may run on past its box into the blank of its row; one that
    // would reach the next caption, box or ruling line prints smaller so that
    // it ends before it, down to 60 % of its size, then on two lines at that
    // size, and at last cut short with "…". Texts that fit keep their size
    // and place. The operator is told once, before the page prints.
    void longTextsFitTheirRoom()
    {
        const QString number = QStringLiteral("201605070001"); // before line 35 and "地址"
        const QString phrase = QStringLiteral("心律齐，各瓣膜听诊区未闻及杂音"); // a delivered phrase
        const QString twoLines = phrase + QStringLiteral("腹软，无压痛，肝脾肋下未触及");
        const QString tooLong = twoLines + twoLines;
        box(Field::Name)->setText(QStringLiteral("张三"));
        box(Field::Height)->setText(QStringLiteral("170.5")); // past its box, short of "cm"
        box(Field::Number)->setText(number);
        box(Field::Heart)->setText(phrase);                  // up to line 29 at 6660
        box(Field::Alt)->setText(QStringLiteral("1234.56")); // up to its caption's "U/L(0-40)"
        box(Field::Abdomen)->setText(twoLines);              // up to the frame at 11040
        const auto words = printOnce();
        auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().text,
                 QStringLiteral("有 4 个方框的文字太长，已缩小打印：编号、心脏、腹部器官、谷丙转氨酶。"));

        const test::PdfWord* caption = wordOf(words, QStringLiteral("姓名"));
        QVERIFY(caption);
        const double ownHeight = caption->box.height();
        auto twips = [](double points) { return points * 20; };
        // As designed: the name, and the height running on past its box.
        for (const auto& [text, left] :
             {std::pair{QStringLiteral("张三"), 2040}, {QStringLiteral("170.5"), 3420}}) {
            const test::PdfWord* word = wordOf(words, text);
            QVERIFY2(word, qPrintable(text + QStringLiteral(" in ") + test::pageText(words)));
            QCOMPARE(qRound(twips(word->box.left())), left);
            QCOMPARE(word->box.height(), ownHeight);
        }
        QVERIFY(twips(wordOf(words, QStringLiteral("170.5"))->box.right()) > 3420 + 495);

        // One line in a smaller size, ending before the next thing on the row,
        // on the baseline of the row's caption: it keeps more room above than
        // below, as a font's ascent is to its descent.
        const test::PdfWord* unit = wordOf(words, QStringLiteral("U/L(0-40)"));
        QVERIFY(unit);
        const QList<std::tuple<Field, QString, double, QString>> shrunk = {
            {Field::Number, number, 3300, QStringLiteral("编号")},
            {Field::Heart, phrase, 6660, QStringLiteral("心脏")},
            {Field::Alt, QStringLiteral("1234.56"), twips(unit->box.left()), unit->text}};
        for (const auto& [field, text, right, rowCaption] : shrunk) {
            const test::PdfWord* word = wordOf(words, text);
            const test::PdfWord* row = wordOf(words, rowCaption);
            QVERIFY2(word && row, qPrintable(text + QStringLiteral(" in ") + test::pageText(words)));
            QCOMPARE(qRound(twips(word->box.left())), FieldMap::box(field).rect.left);
            // Clear of it by a quarter of the size, or filling its own box,
            // and as large as that lets it be.
            const double end =
                qMax(right - 60, double(FieldMap::box(field).rect.left + FieldMap::box(field).rect.width));
            QVERIFY2(twips(word->box.right()) <= end + 1, qPrintable(text));
            QVERIFY2(twips(word->box.right()) > end - 60, qPrintable(text));
            QVERIFY2(word->box.height() < ownHeight * 0.97, qPrintable(text));
            QVERIFY2(word->box.height() > ownHeight * 0.6 - 0.1, qPrintable(text));
            const double above = word->box.top() - row->box.top();
            const double below = row->box.bottom() - word->box.bottom();
            QVERIFY2(below > 0 && above > 2 * below, qPrintable(text));
        }
        QVERIFY(wordOf(words, number)->box.right() < wordOf(words, QStringLiteral("地址"))->box.left());

        // Too long for one line at 60 %: two lines in the box's height.
        auto linesIn = [](const QList<test::PdfWord>& page, const BoxDef& def) {
            QList<test::PdfWord> lines;
            for (const test::PdfWord& w : page) {
                if (qRound(w.box.left() * 20) == def.rect.left && w.box.top() * 20 >= def.rect.top - 60 &&
                    w.box.bottom() * 20 <= def.rect.top + def.rect.height + 30) {
                    lines.append(w);
                }
            }
            return lines;
        };
        auto abdomen = linesIn(words, FieldMap::box(Field::Abdomen));
        QCOMPARE(abdomen.size(), 2);
        QCOMPARE(abdomen[0].text + abdomen[1].text, twoLines);
        QVERIFY(abdomen[1].box.top() - abdomen[0].box.top() > abdomen[0].box.height() * 0.7);
        for (const test::PdfWord& line : abdomen) {
            QVERIFY(twips(line.box.right()) <= 11040 - 60 + 1);
            QVERIFY(qAbs(line.box.height() - ownHeight * 0.6) < 0.2);
        }

        // Longer still: the second line ends in "…"; the sheet says so.
        box(Field::Respiratory)->setText(tooLong);
        m_out = std::make_unique<QTemporaryDir>();
        PrintTarget::usePdfFolder(m_out->path());
        const auto cut = linesIn(printOnce(), FieldMap::box(Field::Respiratory));
        shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(
            shown.first().text,
            QStringLiteral("有 5 个方框的文字太长，已截断：编号、呼吸系统、心脏、腹部器官、谷丙转氨酶。"));
        QCOMPARE(cut.size(), 2);
        QVERIFY2(cut[1].text.endsWith(QStringLiteral("…")), qPrintable(cut[1].text));
        QVERIFY(tooLong.startsWith(cut[0].text + cut[1].text.chopped(1)));
        QVERIFY(cut[0].text.size() + cut[1].text.size() > 40);
        for (const test::PdfWord& line : cut) {
            QVERIFY(twips(line.box.right()) <= 6660 - 60 + 1);
        }
    }

    // The preview and the export tell of fitted texts as printing does: once,
    // before the page is drawn for the operator, and not again when the
    // preview draws its page anew or prints it; nothing where no page goes out.
    void fittedTextsAreToldOnce()
    {
        box(Field::Number)->setText(QStringLiteral("201605070001"));
        const QString told = QStringLiteral("有 1 个方框的文字太长，已缩小打印：编号。");

        m_main->menuBar()->findChild<QAction*>(QStringLiteral("打印预览"))->trigger();
        auto* dialog = m_main->findChild<QPrintPreviewDialog*>(QStringLiteral("sheetPreview"));
        QVERIFY(dialog && dialog->isVisible());
        auto* preview = dialog->findChild<QPrintPreviewWidget*>();
        preview->updatePreview();
        const QString previewed = m_out->filePath(QStringLiteral("previewed.pdf"));
        dialog->printer()->setOutputFileName(previewed);
        preview->print();
        dialog->close();
        auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().text, told);
        const QList<test::PdfWord> previewedWords = test::pdfWords(previewed).value(0);
        const test::PdfWord* number = wordOf(previewedWords, QStringLiteral("201605070001"));
        QVERIFY(number);
        QVERIFY(number->box.right() * 20 <= 2040 + 1215 + 1);

        const QString exported = m_out->filePath(QStringLiteral("导出.pdf"));
        FileDialogs::queuePath(exported);
        exportSheetToPdf(*m_main);
        FileDialogs::queuePath(QString()); // cancelled: nothing is written, nothing told
        exportSheetToPdf(*m_main);
        shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].text, told);
        QCOMPARE(shown[1].text, QStringLiteral("已导出到文件“%1”。").arg(exported));
        QCOMPARE(test::pdfWords(exported).value(0).size(), test::pdfWords(previewed).value(0).size());
        QCOMPARE(FileDialogs::takeProposed().size(), 2);

        PrintTarget::useDefaultPrinter();
        if (QPrinterInfo::defaultPrinter().isNull()) {
            m_main->printSheet();
            shown = MessageBox::takeShown();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown.first().text, kNoPrinterMessage);
        }
        PrintTarget::usePdfFolder(m_out->path());
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

    // A filled sheet exported as PDF reads back as typed, digits, Latin and
    // ideographs alike, on one A4 page that is the printed page word for word.
    void exportedPdfIsThePrintedPage()
    {
        const QList<std::pair<Field, QString>> typed = {
            {Field::Name, QStringLiteral("张三")},
            {Field::Age, QStringLiteral("45")},
            {Field::ExamDate, QStringLiteral("2016-05-07")},
            {Field::Height, QStringLiteral("170")},
            {Field::Alt, QStringLiteral("32")},
            {Field::Conclusion, QStringLiteral("身高门诊BP120/80mmHg")}};
        for (const auto& [field, text] : typed) {
            box(field)->setText(text);
        }
        setMargins(QStringLiteral("10"), QStringLiteral("5"));
        const auto printed = printOnce();
        Clock::setFixed(QDateTime(QDate(2026, 12, 7), QTime(9, 0)));
        FileDialogs::queuePath(m_out->filePath(QStringLiteral("张三")));
        exportSheetToPdf(*m_main);
        box(Field::ExamDate)->clear();
        exportSheetToPdf(*m_main); // cancelled in the dialog
        Clock::reset();
        QStringList proposed;
        for (const QString& path : FileDialogs::takeProposed()) {
            proposed << QFileInfo(path).fileName();
        }
        QCOMPARE(proposed,
                 (QStringList{QStringLiteral("张三_2016-05-07.pdf"), QStringLiteral("张三_2026-12-07.pdf")}));
        const QString file = m_out->filePath(QStringLiteral("张三.pdf"));
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.first().text.contains(file));

        const auto pages = test::pdfWords(file);
        QCOMPARE(pages.size(), 1);
        QCOMPARE(placedWords(pages.first()), placedWords(printed));
        for (const auto& [field, text] : typed) {
            const test::PdfWord* word = wordOf(pages.first(), text);
            QVERIFY2(word, qPrintable(text + QStringLiteral(" in ") + test::pageText(pages.first())));
            QCOMPARE(qRound(word->box.left() * 20), FieldMap::box(field).rect.left + 567);
            QVERIFY(qAbs(word->box.top() * 20 - (FieldMap::box(field).rect.top + 283.5)) < 1);
        }
        QVERIFY(wordOf(pages.first(), QStringLiteral("×10^/L(4.0-10.0)")));
        const QString info = test::pdfInfo(file);
        QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))), qPrintable(info));
        QVERIFY(info.contains(QRegularExpression(QStringLiteral("Page size:\\s+595 x 842 pts \\(A4\\)"))));
        QVERIFY(info.contains(QRegularExpression(QStringLiteral("Title:\\s+") + kTitle)));
        QVERIFY(info.contains(QRegularExpression(QStringLiteral("Creator:\\s+\\S"))));
        // Every font embedded as a subset, with its text map.
        const QStringList fonts = test::pdfFonts(file).split(u'\n', Qt::SkipEmptyParts).mid(2);
        QCOMPARE(fonts.size(), 2);
        for (const QString& font : fonts) {
            QVERIFY2(font.contains(QRegularExpression(QStringLiteral("yes\\s+yes\\s+yes"))),
                     qPrintable(font));
        }
    }

    // A file that cannot be written leaves nothing behind, a file that is
    // there is replaced only when the operator agrees, and the message names
    // the file and the reason.
    void failedExportLeavesNoFile()
    {
        const QString missing = m_out->filePath(QStringLiteral("无此文件夹/表.pdf"));
        FileDialogs::queuePath(missing);
        exportSheetToPdf(*m_main);
        auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().text.startsWith(
                     QStringLiteral("无法导出到文件“%1”：无法在该文件夹中创建文件").arg(missing)),
                 qPrintable(shown.first().text));

        const QString earlier = m_out->filePath(QStringLiteral("表.pdf"));
        QFile file(earlier);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("earlier") == 7);
        file.close();
        MessageBox::queueAnswer(QMessageBox::No);
        FileDialogs::queuePath(earlier);
        exportSheetToPdf(*m_main);
        {
            const FileSizeLimit fullDisk(4096);
            FileDialogs::queuePath(earlier);
            exportSheetToPdf(*m_main);
        }
        shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown[0].text, QStringLiteral("文件“%1”已存在，要替换它吗？").arg(earlier));
        QCOMPARE(shown[1].text, shown[0].text);
        QVERIFY2(
            shown[2].text.startsWith(
                QStringLiteral("无法导出到文件“%1”：写入文件时出错：文件太大，该磁盘存不下").arg(earlier)),
            qPrintable(shown[2].text));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("earlier"));
        QCOMPARE(QDir(m_out->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{QStringLiteral("表.pdf")});
    }

    // The preview draws the sheet as it prints, on the printed page; printing
    // from it goes to the printer chosen there.
    void previewIsThePrintedPage()
    {
        box(Field::Name)->setText(QStringLiteral("张三"));
        setMargins(QStringLiteral("10"), QStringLiteral("10"));
        const auto printed = printOnce();
        m_main->menuBar()->findChild<QAction*>(QStringLiteral("打印预览"))->trigger();
        auto* dialog = m_main->findChild<QPrintPreviewDialog*>(QStringLiteral("sheetPreview"));
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("打印预览"));
        auto* preview = dialog->findChild<QPrintPreviewWidget*>();
        QCOMPARE(preview->pageCount(), 1);
        const QString file = m_out->filePath(QStringLiteral("chosen.pdf"));
        dialog->printer()->setOutputFileName(file);
        preview->print();
        dialog->close();
        QCOMPARE(placedWords(test::pdfWords(file).value(0)), placedWords(printed));
    }

    // A name the operator chose that is a link gets the new file in its
    // place, and what the link led to stays as it was. A name that is, or
    // leads to, one of the program's own files is refused before anything is
    // written, though the operator would agree to replace it; so is printing
    // into such a file from the preview.
    void exportsReplaceLinksAndSpareTheProgramsFiles()
    {
        box(Field::Name)->setText(QStringLiteral("张三"));
        const QString database = Database::filePath();
        const QString drafts = draftsPath(database);
        const QStringList own = {database, drafts, QCoreApplication::applicationFilePath(),
                                 serverConfigPath(programFolder())};
        QList<QByteArray> before;
        for (const QString& file : own) {
            before << contentOf(file);
        }
        const QString link = m_out->filePath(QStringLiteral("链接.pdf"));
        const auto refused = [&](const QString& what) {
            const auto shown = MessageBox::takeShown();
            if (shown.size() != 1 || shown[0].icon != QMessageBox::Warning ||
                !shown[0].text.startsWith(
                    QStringLiteral("无法导出到文件“%1”：这是本程序自己的文件").arg(link))) {
                qWarning() << what << (shown.isEmpty() ? QString() : shown.last().text);
                return false;
            }
            return true;
        };
        for (const QString& file : own) {
            QFile::remove(link);
            QVERIFY(QFile::link(file, link));
            FileDialogs::queuePath(link); // the replace question would be answered 是
            exportSheetToPdf(*m_main);
            QVERIFY(refused(file));
            QVERIFY(QFileInfo(link).isSymbolicLink());
        }
        // Another name of the database file itself.
        QFile::remove(link);
        std::filesystem::create_hard_link(database.toStdString(), link.toStdString());
        FileDialogs::queuePath(link);
        exportSheetToPdf(*m_main);
        QVERIFY(refused(QStringLiteral("hard link")));
        QFile::remove(link);

        // The preview draws its pages while a file name is set, and prints
        // into the file only when asked to.
        m_main->menuBar()->findChild<QAction*>(QStringLiteral("打印预览"))->trigger();
        auto* dialog = m_main->findChild<QPrintPreviewDialog*>(QStringLiteral("sheetPreview"));
        QVERIFY(dialog);
        auto* preview = dialog->findChild<QPrintPreviewWidget*>();
        QVERIFY(QFile::link(database, link));
        dialog->printer()->setOutputFileName(link);
        preview->updatePreview();
        QCOMPARE(preview->pageCount(), 1);
        QVERIFY(MessageBox::takeShown().isEmpty());
        preview->print();
        QVERIFY(refused(QStringLiteral("preview")));
        QVERIFY(QFileInfo(link).isSymbolicLink());
        for (qsizetype i = 0; i < own.size(); ++i) {
            QVERIFY2(contentOf(own[i]) == before[i], qPrintable(own[i]));
        }
        QVERIFY(QFileInfo::exists(drafts) == !before[1].isEmpty() || QFileInfo(drafts).size() == 0);

        // A link to any other file: the PDF takes the link's place.
        const QString other = m_out->filePath(QStringLiteral("别的文件.txt"));
        QVERIFY(writeFile(other, "the operator's own file"));
        const QString toOther = m_out->filePath(QStringLiteral("别处.pdf"));
        for (const bool fromPreview : {false, true}) {
            QFile::remove(toOther);
            QVERIFY(QFile::link(other, toOther));
            if (fromPreview) {
                dialog->printer()->setOutputFileName(toOther);
                preview->print();
            } else {
                FileDialogs::queuePath(toOther);
                exportSheetToPdf(*m_main);
            }
            const auto shown = MessageBox::takeShown();
            QCOMPARE(shown.size(), fromPreview ? 0 : 2); // the replace question, the notice
            QCOMPARE(contentOf(other), QByteArray("the operator's own file"));
            QVERIFY(!QFileInfo(toOther).isSymbolicLink());
            QVERIFY(contentOf(toOther).startsWith("%PDF-"));
            QVERIFY(wordOf(test::pdfWords(toOther).value(0), QStringLiteral("张三")));
        }
        dialog->close();
    }

    // Characters beyond U+FFFF (an ideograph of the supplementary planes, an
    // emoji) are found in the PDF as typed, exported or printed, beside the
    // characters the same fonts draw up to U+FFFF.
    void supplementaryCharactersAreFound()
    {
        const QString name = QString::fromUcs4(U"\U00020BB7野家");
        const QString conclusion = QString::fromUcs4(U"心情\U0001F600良好\U0002000B");
        box(Field::Name)->setText(name);
        box(Field::Conclusion)->setText(conclusion);
        const QString file = m_out->filePath(QStringLiteral("表.pdf"));
        FileDialogs::queuePath(file);
        exportSheetToPdf(*m_main);
        QCOMPARE(MessageBox::takeShown().size(), 1);
        for (const auto& words : {test::pdfWords(file).value(0), printOnce()}) {
            QVERIFY2(wordOf(words, name), qPrintable(test::pageText(words)));
            QVERIFY2(wordOf(words, conclusion), qPrintable(test::pageText(words)));
            QVERIFY(wordOf(words, QStringLiteral("姓名")));
        }
    }

    // A name longer than a file name may be is proposed shortened between
    // characters, keeping the date and ".pdf", and the export to it works;
    // a chosen name that cannot be a file name is refused for that reason.
    void longNamesFitTheFileSystem()
    {
        const QString name =
            QString::fromUcs4(U"\U00020BB7").repeated(70) + QStringLiteral("张").repeated(20);
        box(Field::Name)->setText(name);
        box(Field::ExamDate)->setText(QStringLiteral("2016-05-07"));
        FileDialogs::takeProposed();
        FileDialogs::queuePath(QString());
        exportSheetToPdf(*m_main);
        const QString proposed = QFileInfo(FileDialogs::takeProposed().value(0)).fileName();
        QVERIFY2(QFile::encodeName(proposed).size() <= 255, qPrintable(proposed));
        QVERIFY(QFile::encodeName(proposed).size() > 250);
        QVERIFY(proposed.endsWith(QStringLiteral("_2016-05-07.pdf")));
        QVERIFY(name.startsWith(proposed.left(proposed.size() - 15)));

        FileDialogs::queuePath(m_out->filePath(proposed));
        exportSheetToPdf(*m_main);
        // The name does not fit its box: it is told once as shortened, then
        // the export is told.
        auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 2);
        QVERIFY2(shown[0].text.contains(QStringLiteral("文字太长")), qPrintable(shown[0].text));
        QCOMPARE(shown[1].icon, QMessageBox::NoIcon);
        const auto words = test::pdfWords(m_out->filePath(proposed)).value(0);
        QVERIFY(std::any_of(words.begin(), words.end(), [&name](const test::PdfWord& w) {
            QString drawn = w.text;
            drawn.remove(QStringLiteral("…"));
            return drawn.size() > 4 && name.startsWith(drawn); // the fitted name ends in "…"
        }));

        const QString tooLong = m_out->filePath(QStringLiteral("长").repeated(90));
        FileDialogs::queuePath(tooLong);
        exportSheetToPdf(*m_main);
        shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 2);
        QVERIFY2(shown[1].text.contains(QStringLiteral("文件名太长")), qPrintable(shown[1].text));
        QCOMPARE(QDir(m_out->path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    // The text map repair keeps every code of the ranges Qt may write: a range
    // of one code and the last code of a longer range, read back by poppler.
    void textMapRangesKeepTheirBounds()
    {
        const QByteArray repaired =
            pdf::repairTextMaps(pdfWithRanges(), {{char16_t(0x2EC6), char16_t(0x89D2)}});
        QVERIFY(repaired != pdfWithRanges()); // the radical became its ideograph
        const QString file = m_out->filePath(QStringLiteral("ranges.pdf"));
        QVERIFY(writeFile(file, repaired));
        const auto words = test::pdfWords(file).value(0);
        QCOMPARE(test::pageText(words), QStringLiteral("角9"));
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
