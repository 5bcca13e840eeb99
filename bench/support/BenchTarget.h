#pragma once
// What the benchmarks share: one line per target in the form
//   TARGET <what>: <figure> (goal <goal>): ok        (or ": MISSED")
// the peak resident memory of this process, and running this same benchmark
// again as a child for one memory figure, so that no target's peak hides
// another's.
#include <QCoreApplication>
#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace brenvoll::bench {

// Prints the target's line; returns whether it was met.
inline bool target(const char* what, const QString& figure, const QString& goal, bool met)
{
    std::printf("TARGET %s: %s (goal %s): %s\n", what, qPrintable(figure), qPrintable(goal),
                met ? "ok" : "MISSED");
    std::fflush(stdout);
    return met;
}

// A ratio that must stay at most `most`; one that is not above zero (a side
// that failed or was not measured) misses.
inline bool ratioTarget(const char* what, double ratio, double most)
{
    return target(what, QString::number(ratio, 'f', 2), QStringLiteral("at most %1").arg(most, 0, 'f', 2),
                  ratio > 0 && ratio <= most);
}

// Peak resident memory in MB (below 1000 * 1000 * `under` bytes counts).
inline bool memoryTarget(const char* what, double peakMb, double underMb)
{
    return target(what, QStringLiteral("%1 MB").arg(peakMb, 0, 'f', 0),
                  QStringLiteral("under %1 MB").arg(underMb, 0, 'f', 0), peakMb < underMb);
}

// Peak resident memory of this process so far, in MB (10^6 bytes).
inline double peakMemoryMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) * 1024.0 / 1e6;
}

// The last line a child prints is "peak <MB>"; what it prints before goes
// to our output. Returns -1 when the child failed.
inline double childPeakMb(const QStringList& arguments)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        std::fprintf(stderr, "%s failed\n", qPrintable(arguments.join(u' ')));
        return -1;
    }
    const QStringList lines =
        QString::fromLocal8Bit(child.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    double peak = -1;
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("peak "))) {
            peak = line.mid(5).toDouble();
        } else {
            std::printf("  %s\n", qPrintable(line));
        }
    }
    return peak;
}

// A child is run as "PROGRAM --memory WHAT DATABASE": its WHAT and DATABASE,
// or nothing in the parent.
inline std::optional<std::pair<QString, QString>> memoryChildArguments()
{
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 4 && arguments[1] == QLatin1String("--memory")) {
        return std::pair(arguments[2], arguments[3]);
    }
    return std::nullopt;
}

// Prints the child's figure as its last line.
inline void reportPeak()
{
    std::printf("peak %.1f\n", peakMemoryMb());
}

inline double minimum(const std::vector<double>& values)
{
    return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

} // namespace brenvoll::bench
