// Faults while the program runs: a full disk, I/O errors (also in the middle
// of a commit), a read-only database, another process holding the database's
// lock, the file deleted, moved away or replaced. Every operation ends with a
// clear reason, the sheet keeps what the operator typed, nothing stored is
// lost, and once the fault is gone the same connection works again.
#include "FaultScenario.h"
#include "FaultVfs.h"
#include "HelperProcess.h"
#include "MainWindowParts.h"
#include "StampedRecord.h"
#include "TestSupport.h"
#include "base/Clock.h"
#include "mainwindow/MainWindow.h"
#include "record/RecordStore.h"
#include "settings/SettingsStore.h"
#include "sheet/SheetView.h"
#include "storage/Database.h"
#include "ui/MessageBox.h"

#include <QLineEdit>
#include <QSqlQuery>
#include <QTest>

#include <unistd.h>

using namespace brenvoll;
using robust::FaultScenario;

Q_DECLARE_METATYPE(FaultScenario::Kind)

namespace {
constexpr int kStored = 4;
const QString kBaseStamp = QStringLiteral("base");
const SearchFilter kAllOf2026{{}, {}, QStringLiteral("2026-01-01"), QStringLiteral("2026-12-31")};

QString integrity()
{
    QSqlQuery check(Database::connection());
    return check.exec(QStringLiteral("PRAGMA integrity_check")) && check.next()
               ? check.value(0).toString()
               : QStringLiteral("unreadable");
}
} // namespace

class TestFaults : public QObject
{
    Q_OBJECT
    std::unique_ptr<test::TestFolder> m_folder;
    Settings m_settings;
    int m_failures = 0; // operations refused under a fault

    void addKinds(const QList<FaultScenario::Kind>& kinds)
    {
        QTest::addColumn<FaultScenario::Kind>("kind");
        for (const auto kind : kinds) {
            QTest::newRow(qPrintable(FaultScenario::name(kind))) << kind;
        }
    }

    // Checks a refused operation and counts it.
    void expectRefused(bool ok, const QString& error, const QString& reason)
    {
        QVERIFY2(!ok, "the operation succeeded under the fault");
        QVERIFY2(error.contains(reason), qPrintable(error));
        ++m_failures;
    }

    // Nothing stored before the fault was lost or changed.
    void expectNothingLost()
    {
        QCOMPARE(integrity(), QStringLiteral("ok"));
        QCOMPARE(RecordStore::count(), qint64(kStored));
        for (int i = 0; i < kStored; ++i) {
            ExamRecord record;
            QString error;
            QVERIFY2(RecordStore::load(robust::poolKey(i), record, &error), qPrintable(error));
            QVERIFY(record == robust::stampedRecord(robust::poolKey(i), kBaseStamp));
        }
        Settings now;
        QVERIFY(SettingsStore::read(now));
        QCOMPARE(now.folder, m_settings.folder);
        QCOMPARE(now.leftMargin, m_settings.leftMargin);
    }

private slots:
    void initTestCase()
    {
        test::FaultVfs::install();
        MessageBox::setAnswerMode(true);
    }
    void init()
    {
        m_folder = std::make_unique<test::TestFolder>();
        QVERIFY(m_folder->open());
        for (int i = 0; i < kStored; ++i) {
            QVERIFY(RecordStore::save(robust::stampedRecord(robust::poolKey(i), kBaseStamp)));
        }
        QVERIFY(SettingsStore::read(m_settings));
    }
    void cleanup()
    {
        test::FaultVfs::set(test::FaultVfs::Fault::None);
        MessageBox::takeShown();
        m_folder.reset();
        Clock::reset();
    }
    void cleanupTestCase()
    {
        qInfo("faults: operations refused with a clear reason: %d; calls failed by the file layer: %d",
              m_failures, test::FaultVfs::injected());
    }

    void storeOperationsFailClearly_data() { addKinds(FaultScenario::all()); }
    void storeOperationsFailClearly()
    {
        QFETCH(FaultScenario::Kind, kind);
        FaultScenario fault(kind, *m_folder);
        QString why;
        QVERIFY2(fault.begin(&why), qPrintable(why));

        QString error;
        expectRefused(
            RecordStore::save(robust::stampedRecord(robust::poolKey(10), QStringLiteral("new")), &error),
            error, fault.reason());
        if (!fault.slow()) {
            expectRefused(RecordStore::save(
                              robust::stampedRecord(robust::poolKey(0), QStringLiteral("changed")), &error),
                          error, fault.reason());
            expectRefused(SettingsStore::writeFolderAndMargins(QStringLiteral("/备份"), QStringLiteral("9"),
                                                               QStringLiteral("9"), &error),
                          error, fault.reason());
        }
        expectRefused(RecordStore::remove(robust::poolKey(1), &error), error, fault.reason());
        ResultLines lines;
        const auto searched = RecordStore::search(kAllOf2026, lines, &error);
        if (fault.readsFail() || (fault.readsMayFail() && searched != RecordStore::SearchError::None)) {
            QCOMPARE(searched, RecordStore::SearchError::Database);
            QVERIFY2(error.contains(fault.reason()), qPrintable(error));
            ++m_failures;
        } else {
            QCOMPARE(searched, RecordStore::SearchError::None);
            QCOMPARE(int(lines.size()), kStored);
        }

        QVERIFY2(fault.end(&why), qPrintable(why));
        expectNothingLost();
        QVERIFY(!RecordStore::exists(robust::poolKey(10)));
        // The same connection works again.
        const ExamRecord later = robust::stampedRecord(robust::poolKey(10), QStringLiteral("later"));
        QVERIFY2(RecordStore::save(later, &error), qPrintable(error));
        ExamRecord back;
        QVERIFY(RecordStore::load(later.key(), back));
        QVERIFY(back == later);
    }

