// A desk whose server goes away and comes back: stopped as an administrator
// stops it (pg_ctl stop -m fast) and as a power cut does (-m immediate),
// then started again. Every action in between says that the connection
// broke and why, and nothing hangs; once the server is back the same desk
// works on, without a restart. A save that failed is simply repeated, and
// one whose commit went through while its answer was lost is not stored a
// second time. On the main window the typing is kept as a draft at once.
// A database file whose folder goes away for a while, as a network share
// drops and comes back: told so, the typing stays, and 保存 works once the
// folder is back.
#include "PgServer.h"
#include "TestSupport.h"
#include "base/ProgramPaths.h"
#include "drafts/SheetDrafts.h"
#include "mainwindow/MainWindow.h"
#include "record/RecordSaver.h"
#include "record/RecordStore.h"
#include "sheet/SheetView.h"
#include "storage/Database.h"
#include "ui/MessageBox.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QScopeGuard>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <thread>

using namespace brenvoll;

namespace {
const QString kLost = QStringLiteral("与数据库服务器的连接已断开：");

QString conclusionColumn()
{
    for (const BoxDef& box : FieldMap::boxes()) {
        if (box.field == Field::Conclusion) {
            return box.column;
        }
    }
    return {};
}

// Reads the database as another program would: the rows under `key`, each
// as its name and conclusion.
QStringList rowsUnder(const QString& conninfo, const QString& key)
{
    QStringList rows;
    {
        QSqlDatabase db = test::PgServer::connect(conninfo, QStringLiteral("check"));
        QSqlQuery query(db);
        query.prepare(
            QStringLiteral("select 姓名, \"%1\" from 档案 where 序列号 = ?").arg(conclusionColumn()));
        query.addBindValue(key);
        query.exec();
        while (query.next()) {
            rows << query.value(0).toString() + u'/' + query.value(1).toString();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    return rows;
}

// Runs `sql` on the database as another program would.
bool runElsewhere(const QString& conninfo, const QString& sql, const QStringList& params)
{
    bool ok = false;
    {
        QSqlDatabase db = test::PgServer::connect(conninfo, QStringLiteral("elsewhere"));
        QSqlQuery query(db);
        ok = query.prepare(sql);
        for (const QString& param : params) {
            query.addBindValue(param);
        }
        ok = ok && query.exec();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("elsewhere"));
    return ok;
}

ExamRecord record(const QString& key, const QString& name, const QString& last)
{
    ExamRecord made = test::makeRecord(key, name, QStringLiteral("2026-03-01"));
    made[Field::Conclusion] = last;
    return made;
}
} // namespace

class TestServerRestart : public QObject
{
    Q_OBJECT
    test::PgServer* m_server = nullptr;

    bool stop(const QString& mode)
    {
        QString error;
        const bool ok = m_server->stopServer(mode, &error);
        if (!ok) {
            qWarning("%s", qPrintable(error));
        }
        return ok;
    }
    bool start()
    {
        QString error;
        const bool ok = m_server->startServer(&error);
        if (!ok) {
            qWarning("%s", qPrintable(error));
        }
        return ok;
    }

    // Runs `action` while the server is stopped under it: another program
    // holds the records table locked, the desk's statement waits for it, and
    // the server is stopped then, from another thread, with `mode`. The lock
    // is held by a prepared transaction, which outlives its connection: a
    // stop that ends the other program's connection first cannot let the
    // desk's statement through. releaseBlocker() lets it go once the server
    // is back.
    template <typename Action>
    bool stopDuring(const QString& conninfo, const QString& mode, const Action& action)
    {
        std::atomic_int state{0}; // 1: the table is locked, 2: it could not be
        bool stopped = false;
        std::thread stopper([&] {
            const QString name = QStringLiteral("blocker");
            {
                QSqlDatabase db = test::PgServer::connect(conninfo, name);
                QSqlQuery query(db);
                const bool locked = query.exec(QStringLiteral("begin")) &&
                                    query.exec(QStringLiteral("lock table 档案 in access exclusive mode")) &&
                                    query.exec(QStringLiteral("prepare transaction 'brenvoll_blocker'"));
                state = locked ? 1 : 2;
                // Until the desk's statement waits for the lock (a bounded wait:
                // a desk that never asks is stopped under all the same).
                for (int i = 0; locked && i < 3000; ++i) {
                    if (query.exec(QStringLiteral("select count(*) from pg_stat_activity where "
                                                  "wait_event_type = 'Lock'")) &&
                        query.next() && query.value(0).toInt() > 0) {
                        break;
                    }
                    QThread::msleep(10);
                }
                // Stopped while the lock is held: the desk's statement cannot
                // slip through between the two.
                stopped = stop(mode);
            }
            QSqlDatabase::removeDatabase(name);
        });
        while (state == 0) {
            QThread::msleep(10);
        }
        action();
        stopper.join();
        return state == 1 && stopped;
    }

    static bool releaseBlocker(const QString& conninfo)
    {
        const QString name = QStringLiteral("release");
        bool released = false;
        {
            QSqlDatabase db = test::PgServer::connect(conninfo, name);
            QSqlQuery query(db);
            released = query.exec(QStringLiteral("rollback prepared 'brenvoll_blocker'"));
            if (!released) {
                qWarning("%s", qPrintable(query.lastError().text()));
            }
        }
        QSqlDatabase::removeDatabase(name);
        return released;
    }

private slots:
    void initTestCase()
    {
        qputenv("BRENVOLL_TEST_ENGINE", "postgresql");
        QVERIFY(test::onServer());
        m_server = &test::PgServer::shared();
        if (m_server->isMissing()) {
            QSKIP(qPrintable(m_server->failure()));
        }
        QVERIFY2(m_server->isRunning(), qPrintable(m_server->failure()));
    }

    void cleanup()
    {
        if (!m_server->isRunning()) {
            QVERIFY(start());
        }
    }

    void everyActionSaysTheConnectionBrokeAndWorksOnceTheServerIsBack_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("fast") << QStringLiteral("fast");
        QTest::newRow("immediate") << QStringLiteral("immediate");
    }
    void everyActionSaysTheConnectionBrokeAndWorksOnceTheServerIsBack()
    {
        QFETCH(QString, mode);
        test::TestFolder folder;
        QVERIFY(folder.open());
        RecordSaver saver;
        const auto ask = [](RecordSaver::Question) { return true; };
        const ExamRecord first =
            record(QStringLiteral("20260301080000"), QStringLiteral("甲"), QStringLiteral("1"));
        const ExamRecord doomed =
            record(QStringLiteral("20260301080500"), QStringLiteral("丙"), QStringLiteral("1"));
        QCOMPARE(saver.save(doomed, ask).status, RecordSaver::Status::Saved);
        saver.setNew();
        QCOMPARE(saver.save(first, ask).status, RecordSaver::Status::Saved);

        QVERIFY(stop(mode));
        // Save (an update of the loaded record), load, search, delete, a new
        // sheet's key and its save: each fails at once with the reason.
        ExamRecord changed = first;
        changed[Field::Conclusion] = QStringLiteral("2");
        RecordSaver::Outcome outcome = saver.save(changed, ask);
        QCOMPARE(outcome.status, RecordSaver::Status::Failed);
        QVERIFY2(outcome.error.startsWith(kLost), qPrintable(outcome.error));
        QVERIFY2(outcome.error.size() > kLost.size() + 3, qPrintable(outcome.error)); // and why
        ExamRecord loaded;
        QString error;
        QVERIFY(!RecordStore::load(first.key(), loaded, &error));
        QVERIFY2(error.startsWith(kLost), qPrintable(error));
        ResultLines lines;
        error.clear();
        QCOMPARE(RecordStore::search(
                     {QStringLiteral("甲"), {}, QStringLiteral("2026-01-01"), QStringLiteral("2026-12-31")},
                     lines, &error),
                 RecordStore::SearchError::Database);
        QVERIFY2(error.startsWith(kLost), qPrintable(error));
        error.clear();
        QVERIFY(!RecordStore::remove(doomed.key(), &error));
        QVERIFY2(error.startsWith(kLost), qPrintable(error));
        RecordSaver other;
        error.clear();
        QVERIFY(!other.issueKey(&error));
        QVERIFY2(error.startsWith(kLost), qPrintable(error));
        const ExamRecord fresh =
            record(QStringLiteral("20260301081000"), QStringLiteral("乙"), QStringLiteral("1"));
        outcome = other.save(fresh, ask);
        QCOMPARE(outcome.status, RecordSaver::Status::Failed);
        QVERIFY2(outcome.error.startsWith(kLost), qPrintable(outcome.error));

        // The server back: the same connection object goes on, each failed
        // action repeated as it was.
        QVERIFY(start());
        outcome = saver.save(changed, ask);
        QVERIFY2(outcome.status == RecordSaver::Status::Saved, qPrintable(outcome.error));
        QVERIFY(RecordStore::load(first.key(), loaded, &error));
        QCOMPARE(loaded, RecordStore::asStored(changed));
        QCOMPARE(RecordStore::search(
                     {QStringLiteral("甲"), {}, QStringLiteral("2026-01-01"), QStringLiteral("2026-12-31")},
                     lines, &error),
                 RecordStore::SearchError::None);
        QVERIFY2(RecordStore::remove(doomed.key(), &error), qPrintable(error));
        outcome = other.save(fresh, ask);
        QVERIFY2(outcome.status == RecordSaver::Status::Saved, qPrintable(outcome.error));
        QCOMPARE(other.stored()->key(), fresh.key());

        // In the database: each record once, as last saved; the deleted gone.
        const QString conninfo = folder.conninfo();
        QCOMPARE(rowsUnder(conninfo, first.key()), QStringList{QStringLiteral("甲/2")});
        QCOMPARE(rowsUnder(conninfo, fresh.key()), QStringList{QStringLiteral("乙/1")});
        QCOMPARE(rowsUnder(conninfo, doomed.key()), QStringList{});
        QCOMPARE(RecordStore::count(), qint64(2));
    }

    // The server stopped while the desk's statement runs: each action fails
    // at once with the reason, and repeated once the server is back it does
    // its work once, as the database shows afterwards.
    void anActionUnderWhichTheServerStopsCanBeRepeated_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("mode");
        for (const char* action : {"save new", "save loaded", "load", "search", "delete"}) {
            for (const char* mode : {"fast", "immediate"}) {
                QTest::addRow("%s, %s", action, mode)
                    << QString::fromLatin1(action) << QString::fromLatin1(mode);
            }
        }
    }
    void anActionUnderWhichTheServerStopsCanBeRepeated()
    {
        QFETCH(QString, action);
        QFETCH(QString, mode);
        test::TestFolder folder;
        QVERIFY(folder.open());
        RecordSaver saver;
        int asked = 0;
        const auto ask = [&](RecordSaver::Question) {
            ++asked;
            return true;
        };
        const ExamRecord stored =
            record(QStringLiteral("20260301100000"), QStringLiteral("庚"), QStringLiteral("1"));
        QCOMPARE(saver.save(stored, ask).status, RecordSaver::Status::Saved);
        ExamRecord typed = stored;
        typed[Field::Conclusion] = QStringLiteral("2");
        if (action == QLatin1String("save new")) {
            saver.setNew();
            typed = record(QStringLiteral("20260301100500"), QStringLiteral("辛"), QStringLiteral("2"));
        }
        const auto act = [&]() -> QString {
            QString error;
            ExamRecord loaded;
            ResultLines lines;
            if (action.startsWith(QLatin1String("save"))) {
                const RecordSaver::Outcome outcome = saver.save(typed, ask);
                return outcome.status == RecordSaver::Status::Saved ? QString() : outcome.error;
            }
            if (action == QLatin1String("load")) {
                return RecordStore::load(stored.key(), loaded, &error) &&
                               loaded == RecordStore::asStored(stored)
                           ? QString()
                           : error;
            }
            if (action == QLatin1String("search")) {
                return RecordStore::search({QStringLiteral("庚"),
                                            {},
                                            QStringLiteral("2026-01-01"),
                                            QStringLiteral("2026-12-31")},
                                           lines, &error) == RecordStore::SearchError::None &&
                               lines.size() == 1
                           ? QString()
                           : error;
            }
            return RecordStore::remove(stored.key(), &error) ? QString() : error;
        };
        QString during;
        QVERIFY(stopDuring(folder.conninfo(), mode, [&] { during = act(); }));
        QVERIFY2(during.startsWith(kLost), qPrintable(during));
        QVERIFY(start());
        QVERIFY(releaseBlocker(folder.conninfo()));
        const QString again = act();
        QVERIFY2(again.isEmpty(), qPrintable(again));
        QCOMPARE(asked, 0);

        const QString conninfo = folder.conninfo();
        if (action == QLatin1String("delete")) {
            QCOMPARE(rowsUnder(conninfo, stored.key()), QStringList{});
            QCOMPARE(RecordStore::count(), qint64(0));
        } else if (action == QLatin1String("save new")) {
            QCOMPARE(rowsUnder(conninfo, typed.key()), QStringList{QStringLiteral("辛/2")});
            QCOMPARE(RecordStore::count(), qint64(2));
        } else {
            const QString last =
                action == QLatin1String("save loaded") ? QStringLiteral("2") : QStringLiteral("1");
            QCOMPARE(rowsUnder(conninfo, stored.key()), QStringList{QStringLiteral("庚/") + last});
            QCOMPARE(RecordStore::count(), qint64(1));
        }
    }

