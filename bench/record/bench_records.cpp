// Searching, loading and saving on a database of a million records.
//
// The main window's search (list filled) is timed beside the sqlite3 shell
// (psql with a server) selecting the same rows with its output discarded;
// loading a record and a durable save are timed one by one and reported at
// the median.
//
//   bench_records [DATABASE]
//   bench_records --postgresql CONNINFO [DATABASE]
//       the same on a server database; an empty one is first filled from
//       DATABASE (generated when missing) by brenvoll-migrate.
#include "app/Clock.h"
#include "app/Database.h"
#include "app/MessageBox.h"
#include "app/ProgramPaths.h"
#include "app/ServerConfig.h"
#include "mainwindow/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace brenvoll;

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

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
    QString sql = QStringLiteral("select 姓名, 日期, 序列号 from 档案 where ") +
                  Database::containsText(QStringLiteral("姓名")) + QStringLiteral(" and ") +
                  Database::containsText(QStringLiteral("地址")) +
                  QStringLiteral(" and 日期 between ? and ? order by 序列号 desc");
    for (const QString& value : {name, QString(), from, to}) {
        sql.replace(sql.indexOf(u'?'), 1, u'\'' + value + u'\'');
    }
    return sql;
}

ServerConfig configOf(const QString& conninfo)
{
    ServerConfig config;
    for (const QString& pair : conninfo.split(u' ', Qt::SkipEmptyParts)) {
        const QString key = pair.section(u'=', 0, 0);
        const QString value = pair.section(u'=', 1);
        if (key == QLatin1String("host")) {
            config.host = value;
        } else if (key == QLatin1String("port")) {
            config.port = value.toInt();
        } else if (key == QLatin1String("dbname")) {
            config.name = value;
        } else if (key == QLatin1String("user")) {
            config.user = value;
        }
    }
    return config;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    MessageBox::setAnswerMode(true);

    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() >= 2 && args[0] == QLatin1String("--postgresql")) {
        g_conninfo = args[1];
        args = args.mid(2);
    }
    QString db = args.isEmpty() ? QString::fromUtf8(BRENVOLL_BENCH_DB) : args[0];
    if (!QFileInfo::exists(db)) {
        QDir().mkpath(QFileInfo(db).path());
        std::printf("generating %s ...\n", qPrintable(db));
        std::fflush(stdout);
        if (QProcess::execute(QString::fromUtf8(BRENVOLL_GEN_TOOL), {QString::fromUtf8(BRENVOLL_TEMPLATE_DB),
                                                                     db, QStringLiteral("1000000")}) != 0) {
            std::fprintf(stderr, "generation failed\n");
            return 1;
        }
    }
    // The generated records end on 2026-12-07: search the year before it.
    Clock::setFixed(QDateTime(QDate(2026, 12, 7), QTime(18, 0)));
    QString connection = QStringLiteral("Data Source=") + db + u';';
    QString error;
    if (!g_conninfo.isEmpty()) {
        // An empty server database gets the generated records first.
        QProcess::execute(QString::fromUtf8(BRENVOLL_MIGRATE_TOOL), {db, g_conninfo});
    }
    if (g_conninfo.isEmpty() ? !Database::open(connection, &error)
                             : !Database::openServer(configOf(g_conninfo), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }

    MainWindow form;
    form.show();
    const QString from = QStringLiteral("2025-12-07");
    const QString to = QStringLiteral("2026-12-07");

    struct Case
    {
        const char* label;
        QString name;
    };
    const Case cases[] = {{"start-up search, last year", QString()},
                          {"name search 张, last year", QStringLiteral("张")}};
    std::printf("%-30s %10s %12s %12s %8s\n", "search", "lines", "program ms",
                g_conninfo.isEmpty() ? "sqlite3 ms" : "psql ms", "ratio");
    for (const Case& c : cases) {
        std::vector<double> ours, shell;
        int lines = 0;
        shellMs(db, shellSql(c.name, from, to)); // warm the page cache for both
        for (int round = 0; round < 7; ++round) {
            form.nameFilter()->setText(c.name);
            form.fromDate()->setText(from);
            form.toDate()->setText(to);
            QElapsedTimer timer;
            timer.start();
            form.search();
            QCoreApplication::processEvents(); // the list view lays out and paints
            ours.push_back(double(timer.nsecsElapsed()) / 1e6);
            lines = form.lineCount();
            shell.push_back(shellMs(db, shellSql(c.name, from, to)));
        }
        std::printf("%-30s %10d %12.1f %12.1f %8.2f\n", c.label, lines, median(ours), median(shell),
                    median(ours) / median(shell));
    }

    form.nameFilter()->clear();
    form.search();
    const int count = form.lineCount();
    std::vector<double> loads, saves;
    auto* random = QRandomGenerator::global();
    for (int i = 0; i < 200 && count > 0; ++i) {
        const int k = int(random->bounded(count));
        QElapsedTimer timer;
        timer.start();
        form.selectLine(k);
        loads.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    for (int i = 0; i < 50; ++i) {
        form.nameFilter()->clear();
        form.fromDate()->setText(from);
        form.toDate()->setText(to);
        form.search();
        form.selectLine(int(random->bounded(count)));
        form.box(Field::Conclusion)->setText(QStringLiteral("复查 ") + QString::number(i));
        QElapsedTimer timer;
        timer.start();
        form.saveRecord(); // durable write, then the list of that day
        saves.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    if (!MessageBox::takeShown().isEmpty()) {
        std::fprintf(stderr, "a message was shown during the benchmark\n");
        return 1;
    }
    std::printf("load a record: median %.2f ms (%zu loads)\n", median(loads), loads.size());
    std::printf("save a record: median %.2f ms (%zu saves, full sync, with the day's list)\n", median(saves),
                saves.size());
    Database::close();
    return 0;
}
