#include "StatisticsReport.h"

#include <QDate>

namespace brenvoll {

QString StatisticsReport::heading() const
{
    QString line = QStringLiteral("统计期间：%1 至 %2").arg(from, to);
    if (!address.isEmpty()) {
        line += QStringLiteral("    地址含：") + address;
    }
    return line;
}

int StatisticsReport::year() const
{
    return periodYear(to);
}

int periodYear(const QString& to)
{
    return QDate::fromString(to, Qt::ISODate).year();
}

} // namespace brenvoll
