#include "BenchDatabase.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <cstdio>

namespace brenvoll::bench {

QString benchDatabase(int argc, char** argv)
{
    const QString db = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString::fromUtf8(BRENVOLL_BENCH_DB);
    if (!QFileInfo::exists(db)) {
        QDir().mkpath(QFileInfo(db).path());
        std::printf("generating %s ...\n", qPrintable(db));
        std::fflush(stdout);
        if (QProcess::execute(QString::fromUtf8(BRENVOLL_GEN_TOOL), {QString::fromUtf8(BRENVOLL_TEMPLATE_DB),
                                                                     db, QStringLiteral("1000000")}) != 0) {
            std::fprintf(stderr, "generation failed\n");
            return {};
        }
    }
    return db;
}

} // namespace brenvoll::bench
