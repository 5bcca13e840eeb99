// Faults under the other windows that write or read the database: the phrase
// editor's add and delete, the settings window's save and password change,
// the report window's query and Excel export. Each ends in one clear message
// naming the reason, the window keeps what the operator typed, nothing stored
// is lost, and after the fault the same window finishes the job.
#include "FaultScenario.h"
#include "FaultVfs.h"
#include "MainWindowParts.h"
#include "SmallDisk.h"
#include "StampedRecord.h"
#include "TestSupport.h"
#include "base/Clock.h"
#include "base/ProgramPaths.h"
#include "drafts/SheetDrafts.h"
#include "mainwindow/MainWindow.h"
#include "phrases/PhraseLibraryWindow.h"
#include "phrases/PhrasePanel.h"
#include "phrases/PhraseStore.h"
#include "record/RecordStore.h"
#include "reports/ReportModel.h"
#include "reports/ReportWindow.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsWindow.h"
#include "sheet/SheetView.h"
#include "storage/Database.h"
#include "ui/MessageBox.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSqlQuery>
#include <QTest>

#include <sqlite3.h>
#include <unistd.h>

using namespace brenvoll;
using robust::FaultScenario;

Q_DECLARE_METATYPE(FaultScenario::Kind)

namespace {
constexpr int kStored = 4;
const QString kBaseStamp = QStringLiteral("base");

QStringList listed(const QListWidget* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) {
        texts << list->item(i)->text();
    }
    return texts;
}

QStringList phrases()
{
    QStringList all;
    PhraseStore::all(all);
    return all;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class TestWindowFaults : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::TestFolder> m_folder;
    Settings m_settings;
    QStringList m_phrases;
    int m_refused = 0; // operations refused with a clear message

    void addKinds()
    {
        QTest::addColumn<FaultScenario::Kind>("kind");
        for (const auto kind :
             {FaultScenario::DiskFull, FaultScenario::DiskFullMidCommit, FaultScenario::WriteErrorMidCommit,
              FaultScenario::SyncError, FaultScenario::ReadError, FaultScenario::ReadOnly,
              FaultScenario::Locked, FaultScenario::Deleted, FaultScenario::Replaced}) {
            QTest::newRow(qPrintable(FaultScenario::name(kind))) << kind;
        }
    }

    // The one message shown, starting with `start` and naming the reason.
    void expectMessage(const QString& start, const QString& reason)
    {
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.startsWith(start), qPrintable(shown[0].text));
        QVERIFY2(shown[0].text.contains(reason), qPrintable(shown[0].text));
        ++m_refused;
    }

    void expectNothingLost()
    {
        QSqlQuery check(Database::connection());
        QVERIFY(check.exec(QStringLiteral("PRAGMA integrity_check")) && check.next());
        QCOMPARE(check.value(0).toString(), QStringLiteral("ok"));
        QCOMPARE(RecordStore::count(), qint64(kStored));
        for (int i = 0; i < kStored; ++i) {
            ExamRecord record;
            QVERIFY(RecordStore::load(robust::poolKey(i), record));
            QVERIFY(robust::isWhole(record));
        }
        QCOMPARE(phrases(), m_phrases);
        Settings now;
        QVERIFY(SettingsStore::read(now));
        QCOMPARE(now.folder, m_settings.folder);
        QCOMPARE(now.leftMargin, m_settings.leftMargin);
        QCOMPARE(now.topMargin, m_settings.topMargin);
        QCOMPARE(now.password, m_settings.password);
    }

    // The lock is waited for as long as the program waits; the tests need
    // not wait the full five seconds for each refusal.
    static void shortenLockWait() { sqlite3_busy_timeout(Database::handle(), 200); }

