#pragma once
// Putting a backup of the database back in place of the program's database:
// finding the copies in the day folders, checking them, and the restore
// itself, which first keeps the current database beside the program and
// never leaves a half-written database behind.
#include "Backup.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

namespace brenvoll {

class FolderLock;
class StagedFile;

// A copy of the database found in a day folder, or a database kept beside
// the program before a restore.
struct BackupCopy
{
    QString path;
    QString dayFolder; // "7日"; "恢复前" for a database kept before a restore
    QDateTime modified;
    qint64 size = 0;
};

// What the check of a copy found.
struct CopyState
{
    bool sound = false;
    qint64 records = -1; // -1 when they could not be counted
    QString problem;     // why the copy is not sound
};

class Restore
{
public:
    // Every copy of the database in the day folders 1日 … 31日 of `folders`
    // (a folder named twice is looked at once) and every database kept
    // before a restore beside `databaseFile`, newest first. A link (at a
    // copy's name or a day folder's) is no copy: it is never followed.
    static QList<BackupCopy> find(const QStringList& folders, const QString& databaseFile = {});

    // SQLite's full integrity check of a copy, the program's three tables in
    // it with their designed columns, and its number of records, on a
    // connection of its own (any thread). Stops early once `*cancel` turns
    // true.
    static CopyState inspect(const QString& path, const std::atomic_bool* cancel = nullptr);

    // "数据库.恢复前-20260507-183000.db": the name the current database is
    // kept under before a restore at `at`.
    static QString safetyCopyName(const QDateTime& at);

    // Removes what a restore killed in the middle left beside `databaseFile`
    // (the part files of its two copies), unless another restore is writing
    // there. A restore does so itself when it starts.
    static void removeLeftovers(const QString& databaseFile);

    // The steps of a restore, as the operator hears of them.
    enum class Step
    {
        None,
        KeepCurrent, // 1: the current database copied beside the program
        WriteChosen, // 2: the chosen copy checked and written beside it
        Replace,     // 3: the copy put in place of the database
        Reopen,      // 3: the program's connection opened on it again
    };
    static QString stepName(Step step);

    // One restore of the copy `copy` over the database file `database`.
    // prepare() writes the two copies (on any thread, they take long);
    // replace() puts the checked copy in place on the thread of the
    // program's connection, which it closes first and opens again after.
    // When a step fails, `database` is as it was, and failedStep() and
    // error() say which step and why.
    Restore(const QString& copy, const QString& database, const QDateTime& now);
    ~Restore();
    Restore(const Restore&) = delete;
    Restore& operator=(const Restore&) = delete;

    QString databaseFile() const { return m_database; }
    // The file the current database is kept in (beside the program).
    QString safetyCopy() const { return m_safetyCopy; }
    bool prepare(const Backup::Progress& progress = {});
    bool replace();
    Step failedStep() const { return m_failedStep; }
    QString error() const { return m_error; }

private:
    bool fail(Step step, const QString& error);
    bool lockAndReplace(QString& error);
    QString designProblem(const QString& path) const;

    QString m_copy;
    QString m_database;
    QString m_safetyCopy;
    std::unique_ptr<FolderLock> m_folderLock; // the database's folder, while the copies are written
    std::unique_ptr<StagedFile> m_staged;     // the chosen copy, written and synced
    Step m_failedStep = Step::None;
    QString m_error;
};

} // namespace brenvoll