    void sheetKeepsWhatTheOperatorTyped_data()
    {
        addKinds({FaultScenario::DiskFull, FaultScenario::WriteErrorMidCommit, FaultScenario::SyncError,
                  FaultScenario::ReadError, FaultScenario::ReadOnly, FaultScenario::Locked,
                  FaultScenario::Deleted, FaultScenario::Replaced});
    }
    void sheetKeepsWhatTheOperatorTyped()
    {
        QFETCH(FaultScenario::Kind, kind);
        Clock::setFixed(QDateTime(QDate(2026, 12, 31), QTime(9, 0)));
        MainWindow form;
        form.loadOnStart();
        test::fromDate(form)->setText(kAllOf2026.from);
        test::toDate(form)->setText(kAllOf2026.to);
        form.search();
        QCOMPARE(form.lineCount(), kStored);
        form.selectLine(0);
        form.box(Field::Conclusion)->setText(QStringLiteral("建议定期复查，刚刚输入"));
        form.box(Field::Name)->setText(QStringLiteral("改过的姓名"));
        const ExamRecord typed = form.sheet()->record();
        QVERIFY(MessageBox::takeShown().isEmpty());

        FaultScenario fault(kind, *m_folder);
        QString why;
        QVERIFY2(fault.begin(&why), qPrintable(why));

        form.saveRecord();
        auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.startsWith(QStringLiteral("记录没有保存：")), qPrintable(shown[0].text));
        QVERIFY2(shown[0].text.contains(fault.reason()), qPrintable(shown[0].text));
        QVERIFY(form.sheet()->record() == typed);
        ++m_failures;

        form.deleteRecord();
        shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 2); // the question, then the refusal
        QVERIFY2(shown[1].text.startsWith(QStringLiteral("记录没有删除：")), qPrintable(shown[1].text));
        QVERIFY2(shown[1].text.contains(fault.reason()), qPrintable(shown[1].text));
        QVERIFY(form.sheet()->record() == typed);
        QCOMPARE(form.lineCount(), kStored);
        ++m_failures;

        if (fault.readsFail() && !fault.slow()) {
            form.search();
            shown = MessageBox::takeShown();
            QCOMPARE(shown.size(), 1);
            QVERIFY2(shown[0].text.startsWith(QStringLiteral("无法查询记录：")), qPrintable(shown[0].text));
            QVERIFY2(shown[0].text.contains(fault.reason()), qPrintable(shown[0].text));
            QVERIFY(form.sheet()->record() == typed);
            ++m_failures;
        }

        QVERIFY2(fault.end(&why), qPrintable(why));
        expectNothingLost();
        // What the operator typed is still there to be saved.
        form.saveRecord();
        QVERIFY(MessageBox::takeShown().isEmpty());
        ExamRecord stored;
        QVERIFY(RecordStore::load(typed.key(), stored));
        QVERIFY(stored == typed);
    }

    void briefLockIsWaitedFor()
    {
        robust::HelperProcess holder({QStringLiteral("hold"), m_folder->path(), QStringLiteral("800")});
        QVERIFY(holder.waitForLine(QStringLiteral("held")));
        QString error;
        const ExamRecord record = robust::stampedRecord(robust::poolKey(20), QStringLiteral("waited"));
        QVERIFY2(RecordStore::save(record, &error), qPrintable(error));
        QVERIFY(holder.finish());
        QVERIFY(holder.lines().contains(QStringLiteral("released")));
        ExamRecord back;
        QVERIFY(RecordStore::load(record.key(), back));
        QVERIFY(back == record);
    }

    void readOnlyFileWithoutTheLayer()
    {
        if (::geteuid() == 0) {
            QSKIP("root may write any file: the read-only cases above use the file layer instead");
        }
        Database::close();
        QFile::setPermissions(m_folder->databaseFile(), QFileDevice::ReadOwner);
        QVERIFY(m_folder->open());
        QString error;
        QVERIFY(
            !RecordStore::save(robust::stampedRecord(robust::poolKey(10), QStringLiteral("new")), &error));
        QVERIFY2(error.contains(QStringLiteral("数据库文件是只读的，无法写入。")), qPrintable(error));
        ResultLines lines;
        QCOMPARE(RecordStore::search(kAllOf2026, lines, &error), RecordStore::SearchError::None);
        QCOMPARE(int(lines.size()), kStored);
    }
};

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
