// Sorting the engines' failures into what the operator can do about them,
// and saying it in the operator's words.
#include "Database.h"
#include "DatabaseState.h"

#include <QDir>
#include <QFileInfo>

namespace brenvoll {

namespace database {

void setDiagnosis(Database::Diagnosis* diagnosis, Database::Trouble trouble, const QString& engineText)
{
    if (diagnosis) {
        *diagnosis = {trouble, engineText};
    }
}

void setDiagnosis(Database::Diagnosis* diagnosis, const QSqlError& error)
{
    if (diagnosis) {
        *diagnosis = Database::diagnose(error);
    }
}

} // namespace database

using namespace database;

namespace {
// A server's refusal in the operator's words, by its SQLSTATE.
QString serverReason(const QSqlError& error)
{
    const QString code = error.nativeErrorCode();
    if (code == QLatin1String("23505")) {
        return QStringLiteral("这个序列号已被使用。");
    }
    if (code == QLatin1String("53100")) {
        return QStringLiteral("数据库服务器的磁盘已满，无法写入。");
    }
    if (code == QLatin1String("55P03")) {
        // lock_timeout: a row or table that another session keeps locked.
        return QStringLiteral("要用的记录正被其他工作站或程序使用（已锁定），这次没有完成，请稍后再试。");
    }
    if (code == QLatin1String("40P01") || code == QLatin1String("40001")) {
        return QStringLiteral("数据库正被其他工作站使用，请稍后再试。");
    }
    if (code == QLatin1String("42501")) {
        return QStringLiteral("数据库服务器上的这个用户没有所需的权限。");
    }
    return {};
}

// A writable file in a folder that cannot take the journal: the folder and
// what to do, since the file's own modes look right.
QString readOnlyFolderReason()
{
    const QString folder = g_path.isEmpty() ? QString() : QFileInfo(g_path).absolutePath();
    return QStringLiteral(
               "数据库文件所在的文件夹%1是只读的，程序没有在其中建立和删除日志文件的权限，无法写入。"
               "请给这个文件夹加上写入权限后再试。")
        .arg(folder.isEmpty() ? QString() : QStringLiteral("“%1”").arg(QDir::toNativeSeparators(folder)));
}
} // namespace

Database::Diagnosis Database::diagnose(const QSqlError& error)
{
    if (!error.isValid()) {
        return {};
    }
    if (engine() == Engine::PostgreSQL) {
        const QString code = error.nativeErrorCode();
        const bool inUse = code == QLatin1String("40P01") || code == QLatin1String("55P03");
        const QString engineText = error.databaseText().trimmed();
        return {inUse ? Trouble::InUse : Trouble::Other,
                engineText.isEmpty() ? error.text().trimmed() : engineText};
    }
    bool ok = false;
    const int extendedCode = error.nativeErrorCode().toInt(&ok);
    const int code = extendedCode & 0xFF;
    Trouble trouble = Trouble::Other;
    if (ok && extendedCode == ReadOnlyDirectory) {
        trouble = Trouble::FolderReadOnly;
    } else if (ok) {
        switch (code) {
        case Busy:
        case Locked:
            trouble = Trouble::InUse;
            break;
        case ReadOnly:
            trouble = Trouble::ReadOnly;
            break;
        case CantOpen:
        case Perm:
            trouble = Trouble::NotPermitted;
            break;
        case Corrupt:
        case NotADb:
            trouble = Trouble::Damaged;
            break;
        default:
            break;
        }
    }
    const QString engineText = error.databaseText().trimmed();
    return {trouble, engineText.isEmpty() ? error.text().trimmed() : engineText};
}

QString Database::describe(const QSqlError& error)
{
    if (engine() == Engine::PostgreSQL) {
        const QString detail = error.databaseText().trimmed().isEmpty() ? error.text().trimmed()
                                                                        : error.databaseText().trimmed();
        if (error.nativeErrorCode().startsWith(QLatin1String("08")) || serverConnectionLost()) {
            return lostConnectionMessage(detail);
        }
        const QString reason = serverReason(error);
        if (reason.isEmpty()) {
            return detail.isEmpty() ? QStringLiteral("数据库操作失败。") : detail;
        }
        return detail.isEmpty() ? reason : reason + QStringLiteral("（") + detail + QStringLiteral("）");
    }
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return describe(ok ? code : -1, error.text().trimmed());
}

QString Database::describe(int sqliteCode, const QString& detail)
{
    const bool ok = sqliteCode >= 0;
    const int code = sqliteCode & 0xFF;
    QString reason;
    if (ok) {
        switch (code) {
        case Busy:
        case Locked:
            reason = QStringLiteral("数据库正被另一个程序使用，请稍后再试。");
            break;
        case ReadOnly:
            reason = sqliteCode == ReadOnlyDirectory ? readOnlyFolderReason()
                                                     : QStringLiteral("数据库文件是只读的，无法写入。");
            break;
        case Full:
            reason = QStringLiteral("磁盘已满，无法写入数据库。");
            break;
        case IoErr:
            reason = QStringLiteral("读写数据库文件时出错（磁盘或文件系统错误）。");
            break;
        case Corrupt:
        case NotADb:
            reason = QStringLiteral("数据库文件已损坏或不是本程序的数据库。");
            break;
        case CantOpen:
            reason = QStringLiteral("无法打开数据库文件。");
            break;
        case NoMem:
            reason = QStringLiteral("内存不足。");
            break;
        default:
            break;
        }
    }
    if (reason.isEmpty()) {
        return detail.isEmpty() ? QStringLiteral("数据库操作失败。") : detail;
    }
    return detail.isEmpty() ? reason : reason + QStringLiteral("（") + detail + QStringLiteral("）");
}

} // namespace brenvoll
