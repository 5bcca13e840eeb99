// Many desks on one database at once, each working a scripted examination
// day through the storage and record layers the main window calls (no
// widgets): the start-up search, then round after round 新建 + a filled
// sheet + 保存, a name search, one of a few records shared by every desk
// loaded, changed and saved (told when another desk changed it meanwhile,
// and then keeping the other desk's), and a batch read of 20 records as
// batch printing reads them. Each desk is this program run again as a child.
//
//   build/bench/bench_desks [--desks N] [--rounds R] [--seconds S] [--pace MS] [DATABASE]
//       N desks (default 5) on a copy of DATABASE (build/bench-data/big.db,
//       generated when missing); the copy is removed afterwards
//   build/bench/bench_desks --postgresql CONNINFO [--desks N] ... [DATABASE]
//       N desks (default 20) on a server database made by brenvoll-mkdb
//       --postgresql; an empty one is first filled from DATABASE by
//       brenvoll-migrate. The desks' records stay in it.
//
// Each desk does at most R rounds (default 300) and stops starting new ones
// after S seconds (default 120). A round starts at most once every MS
// milliseconds (default 1000) on each desk: twenty desks then save forty
// sheets a second, far above an examination day's pace (an operator takes
// minutes over a sheet). With --pace 0 every desk works flat out: the
// machine's cores are then the limit, and every figure's tail is the wait
// for a core. Prints the saves per second of all desks,
// p50 and p99 of save, load and search, and TARGET lines; the consistency
// targets (no save lost, no key shared by two records, every update built
// on the one before, every desk finished) make the exit status 1 when missed.
#include "BenchDatabase.h"
#include "BenchShell.h"
#include "BenchTarget.h"
#include "base/Clock.h"
#include "record/RecordSaver.h"
#include "record/RecordStore.h"
#include "storage/Database.h"
#include "storage/HistoryTables.h"
#include "storage/ServerConfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>

using namespace brenvoll;

