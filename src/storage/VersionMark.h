#pragma once
// The version of the program that last upgraded the database, kept in a
// table of its own (程序版本, one row) beside the designed tables, which it
// never alters, on the file and on a server alike. An older program reads it
// before it writes anything and refuses a database that a newer one
// upgraded: the newer program may have changed what the older one would
// misread or undo. A database made before the mark records none.
#include <QByteArray>
#include <QString>
#include <QVersionNumber>

namespace brenvoll {

class VersionMark
{
public:
    // The version the open database records, in `recorded`; null when it
    // records none. False with a reason when it cannot be read.
    static bool read(QVersionNumber* recorded, QString* error = nullptr);
    // The operator's message refusing a database that `recorded` upgraded
    // when that is newer than `program`; empty otherwise.
    static QString refusal(const QVersionNumber& recorded, const QVersionNumber& program);
    // The statements that record `program` as the version that last
    // upgraded the database, making the table when it lacks it: a step for
    // an upgrade's script, which then keeps the mark with the upgrade or
    // neither. The same text on the file and on a server.
    static QByteArray script(const QVersionNumber& program);
    // Runs script() in a transaction of its own.
    static bool write(const QVersionNumber& program, QString* error = nullptr);
    // For start-up, before anything is written: the refusal of a database
    // that a newer program upgraded, empty when it may be used (also when
    // the mark cannot be read: the steps that follow say why).
    static QString refusalFor(const QVersionNumber& program);
    // After the upgrade steps (which took the safety copy): records
    // `program` on a database that records an older version or none, in a
    // transaction of its own. False with a reason when it cannot be written
    // (a read-only file, a server user who may not create tables).
    static bool recordIfOlder(const QVersionNumber& program, QString* error = nullptr);
};

} // namespace brenvoll
