// Benchmark of the report: exporting 65,535 records to .xls against Python's
// xlwt writing the same rows, side by side in one run, and filling the report
// list with 100,000 lines. Run by hand: build/bin/bench_reports [copy-of-export.xls]
#include "app/Database.h"
#include "app/ProgramPaths.h"
#include "reports/Biff8Workbook.h"
#include "reports/CompoundFile.h"
#include "reports/ReportModel.h"
#include "reports/ReportQuery.h"
#include "reports/XlsExport.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSqlDatabase>
#include <QTemporaryDir>

#include <cstdio>

using namespace brenvoll;

namespace {
constexpr int kExported = 65535;
constexpr int kListed = 100000;

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
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
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

    // Ours: the whole export as the window runs it, query included.
    QElapsedTimer timer;
    timer.start();
    std::vector<ReportRow> rows;
    ReportQuery::run({QStringLiteral("东街"), QStringLiteral("2016-03-01"), QStringLiteral("2016-03-31")},
                     rows, &error);
    const qint64 queried = timer.nsecsElapsed();
    const QString ours = dir.filePath(QStringLiteral("ours.xls"));
    if (rows.size() != size_t(kExported) ||
        !XlsExport::save(ours, XlsExport::reportHeader(), XlsExport::reportCells(rows), &error)) {
        std::fprintf(stderr, "export failed (%zu rows): %s\n", rows.size(), qPrintable(error));
        return 1;
    }
    const double oursSeconds = timer.nsecsElapsed() / 1e9;
    if (argc > 1) {
        QFile::copy(ours, QString::fromLocal8Bit(argv[1])); // kept for a look with other readers
    }
    const double writeSeconds = (timer.nsecsElapsed() - queried) / 1e9;

    // Where our time goes.
    timer.restart();
    const std::vector<QStringList> cells = XlsExport::reportCells(rows);
    const QByteArray stream = biff8::workbookStream(XlsExport::reportHeader(), cells);
    const double buildSeconds = timer.nsecsElapsed() / 1e9;
    timer.restart();
    QBuffer memory;
    memory.open(QIODevice::WriteOnly);
    cfb::write(memory, QStringLiteral("Workbook"), stream);
    const double containerSeconds = timer.nsecsElapsed() / 1e9;

    // xlwt: the same rows, read from a file before its clock starts.
    QJsonArray table;
    table.append(QJsonArray::fromStringList(XlsExport::reportHeader()));
    for (const QStringList& cells : XlsExport::reportCells(rows)) {
        table.append(QJsonArray::fromStringList(cells));
    }
    QFile input(dir.filePath(QStringLiteral("rows.json")));
    if (!input.open(QIODevice::WriteOnly) || input.write(QJsonDocument(table).toJson()) < 0) {
        return 1;
    }
    input.close();
    const QString python = pythonWithXlwt();
    if (python.isEmpty()) {
        std::fprintf(stderr, "no python3 with xlwt (tools/install-deps.sh installs python3-xlwt)\n");
        return 1;
    }
    QProcess xlwt;
    xlwt.start(python, {QStringLiteral(BRENVOLL_XLWT_SCRIPT), input.fileName(),
                        dir.filePath(QStringLiteral("xlwt.xls"))});
    if (!xlwt.waitForFinished(600000) || xlwt.exitCode() != 0) {
        std::fprintf(stderr, "xlwt failed: %s\n", xlwt.readAllStandardError().constData());
        return 1;
    }
    const double xlwtSeconds = xlwt.readAllStandardOutput().trimmed().toDouble();

    std::printf("export of %d records to .xls\n", kExported);
    std::printf("  ours (query + write):  %.3f s  (write alone %.3f s, file %lld bytes)\n", oursSeconds,
                writeSeconds, QFileInfo(ours).size());
    std::printf("    of which: query %.3f s, workbook stream %.3f s, compound file in memory %.3f s\n",
                queried / 1e9, buildSeconds, containerSeconds);
    std::printf("  python3-xlwt (write):  %.3f s  (file %lld bytes)\n", xlwtSeconds,
                QFileInfo(dir.filePath(QStringLiteral("xlwt.xls"))).size());
    std::printf("  ratio ours/xlwt:       %.3f  (target below 0.333)\n", oursSeconds / xlwtSeconds);

    // The report list: query and lines for 100,000 records into the model.
    timer.restart();
    ReportQuery::run({QString(), QStringLiteral("2016-01-01"), QStringLiteral("2016-12-31")}, rows, &error);
    std::vector<QString> lines;
    lines.reserve(rows.size());
    for (const ReportRow& row : rows) {
        lines.push_back(reportLine(row));
    }
    ReportModel model;
    model.setLines(std::move(lines));
    std::printf("report list of %d lines (query + lines + model): %.3f s\n", model.count(),
                timer.nsecsElapsed() / 1e9);
    Database::close();
    return 0;
}
