#include "CloseBackup.h"

#include "Backup.h"
#include "ProgressWindow.h"
#include "Restore.h"
#include "base/Clock.h"
#include "base/ProgramPaths.h"
#include "settings/CurrentSettings.h"
#include "storage/Database.h"
#include "ui/MessageBox.h"

#include <QCoreApplication>
#include <QDir>

namespace brenvoll {

// Backs the database and the program up into today's folder of the backup
// folder (the program's copy of the settings, typed or saved; the home
// folder when it is empty); the operator hears once what could not be copied.
void backUpOnClose(bool withDrafts)
{
    const CurrentSettings& settings = CurrentSettings::get();
    QStringList failures;
    QList<Backup::Cause> causes;
    if (!settings.loadError().isNull()) {
        // A database file replaced while the program ran is most often a
        // backup that another copy in the same folder restored over it.
        if (Database::isOpen() && Database::engine() == Database::Engine::SQLite && !Database::checkFile()) {
            failures << QStringLiteral("数据库文件“%1”在本程序运行时被删除、移走或替换了（例如同一文件夹中"
                                       "的另一个副本恢复了备份），数据库和程序文件都没有备份。")
                            .arg(QDir::toNativeSeparators(Database::filePath()));
        } else {
            failures << QStringLiteral("无法读取备份文件夹的设置（%1），数据库和程序文件都没有备份。")
                            .arg(settings.loadError());
        }
        causes << Backup::Cause::Other;
    } else {
        // With a server, the file names where this workstation keeps its drafts.
        const QString database = Database::isOpen() && !Database::filePath().isEmpty()
                                     ? Database::filePath()
                                     : databasePath(dataFolder());
        Backup::Job job = Backup::prepare(settings.backupFolder(), Clock::today(), database,
                                          QCoreApplication::applicationFilePath());
        job.copyDrafts = withDrafts;
        failures = job.failures;
        causes = job.causes;
        // What a restore killed in the middle left beside the database goes too.
        if (job.copyDatabase) {
            Restore::removeLeftovers(database);
        }
        // A database of many years takes seconds: the operator sees it go on.
        if (job.folderReady) {
            ProgressWindow::run(QStringLiteral("正在备份数据库…"), [&](const Backup::Progress& progress) {
                failures = Backup::copy(job, progress, &causes);
            });
        }
    }
    if (!failures.isEmpty()) {
        MessageBox::warning(nullptr, Backup::failureMessage(failures, causes));
    }
}

} // namespace brenvoll
