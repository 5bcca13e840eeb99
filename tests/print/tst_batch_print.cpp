// The print dialog: the current sheet, a batch of listed records from the
// selected line on, and every way a batch stops short. Pages are read back from
// the PDF files of the real print path.
#include "MainWindowParts.h"
#include "PdfText.h"
#include "TestSupport.h"
#include "base/Clock.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MainWindowPrint.h"
#include "print/PrintDialog.h"
#include "print/SheetPrinter.h"
#include "record/RecordStore.h"
#include "record/ResultModel.h"
#include "settings/SettingsWindow.h"
#include "sheet/SheetView.h"
#include "storage/Database.h"
#include "ui/MessageBox.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace brenvoll;

namespace {

// Stores a record as the delivered table holds it, straight through the
// connection, so that the list shows exactly these rows.
bool storeRecord(const ExamRecord& record)
{
    QStringList columns;
    QStringList marks;
    for (const BoxDef& def : FieldMap::boxes()) {
        columns.append(QLatin1Char('"') + def.column + QLatin1Char('"'));
        marks.append(QStringLiteral("?"));
    }
    QSqlQuery query =
        Database::prepare(QStringLiteral("insert into 档案 (%1) values (%2)")
                              .arg(columns.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
    for (const BoxDef& def : FieldMap::boxes()) {
        const QString& value = record[def.field];
        query.addBindValue(value.isNull() ? QStringLiteral("") : value);
    }
    return Database::exec(query);
}

// Puts `value` into column `column` of the record under `key`.
bool storeColumn(const QString& key, const QString& column, const QString& value)
{
    QSqlQuery query =
        Database::prepare(QStringLiteral("update 档案 set \"%1\" = ? where 序列号 = ?").arg(column));
    query.addBindValue(value);
    query.addBindValue(key);
    return Database::exec(query);
}

} // namespace

class BatchPrintTest : public QObject
{
    Q_OBJECT

private:
    test::TestFolder m_folder;
    MainWindow* m_main = nullptr;
    std::unique_ptr<QTemporaryDir> m_out;
    QHash<QString, QString> m_nameOfKey;
    std::vector<ExamRecord> m_records;

    // The name in the name box of every page.
    static QStringList namesOnPages(const QList<QList<test::PdfWord>>& pages)
    {
        QStringList names;
        for (const auto& page : pages) {
            QString name = QStringLiteral("<none>");
            for (const test::PdfWord& w : page) {
                if (qRound(w.box.left() * 20) == 2040 && qRound(w.box.top() * 20) == 1740) {
                    name = w.text;
                }
            }
            names.append(name);
        }
        return names;
    }
    // The name printed on every page, job by job.
    QStringList printedNames() const
    {
        QStringList names;
        for (const QString& job : test::printedJobs(m_out->path())) {
            const auto pages = test::pdfWords(job);
            names << (pages.size() == 1 ? namesOnPages(pages) : QStringList{QStringLiteral("<pages>")});
        }
        return names;
    }
    QStringList namesOfLines(int from, int to) const
    {
        QStringList names;
        for (int i = from; i <= to; ++i) {
            names.append(m_nameOfKey.value(m_main->keyOfLine(i)));
        }
        return names;
    }
    // Opens the dialog, chooses the batch and presses OK.
    void printBatch()
    {
        PrintDialog* dialog = showPrintDialog(*m_main);
        dialog->batchOption()->setChecked(true);
        dialog->okButton()->click();
    }
    static bool dialogUnloaded()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return !PrintDialog::loaded();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_folder.open());
        MessageBox::setAnswerMode(true);
        Clock::setFixed(QDateTime(QDate(2016, 6, 1), QTime(9, 0)));
        // One name holds a character beyond U+FFFF, read back from its page
        // among the others.
        const QStringList names = {QStringLiteral("赵甲A1"), QStringLiteral("钱乙B2"),
                                   QString::fromUcs4(U"孙\U00020BB7C3"), QStringLiteral("李丁D4"),
                                   QStringLiteral("周戊E5")};
        for (int i = 0; i < names.size(); ++i) {
            const QString key = QStringLiteral("2016050714302%1").arg(i);
            m_records.push_back(test::makeRecord(key, names[i], QStringLiteral("2016-05-0%1").arg(i + 1)));
            QVERIFY(storeRecord(m_records.back()));
            m_nameOfKey.insert(key, names[i]);
        }
        m_main = new MainWindow();
        m_main->loadOnStart();
        QCOMPARE(m_main->lineCount(), 5);
        SettingsWindow::get()->leftMarginBox()->setText(QStringLiteral("0"));
        SettingsWindow::get()->topMarginBox()->setText(QStringLiteral("0"));
    }
    void init()
    {
        m_out = std::make_unique<QTemporaryDir>();
        PrintTarget::usePdfFolder(m_out->path());
        if (m_main->lineCount() != 5) {
            m_main->search();
        }
        m_main->selectLine(-1);
    }
    void cleanup()
    {
        if (PrintDialog::loaded()) {
            PrintDialog::loaded()->close();
        }
        QVERIFY(dialogUnloaded());
        QCOMPARE(MessageBox::takeShown().size(), 0);
    }
    void cleanupTestCase()
    {
        delete m_main;
        Clock::reset();
        PrintTarget::useDefaultPrinter();
    }

