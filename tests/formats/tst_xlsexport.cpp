// The export of the report to an .xls workbook, read back by xlrd.
#include "ReportTestSupport.h"
#include "TestSupport.h"
#include "WorkbookReader.h"
#include "base/Clock.h"
#include "base/ProgramPaths.h"
#include "formats/Biff8Workbook.h"
#include "formats/XlsExport.h"
#include "reports/ReportModel.h"
#include "reports/ReportWindow.h"
#include "storage/Database.h"
#include "ui/MessageBox.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QHashFunctions>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace brenvoll;

namespace {
const QStringList kHeader = {QStringLiteral("编号"), QStringLiteral("姓名"),     QStringLiteral("性别"),
                             QStringLiteral("年龄"), QStringLiteral("电话号码"), QStringLiteral("体检结论")};
const QString kDateMessage = QStringLiteral("请填写正确格式的起止日期！日期格式为“2016-01-03”。");

test::ReportRecord rec(int i, const QString& conclusion = QStringLiteral("正常"))
{
    const QDateTime at(QDate(2016, 3, 1), QTime(8, 0));
    return {at.addSecs(i).toString(QStringLiteral("yyyyMMddHHmmss")),
            QStringLiteral("2016-03-01"),
            QStringLiteral("东街%1号").arg(i),
            QStringLiteral("A%1").arg(i, 5, 10, QLatin1Char('0')),
            i % 2 ? QStringLiteral("张三") : QStringLiteral("Li Si"),
            i % 2 ? QStringLiteral("男") : QStringLiteral("女"),
            QString::number(20 + i % 60),
            QStringLiteral("1380013%1").arg(i % 10000, 4, 10, QLatin1Char('0')),
            conclusion};
}

QStringList cellsOf(const test::ReportRecord& r)
{
    return {r.number, r.name, r.sex, r.age, r.phone, r.conclusion};
}

QStringList strings(const QJsonValue& array)
{
    QStringList out;
    for (const QJsonValue& v : array.toArray()) {
        out << v.toString();
    }
    return out;
}

void closeReportWindow()
{
    if (ReportWindow* form = ReportWindow::loaded()) {
        form->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// Opens the report window on the whole of March 2016.
ReportWindow* openOnMarch()
{
    ReportWindow* form = ReportWindow::showWindow();
    form->fromDate()->setText(QStringLiteral("2016-03-01"));
    form->toDate()->setText(QStringLiteral("2016-03-31"));
    return form;
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList filesIn(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}
} // namespace

class XlsExportTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        MessageBox::setAnswerMode(true);
        Clock::setFixed(QDateTime(QDate(2016, 5, 7), QTime(9, 0)));
        QVERIFY(m_folder.emplace().open());
        QVERIFY(m_out.emplace().isValid());
    }
    void cleanup()
    {
        closeReportWindow();
        m_folder.reset();
        m_out.reset();
        Clock::reset();
    }

    void numbersOnlyWhereNothingIsLost_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("number");
        QTest::newRow("age") << "45" << true;
        QTest::newRow("zero") << "0" << true;
        QTest::newRow("negative") << "-3" << true;
        QTest::newRow("decimal") << "36.5" << true;
        QTest::newRow("mobile number") << "13800138000" << true;
        QTest::newRow("leading zero") << "0571" << false;
        QTest::newRow("trailing fraction zero") << "36.50" << false;
        QTest::newRow("12 digits") << "123456789012" << false;
        QTest::newRow("ID number") << "11010519491231002X" << false;
        QTest::newRow("date") << "2016-01-03" << false;
        QTest::newRow("exponent") << "1e5" << false;
        QTest::newRow("blank around") << " 45" << false;
        QTest::newRow("minus zero") << "-0" << false;
        QTest::newRow("bare point") << "5." << false;
    }
    void numbersOnlyWhereNothingIsLost()
    {
        QFETCH(QString, text);
        QFETCH(bool, number);
        QCOMPARE(biff8::numberOf(text).has_value(), number);
        if (number) {
            QCOMPARE(*biff8::numberOf(text), text.toDouble());
        }
    }

