#pragma once
// Bringing a database made by an older program up to this one: what it lacks
// beside the designed tables (SchemaSteps: the kept versions' tables, the
// accounts' tables, the index of names, in that order) is added where the
// database opens, before any window reads it: at start-up and after a
// restore. On the file one safety copy is taken first, beside it (named and
// kept as a restore keeps the database it replaces, so 恢复备份 lists it);
// then every missing step runs in one transaction, so that the database gets
// all of them or none. The designed tables are never touched. When the
// upgrade fails the program works on: without versions and with the
// designed login.
#include <QDateTime>
#include <QString>

class QWidget;

namespace brenvoll {

class SchemaUpgrade
{
public:
    enum class Outcome
    {
        NothingToDo, // the database had every step (or lacks only one it works on without)
        Upgraded,    // the missing steps were added
        Failed,      // the database is as it was; `error` says why
    };
    struct Result
    {
        Outcome outcome = Outcome::NothingToDo;
        // Why it failed; with NothingToDo, why a step the database works on
        // without could not be added (empty when none was missing).
        QString error;
        // The safety copy kept beside the file: taken before an upgrade and
        // kept when the upgrade changed the file. Empty with a server, and
        // when nothing changed (a copy of an unchanged file would only pile
        // up at every start).
        QString safetyCopy;
    };

    // Adds the missing steps to the open database.
    static Result run(const QDateTime& now);

    // run(), telling the operator (over `parent`) when it failed: where the
    // program opens a database.
    static Result runAndTell(QWidget* parent, const QDateTime& now);

    // The message for the operator when run() failed.
    static QString failureMessage(const QString& error);

    // On the file: a safety copy of the database beside it, named as a
    // restore names the database it replaces, in `copy`; false with a reason.
    // With a server there is nothing to copy (true, `copy` empty).
    static bool takeSafetyCopy(const QDateTime& now, QString* copy, QString* error);
};

} // namespace brenvoll
