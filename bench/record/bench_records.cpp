// Searching, loading and saving on a database of a million records.
//
// The main window's search (list filled) is timed beside the sqlite3 shell
// selecting the same rows with its output discarded, and a durable save
// beside the shell writing the same row with full sync; each side is run
// several times in turn and its best time counts. Loading a record is timed
// at the median. Two memory figures are measured each in a process of its
// own (this program run again as a child): resident memory after start-up,
// and after a search that lists every record.
//
// With a server, the searches are timed beside psql selecting the same rows,
// and loading and a durable save each at the median.
//
//   build/bench/bench_records [DATABASE]   (generates build/bench-data/big.db when none is given)
//   build/bench/bench_records --postgresql CONNINFO [DATABASE]
//       on a server database made by brenvoll-mkdb --postgresql; an empty one
//       is first filled from DATABASE (generated when missing) by brenvoll-migrate
#include "BenchDatabase.h"
#include "BenchShell.h"
#include "BenchTarget.h"
#include "base/Clock.h"
#include "mainwindow/MainWindow.h"
#include "sheet/SheetView.h"
#include "storage/Database.h"
#include "storage/HistoryTables.h"
#include "storage/PairedRead.h"
#include "storage/ServerConfig.h"
#include "ui/MessageBox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace brenvoll;

namespace {

const QString kFrom = QStringLiteral("2025-12-07");
const QString kTo = QStringLiteral("2026-12-07");

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
        shell.start(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-A"),
                                             QStringLiteral("-t"), QStringLiteral("-c"), sql, g_conninfo});
    }
    shell.waitForFinished(-1);
    return double(timer.nsecsElapsed()) / 1e6;
}

// The program's own statement, its parameters written in.
QString shellSql(const QString& name, const QString& from, const QString& to)
{
    QStringList values;
    QString sql = QStringLiteral("select 姓名, 日期, 序列号 from 档案 where ") +
                  Database::filterContains(QStringLiteral("coalesce(姓名, '')"), name, values);
    sql += Database::filterContains(QStringLiteral("coalesce(地址, '')"), QString(), values) +
           QStringLiteral("日期 between ? and ? order by 序列号 desc");
    for (const QString& value : values + QStringList{from, to}) {
        sql.replace(sql.indexOf(u'?'), 1, u'\'' + value + u'\'');
    }
    return sql;
}

