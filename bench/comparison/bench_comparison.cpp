// 历年对比 on a database of a million records.
//
// The database is copied first (a server database is the bench's own), and
// 20 examinations of one person are added to the copy. With that person's
// name typed on a new sheet, 历年对比… is timed from the command to the
// filled table (the person found among a million records, the 20 records
// read, the table filled and the first row plotted), at the median of 15
// runs; then plotting one row (the glucose) at the median of 30.
//
//   build/bench/bench_comparison [DATABASE]   (generates build/bench-data/big.db when none is given)
//   build/bench/bench_comparison --postgresql CONNINFO [DATABASE]
#include "BenchDatabase.h"
#include "BenchShell.h"
#include "BenchTarget.h"
#include "base/Clock.h"
#include "comparison/ComparisonCommands.h"
#include "mainwindow/MainWindow.h"
#include "record/RecordStore.h"
#include "storage/Database.h"
#include "ui/MessageBox.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTableWidget>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace brenvoll;

namespace {

const QString kName = QStringLiteral("对比测试人");
constexpr int kExaminations = 20;

// The person's 20 yearly examinations, blood pressure and laboratory values
// filled, some outside their ranges.
bool addExaminations(QString* error)
{
    std::vector<PersonRecords> people;
    if (!RecordStore::recordsByPerson(kName, people, error)) {
        return false;
    }
    if (!people.empty()) {
        return true; // added by an earlier run on this server database
    }
    for (int k = 0; k < kExaminations; ++k) {
        const int year = 2006 + k;
        ExamRecord record;
        record[Field::Key] = QStringLiteral("%1010108%2").arg(year).arg(k, 4, 10, QLatin1Char('0'));
        record[Field::Name] = kName;
        record[Field::Sex] = QStringLiteral("男");
        record[Field::Age] = QString::number(40 + k);
        record[Field::ExamDate] = QStringLiteral("%1-05-01").arg(year);
        record[Field::Address] = QStringLiteral("对比街1号");
        record[Field::Height] = QStringLiteral("170");
        record[Field::Weight] = QString::number(65 + k % 7);
        record[Field::SystolicPressure] = QString::number(120 + k * 2);
        record[Field::DiastolicPressure] = QString::number(75 + k);
        record[Field::FastingGlucose] = QString::number(5.0 + k * 0.1, 'f', 1);
        record[Field::TotalCholesterol] = QString::number(4.5 + k * 0.08, 'f', 2);
        record[Field::Triglycerides] = k % 5 == 0 ? QStringLiteral("<0.3") : QString::number(1.0 + k * 0.05);
        record[Field::Haemoglobin] = QString::number(130 + k);
        record[Field::UrineProtein] = k % 4 == 0 ? QStringLiteral("+") : QStringLiteral("-");
        if (!RecordStore::save(record, error)) {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    MessageBox::setAnswerMode(true);
    QString conninfo;
    if (argc >= 3 && qstrcmp(argv[1], "--postgresql") == 0) {
        conninfo = QString::fromLocal8Bit(argv[2]);
        argc -= 2;
        argv += 2;
    }
    const QString source = bench::benchDatabase(argc, argv);
    if (source.isEmpty()) {
        return 1;
    }
    const bool server = !conninfo.isEmpty();
    QTemporaryDir folder;
    const QString copy = QDir(folder.path()).filePath(QStringLiteral("数据库.db"));
    QString error;
    if (server) {
        QProcess::execute(QString::fromUtf8(BRENVOLL_MIGRATE_TOOL), {source, conninfo});
    } else if (!QFile::copy(source, copy)) {
        std::fprintf(stderr, "cannot copy %s\n", qPrintable(source));
        return 1;
    }
    Clock::setFixed(QDateTime(QDate(2026, 12, 7), QTime(18, 0)));
    if (server ? !Database::openServer(bench::configOf(conninfo), &error)
               : !Database::open(QStringLiteral("Data Source=") + copy + u';', &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    if (!addExaminations(&error)) {
        std::fprintf(stderr, "cannot add the examinations: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%lld records\n", RecordStore::count());

    MainWindow form;
    form.loadOnStart(); // as the program starts: an older database gets its index of names
    form.show();
    form.newRecord();
    form.box(Field::Name)->setText(kName);
    std::vector<double> opens;
    int columns = 0;
    ComparisonWindow* window = nullptr;
    for (int i = 0; i < 15; ++i) {
        QElapsedTimer timer;
        timer.start();
        window = form.findChild<ComparisonCommands*>()->showComparison();
        QCoreApplication::processEvents();
        opens.push_back(double(timer.nsecsElapsed()) / 1e6);
        columns = window ? window->table()->columnCount() : 0;
    }
    std::vector<double> plots;
    const int glucose =
        int(std::find_if(seriesRows().begin(), seriesRows().end(),
                         [](const SeriesRow& row) { return row.field == Field::FastingGlucose; }) -
            seriesRows().begin());
    for (int i = 0; window && i < 30; ++i) {
        QElapsedTimer timer;
        timer.start();
        window->plotRow(i % 2 == 0 ? glucose : 0);
        QCoreApplication::processEvents();
        plots.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    if (!MessageBox::takeShown().isEmpty()) {
        std::fprintf(stderr, "a message was shown during the benchmark\n");
        return 1;
    }
    const char* engine = server ? "server" : "file";
    std::printf("%s: 历年对比 for %d examinations: median %.2f ms, best %.2f ms\n", engine, columns,
                bench::median(opens), *std::min_element(opens.begin(), opens.end()));
    std::printf("%s: plotting a row: median %.2f ms\n", engine, bench::median(plots));
    bool met = true;
    met &=
        bench::target(server ? "server: 历年对比 for a person with 20 examinations, filled table, median"
                             : "历年对比 for a person with 20 examinations, filled table, median",
                      QStringLiteral("%1 ms").arg(bench::median(opens), 0, 'f', 2),
                      QStringLiteral("under 300 ms"), columns == kExaminations && bench::median(opens) < 300);
    met &= bench::target(server ? "server: plotting a row of 20 examinations, median"
                                : "plotting a row of 20 examinations, median",
                         QStringLiteral("%1 ms").arg(bench::median(plots), 0, 'f', 2),
                         QStringLiteral("under 50 ms"), !plots.empty() && bench::median(plots) < 50);
    Database::close();
    return met ? 0 : 2;
}
