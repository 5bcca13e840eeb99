#pragma once
// Adding the tables of the operators' accounts to a database made before
// they existed, when its first account is made: on the file after a safety
// copy beside it (as the kept versions' tables are added), in one
// transaction that adds all of them or nothing. The designed tables are
// never touched; without the new tables the designed login goes on.
#include <QDateTime>
#include <QString>

namespace brenvoll {

class AccountsUpgrade
{
public:
    // True when the open database has the tables, now or already; false with
    // a reason, the database as it was.
    static bool run(const QDateTime& now, QString* error = nullptr);
    // The safety copy the last run() took; empty when it took none.
    static QString safetyCopy();
};

} // namespace brenvoll
