#include "BackupAge.h"

#include "Backup.h"
#include "base/Clock.h"
#include "base/ProgramPaths.h"
#include "settings/CurrentSettings.h"
#include "storage/Database.h"

#include <QDir>
#include <QFileInfo>

namespace brenvoll {

namespace {
constexpr int kLastDay = 31;
const QString kClosingBacksUp = QStringLiteral("关闭主窗口时程序会自动备份；点“退出”离开时不备份。");
} // namespace

std::optional<QDateTime> BackupAge::newest(const QString& backupFolder, const QString& fileName)
{
    std::optional<QDateTime> newest;
    for (int day = 1; day <= kLastDay; ++day) {
        // January has every day of the month.
        const QString dayFolder = Backup::dayFolder(backupFolder, QDate(2000, 1, day));
        const QFileInfo copy(QDir(dayFolder).filePath(fileName));
        if (QFileInfo(dayFolder).isSymLink() || copy.isSymLink() || !copy.isFile()) {
            continue;
        }
        if (!newest || copy.lastModified() > *newest) {
            newest = copy.lastModified();
        }
    }
    return newest;
}

QString BackupAge::notice(const std::optional<QDateTime>& newest, const QDate& today)
{
    if (!newest) {
        return QStringLiteral("还没有数据备份。") + kClosingBacksUp;
    }
    const qint64 days = newest->date().daysTo(today);
    if (days <= kDaysTold) {
        return {};
    }
    return QStringLiteral("最近一次数据备份在 %1 天前。").arg(days) + kClosingBacksUp;
}

QString BackupAge::currentNotice()
{
    const CurrentSettings& settings = CurrentSettings::get();
    if (!settings.loadError().isNull()) {
        return {};
    }
    // The backup on close writes a dump of a server database in place of the
    // database file.
    const QString copyName = Database::engine() == Database::Engine::PostgreSQL
                                 ? QStringLiteral("数据库.dump")
                                 : QFileInfo(databasePath(QString())).fileName();
    return notice(newest(settings.backupFolder(), copyName), Clock::today());
}

} // namespace brenvoll