    // Rows are encoded while they are read: when reading gives up half way,
    // nothing is written and a file of that name stays as it was.
    void givingUpWritesNothing()
    {
        const QString path = m_out->filePath(QStringLiteral("报表.xls"));
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        QString error = QStringLiteral("untouched");
        const bool saved = XlsExport::save(
            path, kHeader,
            [](const XlsExport::AddRow& add) {
                for (int i = 0; i < 10000; ++i) {
                    const QByteArray number = QByteArray::number(i);
                    add(std::array<QByteArrayView, 2>{number, "正常"});
                }
                return false;
            },
            &error);
        QVERIFY(!saved);
        QCOMPARE(error, QStringLiteral("untouched"));
        QCOMPARE(filesIn(m_out->path()), QStringList{QStringLiteral("报表.xls")});
        QCOMPARE(contentOf(path), QByteArray("old"));
    }

    void everyCellComesBack()
    {
        // Long texts cross the shared string table's record limit, in 8- and
        // 16-bit storage, with a surrogate pair near the cut.
        const QString longWide = QStringLiteral("体检结论").repeated(2500);
        const QString longNarrow = QStringLiteral("normal;").repeated(2000);
        const QString pairs = QString::fromUcs4(U"\U00020000").repeated(3000) + QStringLiteral("尾");
        std::vector<test::ReportRecord> records = {rec(1), rec(2, longWide), rec(3, longNarrow),
                                                   rec(4, pairs), rec(5, QStringLiteral("Café ß"))};
        records[0].phone = QStringLiteral("0571-88886666");
        records[1].phone.clear(); // an empty cell
        records[2].age = QStringLiteral("36.5");
        records[3].number = QStringLiteral("0012");
        records[4].name = QStringLiteral("欧阳娜娜");
        for (int i = 6; i < 400; ++i) {
            records.push_back(rec(i, QStringLiteral("结论%1").arg(i)));
        }
        QVERIFY(test::storeAll(records));

        ReportWindow* form = openOnMarch();
        const QString chosen = m_out->filePath(QStringLiteral("报表"));
        FileDialogs::queuePath(chosen);
        form->exportToExcel();
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("文件导出成功！"));
        QCOMPARE(shown[0].icon, QMessageBox::NoIcon);
        QCOMPARE(form->lastExportPath()->text(), chosen);
        QCOMPARE(form->countLabel()->text(), QStringLiteral("计录数：399"));
        QCOMPARE(filesIn(m_out->path()), QStringList{QStringLiteral("报表.xls")});

        QString error;
        const QJsonObject book = test::readWorkbook(chosen + QStringLiteral(".xls"), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const QJsonArray sheets = book[QStringLiteral("sheets")].toArray();
        QCOMPARE(sheets.size(), 1);
        const QJsonObject sheet = sheets[0].toObject();
        const QJsonArray rows = sheet[QStringLiteral("rows")].toArray();
        const QJsonArray kinds = sheet[QStringLiteral("kinds")].toArray();
        QCOMPARE(rows.size(), 1 + int(records.size()));
        QCOMPARE(strings(rows[0]), kHeader);
        QCOMPARE(kinds[0].toString(), QStringLiteral("ssssss"));
        for (size_t k = 0; k < records.size(); ++k) {
            const QStringList expected = cellsOf(records[k]);
            QCOMPARE(strings(rows[int(k) + 1]), expected);
            const QString kind = kinds[int(k) + 1].toString();
            for (int c = 0; c < 6; ++c) {
                const QChar want = expected[c].isEmpty() ? u'e' : biff8::numberOf(expected[c]) ? u'n' : u's';
                QVERIFY2(kind[c] == want, qPrintable(QStringLiteral("row %1 column %2").arg(k + 1).arg(c)));
            }
        }
        QCOMPARE(kinds[1].toString(), QStringLiteral("sssnss")); // the age 21 is a number, "0571-…" text
        QCOMPARE(kinds[2].toString(), QStringLiteral("sssnes"));

        for (const QJsonValue& font : sheet[QStringLiteral("header")].toArray()) {
            QCOMPARE(font[QStringLiteral("bold")].toBool(), true);
            QCOMPARE(font[QStringLiteral("height")].toInt(), 220); // 11 pt
        }
        QCOMPARE(sheet[QStringLiteral("body")][QStringLiteral("bold")].toBool(), false);
    }