    // Created centred, 300 twips above the middle, with the current sheet chosen.
    void dialogAsDesigned()
    {
        PrintDialog* dialog = showPrintDialog(*m_main);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(dialog->windowTitle(), QStringLiteral("打印"));
        QCOMPARE(dialog->size(), QSize(260, 158)); // 3900 × 2370 twips at 96 dpi
        QCOMPARE(dialog->x(), (screen.width() - dialog->width()) / 2);
        QCOMPARE(dialog->y(), (screen.height() - dialog->height()) / 2 - 20);
        QVERIFY(dialog->currentSheetOption()->isChecked());
        QCOMPARE(dialog->currentSheetOption()->text(), QStringLiteral("打印当前表格"));
        QCOMPARE(dialog->batchOption()->text(), QStringLiteral("批量打印"));
        QCOMPARE(dialog->okButton()->text(), QStringLiteral("确 定"));
        QCOMPARE(dialog->cancelButton()->text(), QStringLiteral("取 消"));
        QVERIFY(!dialog->printerPicture()->pixmap().isNull());
        QCOMPARE(dialog->currentSheetOption()->nextInFocusChain(), dialog->batchOption());
        dialog->batchOption()->setChecked(true);
        QVERIFY(!dialog->currentSheetOption()->isChecked());
        QCOMPARE(showPrintDialog(*m_main), dialog);
    }

    // "打印当前表格" prints the sheet as it stands, unsaved text included.
    void currentSheetPrintsOnce()
    {
        m_main->selectLine(2);
        m_main->box(Field::Name)->setText(QStringLiteral("改名未存"));
        PrintDialog* dialog = showPrintDialog(*m_main);
        dialog->okButton()->click();
        QCOMPARE(printedNames(), QStringList{QStringLiteral("改名未存")});
        QVERIFY(dialogUnloaded());
    }

    // Enter presses the focused button; there is no default button, not even
    // one that had the focus before.
    void enterPressesTheFocusedButton()
    {
        PrintDialog* dialog = showPrintDialog(*m_main);
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        dialog->cancelButton()->setFocus(Qt::TabFocusReason);
        dialog->batchOption()->setFocus(Qt::TabFocusReason);
        QTest::keyClick(dialog->batchOption(), Qt::Key_Return);
        QVERIFY(dialog->isVisible());
        QVERIFY(test::printedJobs(m_out->path()).isEmpty());
        QVERIFY(test::pressEnterOn(dialog->okButton()));
        QCOMPARE(test::printedJobs(m_out->path()).size(), 1);
        QVERIFY(dialogUnloaded());
    }

    void cancelPrintsNothing()
    {
        PrintDialog* dialog = showPrintDialog(*m_main);
        dialog->batchOption()->setChecked(true);
        dialog->cancelButton()->click();
        QVERIFY(dialogUnloaded());
        QVERIFY(test::printedJobs(m_out->path()).isEmpty());
    }

    // From the selected line (none: the first) to the last, one job each, in
    // list order; the last line is selected afterwards.
    void batchFromSelectedLine_data()
    {
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("first");
        QTest::newRow("none selected") << -1 << 0;
        QTest::newRow("line 3") << 3 << 3;
        QTest::newRow("last line") << 4 << 4;
    }
    void batchFromSelectedLine()
    {
        QFETCH(int, selected);
        QFETCH(int, first);
        m_main->selectLine(selected);
        printBatch();
        QCOMPARE(printedNames(), namesOfLines(first, 4));
        QCOMPARE(m_main->selectedLine(), 4);
        QVERIFY(dialogUnloaded());
    }

