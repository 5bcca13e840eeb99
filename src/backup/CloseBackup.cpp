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

namespace brenvoll {

// Backs the database and the program up into today's folder of the backup
// folder (the program's copy of the settings, typed or saved; the home
// folder when it is empty); the operator hears once what could not be copied.
void backUpOnClose(bool withDrafts)
{
    const CurrentSettings& settings = CurrentSettings::get();
    QStringList failures;
    if (!settings.loadError().isNull()) {
        failures << QStringLiteral("无法读取备份文件夹的设置（%1），数据库和程序文件都没有备份。")
                        .arg(settings.loadError());
    } else {
        // With a server, the file names where this workstation keeps its drafts.
        const QString database = Database::isOpen() && !Database::filePath().isEmpty()
                                     ? Database::filePath()
                                     : databasePath(programFolder());
        Backup::Job job = Backup::prepare(settings.backupFolder(), Clock::today(), database,
                                          QCoreApplication::applicationFilePath());
        job.copyDrafts = withDrafts;
        failures = job.failures;
        // What a restore killed in the middle left beside the database goes too.
        if (job.copyDatabase) {
            Restore::removeLeftovers(database);
        }
        // A database of many years takes seconds: the operator sees it go on.
        if (job.folderReady) {
            ProgressWindow::run(QStringLiteral("正在备份数据库…"), [&](const Backup::Progress& progress) {
                failures = Backup::copy(job, progress);
            });
        }
    }
    if (!failures.isEmpty()) {
        MessageBox::warning(nullptr, Backup::failureMessage(failures));
    }
}

} // namespace brenvoll
