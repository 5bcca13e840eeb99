#include "StatisticsCommand.h"

#include "StatisticsWorkbook.h"
#include "base/ExportFile.h"
#include "record/PopulationStore.h"
#include "record/StatisticsRead.h"
#include "storage/Database.h"
#include "storage/ProgramFiles.h"
#include "storage/ServerConfig.h"

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>

namespace brenvoll {

namespace {

const QString kProgram = QStringLiteral("brenvoll-report");

struct Options
{
    QString db;
    QString ini;
    QString from;
    QString to;
    QString address;
    AgeGrouping grouping = AgeGrouping::FiveYears;
    QString population;
    QString csv;
    QString xlsx;
};

CommandResult failure(const QString& why)
{
    QString line = why.simplified(); // one line, whatever the engine said
    return {2, {}, kProgram + QStringLiteral(": ") + line};
}

bool isDay(const QString& text)
{
    static const QRegularExpression day(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    return day.match(text).hasMatch() && QDate::fromString(text, Qt::ISODate).isValid();
}

// The options after "statistics"; an empty reason when they are complete.
QString parse(const QStringList& arguments, Options& options)
{
    const QMap<QString, QString*> valued{{QStringLiteral("--db"), &options.db},
                                         {QStringLiteral("--ini"), &options.ini},
                                         {QStringLiteral("--from"), &options.from},
                                         {QStringLiteral("--to"), &options.to},
                                         {QStringLiteral("--address"), &options.address},
                                         {QStringLiteral("--population"), &options.population},
                                         {QStringLiteral("--csv"), &options.csv},
                                         {QStringLiteral("--xlsx"), &options.xlsx}};
    QString groups;
    QStringList seen;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& name = arguments[i];
        QString* value = name == u"--groups" ? &groups : valued.value(name);
        if (!value) {
            return QStringLiteral("unknown argument %1").arg(name);
        }
        if (seen.contains(name)) {
            return QStringLiteral("%1 given twice").arg(name);
        }
        if (i + 1 >= arguments.size()) {
            return QStringLiteral("%1 needs a value").arg(name);
        }
        seen << name;
        *value = arguments[++i];
    }
    if (options.db.isEmpty() == options.ini.isEmpty()) {
        return QStringLiteral("give either --db FILE or --ini FILE");
    }
    if (!isDay(options.from) || !isDay(options.to)) {
        return QStringLiteral("--from and --to take days as YYYY-MM-DD");
    }
    if (options.from > options.to) {
        return QStringLiteral("--from lies after --to");
    }
    if (!groups.isEmpty() && groups != u"five" && groups != u"elderly") {
        return QStringLiteral("--groups takes five or elderly");
    }
    options.grouping = groups == u"elderly" ? AgeGrouping::Elderly : AgeGrouping::FiveYears;
    if (options.csv.isEmpty() == options.xlsx.isEmpty()) {
        return QStringLiteral("give either --csv OUT.csv or --xlsx OUT.xlsx");
    }
    return {};
}

QString openDatabase(const Options& options)
{
    QString error;
    if (!options.db.isEmpty()) {
        if (!QFileInfo(options.db).isFile()) {
            return QStringLiteral("no database file %1").arg(options.db);
        }
        // Not verified page by page: a file that is no database fails the
        // count's read, and a check of the whole file would take longer
        // than the count.
        if (!Database::open(QStringLiteral("Data Source=") + options.db + u';', &error)) {
            return QStringLiteral("cannot open %1: %2").arg(options.db, error);
        }
        return {};
    }
    const auto config = readServerConfigFile(options.ini, &error);
    if (!config) {
        return error.isEmpty() ? QStringLiteral("cannot read %1").arg(options.ini) : error;
    }
    if (!Database::openServer(*config, &error)) {
        return error;
    }
    return {};
}

QString readPopulation(const Options& options, const StatisticsTable& table, PopulationFigures& figures)
{
    QString error;
    if (options.population.isEmpty()) {
        return PopulationStore::read(periodYear(options.to), figures, &error) ? QString() : error;
    }
    QFile file(options.population);
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("cannot read %1: %2").arg(options.population, file.errorString());
    }
    if (!readPopulationCsv(file.readAll(), StatisticsColumns::keys(table.grouping()), figures, &error)) {
        return options.population + QStringLiteral(": ") + error;
    }
    return {};
}

QString writeCsv(const QString& path, const StatisticsReport& report)
{
    const QByteArray csv = statisticsCsv(report.table, report.lines());
    ExportFile file(path, programFiles());
    if (!file.create() || file.write(csv) != csv.size() || !file.commit()) {
        return QStringLiteral("cannot write %1: %2").arg(path, file.error());
    }
    return {};
}

} // namespace

