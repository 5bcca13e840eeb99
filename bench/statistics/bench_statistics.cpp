// The yearly statistics over every record of a database of a million.
//
// Speed: the count (the one-pass read of the needed columns, the rules and
// telling people apart) is timed beside the sqlite3 shell selecting the same
// columns of the same rows in the same order with its output discarded (psql
// with a server); each side runs several times in turn and its best time
// counts. Responsiveness: the longest pause between two progress reports on
// the window's thread, in which the window cannot paint nor take 取消.
// Memory: the count's peak resident memory, in a process of its own (this
// program run again as a child).
//
// The command: brenvoll-report statistics over the last year of the records
// (to the generator's last day), run as the program it is and writing its
// CSV, timed beside the sqlite3 shell's one pass over the same columns of the
// same rows; its peak resident memory read from a child that runs it.
//
//   build/bench/bench_statistics [DATABASE]   (generates build/bench-data/big.db when none is given)
//   build/bench/bench_statistics --postgresql CONNINFO [DATABASE]
//       on a server database made by brenvoll-mkdb --postgresql; an empty one
//       is first filled from DATABASE (generated when missing) by brenvoll-migrate
#include "BenchDatabase.h"
#include "BenchShell.h"
#include "BenchTarget.h"
#include "record/StatisticsRead.h"
#include "storage/Database.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>
#include <vector>

using namespace brenvoll;