    // The commit reached the server but its answer was lost with the
    // connection: the desk was told the save failed, and the operator
    // repeats it. Stored once, and no question about another desk's change.
    void aSaveCommittedWithItsAnswerLostIsNotStoredTwice_data()
    {
        QTest::addColumn<bool>("newSheet");
        QTest::newRow("new sheet") << true;
        QTest::newRow("loaded record") << false;
    }
    void aSaveCommittedWithItsAnswerLostIsNotStoredTwice()
    {
        QFETCH(bool, newSheet);
        test::TestFolder folder;
        QVERIFY(folder.open());
        RecordSaver saver;
        int asked = 0;
        const auto ask = [&](RecordSaver::Question) {
            ++asked;
            return true;
        };
        const QString key = QStringLiteral("20260301090000");
        if (!newSheet) {
            QCOMPARE(saver.save(record(key, QStringLiteral("丁"), QStringLiteral("1")), ask).status,
                     RecordSaver::Status::Saved);
        }
        const ExamRecord typed = record(key, QStringLiteral("丁"), QStringLiteral("2"));
        QVERIFY(stop(QStringLiteral("immediate")));
        QCOMPARE(saver.save(typed, ask).status, RecordSaver::Status::Failed);
        QVERIFY(start());
        // What that save would have written, written as its commit would have.
        QVERIFY(runElsewhere(folder.conninfo(), QStringLiteral("delete from 档案 where 序列号 = ?"), {key}));
        ExamRecord stored = RecordStore::asStored(typed);
        QStringList columns;
        QStringList values;
        QStringList marks;
        for (const BoxDef& box : FieldMap::boxes()) {
            columns << u'"' + box.column + u'"';
            values << stored[box.field];
            marks << QStringLiteral("?");
        }
        QVERIFY(runElsewhere(
            folder.conninfo(),
            QStringLiteral("insert into 档案 (%1) values (%2)").arg(columns.join(u','), marks.join(u',')),
            values));

        const RecordSaver::Outcome outcome = saver.save(typed, ask);
        QVERIFY2(outcome.status == RecordSaver::Status::Saved, qPrintable(outcome.error));
        QCOMPARE(asked, 0);
        QCOMPARE(saver.stored()->key(), key);
        QCOMPARE(RecordStore::count(), qint64(1));
        QCOMPARE(rowsUnder(folder.conninfo(), key), QStringList{QStringLiteral("丁/2")});
        // Typing on goes on from it.
        ExamRecord more = typed;
        more[Field::Conclusion] = QStringLiteral("3");
        QCOMPARE(saver.save(more, ask).status, RecordSaver::Status::Saved);
        QCOMPARE(asked, 0);
        QCOMPARE(rowsUnder(folder.conninfo(), key), QStringList{QStringLiteral("丁/3")});
    }

