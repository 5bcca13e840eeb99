#pragma once
// The server the benchmarks run on, named by a libpq connection string.
#include "storage/ServerConfig.h"

#include <QString>
#include <QStringList>

namespace brenvoll::bench {

// The server of "host=… port=… dbname=… user=…".
inline ServerConfig configOf(const QString& conninfo)
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

} // namespace brenvoll::bench