QString reportCommandUsage()
{
    return QStringLiteral(
        "usage: brenvoll-report statistics (--db FILE | --ini FILE) --from YYYY-MM-DD --to YYYY-MM-DD\n"
        "                       [--address TEXT] [--groups five|elderly] [--population FILE.csv]\n"
        "                       (--csv OUT.csv | --xlsx OUT.xlsx)\n"
        "\n"
        "Counts the examinations of the period as the window 体检统计 does (each person once, by the\n"
        "latest examination) and writes the table:\n"
        "  --db FILE            the database file (数据库.db)\n"
        "  --ini FILE           a brenvoll.ini naming a shared database on a PostgreSQL server\n"
        "  --from, --to         the first and the last day of the period\n"
        "  --address TEXT       only addresses containing TEXT\n"
        "  --groups five|elderly  five-year age groups (the default) or <65, 65-69, 70-79, >=80\n"
        "  --population FILE    a CSV 列,应管人数 with the resident population by column; without it\n"
        "                       the figures typed in the window for the period's year\n"
        "  --csv OUT.csv        UTF-8, one line per cell: 行,列,分子,分母,比例 (a mean row: the sum,\n"
        "                       the people with a value, the mean)\n"
        "  --xlsx OUT.xlsx      the sheets 统计 and 定义\n"
        "Exit status 0 when written; 2 with one line on standard error, and nothing written, when not.\n");
}

CommandResult runReportCommand(const QStringList& arguments)
{
    if (arguments.size() == 1 && (arguments[0] == u"--help" || arguments[0] == u"-h")) {
        return {0, reportCommandUsage(), {}};
    }
    if (arguments.size() == 1 && arguments[0] == u"--version") {
        return {0, kProgram + u' ' + QCoreApplication::applicationVersion() + u'\n', {}};
    }
    if (arguments.isEmpty() || arguments[0] != u"statistics") {
        return failure(QStringLiteral("the one command is \"statistics\" (see --help)"));
    }
    if (arguments.size() == 2 && (arguments[1] == u"--help" || arguments[1] == u"-h")) {
        return {0, reportCommandUsage(), {}};
    }
    Options options;
    if (const QString wrong = parse(arguments, options); !wrong.isEmpty()) {
        return failure(wrong);
    }
    if (const QString wrong = openDatabase(options); !wrong.isEmpty()) {
        return failure(wrong);
    }
    StatisticsTable table;
    QString error;
    const StatisticsFilter filter{options.address, options.from, options.to, options.grouping};
    if (StatisticsRead::run(filter, table, {}, &error) != StatisticsRead::Error::None) {
        return failure(QStringLiteral("the count failed: ") + error);
    }
    if (table.examinations == 0) {
        return failure(QStringLiteral("no examinations from %1 to %2").arg(options.from, options.to));
    }
    StatisticsReport report{options.from, options.to, options.address, table, {}};
    if (const QString wrong = readPopulation(options, table, report.population); !wrong.isEmpty()) {
        return failure(wrong);
    }
    if (!options.csv.isEmpty()) {
        if (const QString wrong = writeCsv(options.csv, report); !wrong.isEmpty()) {
            return failure(wrong);
        }
    } else if (!writeStatisticsXlsx(options.xlsx, report, &error)) {
        return failure(QStringLiteral("cannot write %1: %2").arg(options.xlsx, error));
    }
    return {0,
            QStringLiteral("%1 examinations, %2 people from %3 to %4 written to %5\n")
                .arg(table.examinations)
                .arg(table.persons())
                .arg(options.from, options.to, options.csv.isEmpty() ? options.xlsx : options.csv),
            {}};
}

} // namespace brenvoll