    // Two desks on one server; the server stops while one types. Its 保存
    // says why, the typing is in the drafts file at once, and once the
    // server is back 保存 stores it, seen by the other desk.
    void theMainWindowKeepsTheTypingAndSavesOnceTheServerIsBack()
    {
        test::TestFolder folder;
        QVERIFY(folder.open());
        MessageBox::setAnswerMode(true);
        MainWindow form;
        form.loadOnStart();
        form.newRecord();
        const QString key = form.box(Field::Key)->text();
        QVERIFY(!key.isEmpty());
        // With a server the drafts file lies beside the test program, where
        // the other server runs look: none of this sheet's drafts outlives
        // the test, passed or failed.
        const auto dropDrafts = qScopeGuard([&] {
            for (const Draft& draft : form.drafts()->list()) {
                if (draft.record.key() == key) {
                    form.drafts()->remove(draft.id);
                }
            }
        });
        form.box(Field::Name)->setText(QStringLiteral("戊"));
        form.box(Field::ExamDate)->setText(QStringLiteral("2026-03-01"));
        form.box(Field::Conclusion)->setText(QStringLiteral("正在输入"));

        QVERIFY(stop(QStringLiteral("fast")));
        form.saveRecord();
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.contains(kLost), qPrintable(shown[0].text));
        // The draft is in the drafts file now, not when typing next pauses.
        QVERIFY(form.drafts()->isOn());
        QString error;
        const std::vector<Draft> kept = form.drafts()->list(&error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const auto draft = std::find_if(kept.begin(), kept.end(),
                                        [&](const Draft& each) { return each.record.key() == key; });
        QVERIFY(draft != kept.end());
        QCOMPARE(draft->record[Field::Conclusion], QStringLiteral("正在输入"));
        QCOMPARE(form.box(Field::Conclusion)->text(), QStringLiteral("正在输入"));

        QVERIFY(start());
        form.saveRecord();
        QVERIFY2(MessageBox::takeShown().isEmpty(), "saved without a message");
        QCOMPARE(rowsUnder(folder.conninfo(), key), QStringList{QStringLiteral("戊/正在输入")});
    }

