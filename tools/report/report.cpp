// brenvoll-report statistics …: the count of 体检统计 as CSV or .xlsx, for
// scripts and for the county (see statisticsfiles/StatisticsCommand.h).
#include "brenvoll-version.h"
#include "statisticsfiles/StatisticsCommand.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brenvoll-report"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kBrenvollVersion));
    const brenvoll::CommandResult result = brenvoll::runReportCommand(QCoreApplication::arguments().mid(1));
    if (!result.output.isEmpty()) {
        std::fputs(result.output.toUtf8().constData(), stdout);
    }
    if (!result.error.isEmpty()) {
        std::fputs((result.error + u'\n').toUtf8().constData(), stderr);
    }
    return result.exitCode;
}
