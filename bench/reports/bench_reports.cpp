// Benchmark of the report.
//
// Speed, on a copy of the delivered database filled with 100,000 records: the
// report window's export of 65,535 records against the report query alone
// over the same records, each run several times in turn with its best time
// counting; the same export against Python's xlwt writing the same rows; and
// the report list of 100,000 lines.
// Memory, on a database of a million records, each figure measured in a
// process of its own (this program run again as a child): the report window
// listing every record, and its export of every record.
//
//   build/bench/bench_reports [DATABASE [COPY-OF-EXPORT.xls]]
//   (generates build/bench-data/big.db when no DATABASE is given)
#include "BenchDatabase.h"
#include "BenchTarget.h"
#include "base/ProgramPaths.h"
#include "reports/ReportModel.h"
#include "reports/ReportQuery.h"
#include "reports/ReportWindow.h"
#include "storage/Database.h"
#include "ui/MessageBox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSqlDatabase>
#include <QTemporaryDir>

#include <cstdio>

using namespace brenvoll;

namespace {
constexpr int kExported = 65535;
constexpr int kListed = 100000;
constexpr int kRounds = 5;

bool fill(QString* error)
{
    QSqlDatabase db = Database::connection();
    db.transaction();
    QSqlQuery insert = Database::prepare(
        QStringLiteral("insert into 档案 (序列号, 日期, 地址, \"0\", 姓名, 性别, 年龄, \"1\", \"41\") "
                       "values (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        error);
    const QDateTime start(QDate(2016, 3, 1), QTime(8, 0));
    for (int i = 0; i < kListed; ++i) {
        insert.addBindValue(start.addSecs(i).toString(QStringLiteral("yyyyMMddHHmmss")));
        insert.addBindValue(i < kExported ? QStringLiteral("2016-03-01") : QStringLiteral("2016-04-01"));
        insert.addBindValue(QStringLiteral("东街%1号").arg(i % 500));
        insert.addBindValue(QStringLiteral("A%1").arg(i, 6, 10, QLatin1Char('0')));
        insert.addBindValue(i % 3 ? QStringLiteral("张三") : QStringLiteral("欧阳小明"));
        insert.addBindValue(i % 2 ? QStringLiteral("男") : QStringLiteral("女"));
        insert.addBindValue(QString::number(20 + i % 60));
        insert.addBindValue(QStringLiteral("0571-8%1").arg(i, 7, 10, QLatin1Char('0')));
        insert.addBindValue(QStringLiteral("第%1号：血压偏高，建议低盐饮食，定期监测血压").arg(i));
        if (!Database::exec(insert, error)) {
            return false;
        }
    }
    return db.commit();
}

QString pythonWithXlwt()
{
    for (const QString& candidate : {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")}) {
        QProcess probe;
        probe.start(candidate, {QStringLiteral("-c"), QStringLiteral("import xlwt")});
        if (probe.waitForFinished(30000) && probe.exitCode() == 0) {
            return candidate;
        }
    }
    return {};
}

// xlwt writing the rows of the filter, read from a file before its clock
// starts; its seconds, or -1.
double xlwtSeconds(const ReportFilter& filter, const QString& folder, qint64* fileSize)
{
    QJsonArray table;
    table.append(QJsonArray::fromStringList(ReportColumns::titles()));
    ReportQuery::run(filter, [&table](const ReportColumns& row) {
        QJsonArray cells;
        for (const QByteArrayView cell : row.cells) {
            cells.append(QString::fromUtf8(cell));
        }
        table.append(cells);
        return true;
    });
    QFile input(folder + QStringLiteral("/rows.json"));
    if (!input.open(QIODevice::WriteOnly) || input.write(QJsonDocument(table).toJson()) < 0) {
        return -1;
    }
    input.close();
    const QString python = pythonWithXlwt();
    if (python.isEmpty()) {
        std::fprintf(stderr, "no python3 with xlwt (tools/install-deps.sh installs python3-xlwt)\n");
        return -1;
    }
    QProcess xlwt;
    const QString out = folder + QStringLiteral("/xlwt.xls");
    xlwt.start(python, {QStringLiteral(BRENVOLL_XLWT_SCRIPT), input.fileName(), out});
    if (!xlwt.waitForFinished(600000) || xlwt.exitCode() != 0) {
        std::fprintf(stderr, "xlwt failed: %s\n", xlwt.readAllStandardError().constData());
        return -1;
    }
    *fileSize = QFileInfo(out).size();
    return xlwt.readAllStandardOutput().trimmed().toDouble();
}

// The export as the operator runs it: the window's button with the file
// name answered. False when it did not report success.
bool exportThroughWindow(ReportWindow* form, const QString& path)
{
    FileDialogs::queuePath(path);
    form->exportToExcel();
    const auto shown = MessageBox::takeShown();
    if (shown.size() != 1 || !shown[0].text.startsWith(QStringLiteral("文件导出成功！"))) {
        std::fprintf(stderr, "the export did not succeed: %s\n",
                     shown.isEmpty() ? "no message" : qPrintable(shown.last().text));
        return false;
    }
    return true;
}

ReportWindow* openReport(const QString& address, const QString& from, const QString& to)
{
    ReportWindow* form = ReportWindow::showWindow();
    form->addressFilter()->setText(address);
    form->fromDate()->setText(from);
    form->toDate()->setText(to);
    return form;
}

// A child on the million records: "report" lists every record in the window,
// "export" exports them. Prints its peak memory.
int memoryChild(const QString& what, const QString& db)
{
    if (!Database::open(QStringLiteral("Data Source=") + db + u';')) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(db));
        return 1;
    }
    ReportWindow* form = openReport(QString(), QStringLiteral("1900-01-01"), QStringLiteral("2999-12-31"));
    QCoreApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    if (what == QLatin1String("report")) {
        form->search();
        QCoreApplication::processEvents(); // the list lays out and paints
        std::printf("report: %d lines listed in %.1f s\n", form->report()->count(),
                    timer.nsecsElapsed() / 1e9);
    } else {
        QTemporaryDir out;
        const QString path = out.filePath(QStringLiteral("all.xls"));
        if (!exportThroughWindow(form, path)) {
            return 1;
        }
        std::printf("export: %s, %lld bytes in %.1f s\n", qPrintable(form->countLabel()->text()),
                    QFileInfo(path).size(), timer.nsecsElapsed() / 1e9);
    }
    bench::reportPeak();
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    MessageBox::setAnswerMode(true);
    if (const auto child = bench::memoryChildArguments()) {
        return memoryChild(child->first, child->second);
    }
    const QString keep = QCoreApplication::arguments().value(2);
    const QString big = bench::benchDatabase(argc, argv);
    if (big.isEmpty()) {
        return 1;
    }
    std::printf("resident memory on 1,000,000 records, each in a process of its own:\n");
    std::fflush(stdout);
    const double reportMb = bench::childPeakMb({QStringLiteral("--memory"), QStringLiteral("report"), big});
    const double exportMb = bench::childPeakMb({QStringLiteral("--memory"), QStringLiteral("export"), big});

    QTemporaryDir dir;
    if (!QFile::copy(QStringLiteral(BRENVOLL_DATABASE), databasePath(dir.path())) ||
        !QFile::setPermissions(databasePath(dir.path()), QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        !Database::open(connectionString(dir.path()))) {
        std::fprintf(stderr, "cannot open a copy of the delivered database\n");
        return 1;
    }
    QString error;
    if (!fill(&error)) {
        std::fprintf(stderr, "cannot fill the database: %s\n", qPrintable(error));
        return 1;
    }

    // The export of 65,535 records beside the query alone, in turn.
    const ReportFilter exported{QStringLiteral("东街"), QStringLiteral("2016-03-01"),
                                QStringLiteral("2016-03-31")};
    ReportWindow* form = openReport(exported.address, exported.from, exported.to);
    std::vector<double> queries, exports;
    const QString ours = dir.filePath(QStringLiteral("ours.xls"));
    for (int round = 0; round < kRounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        qsizetype rows = 0;
        ReportQuery::run(
            exported, [&rows](const ReportColumns&) { return ++rows > 0; }, &error);
        queries.push_back(timer.nsecsElapsed() / 1e9);
        if (rows != kExported) {
            std::fprintf(stderr, "the query found %lld records: %s\n", qlonglong(rows), qPrintable(error));
            return 1;
        }
        QFile::remove(ours);
        timer.restart();
        if (!exportThroughWindow(form, ours)) {
            return 1;
        }
        exports.push_back(timer.nsecsElapsed() / 1e9);
    }
    if (!keep.isEmpty()) {
        QFile::copy(ours, keep); // kept for a look with other readers
    }
    const double query = bench::minimum(queries);
    const double exportTime = bench::minimum(exports);
    qint64 xlwtFile = 0;
    const double xlwt = xlwtSeconds(exported, dir.path(), &xlwtFile);
    if (xlwt < 0) {
        return 1;
    }
    std::printf("export of %d records to .xls (best of %d)\n", kExported, kRounds);
    std::printf("  report window's export:  %.3f s  (file %lld bytes)\n", exportTime, QFileInfo(ours).size());
    std::printf("  the query alone:         %.3f s\n", query);
    std::printf("  python3-xlwt (write):    %.3f s  (file %lld bytes)\n", xlwt, xlwtFile);

    // The report list: 100,000 lines through the window.
    form->addressFilter()->clear();
    form->fromDate()->setText(QStringLiteral("2016-01-01"));
    form->toDate()->setText(QStringLiteral("2016-12-31"));
    QElapsedTimer timer;
    timer.start();
    form->search();
    QCoreApplication::processEvents();
    std::printf("report list of %d lines (query, list, drawn): %.3f s\n", form->report()->count(),
                timer.nsecsElapsed() / 1e9);
    form->close();
    Database::close();

    bool met = true;
    met &= bench::ratioTarget("export of 65,535 records (total / the query alone)", exportTime / query, 2.0);
    met &= bench::ratioTarget("export of 65,535 records (ours / python3-xlwt)", exportTime / xlwt, 0.333);
    met &= bench::memoryTarget("report of 1,000,000 records, peak memory", reportMb, 300);
    met &= bench::memoryTarget("export of 1,000,000 records, peak memory", exportMb, 400);
    return met ? 0 : 2;
}
