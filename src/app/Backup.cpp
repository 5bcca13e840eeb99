#include "Backup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

#include "Database.h"
#include "FolderPath.h"

namespace brenvoll {

namespace {

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

void setError(QString* error, const QString& text)
{
    if (error) {
        *error = text;
    }
}

// The operator's reading of a failed file system call.
QString osReason(int err)
{
    switch (err) {
    case EACCES:
    case EPERM:
        return QStringLiteral("没有写入权限");
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return QStringLiteral("磁盘已满");
    case EROFS:
        return QStringLiteral("磁盘是只读的");
    case ENOENT:
        return QStringLiteral("文件夹不存在");
    case ENOTDIR:
        return QStringLiteral("路径中有一个同名文件，不是文件夹");
    case EEXIST:
    case EISDIR:
        return QStringLiteral("备份位置被一个同名的文件夹或文件占着");
    case EIO:
        return QStringLiteral("磁盘读写出错");
    default:
        return QString::fromLocal8Bit(std::strerror(err));
    }
}

QString fileReason(const QFileDevice& file, int err)
{
    if (err != 0) {
        return osReason(err);
    }
    return file.errorString();
}

// A connection of its own to one database file, removed when it goes.
class OwnConnection
{
public:
    OwnConnection(const QString& path, bool readOnly)
    {
        static int serial = 0;
        m_name = QStringLiteral("brenvoll-backup-%1").arg(++serial);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
        // Never create a missing file; a writable source lets SQLite roll back
        // a journal left by an interrupted write before anything is read.
        url.setQuery(readOnly ? QStringLiteral("mode=ro") : QStringLiteral("mode=rw"));
        db.setDatabaseName(url.toString(QUrl::FullyEncoded));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            m_error = Database::describe(db.lastError());
        }
    }
    ~OwnConnection() { QSqlDatabase::removeDatabase(m_name); }
    OwnConnection(const OwnConnection&) = delete;
    OwnConnection& operator=(const OwnConnection&) = delete;

    bool isOpen() const { return m_error.isNull(); }
    QString error() const { return m_error; }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
    QString m_error;
};

bool queryOne(const QSqlDatabase& db, const QString& sql, QVariant& value, QString* error)
{
    QSqlQuery query(db);
    if (!query.exec(sql) || !query.next()) {
        setError(error, Database::describe(query.lastError()));
        return false;
    }
    value = query.value(0);
    return true;
}

bool syncFile(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) {
        setError(error, fileReason(file, errno));
        return false;
    }
#ifdef Q_OS_UNIX
    if (::fsync(file.handle()) != 0) {
        setError(error, osReason(errno));
        return false;
    }
#endif
    return true;
}

} // namespace

QString Backup::dayFolderName(const QDate& day)
{
    return QString::number(day.day()) + QStringLiteral("日");
}

QString Backup::dayFolder(const QString& backupFolder, const QDate& day)
{
    QString path = backupFolder + QDir::separator() + dayFolderName(day);
    path.replace(u'\\', QDir::separator()).replace(u'/', QDir::separator());
    return path;
}

QStringList Backup::run(const QString& backupFolder, const QDate& day, const QString& databaseFile,
                        const QString& programFile)
{
    QString folder = dayFolder(backupFolder, day);
    // An ordinary file of the day folder's name blocks the folder; it is left
    // alone and the failure is told below.
    if (!QFileInfo(folder).isFile()) {
        createFolderPath(folder);
    }
    const QString shown = QDir::toNativeSeparators(QDir::cleanPath(folder));
    if (!QFileInfo(folder).isDir()) {
        return {QStringLiteral("无法创建备份文件夹“%1”，数据库和程序文件都没有备份。").arg(shown)};
    }

    QStringList failures;
    QString error;
    const QString databaseName = QFileInfo(databaseFile).fileName();
    // A file put at the program's database path while it ran (another
    // database, an older copy) is not the day's records and must not take
    // the place of the day's earlier backup.
    const bool programsOwn = Database::isOpen() && QFileInfo(databaseFile).absoluteFilePath() ==
                                                       QFileInfo(Database::filePath()).absoluteFilePath();
    if (programsOwn && !Database::checkFile(&error)) {
        failures << QStringLiteral("数据库“%1”没有备份到“%2”：%3").arg(databaseName, shown, error);
    } else if (!copyDatabase(databaseFile, QDir(folder).filePath(databaseName), &error)) {
        failures << QStringLiteral("数据库“%1”没有备份到“%2”：%3。").arg(databaseName, shown, error);
    }
    const QString programName = QFileInfo(programFile).fileName();
    if (!copyFile(programFile, QDir(folder).filePath(programName), &error)) {
        failures << QStringLiteral("程序文件“%1”没有备份到“%2”：%3。").arg(programName, shown, error);
    }
    return failures;
}