    void theMainWindowRidesOutTheFilesFolderGoingAwayForAWhile()
    {
        QTemporaryDir top;
        const QString share = top.filePath(QStringLiteral("share"));
        const QString away = top.filePath(QStringLiteral("share-dropped"));
        QVERIFY(QDir().mkpath(share));
        QVERIFY(QFile::copy(test::deliveredDatabase(), databasePath(share)));
        QFile::setPermissions(databasePath(share), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QVERIFY(Database::open(connectionString(share)));
        const auto closing = qScopeGuard([] { Database::close(); });
        MessageBox::setAnswerMode(true);
        {
            MainWindow form;
            form.loadOnStart();
            form.newRecord();
            const QString key = form.box(Field::Key)->text();
            form.box(Field::Name)->setText(QStringLiteral("己"));
            form.box(Field::ExamDate)->setText(QStringLiteral("2026-03-01"));
            form.box(Field::Conclusion)->setText(QStringLiteral("正在输入"));
            MessageBox::takeShown();

            QVERIFY(QDir().rename(share, away));
            form.saveRecord();
            const auto shown = MessageBox::takeShown();
            QCOMPARE(shown.size(), 1);
            QVERIFY2(shown[0].text.startsWith(QStringLiteral("记录没有保存：数据库文件")),
                     qPrintable(shown[0].text));
            QVERIFY2(shown[0].text.contains(QStringLiteral("再试")), qPrintable(shown[0].text));
            // The typing stays on the sheet.
            QCOMPARE(form.box(Field::Conclusion)->text(), QStringLiteral("正在输入"));

            QVERIFY(QDir().rename(away, share));
            form.saveRecord();
            QVERIFY2(MessageBox::takeShown().isEmpty(), "saved without a message");
            ExamRecord stored;
            QString error;
            QVERIFY(RecordStore::load(key, stored, &error));
            QCOMPARE(stored[Field::Conclusion], QStringLiteral("正在输入"));
            const std::vector<Draft> kept = form.drafts()->list(&error);
            QVERIFY(std::none_of(kept.begin(), kept.end(),
                                 [&](const Draft& draft) { return draft.record.key() == key; }));
        }
    }
};

QTEST_MAIN(TestServerRestart)
#include "tst_serverrestart.moc"
