#pragma once
// When, how, where and by whom a stored record was changed: the stamp of a
// kept version (RecordStore keeps them, RecordHistory reads them back).
#include <QString>

namespace brenvoll {

struct VersionStamp
{
    static const QString kChanged; // 修改
    static const QString kDeleted; // 删除

    QString time;   // yyyy-MM-dd hh:mm:ss
    QString action; // 修改 or 删除
    QString desk;   // the host name of the workstation
    QString operatorName;

    // The stamp of a change made now on this desk.
    static VersionStamp now(const QString& action);
    // Who changes records: the logged-in account's name and user name, set
    // at each login; without accounts everybody logs in with the one shared
    // password.
    static QString operatorNow();
    // The operator of the changes from now on; empty: the shared password.
    static void setOperator(const QString& name);
};

} // namespace brenvoll