QString Backup::failureMessage(const QStringList& failures)
{
    return QStringLiteral("数据备份没有完成：\n") + failures.join(u'\n') +
           QStringLiteral("\n请在“综合设置”中选择一个可以写入的数据备份文件夹。");
}

bool Backup::copyDatabase(const QString& source, const QString& target, QString* error)
{
    if (!QFileInfo(source).isFile()) {
        setError(error, QStringLiteral("找不到数据库文件“%1”").arg(QDir::toNativeSeparators(source)));
        return false;
    }
    // The copy is written under this name and renamed only when it is whole
    // and sound, so that an interrupted backup leaves the day's earlier copy.
    const QString part = target + QStringLiteral(".part");
    QFile::remove(part);
    {
        QFile empty(part);
        errno = 0;
        if (!empty.open(QIODevice::WriteOnly | QIODevice::NewOnly, kOwnerOnly)) {
            setError(error, fileReason(empty, errno));
            return false;
        }
    }

    QString failure;
    {
        OwnConnection source_(source, false);
        QVariant tables;
        if (!source_.isOpen()) {
            failure = QStringLiteral("无法打开数据库（%1）").arg(source_.error());
        } else if (!queryOne(source_.db(), QStringLiteral("select count(*) from sqlite_master"), tables,
                             &failure)) {
            failure = QStringLiteral("无法读取数据库（%1）").arg(failure);
        } else {
            // SQLite writes the copy inside one read transaction: no write of
            // the program can be half done in it.
            QSqlQuery vacuum(source_.db());
            vacuum.prepare(QStringLiteral("VACUUM INTO ?"));
            vacuum.addBindValue(QFileInfo(part).absoluteFilePath());
            if (!vacuum.exec()) {
                failure = QStringLiteral("写入备份时出错（%1）").arg(Database::describe(vacuum.lastError()));
            } else {
                OwnConnection copy(part, true);
                QVariant copiedTables;
                if (!copy.isOpen() ||
                    !queryOne(copy.db(), QStringLiteral("select count(*) from sqlite_master"), copiedTables,
                              &failure)) {
                    failure =
                        QStringLiteral("备份无法打开（%1）").arg(copy.isOpen() ? failure : copy.error());
                } else if (copiedTables != tables) {
                    failure = QStringLiteral("备份不完整");
                }
            }
        }
    }
    if (failure.isEmpty() && !checkDatabase(part, &failure)) {
        failure = QStringLiteral("备份没有通过完整性检查（%1）").arg(failure);
    }
    if (failure.isEmpty()) {
        syncFile(part, &failure);
    }
    if (failure.isEmpty() &&
        std::rename(QFile::encodeName(part).constData(), QFile::encodeName(target).constData()) != 0) {
        failure = osReason(errno);
    }
    if (!failure.isEmpty()) {
        QFile::remove(part);
        setError(error, failure);
        return false;
    }
    QFile::setPermissions(target, kOwnerOnly);
    return true;
}

bool Backup::copyFile(const QString& source, const QString& target, QString* error)
{
    QFile in(source);
    errno = 0;
    if (!in.open(QIODevice::ReadOnly)) {
        setError(error, QStringLiteral("无法读取“%1”（%2）")
                            .arg(QDir::toNativeSeparators(source), fileReason(in, errno)));
        return false;
    }
    QSaveFile out(target);
    errno = 0;
    if (!out.open(QIODevice::WriteOnly)) {
        setError(error, fileReason(out, errno));
        return false;
    }
    out.setPermissions(kOwnerOnly);
    QByteArray chunk;
    while (!(chunk = in.read(1 << 20)).isEmpty()) {
        errno = 0;
        if (out.write(chunk) != chunk.size()) {
            setError(error, fileReason(out, errno));
            out.cancelWriting();
            return false;
        }
    }
    if (in.error() != QFileDevice::NoError) {
        setError(error, QStringLiteral("读取“%1”时出错").arg(QDir::toNativeSeparators(source)));
        out.cancelWriting();
        return false;
    }
    errno = 0;
    if (!out.commit()) {
        setError(error, fileReason(out, errno));
        return false;
    }
    QFile::setPermissions(target, kOwnerOnly);
    return true;
}

bool Backup::checkDatabase(const QString& path, QString* error)
{
    OwnConnection connection(path, true);
    if (!connection.isOpen()) {
        setError(error, connection.error());
        return false;
    }
    QVariant result;
    if (!queryOne(connection.db(), QStringLiteral("PRAGMA integrity_check"), result, error)) {
        return false;
    }
    if (result.toString() != QLatin1String("ok")) {
        setError(error, result.toString());
        return false;
    }
    return true;
}

} // namespace brenvoll