    // Excel holds at most 32,767 UTF-16 units in a cell: longer texts are cut
    // there, never inside a surrogate pair, and the operator is told how many.
    void longTextsAreCutAtTheCellLimit()
    {
        std::vector<test::ReportRecord> records;
        QStringList expected;
        for (int length : {32767, 32768, 65536, 70000}) {
            const QString text = QStringLiteral("第%1行").arg(length).leftJustified(length, u'检');
            records.push_back(rec(int(records.size()), text));
            expected << text.left(32767);
        }
        records.push_back(rec(4, QString(32766, u'x') + QString::fromUcs4(U"\U00020000") + u'y'));
        expected << QString(32766, u'x');
        QVERIFY(test::storeAll(records));

        const QString chosen = m_out->filePath(QStringLiteral("长文本"));
        FileDialogs::queuePath(chosen);
        openOnMarch()->exportToExcel();
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("文件导出成功！\n有 4 个单元格超过 32767 个字符，已截断。"));
        QString error;
        const QJsonObject book = test::readWorkbook(chosen + QStringLiteral(".xls"), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const QJsonArray rows = book[QStringLiteral("sheets")][0][QStringLiteral("rows")].toArray();
        QCOMPARE(rows.size(), 1 + expected.size());
        for (qsizetype k = 0; k < expected.size(); ++k) {
            QVERIFY2(rows[k + 1][5].toString() == expected[k], qPrintable(QString::number(k)));
        }
    }

    void columnsFitTheirWidestEntry()
    {
        QList<int> conclusionWidths;
        QList<int> sexWidths;
        for (int length : {2, 10, 40}) {
            closeReportWindow();
            m_folder.emplace();
            QVERIFY(m_folder->open());
            QVERIFY(
                test::storeAll({rec(1, QStringLiteral("甲")), rec(2, QStringLiteral("乙").repeated(length)),
                                rec(3, QStringLiteral("丙"))}));
            const QString chosen = m_out->filePath(QStringLiteral("w%1").arg(length));
            FileDialogs::queuePath(chosen);
            openOnMarch()->exportToExcel();
            QString error;
            const QJsonObject book = test::readWorkbook(chosen + QStringLiteral(".xls"), &error);
            QVERIFY2(error.isEmpty(), qPrintable(error));
            const QJsonObject sheet = book[QStringLiteral("sheets")][0].toObject();
            const QJsonArray widths = sheet[QStringLiteral("widths")].toArray();
            QCOMPARE(widths.size(), 6);
            conclusionWidths << widths[5].toInt();
            sexWidths << widths[2].toInt();
            // Wide enough for the entry: a Chinese character takes two
            // digit widths (256 units each).
            QVERIFY(widths[5].toInt() >= 2 * std::max(length, 4) * 256);
            // The number column holds "A00001", wider than its header.
            QVERIFY(widths[0].toInt() >= 6 * 256);
            QVERIFY(widths[0].toInt() > widths[2].toInt());
        }
        QVERIFY2(conclusionWidths[0] < conclusionWidths[1] && conclusionWidths[1] < conclusionWidths[2],
                 qPrintable(QString::number(conclusionWidths[2])));
        QCOMPARE(sexWidths[0], sexWidths[2]);
    }

    void xlsIsAddedOnlyWhenTheNameLacksIt()
    {
        QVERIFY(test::storeAll({rec(1), rec(2)}));
        const QString existing = m_out->filePath(QStringLiteral("a.xls"));
        QFile file(existing);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("the operator's own workbook");
        file.close();

        // A chosen name that already ends in .xls, in any case, is kept as it
        // is; replacing a file of that name is asked first.
        ReportWindow* form = openOnMarch();
        for (const char* name : {"a.xls", "b.XLS", "c", "d.xlsx"}) {
            FileDialogs::queuePath(m_out->filePath(QString::fromLatin1(name)));
            form->exportToExcel();
        }
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 5);
        QCOMPARE(shown[0].buttons, QMessageBox::Yes | QMessageBox::No);
        QVERIFY(shown[0].text.contains(QDir::toNativeSeparators(existing)));
        QCOMPARE(filesIn(m_out->path()),
                 (QStringList{QStringLiteral("a.xls"), QStringLiteral("b.XLS"), QStringLiteral("c.xls"),
                              QStringLiteral("d.xlsx.xls")}));
        QString error;
        const QJsonObject book = test::readWorkbook(existing, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(book[QStringLiteral("sheets")][0][QStringLiteral("rows")].toArray().size(), 3);
    }

