// A server that stops answering without closing the connection (a paused
// machine, a network that swallows packets), and a record that another
// session keeps locked: the desk's action ends with a plain message instead
// of waiting for ever, and once the server answers again (or the lock is let
// go) the action repeated does its work once.
#include "PgServer.h"
#include "TestSupport.h"
#include "record/RecordSaver.h"
#include "record/RecordStore.h"
#include "storage/Database.h"

#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QThread>

#include <csignal>
#include <sys/types.h>

using namespace brenvoll;

namespace {
const QString kLost = QStringLiteral("与数据库服务器的连接已断开：");
// Far above the desk's deadline, far below a hang: the test fails rather than
// waits when the deadline does not work.
constexpr qint64 kNoHang = 40000;

ExamRecord record(const QString& key, const QString& name, const QString& last)
{
    ExamRecord made = test::makeRecord(key, name, QStringLiteral("2026-03-01"));
    made[Field::Conclusion] = last;
    return made;
}

qint64 deskBackend()
{
    QSqlQuery query = Database::prepare(QStringLiteral("select pg_backend_pid()"));
    return Database::exec(query) && query.next() ? query.value(0).toLongLong() : 0;
}

// Runs `sql` on another connection of the test's own, kept open by the caller.
bool runOn(QSqlDatabase& db, const QString& sql, const QStringList& params = {})
{
    QSqlQuery query(db);
    bool ok = query.prepare(sql);
    for (const QString& param : params) {
        query.addBindValue(param);
    }
    ok = ok && query.exec();
    if (!ok) {
        qWarning("%s", qPrintable(query.lastError().text()));
    }
    return ok;
}

int countOn(QSqlDatabase& db, const QString& sql, const QStringList& params)
{
    QSqlQuery query(db);
    query.prepare(sql);
    for (const QString& param : params) {
        query.addBindValue(param);
    }
    return query.exec() && query.next() ? query.value(0).toInt() : -1;
}
} // namespace

