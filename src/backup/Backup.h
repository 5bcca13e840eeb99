#pragma once
// The backup made when the main window closes: the database and the program
// file are copied into the day folder ("7日" on the 7th) of the backup folder,
// so that the copies rotate over a month.
#include <QDate>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace brenvoll {

class FolderLock;
class StagedFile;

class Backup
{
public:
    // Pages copied so far and pages in all; called on the copying thread.
    using Progress = std::function<void(qint64 done, qint64 total)>;

    // Why a step failed, as far as the operator's next step goes: the backup
    // folder could not be created or written into (a full or read-only disk,
    // no permission), the file to copy stayed in use by another copy of the
    // program or another program beyond the wait, or something the failure
    // names itself (a file missing, damaged or replaced, a server dump).
    enum class Cause
    {
        Other,
        Folder,
        InUse,
    };

    // "7日" for the 7th of any month.
    static QString dayFolderName(const QDate& day);
    // The folder backups go into for the stored setting: the setting itself,
    // or the user's home folder when it is empty (the root of the file
    // system is not the user's to write).
    static QString folderOf(const QString& setting);
    // The backup folder (as folderOf()) with the day folder below it,
    // platform separators.
    static QString dayFolder(const QString& backupFolder, const QDate& day);

    // Creates the day folder (and every missing level above it) and copies
    // `databaseFile` and `programFile` into it under their own names, and the
    // drafts file beside the database (draftsPath()) when there is one. With a
    // server, a dump of its database, 数据库.dump, takes the database file's
    // place (`databaseFile` then only names where this workstation keeps its
    // drafts). Returns one operator-readable line per failed step; empty when
    // every copy is
    // in place. The program's own database is not copied once its file was
    // deleted, moved away or replaced while the program ran.
    // The cause of each failure goes into `causes`, in the same order.
    static QStringList run(const QString& backupFolder, const QDate& day, const QString& databaseFile,
                           const QString& programFile, const Progress& progress = {},
                           QList<Cause>* causes = nullptr);

    // run() in two halves for a caller that copies on a thread of its own:
    // prepare() on the thread of the program's connection, copy() on any.
    // prepare() also removes what a backup killed in the middle left in the
    // day folder, unless another backup is writing there.
    struct Job
    {
        QString folder; // the day folder, created
        QString databaseFile;
        QString programFile;
        QStringList failures;                   // what prepare() found
        QList<Cause> causes;                    // and why, one for each
        bool folderReady = false;               // the program file and the drafts are copied
        bool copyDatabase = false;              // and the database too
        bool dumpServer = false;                // a dump of the server database instead
        QProcessEnvironment server;             // pg_dump's connection to it
        std::shared_ptr<FolderLock> folderLock; // the day folder, held until the copies are made
        bool copyDrafts = true;                 // the drafts file too, when there is one
    };
    static Job prepare(const QString& backupFolder, const QDate& day, const QString& databaseFile,
                       const QString& programFile);
    static QStringList copy(const Job& job, const Progress& progress = {}, QList<Cause>* causes = nullptr);

    // The one message that tells the operator what `run` could not do, with
    // the advice its causes call for: another backup folder only when the
    // folder was at fault, the other copy named when a file was in use.
    static QString failureMessage(const QStringList& failures, const QList<Cause>& causes);

    // Every file is written as a StagedFile: a link or a file already at the
    // target's name is replaced, never written through, and an earlier target
    // survives any failure. Database copies are readable and writable by
    // their owner only; a program copy keeps its owner's right to run it.

    // How a copy of a database is checked. A copy read page by page inside
    // one read transaction holds exactly the pages of the source: what it can
    // hold wrong is damage the source has. Before a restore every page of the
    // copy is checked and every index against its table (Full); the backup on
    // close checks that every page of the source is sound, which damage to
    // the file (a torn or overwritten page, a cut-off file) fails (Quick).
    enum class Check
    {
        Quick,
        Full,
    };

    // Writes a consistent copy of the SQLite database `source` to `target`:
    // checked as `check` says and read page by page inside one read
    // transaction of its own (so never in the middle of a write, and with a
    // pending journal rolled back first). A database in write-ahead-log mode
    // (the drafts file of a run that did not close cleanly) is copied through
    // the engine, which reads its log: the copy holds the log's contents and
    // is an ordinary database file of its own.
    // A failure's cause goes into `cause`.
    static bool copyDatabase(const QString& source, const QString& target, QString* error = nullptr,
                             const Progress& progress = {}, Check check = Check::Full,
                             Cause* cause = nullptr);
    // The same copy into `out`, synced but not yet published.
    static bool writeDatabase(const QString& source, StagedFile& out, QString* error = nullptr,
                              const Progress& progress = {}, Check check = Check::Full,
                              Cause* cause = nullptr);
    // pg_dump's environment for the server database in use: host, port,
    // database, user and, when brenvoll.ini holds them, password and sslmode.
    static QProcessEnvironment serverEnvironment();
    // A pg_dump custom-format file of the server database that `environment`
    // names (restored with pg_restore), written as every backup file is.
    // Its size is not known beforehand: `progress` is told the bytes written
    // so far, with a total of -1.
    static bool dumpServer(const QProcessEnvironment& environment, const QString& target,
                           QString* error = nullptr, Cause* cause = nullptr, const Progress& progress = {});
    // Copies an ordinary file.
    static bool copyFile(const QString& source, const QString& target, QString* error = nullptr,
                         Cause* cause = nullptr);

    // SQLite's full integrity check of the database file at `path`, opened
    // read-only on its own connection.
    static bool checkDatabase(const QString& path, QString* error = nullptr);
};

} // namespace brenvoll