namespace {

constexpr int kRounds = 3;
const StatisticsFilter kEveryRecord{QString(), QStringLiteral("1900-01-01"), QStringLiteral("2999-12-31")};
const QString kServerPrefix = QStringLiteral("postgresql:");
// The last year of the generated records (brenvoll-gen-records ends on 2026-12-07).
const StatisticsFilter kLastYear{QString(), QStringLiteral("2025-12-08"), QStringLiteral("2026-12-07")};

QString g_conninfo; // with a server

bool openDatabase(const QString& db)
{
    QString error;
    if (g_conninfo.isEmpty() ? !Database::open(QStringLiteral("Data Source=") + db + u';', &error)
                             : !Database::openServer(bench::configOf(g_conninfo), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    return true;
}

// The count's own statement, its parameters written in.
QString shellSql(const StatisticsFilter& filter = kEveryRecord)
{
    const QString address =
        Database::containsText(QStringLiteral("coalesce(地址, '')")).replace(u'?', QStringLiteral("''"));
    return QStringLiteral("select ") + QString::fromUtf8(StatisticsRead::columns()) +
           QStringLiteral(" from 档案 where ") + address +
           QStringLiteral(" and 日期 between '%1' and '%2' order by ").arg(filter.from, filter.to) +
           QString::fromUtf8(StatisticsRead::order());
}

double shellMs(const QString& db, const QString& sql)
{
    QProcess shell;
    shell.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    if (g_conninfo.isEmpty()) {
        shell.start(QStringLiteral("sqlite3"), {db, sql});
    } else {
        shell.start(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-A"),
                                             QStringLiteral("-t"), QStringLiteral("-c"), sql, g_conninfo});
    }
    if (!shell.waitForFinished(-1) || shell.exitCode() != 0) {
        return -1;
    }
    return double(timer.nsecsElapsed()) / 1e6;
}

struct Count
{
    double ms = -1;
    double longestPauseMs = 0;
    StatisticsTable table;
};

Count countEveryRecord()
{
    Count count;
    QElapsedTimer timer;
    QElapsedTimer pause;
    timer.start();
    pause.start();
    const auto progress = [&](qint64, qint64) {
        count.longestPauseMs = std::max(count.longestPauseMs, double(pause.nsecsElapsed()) / 1e6);
        pause.restart();
        return true;
    };
    QString error;
    if (StatisticsRead::run(kEveryRecord, count.table, progress, &error) != StatisticsRead::Error::None) {
        std::fprintf(stderr, "count failed: %s\n", qPrintable(error));
        return count;
    }
    count.ms = double(timer.nsecsElapsed()) / 1e6;
    return count;
}

QStringList reportArguments(const QString& db, const QString& csv)
{
    return {QStringLiteral("statistics"),
            QStringLiteral("--db"),
            db,
            QStringLiteral("--from"),
            kLastYear.from,
            QStringLiteral("--to"),
            kLastYear.to,
            QStringLiteral("--csv"),
            csv};
}

// brenvoll-report run as a program, its CSV written and thrown away.
double reportMs(const QString& db)
{
    QTemporaryDir out;
    QProcess tool;
    tool.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    tool.start(QString::fromUtf8(BRENVOLL_REPORT_TOOL),
               reportArguments(db, out.filePath(QStringLiteral("y.csv"))));
    if (!tool.waitForFinished(-1) || tool.exitCode() != 0) {
        std::fprintf(stderr, "brenvoll-report failed: %s\n", tool.readAllStandardError().constData());
        return -1;
    }
    return double(timer.nsecsElapsed()) / 1e6;
}

// The peak of brenvoll-report, the one child this process waits for.
int reportMemoryChild(const QString& db)
{
    if (reportMs(db) < 0) {
        return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    std::printf("peak %.1f\n", double(usage.ru_maxrss) * 1024.0 / 1e6);
    return 0;
}

int memoryChild(const QString& db)
{
    if (db.startsWith(kServerPrefix)) {
        g_conninfo = db.mid(kServerPrefix.size());
    }
    if (!openDatabase(db)) {
        return 1;
    }
    const Count count = countEveryRecord();
    std::printf("count: %lld examinations, %lld people\n", count.table.examinations, count.table.persons());
    bench::reportPeak();
    return count.ms < 0 ? 1 : 0;
}

bool reportTargets(const QString& db)
{
    const double peakMb = bench::childPeakMb({QStringLiteral("--memory"), QStringLiteral("report"), db});
    const QString sql = shellSql(kLastYear);
    shellMs(db, sql);
    std::vector<double> ours;
    std::vector<double> shell;
    for (int round = 0; round < kRounds; ++round) {
        ours.push_back(reportMs(db));
        shell.push_back(shellMs(db, sql));
    }
    const bool failed = std::ranges::any_of(ours, [](double ms) { return ms < 0; }) ||
                        std::ranges::any_of(shell, [](double ms) { return ms < 0; });
    std::printf("brenvoll-report statistics %s to %s: best %.0f ms, sqlite3 best %.0f ms\n",
                qPrintable(kLastYear.from), qPrintable(kLastYear.to), bench::minimum(ours),
                bench::minimum(shell));
    bool met = bench::ratioTarget("brenvoll-report statistics of the last year (command / sqlite3 shell)",
                                  failed ? -1 : bench::minimum(ours) / bench::minimum(shell), 2.0);
    met &= bench::memoryTarget("brenvoll-report statistics of the last year, peak memory",
                               peakMb > 0 ? peakMb : 1e9, 150);
    return met;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (const auto child = bench::memoryChildArguments()) {
        return child->first == u"report" ? reportMemoryChild(child->second) : memoryChild(child->second);
    }
    if (argc >= 3 && qstrcmp(argv[1], "--postgresql") == 0) {
        g_conninfo = QString::fromLocal8Bit(argv[2]);
        argc -= 2;
        argv += 2;
    }
    const bool server = !g_conninfo.isEmpty();
    const QString db = bench::benchDatabase(argc, argv);
    if (db.isEmpty() || !openDatabase(db)) {
        return 1;
    }
    qint64 records = 0;
    Database::readRows("select count(*) from 档案", {}, [&records](const Database::Row& row) {
        records = row.integer(0);
        return false;
    });
    if (server && records == 0) {
        // An empty server database gets the generated records first.
        QProcess::execute(QString::fromUtf8(BRENVOLL_MIGRATE_TOOL), {db, g_conninfo});
    }

    std::printf("resident memory of the count, in a process of its own:\n");
    std::fflush(stdout);
    const double peakMb = bench::childPeakMb(
        {QStringLiteral("--memory"), QStringLiteral("count"), server ? kServerPrefix + g_conninfo : db});

    const QString sql = shellSql();
    shellMs(db, sql); // warm the page cache for both
    std::vector<double> ours;
    std::vector<double> shell;
    double longestPause = 0;
    Count last;
    for (int round = 0; round < kRounds; ++round) {
        last = countEveryRecord();
        ours.push_back(last.ms);
        longestPause = std::max(longestPause, last.longestPauseMs);
        shell.push_back(shellMs(db, sql));
    }
    std::printf(
        "%lld examinations, %lld people; count best %.0f ms, %s best %.0f ms; longest pause %.0f ms\n",
        last.table.examinations, last.table.persons(), bench::minimum(ours), server ? "psql" : "sqlite3",
        bench::minimum(shell), longestPause);
    // Two rows to check by hand against the shell.
    const auto& items = statisticsItems();
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].title == QStringLiteral("血压偏高") || items[i].title == QStringLiteral("心电图异常")) {
            std::printf("  %s: %s of %lld people, %lld not examined\n", qPrintable(items[i].title),
                        qPrintable(last.table.cellText(int(i), StatisticsColumns::kTotal)),
                        last.table.persons(), last.table.notExamined(int(i)));
        }
    }
    const bool failed = std::ranges::any_of(ours, [](double ms) { return ms < 0; }) ||
                        std::ranges::any_of(shell, [](double ms) { return ms < 0; });
    const double ratio = failed ? -1 : bench::minimum(ours) / bench::minimum(shell);
    bool met = bench::ratioTarget(server ? "server: statistics of every record (program / psql)"
                                         : "statistics of every record (program / sqlite3 shell)",
                                  ratio, 2.0);
    met &= bench::memoryTarget(server ? "server: statistics of every record, peak memory"
                                      : "statistics of every record, peak memory",
                               peakMb > 0 ? peakMb : 1e9, 150);
    // The progress dialog appears after a second and must then move and
    // answer 取消: the window's thread is never away for long.
    met &= bench::target(server ? "server: statistics, longest pause of the window"
                                : "statistics, longest pause of the window",
                         QStringLiteral("%1 ms").arg(longestPause, 0, 'f', 0), QStringLiteral("under 250 ms"),
                         !failed && longestPause < 250);
    if (!server) {
        met &= reportTargets(db);
    }
    return met ? 0 : 2;
}
