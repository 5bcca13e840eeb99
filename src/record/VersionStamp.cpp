#include "VersionStamp.h"

#include "base/Clock.h"

#include <QSysInfo>

namespace brenvoll {

const QString VersionStamp::kChanged = QStringLiteral("修改");
const QString VersionStamp::kDeleted = QStringLiteral("删除");

VersionStamp VersionStamp::now(const QString& action)
{
    return {Clock::now().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")), action, QSysInfo::machineHostName(),
            operatorNow()};
}

namespace {
QString g_operator;
} // namespace

QString VersionStamp::operatorNow()
{
    return g_operator.isEmpty() ? QStringLiteral("（共用密码）") : g_operator;
}

void VersionStamp::setOperator(const QString& name)
{
    g_operator = name;
}

} // namespace brenvoll