bool openDatabase(const QString& db)
{
    // The generated records end on 2026-12-07: start-up searches the year before it.
    Clock::setFixed(QDateTime(QDate(2026, 12, 7), QTime(18, 0)));
    QString error;
    if (g_conninfo.isEmpty() ? !Database::open(QStringLiteral("Data Source=") + db + u';', &error)
                             : !Database::openServer(bench::configOf(g_conninfo), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    // A save keeps its version, as the program's saves do.
    return HistoryTables::present() || HistoryTables::create();
}

// A child: start-up as the program does it, then, for "search-all", a search
// over every date. Prints its peak memory.
int memoryChild(const QString& what, const QString& db)
{
    if (!openDatabase(db)) {
        return 1;
    }
    MainWindow form;
    form.show();
    form.loadOnStart();
    QCoreApplication::processEvents();
    if (what == QLatin1String("search-all")) {
        form.findChild<QLineEdit*>(QStringLiteral("Text3"))->setText(QStringLiteral("1900-01-01"));
        form.findChild<QLineEdit*>(QStringLiteral("Text4"))->setText(QStringLiteral("2999-12-31"));
        form.search();
        QCoreApplication::processEvents();
    }
    std::printf("%s: %d lines listed\n", qPrintable(what), form.lineCount());
    bench::reportPeak();
    return MessageBox::takeShown().isEmpty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    MessageBox::setAnswerMode(true);
    if (const auto child = bench::memoryChildArguments()) {
        return memoryChild(child->first, child->second);
    }

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
    bool met = true;
    double startupMb = 0;
    double searchAllMb = 0;
    if (server) {
        // An empty server database gets the generated records first.
        QProcess::execute(QString::fromUtf8(BRENVOLL_MIGRATE_TOOL), {db, g_conninfo});
    } else {
        std::printf("resident memory, each in a process of its own:\n");
        std::fflush(stdout);
        startupMb = bench::childPeakMb({QStringLiteral("--memory"), QStringLiteral("startup"), db});
        searchAllMb = bench::childPeakMb({QStringLiteral("--memory"), QStringLiteral("search-all"), db});
    }

    if (!openDatabase(db)) {
        return 1;
    }
    MainWindow form;
    form.show();

    struct Case
    {
        const char* label;
        const char* target;
        QString name;
        double most;
    };
    const Case fileCases[] = {
        {"start-up search, last year",
         "start-up search of the last year, list filled (program / sqlite3 shell)", QString(), 1.0},
        {"name search 张, last year", "name search 张, last year (program / sqlite3 shell)",
         QStringLiteral("张"), 0.9},
    };
    const Case serverCases[] = {
        {"start-up search, last year",
         "server: start-up search of the last year, list filled (program / psql)", QString(), 2.0},
        {"name search 张, last year", "server: name search 张, last year (program / psql)",
         QStringLiteral("张"), 2.0},
    };
    const Case* cases = server ? serverCases : fileCases;
    std::vector<double> ratios;
    constexpr int kRounds = 7;
    std::printf("%-30s %10s %16s %16s %8s\n", "search (best of 7; median)", "lines", "program ms",
                server ? "psql ms" : "sqlite3 ms", "ratio");
    for (int k = 0; k < 2; ++k) {
        const Case& c = cases[k];
        std::vector<double> ours, shell;
        int lines = 0;
        shellMs(db, shellSql(c.name, kFrom, kTo)); // warm the page cache for both
        for (int round = 0; round < kRounds; ++round) {
            form.findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(c.name);
            form.findChild<QLineEdit*>(QStringLiteral("Text3"))->setText(kFrom);
            form.findChild<QLineEdit*>(QStringLiteral("Text4"))->setText(kTo);
            QElapsedTimer timer;
            timer.start();
            form.search();
            QCoreApplication::processEvents(); // the list view lays out and paints
            ours.push_back(double(timer.nsecsElapsed()) / 1e6);
            lines = form.lineCount();
            shell.push_back(shellMs(db, shellSql(c.name, kFrom, kTo)));
        }
        const double ratio = bench::minimum(ours) / bench::minimum(shell);
        std::printf("%-30s %10d %7.1f; %6.1f %7.1f; %6.1f %8.2f\n", c.label, lines, bench::minimum(ours),
                    bench::median(ours), bench::minimum(shell), bench::median(shell), ratio);
        ratios.push_back(ratio);
    }
    std::printf("searches read in two halves at the same time: %d of %zu\n", PairedRead::completed(),
                size_t(2 * kRounds));

    form.findChild<QLineEdit*>(QStringLiteral("Text1"))->clear();
    form.search();
    const int count = form.lineCount();
    std::vector<double> loads, saves, shellSaves;
    auto* random = QRandomGenerator::global();
    for (int i = 0; i < 200 && count > 0; ++i) {
        const int k = int(random->bounded(count));
        QElapsedTimer timer;
        timer.start();
        form.selectLine(k);
        loads.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    for (int i = 0; i < 30 && count > 0; ++i) {
        form.findChild<QLineEdit*>(QStringLiteral("Text1"))->clear();
        form.findChild<QLineEdit*>(QStringLiteral("Text3"))->setText(kFrom);
        form.findChild<QLineEdit*>(QStringLiteral("Text4"))->setText(kTo);
        form.search();
        form.selectLine(int(random->bounded(count)));
        form.box(Field::Conclusion)->setText(QStringLiteral("复查 ") + QString::number(i));
        QElapsedTimer timer;
        timer.start();
        form.saveRecord(); // durable write, then the list of that day
        saves.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (!server) {
            shellSaves.push_back(shellMs(db, bench::shellSaveSql(form.sheet()->record(), true)));
        }
    }
    if (!MessageBox::takeShown().isEmpty()) {
        std::fprintf(stderr, "a message was shown during the benchmark\n");
        return 1;
    }
    Database::close();
    std::printf("load a record: median %.2f ms (%zu loads)\n", bench::median(loads), loads.size());
    std::printf("save a record (full sync, with the day's list): best %.2f ms, median %.2f ms (%zu saves)\n",
                bench::minimum(saves), bench::median(saves), saves.size());
    met &= bench::ratioTarget(cases[0].target, ratios[0], cases[0].most);
    met &= bench::ratioTarget(cases[1].target, ratios[1], cases[1].most);
    if (server) {
        met &= bench::target("server: loading a record, median",
                             QStringLiteral("%1 ms").arg(bench::median(loads), 0, 'f', 2),
                             QStringLiteral("under 20 ms"), bench::median(loads) < 20);
        met &= bench::target("server: durable save, median",
                             QStringLiteral("%1 ms").arg(bench::median(saves), 0, 'f', 2),
                             QStringLiteral("under 20 ms"), bench::median(saves) < 20);
        return met ? 0 : 2;
    }
    const double saveRatio = bench::minimum(saves) / bench::minimum(shellSaves);
    std::printf("sqlite3 shell writing the same row, synchronous=FULL: best %.2f ms, median %.2f ms\n",
                bench::minimum(shellSaves), bench::median(shellSaves));
    met &= bench::ratioTarget("durable save (program / sqlite3 shell with synchronous=FULL)", saveRatio, 1.5);
    met &= bench::memoryTarget("resident memory after start-up on 1,000,000 records", startupMb, 100);
    met &= bench::memoryTarget("search listing all 1,000,000 records, peak memory", searchAllMb, 300);
    return met ? 0 : 2;
}