namespace {

constexpr int kShared = 2;
// The examination day the desks work: the first day after every key stored
// (the records of earlier runs stay on a server), so that a run's keys
// collide only with each other's, never with a day already worked.
QDateTime g_dayStart(QDate(2026, 12, 7), QTime(8, 0));
const QStringList kSurnames{QStringLiteral("王"), QStringLiteral("李"), QStringLiteral("张"),
                            QStringLiteral("刘"), QStringLiteral("陈")};

QString sharedKey(int k)
{
    return QStringLiteral("2026020200000%1").arg(k);
}

// A sheet as a desk fills it: every box from the key and the desk, the stamp
// in the conclusion, so that a record read back tells which save wrote it.
ExamRecord filledSheet(const QString& key, const QString& tag, const QString& stamp)
{
    ExamRecord record;
    int i = 0;
    for (const BoxDef& box : FieldMap::boxes()) {
        record[box.field] = QStringLiteral("%1 %2 第%3栏 正常，未见异常").arg(key, tag).arg(++i);
    }
    record[Field::Name] = kSurnames[tag.toInt() % kSurnames.size()] + QStringLiteral("台") + tag;
    record[Field::Sex] = QStringLiteral("女");
    record[Field::Age] = QStringLiteral("56");
    record[Field::ExamDate] = g_dayStart.date().toString(Qt::ISODate);
    record[Field::Address] = QStringLiteral("东街%1号").arg(tag);
    record[Field::Key] = key;
    record[Field::Conclusion] = stamp;
    return record;
}

bool openDatabase(const QString& place, QString* error)
{
    return place.startsWith(QLatin1String("host="))
               ? Database::openServer(bench::configOf(place), error)
               : Database::open(QStringLiteral("Data Source=") + place + u';', error);
}

void say(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// One desk: prints "added KEY STAMP", "updated KEY STAMP" (STAMP
// "TAG-i/BASE", BASE the stamp loaded), "changed", "failed REASON", timing
// lines "t WHAT MS", then "done".
int desk(const QString& place, const QString& tag, int rounds, int seconds, int pace)
{
    QString error;
    if (!openDatabase(place, &error)) {
        say(QStringLiteral("failed ") + error);
        return 1;
    }
    const auto timed = [](const char* what, const auto& action) {
        QElapsedTimer timer;
        timer.start();
        const auto result = action();
        std::printf("t %s %.3f\n", what, double(timer.nsecsElapsed()) / 1e6);
        return result;
    };
    const QString from = g_dayStart.date().addYears(-1).toString(Qt::ISODate);
    const QString to = g_dayStart.date().toString(Qt::ISODate);
    // The start-up search: every record of the last year.
    ResultLines lines;
    timed("startup", [&] { return RecordStore::search({{}, {}, from, to}, lines, &error); });
    RecordSaver saver;
    const auto no = [](RecordSaver::Question) { return false; };
    QRandomGenerator random(tag.toUInt());
    QElapsedTimer day;
    day.start();
    for (int i = 0; i < rounds && day.elapsed() < seconds * 1000LL; ++i) {
        const qint64 roundStart = day.elapsed();
        // A sheet a minute; desks whose numbers leave the same remainder by
        // three take the same second, so that keys collide and move on.
        Clock::setFixed(g_dayStart.addSecs(60LL * i + tag.toInt() % 3));
        const QString stamp = tag + u'-' + QString::number(i);
        // 新建, the sheet filled, 保存.
        const std::optional<QString> key = saver.issueKey(&error);
        saver.setNew();
        if (!key) {
            say(QStringLiteral("failed ") + error);
            continue;
        }
        const RecordSaver::Outcome added =
            timed("new", [&] { return saver.save(filledSheet(*key, tag, stamp), no); });
        if (added.status == RecordSaver::Status::Saved) {
            say(QStringLiteral("added %1 %2").arg(saver.stored()->key(), stamp));
        } else {
            say(QStringLiteral("failed ") + added.error);
        }
        // A name search over the last year.
        const QString name = kSurnames[i % kSurnames.size()];
        timed("search", [&] { return RecordStore::search({name, {}, from, to}, lines, &error); });
        // A shared record loaded, changed, saved: every desk the same one
        // in the same round, so that desks change it under each other.
        const QString shared = sharedKey(i % kShared);
        ExamRecord loaded;
        if (!timed("load", [&] { return RecordStore::load(shared, loaded, &error); })) {
            say(QStringLiteral("failed ") + error);
            continue;
        }
        saver.setLoaded(loaded);
        const QString update = stamp + u'/' + loaded[Field::Conclusion];
        const RecordSaver::Outcome changed =
            timed("update", [&] { return saver.save(filledSheet(shared, tag, update), no); });
        if (changed.status == RecordSaver::Status::Saved) {
            say(QStringLiteral("updated %1 %2").arg(shared, update));
        } else if (changed.status == RecordSaver::Status::Declined) {
            say(QStringLiteral("changed"));
        } else {
            say(QStringLiteral("failed ") + changed.error);
        }
        // A batch of 20 as batch printing reads it.
        timed("batch", [&] {
            RecordReader reader;
            ExamRecord record;
            int read = 0;
            for (size_t k = 0; k < lines.size() && k < 20; ++k) {
                read += reader.read(lines.key(k), record) ? 1 : 0;
            }
            return read;
        });
        std::printf("t round %lld\n", day.elapsed() - roundStart);
        // The next round starts after a pause drawn at random around the
        // pace, as operators' sheets come: desks that started together do
        // not go on in step.
        const qint64 rest =
            qint64(-std::log(1.0 - random.generateDouble()) * pace) - (day.elapsed() - roundStart);
        if (rest > 0) {
            QThread::msleep(static_cast<unsigned long>(rest));
        }
    }
    say(QStringLiteral("done"));
    return 0;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

struct Options
{
    QString conninfo;
    QString database;
    int desks = 0;
    int rounds = 300;
    int seconds = 120;
    int pace = 1000;
};

// The shared records, each saved once with stamp "0".
bool prepare(const QString& place)
{
    QString error;
    if (!openDatabase(place, &error) || (!HistoryTables::present() && !HistoryTables::create(&error))) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    for (int k = 0; k < kShared; ++k) {
        if (!RecordStore::save(filledSheet(sharedKey(k), QStringLiteral("0"), QStringLiteral("0")), &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return false;
        }
    }
    return true;
}

int run(const Options& options, const QString& place)
{
    const bool server = !options.conninfo.isEmpty();
    if (!prepare(place)) {
        return 1;
    }
    const qint64 before = RecordStore::count();
    QSqlQuery newest = Database::prepare(QStringLiteral("select max(序列号) from 档案"));
    if (!Database::exec(newest) || !newest.next()) {
        std::fprintf(stderr, "the newest key could not be read\n");
        return 1;
    }
    const QDate newestDay = QDate::fromString(newest.value(0).toString().left(8), QStringLiteral("yyyyMMdd"));
    newest = QSqlQuery();
    if (newestDay.isValid() && newestDay >= g_dayStart.date()) {
        g_dayStart.setDate(newestDay.addDays(1));
    }
    Database::close();
    std::printf("%s, %d desks, %lld records at the start\n", server ? "PostgreSQL" : "SQLite file",
                options.desks, before);
    std::fflush(stdout);

    QElapsedTimer wall;
    wall.start();
    QTemporaryDir outputs;
    if (!outputs.isValid()) {
        std::fprintf(stderr, "no folder for the desks' lines: %s\n", qPrintable(outputs.errorString()));
        return 1;
    }
    std::vector<std::unique_ptr<QProcess>> desks;
    for (int d = 1; d <= options.desks; ++d) {
        auto process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // Into a file, read when the desk is done: a pipe that nobody reads
        // while the desks work would fill and stop them mid-script.
        process->setStandardOutputFile(outputs.filePath(QString::number(d)));
        process->start(QCoreApplication::applicationFilePath(),
                       {QStringLiteral("--desk"), place, QString::number(d), QString::number(options.rounds),
                        QString::number(options.seconds), QString::number(options.pace),
                        g_dayStart.toString(Qt::ISODate)});
        desks.push_back(std::move(process));
    }
    std::map<QString, std::vector<double>> times;
    std::map<QString, QString> added;                     // key -> stamp
    std::map<QString, std::map<QString, QString>> nextOf; // shared key -> base stamp -> update
    int finished = 0;
    int failed = 0;
    int changed = 0;
    int sharedKeys = 0;
    int branched = 0;
    QStringList failures;
    for (size_t d = 0; d < desks.size(); ++d) {
        const auto& process = desks[d];
        process->waitForFinished(-1);
        QFile output(outputs.filePath(QString::number(d + 1)));
        if (!output.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "desk %zu: %s\n", d + 1, qPrintable(output.errorString()));
        }
        const QStringList lines = QString::fromUtf8(output.readAll()).split(u'\n');
        finished += process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0 &&
                            lines.contains(QStringLiteral("done"))
                        ? 1
                        : 0;
        for (const QString& line : lines) {
            const QStringList parts = line.split(u' ');
            if (line.startsWith(QLatin1String("t "))) {
                times[parts.value(1)].push_back(parts.value(2).toDouble());
                if (parts.value(1) == QLatin1String("new") || parts.value(1) == QLatin1String("update")) {
                    times[QStringLiteral("save")].push_back(parts.value(2).toDouble());
                }
            } else if (line.startsWith(QLatin1String("added "))) {
                sharedKeys += added.emplace(parts.value(1), parts.value(2)).second ? 0 : 1;
            } else if (line.startsWith(QLatin1String("updated "))) {
                const QString update = parts.value(2);
                branched += nextOf[parts.value(1)].emplace(update.section(u'/', 1), update).second ? 0 : 1;
            } else if (line == QLatin1String("changed")) {
                ++changed;
            } else if (line.startsWith(QLatin1String("failed "))) {
                ++failed;
                failures << line;
            }
        }
    }
    const double seconds = double(wall.elapsed()) / 1000.0;

    // The database afterwards: every save reported done is stored as saved,
    // under a key of its own; each shared record ends the one chain of
    // updates from its first save, every update reported done in it.
    QString error;
    if (!openDatabase(place, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    int lost = 0;
    for (const auto& [key, stamp] : added) {
        ExamRecord record;
        lost += RecordStore::load(key, record) && record[Field::Conclusion] == stamp ? 0 : 1;
    }
    // A record more than the desks reported saved was stored twice, or by
    // a save reported failed.
    const qint64 after = RecordStore::count();
    const qint64 unreported = std::max<qint64>(0, (after - before) - qint64(added.size()));
    int updates = 0;
    for (int k = 0; k < kShared; ++k) {
        const auto& chain = nextOf[sharedKey(k)];
        updates += int(chain.size());
        QString stamp = QStringLiteral("0");
        size_t steps = 0;
        for (auto next = chain.find(stamp); next != chain.end() && steps <= chain.size();
             next = chain.find(stamp), ++steps) {
            stamp = next->second;
        }
        ExamRecord record;
        if (!RecordStore::load(sharedKey(k), record) || record[Field::Conclusion] != stamp ||
            steps != chain.size()) {
            ++lost;
        }
    }
    Database::close();

    const int saves = int(times["save"].size());
    std::printf("%d saves in %.1f s: %.1f saves/s (%zu new records, %d updates, %d told of a change, "
                "%d failed)\n",
                saves, seconds, seconds > 0 ? saves / seconds : 0.0, added.size(), updates, changed, failed);
    for (const char* what : {"save", "new", "update", "load", "search", "batch", "startup", "round"}) {
        const auto& values = times[QString::fromLatin1(what)];
        std::printf("%-8s p50 %8.2f ms  p99 %8.2f ms  (%zu)\n", what, percentile(values, 0.5),
                    percentile(values, 0.99), values.size());
    }
    for (const QString& failure : failures.mid(0, 5)) {
        std::printf("  %s\n", qPrintable(failure));
    }
    const double saveP99 = percentile(times["save"], 0.99);
    const double searchP99 = percentile(times["search"], 0.99);
    const QString label = QStringLiteral("%1, %2 desks, %3 records")
                              .arg(server ? QStringLiteral("PostgreSQL") : QStringLiteral("SQLite file"))
                              .arg(options.desks)
                              .arg(before);
    if (server) {
        bench::target(qPrintable(label + QStringLiteral(": p99 of a save")),
                      QStringLiteral("%1 ms").arg(saveP99, 0, 'f', 1), QStringLiteral("under 50 ms"),
                      saveP99 > 0 && saveP99 < 50);
        bench::target(qPrintable(label + QStringLiteral(": p99 of the name search")),
                      QStringLiteral("%1 ms").arg(searchP99, 0, 'f', 1), QStringLiteral("under 500 ms"),
                      searchP99 > 0 && searchP99 < 500);
    } else {
        bench::target(qPrintable(label + QStringLiteral(": p99 of a save")),
                      QStringLiteral("%1 ms").arg(saveP99, 0, 'f', 1), QStringLiteral("under 200 ms"),
                      saveP99 > 0 && saveP99 < 200);
    }
    bool sound = true;
    sound &= bench::target(qPrintable(label + QStringLiteral(": saves lost")), QString::number(lost),
                           QStringLiteral("0"), lost == 0);
    sound &= bench::target(qPrintable(label + QStringLiteral(": keys shared by two records")),
                           QString::number(sharedKeys), QStringLiteral("0"), sharedKeys == 0);
    sound &= bench::target(qPrintable(label + QStringLiteral(": records stored that no desk reported saved")),
                           QString::number(unreported), QStringLiteral("0"), unreported == 0);
    sound &= bench::target(qPrintable(label + QStringLiteral(": updates not built on the one before")),
                           QString::number(branched), QStringLiteral("0"), branched == 0);
    sound &= bench::target(qPrintable(label + QStringLiteral(": desks that finished their script")),
                           QStringLiteral("%1 of %2").arg(finished).arg(options.desks), QStringLiteral("all"),
                           finished == options.desks);
    return sound ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments();
    if (arguments.size() == 8 && arguments[1] == QLatin1String("--desk")) {
        g_dayStart = QDateTime::fromString(arguments[7], Qt::ISODate);
        return desk(arguments[2], arguments[3], arguments[4].toInt(), arguments[5].toInt(),
                    arguments[6].toInt());
    }
    Options options;
    QStringList rest{arguments.value(0)};
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const QString value = arguments.value(i + 1);
        if (argument == QLatin1String("--postgresql")) {
            options.conninfo = value;
        } else if (argument == QLatin1String("--desks")) {
            options.desks = value.toInt();
        } else if (argument == QLatin1String("--rounds")) {
            options.rounds = value.toInt();
        } else if (argument == QLatin1String("--seconds")) {
            options.seconds = value.toInt();
        } else if (argument == QLatin1String("--pace")) {
            options.pace = value.toInt();
        } else {
            rest << argument;
            continue;
        }
        ++i;
    }
    if (options.desks <= 0) {
        options.desks = options.conninfo.isEmpty() ? 5 : 20;
    }
    std::vector<QByteArray> restArgs;
    std::vector<char*> restArgv;
    for (const QString& argument : rest) {
        restArgs.push_back(argument.toLocal8Bit());
    }
    for (QByteArray& argument : restArgs) {
        restArgv.push_back(argument.data());
    }
    const QString database = bench::benchDatabase(int(restArgv.size()), restArgv.data());
    if (database.isEmpty()) {
        return 1;
    }
    if (!options.conninfo.isEmpty()) {
        // An empty server database gets the generated records first.
        QProcess::execute(QString::fromUtf8(BRENVOLL_MIGRATE_TOOL), {database, options.conninfo});
        return run(options, options.conninfo);
    }
    // The desks write: they work on a copy.
    QTemporaryDir folder(QFileInfo(database).absolutePath() + QStringLiteral("/bench-desks-XXXXXX"));
    const QString copy = folder.filePath(QStringLiteral("数据库.db"));
    if (!folder.isValid() || !QFile::copy(database, copy)) {
        std::fprintf(stderr, "cannot copy %s\n", qPrintable(database));
        return 1;
    }
    QFile::setPermissions(copy, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return run(options, copy);
}