class TestServerStall : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("BRENVOLL_TEST_ENGINE", "postgresql");
        auto& server = test::PgServer::shared();
        if (server.isMissing()) {
            QSKIP(qPrintable(server.failure()));
        }
        QVERIFY2(server.isRunning(), qPrintable(server.failure()));
    }

    // The desk's own server process paused (SIGSTOP), as a paused machine
    // leaves the connection: open, acknowledged, silent.
    void aSilentServerIsToldWithinItsDeadline_data()
    {
        QTest::addColumn<QString>("action");
        for (const char* action : {"save loaded", "save new", "search"}) {
            QTest::newRow(action) << QString::fromLatin1(action);
        }
    }
    void aSilentServerIsToldWithinItsDeadline()
    {
        QFETCH(QString, action);
        test::TestFolder folder;
        QVERIFY(folder.open());
        RecordSaver saver;
        const auto ask = [](RecordSaver::Question) { return true; };
        const ExamRecord stored =
            record(QStringLiteral("20260301090000"), QStringLiteral("壬"), QStringLiteral("1"));
        QCOMPARE(saver.save(stored, ask).status, RecordSaver::Status::Saved);
        ExamRecord typed = stored;
        typed[Field::Conclusion] = QStringLiteral("2");
        if (action == QLatin1String("save new")) {
            saver.setNew();
            typed = record(QStringLiteral("20260301090500"), QStringLiteral("癸"), QStringLiteral("2"));
        }
        const auto act = [&]() -> QString {
            if (action.startsWith(QLatin1String("save"))) {
                const RecordSaver::Outcome outcome = saver.save(typed, ask);
                if (outcome.status == RecordSaver::Status::Saved) {
                    return QString();
                }
                return outcome.error.isEmpty()
                           ? QStringLiteral("(no reason; status %1)").arg(int(outcome.status))
                           : outcome.error;
            }
            ResultLines lines;
            QString error;
            return RecordStore::search(
                       {QStringLiteral("壬"), {}, QStringLiteral("2026-01-01"), QStringLiteral("2026-12-31")},
                       lines, &error) == RecordStore::SearchError::None &&
                           lines.size() == 1
                       ? QString()
                       : error + QStringLiteral(" (lines found: %1)").arg(lines.size());
        };

        const qint64 backend = deskBackend();
        QVERIFY(backend > 0);
        QCOMPARE(::kill(pid_t(backend), SIGSTOP), 0);
        QElapsedTimer waited;
        waited.start();
        const QString error = act();
        const qint64 elapsed = waited.elapsed();
        QCOMPARE(::kill(pid_t(backend), SIGCONT), 0);
        QVERIFY2(elapsed < kNoHang, qPrintable(QString::number(elapsed)));
        QVERIFY2(error.startsWith(kLost), qPrintable(error + QStringLiteral(" after %1 ms").arg(elapsed)));
        QVERIFY2(error.contains(QStringLiteral("没有应答")), qPrintable(error));
        QVERIFY(Database::connectionLost());

        // The paused process, resumed, finds its connection closed and ends;
        // the desk's next action connects anew and does its work once.
        QSqlDatabase other = test::PgServer::connect(folder.conninfo(), QStringLiteral("other"));
        for (int i = 0;
             i < 500 && countOn(other, QStringLiteral("select count(*) from pg_stat_activity where pid = ?"),
                                {QString::number(backend)}) != 0;
             ++i) {
            QThread::msleep(10);
        }
        const QString again = act();
        QVERIFY2(again.isEmpty(), qPrintable(again));
        QCOMPARE(countOn(other, QStringLiteral("select count(*) from 档案 where 序列号 = ?"), {typed.key()}),
                 1);
        ExamRecord loaded;
        QString loadError;
        QVERIFY2(RecordStore::load(typed.key(), loaded, &loadError), qPrintable(loadError));
        QCOMPARE(loaded, RecordStore::asStored(action == QLatin1String("search") ? stored : typed));
        other = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("other"));
    }

    // An administrator's unfinished "begin; select … for update" in psql:
    // the desk's save and delete say the record is in use, the connection
    // stays, and once the lock goes the repeated action is done once.
    void aRecordLockedElsewhereIsToldAndNothingIsDoneTwice_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("save loaded") << QStringLiteral("save loaded");
        QTest::newRow("delete") << QStringLiteral("delete");
    }
    void aRecordLockedElsewhereIsToldAndNothingIsDoneTwice()
    {
        QFETCH(QString, action);
        test::TestFolder folder;
        QVERIFY(folder.open());
        RecordSaver saver;
        const auto ask = [](RecordSaver::Question) { return true; };
        const ExamRecord stored =
            record(QStringLiteral("20260301091000"), QStringLiteral("子"), QStringLiteral("1"));
        QCOMPARE(saver.save(stored, ask).status, RecordSaver::Status::Saved);
        ExamRecord typed = stored;
        typed[Field::Conclusion] = QStringLiteral("2");
        const auto act = [&]() -> QString {
            if (action == QLatin1String("save loaded")) {
                const RecordSaver::Outcome outcome = saver.save(typed, ask);
                return outcome.status == RecordSaver::Status::Saved ? QString() : outcome.error;
            }
            QString error;
            return RecordStore::remove(stored.key(), &error) ? QString() : error;
        };

        QSqlDatabase admin = test::PgServer::connect(folder.conninfo(), QStringLiteral("admin"));
        QVERIFY(admin.transaction());
        QVERIFY(
            runOn(admin, QStringLiteral("select 1 from 档案 where 序列号 = ? for update"), {stored.key()}));
        QElapsedTimer waited;
        waited.start();
        const QString error = act();
        QVERIFY2(waited.elapsed() < kNoHang, qPrintable(QString::number(waited.elapsed())));
        QVERIFY2(error.contains(QStringLiteral("正被其他工作站或程序使用")), qPrintable(error));
        QVERIFY2(!error.startsWith(kLost), qPrintable(error));
        QVERIFY(!Database::connectionLost());
        QVERIFY(admin.rollback());

        const QString again = act();
        QVERIFY2(again.isEmpty(), qPrintable(again));
        const int rows =
            countOn(admin, QStringLiteral("select count(*) from 档案 where 序列号 = ?"), {stored.key()});
        QCOMPARE(rows, action == QLatin1String("delete") ? 0 : 1);
        if (action == QLatin1String("save loaded")) {
            // One version kept: the row the one save replaced.
            QCOMPARE(countOn(admin, QStringLiteral("select count(*) from 档案版本 where 序列号 = ?"),
                             {stored.key()}),
                     1);
        }
        admin = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("admin"));
    }
};

QTEST_GUILESS_MAIN(TestServerStall)
#include "tst_serverstall.moc"
