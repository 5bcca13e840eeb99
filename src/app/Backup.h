#pragma once
// The backup made when the main window closes: the database and the program
// file are copied into the day folder ("7日" on the 7th) of the backup folder,
// so that the copies rotate over a month.
#include <QDate>
#include <QString>
#include <QStringList>

namespace brenvoll {

class Backup
{
public:
    // "7日" for the 7th of any month.
    static QString dayFolderName(const QDate& day);
    // The backup folder with the day folder below it, platform separators.
    static QString dayFolder(const QString& backupFolder, const QDate& day);

    // Creates the day folder (and every missing level above it) and copies
    // `databaseFile` and `programFile` into it under their own names, and the
    // drafts file beside the database (draftsPath()) when there is one. Returns
    // one operator-readable line per failed step; empty when every copy is
    // in place. The program's own database is not copied once its file was
    // deleted, moved away or replaced while the program ran.
    static QStringList run(const QString& backupFolder, const QDate& day, const QString& databaseFile,
                           const QString& programFile);

    // The one message that tells the operator what `run` could not do.
    static QString failureMessage(const QStringList& failures);

    // Every file is written under a new name of its own in the target's
    // folder and renamed over the target once whole and synced: a link or a
    // file already at the target's name is replaced, never written through,
    // and an earlier target survives any failure. The target's folder must
    // not itself be a link. Copies are readable and writable by their owner
    // only.

    // Writes a consistent copy of the SQLite database `source` to `target`:
    // checked for integrity and read page by page inside one read
    // transaction of its own (so never in the middle of a write, and with a
    // pending journal rolled back first).
    static bool copyDatabase(const QString& source, const QString& target, QString* error = nullptr);
    // Copies an ordinary file.
    static bool copyFile(const QString& source, const QString& target, QString* error = nullptr);

    // SQLite's full integrity check of the database file at `path`, opened
    // read-only on its own connection.
    static bool checkDatabase(const QString& path, QString* error = nullptr);
};

} // namespace brenvoll
