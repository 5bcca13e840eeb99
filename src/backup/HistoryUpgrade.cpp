#include "HistoryUpgrade.h"

#include "Backup.h"
#include "Restore.h"
#include "storage/Database.h"
#include "storage/HistoryTables.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace brenvoll {

namespace {
QString g_safetyCopy;
QString g_error;
} // namespace

HistoryUpgrade::Result HistoryUpgrade::run(const QDateTime& now)
{
    g_safetyCopy.clear();
    g_error.clear();
    if (HistoryTables::present()) {
        return Result::Present;
    }
    if (!Database::isOpen()) {
        g_error = QStringLiteral("数据库没有打开。");
        return Result::Failed;
    }
    if (!takeSafetyCopy(now, &g_safetyCopy, &g_error)) {
        return Result::Failed;
    }
    if (!HistoryTables::create(&g_error)) {
        // The file is as it was: its copy would only pile up at every start.
        if (!g_safetyCopy.isEmpty()) {
            QFile::remove(g_safetyCopy);
            g_safetyCopy.clear();
        }
        return Result::Failed;
    }
    return Result::Upgraded;
}

QString HistoryUpgrade::failureMessage(const QString& error)
{
    return QStringLiteral("无法为数据库添加历史版本的数据表，数据库保持原样：%1\n"
                          "程序照常使用，但本次运行中保存和删除不保留历史版本。")
        .arg(error);
}

bool HistoryUpgrade::takeSafetyCopy(const QDateTime& now, QString* copy, QString* error)
{
    copy->clear();
    if (Database::engine() != Database::Engine::SQLite) {
        return true;
    }
    const QString database = Database::filePath();
    const QDir folder = QFileInfo(database).absoluteDir();
    const QString name = Restore::safetyCopyName(now);
    QString path = folder.filePath(name);
    for (int n = 2; QFileInfo::exists(path); ++n) {
        path = folder.filePath(QString(name).insert(name.size() - 3, u'-' + QString::number(n)));
    }
    if (!Backup::copyDatabase(database, path, error, {}, Backup::Check::Quick)) {
        return false;
    }
    *copy = path;
    return true;
}

QString HistoryUpgrade::safetyCopy()
{
    return g_safetyCopy;
}

QString HistoryUpgrade::error()
{
    return g_error;
}

} // namespace brenvoll