    // With nothing listed the operator is told, nothing prints, and the dialog
    // stays loaded and hidden with the batch still chosen.
    void emptyListIsReported()
    {
        test::nameFilter(*m_main)->setText(QStringLiteral("无此人"));
        m_main->search();
        test::nameFilter(*m_main)->clear();
        QCOMPARE(m_main->lineCount(), 0);
        printBatch();
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().text, QStringLiteral("无当前打印表格，请查询后再打印！"));
        QVERIFY(test::printedJobs(m_out->path()).isEmpty());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        PrintDialog* dialog = PrintDialog::loaded();
        QVERIFY(dialog);
        QVERIFY(dialog->isHidden());
        QCOMPARE(showPrintDialog(*m_main), dialog);
        QVERIFY(dialog->batchOption()->isChecked());
    }

    // A long batch shows its progress; cancel stops after the page in hand.
    void progressCancelStopsAfterThePage()
    {
        QTimer watcher;
        QProgressDialog* seen = nullptr;
        QString label;
        connect(&watcher, &QTimer::timeout, this, [&] {
            auto* progress = m_main->findChild<QProgressDialog*>(QStringLiteral("printProgress"));
            if (!progress) {
                return;
            }
            seen = progress;
            label = progress->labelText();
            if (!test::printedJobs(m_out->path()).isEmpty()) {
                progress->cancel();
                watcher.stop();
            }
        });
        watcher.start(0);
        printBatch();
        QVERIFY(seen);
        QCOMPARE(label, QStringLiteral("正在打印第 2 页，共 5 页……"));
        QCOMPARE(printedNames(), namesOfLines(0, 0));
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().text, QStringLiteral("批量打印已取消，已打印 1 页。"));
    }

    // A page that does not come out stops the batch, naming the record and the
    // pages that went out.
    void failedPageStopsTheBatch()
    {
        QVERIFY(
            QDir(m_out->path()).mkdir(QStringLiteral("job-00003.pdf"))); // the third job cannot be written
        printBatch();
        QCOMPARE(printedNames(), namesOfLines(0, 1));
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().icon, QMessageBox::Warning);
        QVERIFY2(shown.first().text.contains(m_main->results()->textAt(2)), qPrintable(shown.first().text));
        QVERIFY(shown.first().text.contains(QStringLiteral("已打印 2 页")));
        QCOMPARE(m_main->selectedLine(), 2);
    }

    // A listed record that can no longer be read is not printed as whatever
    // the sheet still shows.
    void unreadableRecordStopsTheBatch()
    {
        const QString key = m_main->keyOfLine(1);
        QVERIFY(RecordStore::remove(key));
        printBatch();
        for (const ExamRecord& record : m_records) {
            if (record.key() == key) {
                QVERIFY(storeRecord(record));
            }
        }
        QCOMPARE(printedNames(), namesOfLines(0, 0));
        // The main window says why the record could not be read, then the
        // batch says where it stopped.
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown.first().text, QStringLiteral("无法读取记录：这条记录已不存在。"));
        QVERIFY(shown.last().text.contains(m_main->results()->textAt(1)));
        QVERIFY(shown.last().text.contains(QStringLiteral("已打印 1 页")));
    }

    // The batch export: one file, one page per record from the selected line
    // (none: the first) to the last in list order; the sheet, unsaved text
    // and all, and the list stay as they were.
    void batchExportFromSelectedLine_data() { batchFromSelectedLine_data(); }
    void batchExportFromSelectedLine()
    {
        QFETCH(int, selected);
        QFETCH(int, first);
        m_main->selectLine(selected);
        QLineEdit* guidance = m_main->box(Field::Guidance);
        const QString saved = guidance->text();
        guidance->setText(QStringLiteral("未保存的指导"));
        const ExamRecord before = m_main->sheet()->record();
        FileDialogs::queuePath(m_out->filePath(QStringLiteral("批量")));
        exportListToPdf(*m_main);
        const ExamRecord after = m_main->sheet()->record();
        guidance->setText(saved);
        QCOMPARE(QFileInfo(FileDialogs::takeProposed().value(0)).fileName(),
                 QStringLiteral("健康体检反馈表_2015-06-01至2016-06-01.pdf"));
        const QString file = m_out->filePath(QStringLiteral("批量.pdf"));
        QCOMPARE(namesOnPages(test::pdfWords(file)), namesOfLines(first, 4));
        QVERIFY(after == before);
        QCOMPARE(m_main->selectedLine(), selected);
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().text, QStringLiteral("已导出 %1 页到文件“%2”。").arg(5 - first).arg(file));
    }

    // A cancelled export, and one that meets a record it cannot read, leave
    // no file; the operator is told why.
    void stoppedExportLeavesNothing()
    {
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, this, [&] {
            auto* progress = m_main->findChild<QProgressDialog*>(QStringLiteral("pdfProgress"));
            if (progress && progress->labelText() == QStringLiteral("正在导出第 1 页，共 5 页……")) {
                progress->cancel();
            }
        });
        watcher.start(0);
        FileDialogs::queuePath(m_out->filePath(QStringLiteral("批量.pdf")));
        exportListToPdf(*m_main);
        watcher.stop();

        const QString key = m_main->keyOfLine(3);
        QVERIFY(RecordStore::remove(key));
        FileDialogs::queuePath(m_out->filePath(QStringLiteral("批量.pdf")));
        exportListToPdf(*m_main);
        for (const ExamRecord& record : m_records) {
            if (record.key() == key) {
                QVERIFY(storeRecord(record));
            }
        }
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].text, QStringLiteral("批量导出已取消，没有生成文件。"));
        QCOMPARE(shown[1].text,
                 QStringLiteral("第 4 页（%1）无法读取该记录。\n批量导出已停止，没有生成文件。")
                     .arg(m_main->results()->textAt(3)));
        QCOMPARE(QDir(m_out->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
    }

    // A batch tells of the texts fitted into their boxes once, counted over
    // all its pages: the sheet as it stands for its own line, the stored
    // records for the others.
    void fittedTextsAreToldOncePerBatch()
    {
        const QString number = FieldMap::box(Field::Number).column;
        const QString longNumber = QStringLiteral("201605070001");
        const QString tooLong = QStringLiteral("心律齐，各瓣膜听诊区未闻及杂音").repeated(3);
        QVERIFY(storeColumn(m_main->keyOfLine(1), number, longNumber));
        QVERIFY(storeColumn(m_main->keyOfLine(3), number, longNumber));
        printBatch();
        QCOMPARE(printedNames(), namesOfLines(0, 4));
        auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().text, QStringLiteral("有 2 个方框的文字太长，已缩小打印：编号。"));

        // Exported from line 2, typed long there and cut short on line 3.
        QVERIFY(storeColumn(m_main->keyOfLine(3), FieldMap::box(Field::Respiratory).column, tooLong));
        m_main->selectLine(2);
        QLineEdit* shownNumber = m_main->box(Field::Number);
        const QString saved = shownNumber->text();
        shownNumber->setText(longNumber);
        const QString file = m_out->filePath(QStringLiteral("批量.pdf"));
        FileDialogs::queuePath(file);
        exportListToPdf(*m_main);
        FileDialogs::takeProposed();
        shownNumber->setText(saved);
        for (const ExamRecord& record : m_records) {
            QVERIFY(storeColumn(record.key(), number, record[Field::Number]));
            QVERIFY(storeColumn(record.key(), FieldMap::box(Field::Respiratory).column,
                                record[Field::Respiratory]));
        }
        shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].text, QStringLiteral("有 3 个方框的文字太长，已截断：编号、呼吸系统。"));
        QCOMPARE(shown[1].text, QStringLiteral("已导出 3 页到文件“%1”。").arg(file));
        const auto pages = test::pdfWords(file);
        QCOMPARE(pages.size(), 3);
        QVERIFY(test::findWords(pages[0], longNumber).size() == 1);
        QVERIFY(test::findWords(pages[1], longNumber).size() == 1);
        QVERIFY(test::findWords(pages[2], longNumber).isEmpty());
    }

    void noPrinterIsReported()
    {
        PrintTarget::useDefaultPrinter();
        if (!QPrinterInfo::defaultPrinter().isNull()) {
            QSKIP("this machine has a default printer");
        }
        printBatch();
        PrintTarget::usePdfFolder(m_out->path());
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().text, kNoPrinterMessage);
        QVERIFY(test::printedJobs(m_out->path()).isEmpty());
        QCOMPARE(m_main->selectedLine(), -1);
    }
};

QTEST_MAIN(BatchPrintTest)
#include "tst_batch_print.moc"