private slots:
    void initTestCase()
    {
        test::FaultVfs::install();
        MessageBox::setAnswerMode(true);
    }
    void init()
    {
        Clock::setFixed(QDateTime(QDate(2026, 12, 31), QTime(9, 0)));
        m_folder = std::make_unique<test::TestFolder>();
        QVERIFY(m_folder->open());
        for (int i = 0; i < kStored; ++i) {
            QVERIFY(RecordStore::save(robust::stampedRecord(robust::poolKey(i), kBaseStamp)));
        }
        QVERIFY(PhraseStore::add(QStringLiteral("双肺呼吸音清")));
        QVERIFY(PhraseStore::add(QStringLiteral("建议定期复查")));
        m_phrases = phrases();
        QVERIFY(m_phrases.size() >= 2);
        QVERIFY(SettingsStore::read(m_settings));
        shortenLockWait();
    }
    void cleanup()
    {
        test::FaultVfs::set(test::FaultVfs::Fault::None);
        for (QWidget* window : std::initializer_list<QWidget*>{
                 PhraseLibraryWindow::loaded(), ReportWindow::loaded(), SettingsWindow::loaded()}) {
            delete window;
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        MessageBox::takeShown();
        m_folder.reset();
        Clock::reset();
    }
    void cleanupTestCase()
    {
        qInfo("window faults: operations refused with a clear message: %d; calls failed by the file "
              "layer: %d",
              m_refused, test::FaultVfs::injected());
    }

    void phraseAddAndDelete_data() { addKinds(); }
    void phraseAddAndDelete()
    {
        QFETCH(FaultScenario::Kind, kind);
        MainWindow main;
        main.loadOnStart();
        PhraseLibraryWindow* editor = test::phrasePanel(main)->openLibrary();
        QCOMPARE(listed(editor->phraseList()), m_phrases);
        const QString typed = QStringLiteral("心律齐，未闻杂音");
        editor->newPhrase()->setText(typed);

        FaultScenario fault(kind, *m_folder);
        QString why;
        QVERIFY2(fault.begin(&why), qPrintable(why));
        editor->addPhrase();
        expectMessage(QStringLiteral("常用语没有添加："), fault.reason());
        QCOMPARE(editor->newPhrase()->text(), typed);
        QCOMPARE(listed(editor->phraseList()), m_phrases);

        editor->phraseList()->setCurrentRow(1);
        editor->deleteSelectedPhrase();
        expectMessage(QStringLiteral("常用语没有删除："), fault.reason());
        // Neither list went empty, also where the library could not be read.
        QCOMPARE(listed(editor->phraseList()), m_phrases);
        QCOMPARE(listed(test::phraseList(main)), m_phrases);
        QCOMPARE(editor->newPhrase()->text(), typed);
        QVERIFY2(fault.end(&why), qPrintable(why));
        shortenLockWait();
        expectNothingLost();

        // The typed phrase is still there to be added.
        editor->addPhrase();
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(phrases(), m_phrases + QStringList{typed});
        QCOMPARE(listed(test::phraseList(main)), m_phrases + QStringList{typed});
        QVERIFY(editor->newPhrase()->text().isEmpty());
    }

    void settingsSaveAndPasswordChange_data() { addKinds(); }
    void settingsSaveAndPasswordChange()
    {
        QFETCH(FaultScenario::Kind, kind);
        SettingsWindow* form = SettingsWindow::showWindow();
        QVERIFY(MessageBox::takeShown().isEmpty());
        const QString folder = QStringLiteral("/新的/备份");
        form->backupFolderBox()->setText(folder);
        form->leftMarginBox()->setText(QStringLiteral("15"));
        form->topMarginBox()->setText(QStringLiteral("25.5"));
        form->oldPasswordBox()->setText(m_settings.password);
        form->newPasswordBox()->setText(QStringLiteral("新密码9"));

        FaultScenario fault(kind, *m_folder);
        QString why;
        QVERIFY2(fault.begin(&why), qPrintable(why));
        form->save();
        expectMessage(QStringLiteral("设置没有保存。\n原因："), fault.reason());
        QCOMPARE(SettingsWindow::loaded(), form);
        QVERIFY(form->isVisible());

        form->changePassword();
        {
            // Where reads fail, or may fail after a commit broken half way,
            // the old password cannot be read for the comparison.
            const QString unread = QStringLiteral("无法读取原密码，密码没有修改。\n原因：");
            const QString unsaved = QStringLiteral("新密码没有保存，登录密码仍是原来的。\n原因：");
            const auto shown = MessageBox::takeShown();
            QCOMPARE(shown.size(), 1);
            QVERIFY2(shown[0].text.startsWith(unsaved) ||
                         ((fault.readsFail() || fault.readsMayFail()) && shown[0].text.startsWith(unread)),
                     qPrintable(shown[0].text));
            QVERIFY2(shown[0].text.contains(fault.reason()), qPrintable(shown[0].text));
            ++m_refused;
        }
        QCOMPARE(SettingsWindow::loaded(), form);
        QVERIFY(form->isVisible());
        // Everything typed is still in the window.
        QCOMPARE(form->backupFolderBox()->text(), folder);
        QCOMPARE(form->leftMarginBox()->text(), QStringLiteral("15"));
        QCOMPARE(form->topMarginBox()->text(), QStringLiteral("25.5"));
        QCOMPARE(form->oldPasswordBox()->text(), m_settings.password);
        QCOMPARE(form->newPasswordBox()->text(), QStringLiteral("新密码9"));
        QVERIFY2(fault.end(&why), qPrintable(why));
        shortenLockWait();
        expectNothingLost();

        // Saved once the fault is gone, from the same window.
        form->save();
        QVERIFY(MessageBox::takeShown().isEmpty());
        Settings saved;
        QVERIFY(SettingsStore::read(saved));
        QCOMPARE(saved.folder, folder);
        QCOMPARE(saved.leftMargin, QStringLiteral("15"));
        QCOMPARE(saved.topMargin, QStringLiteral("25.5"));
        QCOMPARE(saved.password, m_settings.password);
    }

    // A key whose look-up fails is never handed out as free: the key box
    // stays empty and a save is refused until a key could be issued.
    void keyLookUpFails_data()
    {
        QTest::addColumn<FaultScenario::Kind>("kind");
        for (const auto kind : {FaultScenario::ReadError, FaultScenario::Locked, FaultScenario::Deleted}) {
            QTest::newRow(qPrintable(FaultScenario::name(kind))) << kind;
        }
    }
    void keyLookUpFails()
    {
        QFETCH(FaultScenario::Kind, kind);
        MainWindow main;
        main.loadOnStart();
        QVERIFY(MessageBox::takeShown().isEmpty());
        const QString key = QStringLiteral("无法生成记录编号：");

        FaultScenario fault(kind, *m_folder);
        QString why;
        QVERIFY2(fault.begin(&why), qPrintable(why));
        main.newRecord();
        expectMessage(key, fault.reason());
        QVERIFY(main.box(Field::Key)->text().isEmpty());
        main.box(Field::Name)->setText(QStringLiteral("新来的"));
        main.box(Field::ExamDate)->setText(QStringLiteral("2026-12-31"));
        main.saveRecord();
        expectMessage(key, fault.reason());
        QVERIFY2(fault.end(&why), qPrintable(why));
        shortenLockWait();
        expectNothingLost();

        main.newRecord();
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(main.box(Field::Key)->text(), QStringLiteral("20261231090001"));
    }

    void reportQueryAndExport_data() { addKinds(); }
    void reportQueryAndExport()
    {
        QFETCH(FaultScenario::Kind, kind);
        QTemporaryDir out;
        ReportWindow* form = ReportWindow::showWindow();
        test::fromDate(*form)->setText(QStringLiteral("1900-01-01"));
        test::toDate(*form)->setText(QStringLiteral("2999-12-31"));
        form->search();
        QCOMPARE(form->report()->rowCount(), kStored);
        test::addressFilter(*form)->clear(); // every address

        FaultScenario fault(kind, *m_folder);
        QString why;
        QVERIFY2(fault.begin(&why), qPrintable(why));
        const QString file = out.filePath(QStringLiteral("报表"));
        if (fault.readsFail()) {
            form->search();
            expectMessage(QStringLiteral("无法查询记录："), fault.reason());
            FileDialogs::queuePath(file);
            form->exportToExcel();
            expectMessage(QStringLiteral("无法查询记录："), fault.reason());
            QVERIFY(QDir(out.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
        } else {
            // Faults of writing: a report only reads, and the export writes
            // elsewhere.
            form->search();
            QVERIFY(MessageBox::takeShown().isEmpty());
            FileDialogs::queuePath(file);
            form->exportToExcel();
            const auto shown = MessageBox::takeShown();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].text, QStringLiteral("文件导出成功！"));
            QVERIFY(contents(file + QStringLiteral(".xls")).startsWith("\xD0\xCF\x11\xE0"));
        }
        QVERIFY(test::addressFilter(*form)->text().isEmpty());
        QCOMPARE(test::fromDate(*form)->text(), QStringLiteral("1900-01-01"));
        QCOMPARE(test::toDate(*form)->text(), QStringLiteral("2999-12-31"));
        QVERIFY2(fault.end(&why), qPrintable(why));
        expectNothingLost();
        form->search();
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(form->report()->rowCount(), kStored);
    }

    // Drafts that cannot be written (a full disk, a read-only folder for the
    // drafts file) turn drafts off with one warning; typing, loading and
    // saving go on as before.
    void draftsThatCannotBeWrittenTurnOffWithOneWarning_data()
    {
        QTest::addColumn<bool>("readOnlyFolder");
        QTest::newRow("disk full") << false;
        QTest::newRow("read-only folder") << true;
    }
    void draftsThatCannotBeWrittenTurnOffWithOneWarning()
    {
        QFETCH(bool, readOnlyFolder);
        robust::SmallDisk disk(4 << 20);
        if (readOnlyFolder) {
            if (!disk.isValid()) {
                QSKIP(qPrintable(disk.why()));
            }
            QVERIFY(QFile::copy(m_folder->databaseFile(), databasePath(disk.path())) &&
                    disk.setReadOnly(true));
            QVERIFY(Database::open(connectionString(disk.path())));
        }
        MainWindow form;
        form.loadOnStart();
        form.drafts()->setPause(1);
        test::FaultVfs::set(readOnlyFolder ? test::FaultVfs::Fault::None : test::FaultVfs::Fault::DiskFull);
        form.box(Field::Name)->setText(QStringLiteral("甲"));
        form.newRecord();
        test::FaultVfs::set(test::FaultVfs::Fault::None);
        expectMessage(QStringLiteral("无法保存未保存表格的草稿"),
                      readOnlyFolder ? QStringLiteral("草稿文件所在的文件夹不能写入")
                                     : QStringLiteral("磁盘已满"));
        form.box(Field::Name)->setText(QStringLiteral("乙"));
        QTest::qWait(20);
        form.selectLine(0);
        const QString key = form.keyOfLine(0);
        QCOMPARE(form.sheet()->record(), robust::stampedRecord(key, kBaseStamp));
        if (!readOnlyFolder) {
            form.box(Field::Conclusion)->setText(QStringLiteral("复查"));
            form.saveRecord();
            ExamRecord saved;
            QVERIFY(RecordStore::load(key, saved) && saved[Field::Conclusion] == QStringLiteral("复查"));
        }
        QVERIFY(MessageBox::takeShown().isEmpty());
        QVERIFY(!form.drafts()->isOn() && form.drafts()->list().empty());
    }

    // The export's own file faults: a folder that is not there, a full disk
    // and a read-only disk. The message names the file and the reason; no
    // part of a workbook is left, and a workbook of that name from before is
    // kept whole.
    void exportFileFaults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no such folder") << "missing"
                                        << "无法在该文件夹中创建文件：文件夹不存在";
        QTest::newRow("disk full") << "full"
                                   << "写入文件时出错：磁盘已满";
        QTest::newRow("read-only disk") << "read-only"
                                        << "无法在该文件夹中创建文件：磁盘是只读的";
    }
    void exportFileFaults()
    {
        QFETCH(QString, fault);
        QFETCH(QString, reason);
        robust::SmallDisk disk(1 << 20);
        if (!disk.isValid()) {
            QSKIP(qPrintable(disk.why()));
        }
        ReportWindow* form = ReportWindow::showWindow();
        test::fromDate(*form)->setText(QStringLiteral("1900-01-01"));
        test::toDate(*form)->setText(QStringLiteral("2999-12-31"));
        // A good export first, under the name the failing one will use.
        const QString file = disk.filePath(QStringLiteral("报表"));
        const QString xls = file + QStringLiteral(".xls");
        FileDialogs::queuePath(file);
        form->exportToExcel();
        QCOMPARE(MessageBox::takeShown().value(0).text, QStringLiteral("文件导出成功！"));
        const QByteArray earlier = contents(xls);
        QVERIFY(earlier.size() > 1000);
        // Bigger than the room left below.
        for (int i = kStored; i < 40; ++i) {
            QVERIFY(RecordStore::save(robust::stampedRecord(robust::poolKey(i), kBaseStamp)));
        }

        QString target = file;
        if (fault == QLatin1String("missing")) {
            target = disk.filePath(QStringLiteral("没有的文件夹/报表"));
        } else if (fault == QLatin1String("full")) {
            QVERIFY(disk.fill(4096));
        } else {
            QVERIFY(disk.setReadOnly(true));
        }
        const QStringList before = QDir(disk.path()).entryList(QDir::AllEntries | QDir::Hidden);
        FileDialogs::queuePath(target);
        if (QFileInfo::exists(target + QStringLiteral(".xls"))) {
            MessageBox::queueAnswer(QMessageBox::Yes);
        }
        form->exportToExcel();
        const auto shown = MessageBox::takeShown();
        QVERIFY(!shown.isEmpty());
        const QString message = shown.constLast().text;
        QVERIFY2(message.startsWith(QStringLiteral("无法导出到文件“%1.xls”").arg(target)),
                 qPrintable(message));
        QVERIFY2(message.contains(reason), qPrintable(message));
        ++m_refused;
        QCOMPARE(QDir(disk.path()).entryList(QDir::AllEntries | QDir::Hidden), before);
        QCOMPARE(contents(xls), earlier);
        QVERIFY(disk.setReadOnly(false));
    }
};

QTEST_MAIN(TestWindowFaults)
#include "tst_windowfaults.moc"
