// The kept versions on a database of a million records.
//
// A durable save of a changed record, its version kept in the same
// transaction, is timed beside the sqlite3 shell (psql with a server, by its
// own \timing, so that its start-up and connection are no part of it)
// writing the same row durably; each side runs in turn and its best time
// counts.
// Opening the versions of a record that has 100 of them (read, compared and
// listed as 历史版本… lists them) is timed at the median. The growth of the
// file (or of the server's tables) is measured for three versions of a
// sample of the records and given per version and for 1,000,000 records with
// three versions each. The database is changed: it gains versions.
//
//   build/bench/bench_history [DATABASE]   (generates build/bench-data/big.db when none is given)
//   build/bench/bench_history --postgresql CONNINFO [DATABASE]
#include "BenchDatabase.h"
#include "BenchShell.h"
#include "BenchTarget.h"
#include "base/Clock.h"
#include "history/HistoryCommands.h"
#include "mainwindow/MainWindow.h"
#include "record/RecordStore.h"
#include "record/ResultModel.h"
#include "sheet/SheetView.h"
#include "storage/Database.h"
#include "storage/HistoryTables.h"
#include "storage/ServerConfig.h"
#include "ui/MessageBox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlQuery>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace brenvoll;

namespace {

QString g_conninfo; // with a server

double shellMs(const QString& db, const QString& sql)
{
    QProcess shell;
    shell.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    if (g_conninfo.isEmpty()) {
        shell.start(QStringLiteral("sqlite3"), {db, sql});
    } else {
        shell.start(QStringLiteral("psql"),
                    {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-c"), sql, g_conninfo});
    }
    shell.waitForFinished(-1);
    return double(timer.nsecsElapsed()) / 1e6;
}

qint64 scalar(const QString& sql)
{
    QSqlQuery query = Database::prepare(sql);
    return Database::exec(query) && query.next() ? query.value(0).toLongLong() : -1;
}

// Bytes the kept versions take: the file's pages in use, or the server
// table with its indexes.
qint64 storedBytes()
{
    if (Database::engine() == Database::Engine::SQLite) {
        return scalar(QStringLiteral("select (select page_count from pragma_page_count()) - (select "
                                     "freelist_count from pragma_freelist_count())")) *
               scalar(QStringLiteral("select page_size from pragma_page_size()"));
    }
    return scalar(QStringLiteral("select pg_total_relation_size('档案版本') + "
                                 "pg_total_relation_size('档案恢复')"));
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    MessageBox::setAnswerMode(true);
    if (argc >= 3 && qstrcmp(argv[1], "--postgresql") == 0) {
        g_conninfo = QString::fromLocal8Bit(argv[2]);
        argc -= 2;
        argv += 2;
    }
    const QString db = bench::benchDatabase(argc, argv);
    if (db.isEmpty()) {
        return 1;
    }
    const bool server = !g_conninfo.isEmpty();
    if (server) {
        QProcess::execute(QString::fromUtf8(BRENVOLL_MIGRATE_TOOL), {db, g_conninfo});
    }
    Clock::setFixed(QDateTime(QDate(2026, 12, 7), QTime(18, 0)));
    QString error;
    if (server ? !Database::openServer(bench::configOf(g_conninfo), &error)
               : !Database::open(QStringLiteral("Data Source=") + db + u';', &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    if (!HistoryTables::present() && !HistoryTables::create(&error)) {
        std::fprintf(stderr, "cannot add the versions' tables: %s\n", qPrintable(error));
        return 1;
    }
    const qint64 records = RecordStore::count();
    std::printf("%lld records\n", records);
    MainWindow form;
    form.show();
    form.findChild<QLineEdit*>(QStringLiteral("Text1"))->clear();
    form.findChild<QLineEdit*>(QStringLiteral("Text3"))->setText(QStringLiteral("2025-12-07"));
    form.findChild<QLineEdit*>(QStringLiteral("Text4"))->setText(QStringLiteral("2026-12-07"));
    form.search();
    const int lines = form.lineCount();
    if (lines == 0) {
        std::fprintf(stderr, "no records in the last year\n");
        return 1;
    }
    auto* random = QRandomGenerator::global();

    // A durable save of a changed record, its version included.
    std::vector<double> saves, shellSaves;
    for (int i = 0; i < 20; ++i) {
        form.findChild<QLineEdit*>(QStringLiteral("Text1"))->clear();
        form.findChild<QLineEdit*>(QStringLiteral("Text3"))->setText(QStringLiteral("2025-12-07"));
        form.findChild<QLineEdit*>(QStringLiteral("Text4"))->setText(QStringLiteral("2026-12-07"));
        form.search();
        form.selectLine(int(random->bounded(lines)));
        form.box(Field::Conclusion)->setText(QStringLiteral("复查 ") + QString::number(random->generate()));
        QElapsedTimer timer;
        timer.start();
        form.saveRecord(); // the version and the record durable, then the list of that day
        saves.push_back(double(timer.nsecsElapsed()) / 1e6);
        const QString sql = bench::shellSaveSql(form.sheet()->record(), !server);
        shellSaves.push_back(server ? bench::psqlStatementMs(g_conninfo, sql) : shellMs(db, sql));
    }

    // A record with 100 versions, its versions opened as 历史版本… opens them.
    form.selectLine(0);
    const QString key = form.box(Field::Key)->text();
    ExamRecord record = form.sheet()->record();
    for (int i = 0; i < 100; ++i) {
        record[Field::Conclusion] = QStringLiteral("第 %1 次改动").arg(i);
        RecordStore::save(record);
    }
    form.selectLine(form.results()->lineOf(key));
    std::vector<double> opens;
    qsizetype listed = 0;
    for (int i = 0; i < 15; ++i) {
        QElapsedTimer timer;
        timer.start();
        VersionsWindow* window = form.findChild<HistoryCommands*>()->showVersions();
        QCoreApplication::processEvents();
        opens.push_back(double(timer.nsecsElapsed()) / 1e6);
        listed = window ? window->versions().size() : 0;
        if (window) {
            window->reject();
            delete window;
        }
    }

    // Growth: three versions of a sample of the records.
    const qint64 sample = std::min<qint64>(records, 20000);
    const qint64 before = storedBytes();
    QStringList columns;
    for (const BoxDef& box : FieldMap::boxes()) {
        columns << u'"' + box.column + u'"';
    }
    for (int round = 0; round < 3; ++round) {
        QSqlQuery add = Database::prepare(
            QStringLiteral("insert into 档案版本 (时间, 操作, 工作站, 操作员, ") + columns.join(u',') +
            QStringLiteral(") select '2026-12-07 18:00:00', '修改', 'bench-desk', '（共用密码）', ") +
            columns.join(u',') + QStringLiteral(" from 档案 order by 序列号 limit ") +
            QString::number(sample));
        if (!Database::exec(add, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    }
    if (server) {
        QSqlQuery analyse = Database::prepare(QStringLiteral("vacuum analyze 档案版本"));
        Database::exec(analyse);
    }
    const double perVersion = double(storedBytes() - before) / double(3 * sample);
    const double perRecord = double(before) / double(std::max<qint64>(records, 1));

    if (!MessageBox::takeShown().isEmpty()) {
        std::fprintf(stderr, "a message was shown during the benchmark\n");
        return 1;
    }
    Database::close();
    std::printf("save a changed record with its version (full sync, with the day's list): best %.2f ms, "
                "median %.2f ms\n",
                bench::minimum(saves), bench::median(saves));
    std::printf("%s writing the same row durably: best %.2f ms, median %.2f ms\n",
                server ? "psql" : "sqlite3", bench::minimum(shellSaves), bench::median(shellSaves));
    std::printf("opening %lld versions: median %.2f ms\n", qint64(listed), bench::median(opens));
    std::printf("growth: %.0f bytes per version (measured on %lld records x 3 versions)\n", perVersion,
                sample);
    if (!server) {
        std::printf("the file holds %.0f bytes per record now\n", perRecord);
    }
    std::printf("estimate for 1,000,000 records with three versions each: %.2f GB more\n",
                perVersion * 3e6 / 1e9);
    const double ratio = bench::minimum(saves) / bench::minimum(shellSaves);
    bool met = true;
    met &= server
               ? bench::ratioTarget(
                     "server: durable save of a changed record with its version (program / psql)", ratio, 2.0)
               : bench::ratioTarget(
                     "durable save of a changed record with its version (program / sqlite3 shell, full sync)",
                     ratio, 1.5);
    met &= bench::target("opening the 100 versions of a record, median",
                         QStringLiteral("%1 ms").arg(bench::median(opens), 0, 'f', 2),
                         QStringLiteral("under 100 ms"), listed >= 100 && bench::median(opens) < 100);
    return met ? 0 : 2;
}
