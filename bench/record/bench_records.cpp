// Searching, loading and saving on a database of a million records.
//
// The main window's search (list filled) is timed beside the sqlite3 shell
// selecting the same rows with its output discarded; loading a record and a
// durable save are timed one by one and reported at the median.
#include "BenchDatabase.h"
#include "app/Clock.h"
#include "app/Database.h"
#include "app/MessageBox.h"
#include "app/ProgramPaths.h"
#include "mainwindow/MainWindow.h"

#include <QApplication>
#include <QElapsedTimer>
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

double shellMs(const QString& db, const QString& sql)
{
    QProcess shell;
    shell.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    shell.start(QStringLiteral("sqlite3"), {db, sql});
    shell.waitForFinished(-1);
    return double(timer.nsecsElapsed()) / 1e6;
}

QString shellSql(const QString& name, const QString& from, const QString& to)
{
    return QStringLiteral("select 姓名, 日期, 序列号 from 档案 where 姓名 like '%") + name +
           QStringLiteral("%' and 地址 like '%%' and 日期 between '") + from + QStringLiteral("' and '") +
           to + QStringLiteral("' order by 序列号 desc");
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    MessageBox::setAnswerMode(true);

    const QString db = bench::benchDatabase(argc, argv);
    if (db.isEmpty()) {
        return 1;
    }
    // The generated records end on 2026-12-07: search the year before it.
    Clock::setFixed(QDateTime(QDate(2026, 12, 7), QTime(18, 0)));
    QString connection = QStringLiteral("Data Source=") + db + u';';
    QString error;
    if (!Database::open(connection, &error)) {
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
    std::printf("%-30s %10s %12s %12s %8s\n", "search", "lines", "program ms", "sqlite3 ms", "ratio");
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