    void replacingAnExistingFileIsAsked()
    {
        QVERIFY(test::storeAll({rec(1)}));
        const QString chosen = m_out->filePath(QStringLiteral("报表"));
        const QString final = chosen + QStringLiteral(".xls");
        QFile file(final);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("old");
        file.close();

        ReportWindow* form = openOnMarch();
        FileDialogs::queuePath(chosen);
        MessageBox::queueAnswer(QMessageBox::No);
        form->exportToExcel();
        auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.contains(QDir::toNativeSeparators(final)));
        QCOMPARE(shown[0].buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(contentOf(final), QByteArray("old"));

        FileDialogs::queuePath(chosen);
        MessageBox::queueAnswer(QMessageBox::Yes);
        form->exportToExcel();
        shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[1].text, QStringLiteral("文件导出成功！"));
        QVERIFY(contentOf(final).startsWith(QByteArray::fromHex("D0CF11E0A1B11AE1")));
        QCOMPARE(filesIn(m_out->path()), QStringList{QStringLiteral("报表.xls")});
    }

    void nothingMatchedWritesNothing()
    {
        QVERIFY(test::storeAll({rec(1)}));
        ReportWindow* form = openOnMarch();
        form->search();
        QCOMPARE(form->countLabel()->text(), QStringLiteral("计录数：1"));
        form->addressFilter()->setText(QStringLiteral("北街"));
        FileDialogs::queuePath(m_out->filePath(QStringLiteral("空")));
        form->exportToExcel();
        QVERIFY(MessageBox::takeShown().isEmpty());
        QVERIFY(filesIn(m_out->path()).isEmpty());
        QCOMPARE(form->countLabel()->text(), QStringLiteral("计录数：0"));
        QCOMPARE(form->report()->count(), 1); // the list stays as the last query left it
    }

    void cancelledDialogDoesNothing()
    {
        QVERIFY(test::storeAll({rec(1)}));
        ReportWindow* form = openOnMarch();
        form->lastExportPath()->setText(QStringLiteral("/earlier/choice"));
        FileDialogs::queuePath(QString());
        form->exportToExcel();
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(form->lastExportPath()->text(), QStringLiteral("/earlier/choice"));
        QCOMPARE(form->countLabel()->text(), QStringLiteral("记录数：0"));
        QVERIFY(filesIn(m_out->path()).isEmpty());
    }

    void exportReadsTheBoxesNotTheList()
    {
        std::vector<test::ReportRecord> records = {rec(1), rec(2)};
        records[1].date = QStringLiteral("2016-04-10");
        QVERIFY(test::storeAll(records));
        ReportWindow* form = openOnMarch();
        form->search();
        QCOMPARE(form->report()->count(), 1);
        form->fromDate()->setText(QStringLiteral("2016-04-01"));
        form->toDate()->setText(QStringLiteral("2016-04-30"));
        const QString chosen = m_out->filePath(QStringLiteral("四月"));
        FileDialogs::queuePath(chosen);
        form->exportToExcel();
        QString error;
        const QJsonObject book = test::readWorkbook(chosen + QStringLiteral(".xls"), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const QJsonArray rows = book[QStringLiteral("sheets")][0][QStringLiteral("rows")].toArray();
        QCOMPARE(rows.size(), 2);
        QCOMPARE(strings(rows[1]), cellsOf(records[1]));
    }

    void failuresSayWhatFailed()
    {
        QVERIFY(test::storeAll({rec(1)}));
        ReportWindow* form = openOnMarch();

        // Dates that are not dates keep the date message; nothing is written.
        form->fromDate()->setText(QStringLiteral("2016-13-01"));
        FileDialogs::queuePath(m_out->filePath(QStringLiteral("x")));
        form->exportToExcel();
        auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, kDateMessage);
        QVERIFY(filesIn(m_out->path()).isEmpty());

        // A file that cannot be created is named with the reason, and no
        // stray temporary file is left anywhere.
        form->fromDate()->setText(QStringLiteral("2016-03-01"));
        const QString missing = m_out->filePath(QStringLiteral("没有这个文件夹/报表"));
        FileDialogs::queuePath(missing);
        form->exportToExcel();
        shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].icon, QMessageBox::Warning);
        QVERIFY2(shown[0].text.contains(QDir::toNativeSeparators(missing + QStringLiteral(".xls"))),
                 qPrintable(shown[0].text));
        QVERIFY(shown[0].text != kDateMessage);
        QVERIFY(filesIn(m_out->path()).isEmpty());

        // A folder where the file should be: the old entry stays untouched.
        const QString taken = m_out->filePath(QStringLiteral("占用"));
        QVERIFY(QDir().mkpath(taken + QStringLiteral(".xls")));
        FileDialogs::queuePath(taken);
        MessageBox::queueAnswer(QMessageBox::Yes);
        form->exportToExcel();
        shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[1].icon, QMessageBox::Warning);
        QVERIFY(shown[1].text.contains(QDir::toNativeSeparators(taken + QStringLiteral(".xls"))));
        QVERIFY(QFileInfo(taken + QStringLiteral(".xls")).isDir());
        QVERIFY(filesIn(m_out->path()).isEmpty());
    }

    // The string table finds a text again by its hash and then by its
    // bytes: two texts with the same hash, and two in the same slot of the
    // table, are kept apart.
    void textsSharingAHashStayApart()
    {
        // The table's hash of a text: qHashBits over its UTF-8 bytes.
        const auto hashOf = [](const QByteArray& text) {
            return quint32(qHashBits(text.constData(), size_t(text.size()), 0));
        };
        QHash<quint32, QByteArray> seen;
        QByteArray sameHash[2];
        QByteArray sameSlot[2];
        for (int i = 0; sameHash[0].isEmpty() && i < 2000000; ++i) {
            const QByteArray text = QStringLiteral("结论%1").arg(i).toUtf8();
            const quint32 hash = hashOf(text);
            const auto earlier = seen.constFind(hash);
            if (earlier != seen.constEnd()) {
                sameHash[0] = *earlier;
                sameHash[1] = text;
            }
            if (sameSlot[0].isEmpty() && i > 0 && (hash & 1023) == (hashOf("结论0") & 1023)) {
                sameSlot[0] = "结论0";
                sameSlot[1] = text;
            }
            seen.insert(hash, text);
        }
        QVERIFY(!sameHash[0].isEmpty() && !sameSlot[0].isEmpty());
        QCOMPARE(hashOf(sameHash[0]), hashOf(sameHash[1]));

        const QString path = m_out->filePath(QStringLiteral("同散列.xls"));
        const QList<QByteArray> texts = {sameSlot[0], sameHash[0], sameSlot[1], sameHash[1], sameHash[0]};
        QString error;
        QVERIFY(XlsExport::save(
            path, {QStringLiteral("体检结论")},
            [&texts](const XlsExport::AddRow& add) {
                for (const QByteArray& text : texts) {
                    add(std::array<QByteArrayView, 1>{text});
                }
                return true;
            },
            &error));
        const QJsonObject book = test::readWorkbook(path, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const QJsonArray rows = book[QStringLiteral("sheets")][0][QStringLiteral("rows")].toArray();
        QCOMPARE(rows.size(), 1 + texts.size());
        for (qsizetype k = 0; k < texts.size(); ++k) {
            QCOMPARE(rows[k + 1][0].toString(), QString::fromUtf8(texts[k]));
        }
    }

    // A chosen name that is a link gets the workbook in its place, and what
    // the link led to stays as it was; a name that is, or leads to, one of
    // the program's own files is refused before anything is written.
    void exportsReplaceLinksAndSpareTheProgramsFiles()
    {
        QVERIFY(test::storeAll({rec(1)}));
        ReportWindow* form = openOnMarch();
        QStringList own = {QCoreApplication::applicationFilePath()};
        if (!test::onServer()) {
            own << Database::filePath();
        }
        const QString link = m_out->filePath(QStringLiteral("链接.xls"));
        for (const QString& file : own) {
            const QByteArray before = contentOf(file);
            QFile::remove(link);
            QVERIFY(QFile::link(file, link));
            FileDialogs::queuePath(link); // the replace question would be answered 是
            form->exportToExcel();
            const auto shown = MessageBox::takeShown();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].icon, QMessageBox::Warning);
            QVERIFY2(shown[0].text.startsWith(
                         QStringLiteral("无法导出到文件“%1”：这是本程序自己的文件").arg(link)),
                     qPrintable(shown[0].text));
            QVERIFY(contentOf(file) == before);
            QVERIFY(QFileInfo(link).isSymbolicLink());
        }

        const QString other = m_out->filePath(QStringLiteral("别的文件.txt"));
        QFile file(other);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("the operator's own file") == 23);
        file.close();
        const QString toOther = m_out->filePath(QStringLiteral("别处.xls"));
        QVERIFY(QFile::link(other, toOther));
        FileDialogs::queuePath(toOther);
        form->exportToExcel();
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 2); // the replace question, the notice
        QCOMPARE(shown[1].text, QStringLiteral("文件导出成功！"));
        QCOMPARE(contentOf(other), QByteArray("the operator's own file"));
        QVERIFY(!QFileInfo(toOther).isSymbolicLink());
        QString error;
        const QJsonObject book = test::readWorkbook(toOther, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(strings(book[QStringLiteral("sheets")][0][QStringLiteral("rows")][1]), cellsOf(rec(1)));
    }

    void manyRecordsContinueOnFurtherSheets()
    {
        constexpr int kCount = 70000;
        std::vector<test::ReportRecord> records;
        records.reserve(kCount);
        for (int i = 0; i < kCount; ++i) {
            records.push_back(rec(i, QStringLiteral("第%1号：体检未见明显异常").arg(i)));
        }
        QString error;
        QVERIFY2(test::storeAll(records, &error), qPrintable(error));

        const QString chosen = m_out->filePath(QStringLiteral("全部"));
        FileDialogs::queuePath(chosen);
        ReportWindow* form = openOnMarch();
        form->exportToExcel();
        QCOMPARE(MessageBox::takeShown().size(), 1);
        QCOMPARE(form->countLabel()->text(), QStringLiteral("计录数：70000"));
        // Past the header's 109 FAT sectors: the file needs DIFAT sectors.
        QVERIFY(QFileInfo(chosen + QStringLiteral(".xls")).size() > 109 * 128 * 512);

        const QJsonObject book = test::readWorkbook(chosen + QStringLiteral(".xls"), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const QJsonArray sheets = book[QStringLiteral("sheets")].toArray();
        QCOMPARE(sheets.size(), 2);
        QCOMPARE(sheets[0][QStringLiteral("rows")].toArray().size(), 65536);
        QCOMPARE(sheets[1][QStringLiteral("rows")].toArray().size(), 1 + kCount - 65535);
        size_t k = 0;
        for (const QJsonValue& sheet : sheets) {
            const QJsonArray rows = sheet[QStringLiteral("rows")].toArray();
            QCOMPARE(strings(rows[0]), kHeader);
            for (qsizetype r = 1; r < rows.size(); ++r, ++k) {
                QCOMPARE(strings(rows[r]), cellsOf(records[k]));
            }
            for (const QJsonValue& font : sheet[QStringLiteral("header")].toArray()) {
                QCOMPARE(font[QStringLiteral("bold")].toBool(), true);
            }
        }
        QCOMPARE(k, records.size());
    }

    void libreOfficeReadsTheExport()
    {
        const QString office = QStandardPaths::findExecutable(QStringLiteral("libreoffice"));
        if (office.isEmpty()) {
            QSKIP("LibreOffice is not installed");
        }
        // A text past the cell limit comes back cut, and the sheet whole.
        QVERIFY(test::storeAll(
            {rec(1), rec(2, QStringLiteral("血压偏高，建议复查")), rec(3, QString(70000, u'x'))}));
        const QString chosen = m_out->filePath(QStringLiteral("lo"));
        FileDialogs::queuePath(chosen);
        openOnMarch()->exportToExcel();
        QProcess convert;
        convert.start(office, {QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                               QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76"),
                               QStringLiteral("--outdir"), m_out->path(), chosen + QStringLiteral(".xls")});
        QVERIFY(convert.waitForFinished(180000));
        const QString csv = QString::fromUtf8(contentOf(m_out->filePath(QStringLiteral("lo.csv"))));
        const QStringList lines = csv.split(u'\n', Qt::SkipEmptyParts);
        const QByteArray said = convert.readAllStandardOutput() + convert.readAllStandardError();
        QVERIFY2(lines.size() == 4, said.constData());
        QCOMPARE(lines[0].trimmed(), kHeader.join(u','));
        QCOMPARE(lines[2].trimmed(), cellsOf(rec(2, QStringLiteral("血压偏高，建议复查"))).join(u','));
        QCOMPARE(lines[3].trimmed(), cellsOf(rec(3, QString(32767, u'x'))).join(u','));
    }

private:
    std::optional<test::TestFolder> m_folder;
    std::optional<QTemporaryDir> m_out;
};

QTEST_MAIN(XlsExportTest)
#include "tst_xlsexport.moc"
