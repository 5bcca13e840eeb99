#pragma once
// Adding the tables of the kept versions to a database made before they
// existed: once, on the file after a safety copy beside it (named and kept as
// a restore keeps the database it replaces, so 恢复备份 lists it), in one
// transaction that adds all of them or nothing. The designed tables are
// never touched. Without the tables the program works on, keeping no
// versions.
#include <QDateTime>
#include <QString>

namespace brenvoll {

class HistoryUpgrade
{
public:
    enum class Result
    {
        Present,  // the database had the tables
        Upgraded, // they were added (safetyCopy() names the copy on a file)
        Failed,   // nothing changed; error() says why
    };
    // Adds the tables to the open database when it lacks them.
    static Result run(const QDateTime& now);
    // The message for the operator when run() failed.
    static QString failureMessage(const QString& error);

    static QString safetyCopy();
    static QString error();

    // On the file: a safety copy of the database beside it, named as a
    // restore names the database it replaces, in `copy`; false with a reason.
    // With a server there is nothing to copy (true, `copy` empty).
    static bool takeSafetyCopy(const QDateTime& now, QString* copy, QString* error);
};

} // namespace brenvoll
