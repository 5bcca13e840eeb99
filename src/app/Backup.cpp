#include "Backup.h"

#include "Database.h"
#include "FolderPath.h"
#include "ProgramPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace brenvoll {

namespace {

constexpr qint64 kChunkBytes = 1 << 20;

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
    case ELOOP:
        return QStringLiteral("备份文件夹是一个指向别处的链接，不是文件夹");
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

// The folder a copy goes into, opened once: every name is then looked up in
// that very folder, and a link planted at the folder's own name is refused
// instead of followed.
class Folder
{
public:
    explicit Folder(const QString& path)
    {
        const QByteArray name = QFile::encodeName(path);
        m_fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        m_errno = m_fd < 0 ? errno : 0;
        struct stat info
        {
        };
        if (m_errno == ENOTDIR && ::lstat(name.constData(), &info) == 0 && S_ISLNK(info.st_mode)) {
            m_errno = ELOOP;
        }
    }
    ~Folder()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    int fd() const { return m_fd; }
    int openErrno() const { return m_errno; }

private:
    int m_fd = -1;
    int m_errno = 0;
};

// A copy written into a file of its own: created new under a name no one
// else uses (never through a link or over a file that is already there),
// readable and writable by its owner only, synced, then renamed over the
// final name, which replaces whatever had that name (a link included)
// without touching what it pointed to. Removed again unless committed.
class StagedFile
{
public:
    StagedFile(const Folder& folder, const QString& finalName)
        : m_folder(folder.fd()), m_final(QFile::encodeName(finalName))
    {
        for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
            m_name = m_final + ".part-" + QByteArray::number(QRandomGenerator::global()->generate(), 36);
            m_fd = ::openat(m_folder, m_name.constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
            m_errno = m_fd < 0 ? errno : 0;
            if (m_fd < 0 && m_errno != EEXIST) {
                break;
            }
        }
        m_created = m_fd >= 0;
        // The umask may have taken more away; a mode set on the open file
        // cannot land on anything else.
        if (m_fd >= 0 && ::fchmod(m_fd, S_IRUSR | S_IWUSR) != 0) {
            fail();
            ::close(std::exchange(m_fd, -1));
        }
    }
    ~StagedFile()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        if (m_created && !m_committed) {
            ::unlinkat(m_folder, m_name.constData(), 0);
        }
    }
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    // The operator's reading of the first failure.
    QString error() const { return osReason(m_errno); }

    bool write(const char* data, qint64 size)
    {
        while (size > 0) {
            const ssize_t written = ::write(m_fd, data, size_t(size));
            if (written < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return fail();
            }
            data += written;
            size -= written;
        }
        return true;
    }

    bool commit()
    {
        if (::fsync(m_fd) != 0) {
            return fail();
        }
        const int fd = std::exchange(m_fd, -1);
        if (::close(fd) != 0 ||
            ::renameat(m_folder, m_name.constData(), m_folder, m_final.constData()) != 0) {
            return fail();
        }
        m_committed = true;
        ::fsync(m_folder); // the new name outlives a power cut
        return true;
    }

private:
    bool fail()
    {
        m_errno = errno;
        return false;
    }

    int m_folder;
    QByteArray m_final;
    QByteArray m_name;
    int m_fd = -1;
    int m_errno = 0;
    bool m_created = false;
    bool m_committed = false;
};

// Copies the first `bytes` of the database file into a new file `name` of
// `folder`. The file is read through the engine's own handle: a descriptor of
// our own on it, once closed, would drop every lock this process holds on the
// file, the program's connection's included. Returns why it failed, empty
// when the copy is in place.
QString copyPages(const QSqlDatabase& db, qint64 bytes, const Folder& folder, const QString& name)
{
    sqlite3_file* file = nullptr;
    sqlite3* handle = Database::handle(db);
    if (!handle || sqlite3_file_control(handle, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
        !file || !file->pMethods) {
        return QStringLiteral("无法读取数据库文件");
    }
    StagedFile out(folder, name);
    if (!out.isOpen()) {
        return out.error();
    }
    QByteArray chunk(kChunkBytes, Qt::Uninitialized);
    for (qint64 offset = 0; offset < bytes; offset += chunk.size()) {
        const int size = int(std::min<qint64>(chunk.size(), bytes - offset));
        const int rc = file->pMethods->xRead(file, chunk.data(), size, offset);
        if (rc != SQLITE_OK) {
            return QStringLiteral("无法读取数据库（%1）").arg(Database::describe(rc, {}));
        }
        if (!out.write(chunk.constData(), size)) {
            return out.error();
        }
    }
    return out.commit() ? QString() : out.error();
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
    // The drafts of unsaved sheets go beside the database, copied the same way.
    const QString drafts = draftsPath(databaseFile);
    const QString draftsName = QFileInfo(drafts).fileName();
    if (QFileInfo(drafts).isFile() && !copyDatabase(drafts, QDir(folder).filePath(draftsName), &error)) {
        failures << QStringLiteral("未保存表格的草稿“%1”没有备份到“%2”：%3。").arg(draftsName, shown, error);
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
    const Folder folder(QFileInfo(target).absolutePath());
    if (folder.fd() < 0) {
        setError(error, osReason(folder.openErrno()));
        return false;
    }

    OwnConnection connection(source, false);
    if (!connection.isOpen()) {
        setError(error, QStringLiteral("无法打开数据库（%1）").arg(connection.error()));
        return false;
    }
    QSqlDatabase db = connection.db();
    // Everything below happens inside one read transaction: no write can
    // change the file while it is checked and copied, and a journal left by
    // an interrupted write is rolled back at its first read.
    if (!db.transaction()) {
        setError(error, QStringLiteral("无法读取数据库（%1）").arg(Database::describe(db.lastError())));
        return false;
    }
    QString failure;
    QVariant checked;
    QVariant journalMode;
    QVariant pageSize;
    QVariant pageCount;
    if (!queryOne(db, QStringLiteral("PRAGMA integrity_check"), checked, &failure) ||
        !queryOne(db, QStringLiteral("PRAGMA journal_mode"), journalMode, &failure) ||
        !queryOne(db, QStringLiteral("PRAGMA page_size"), pageSize, &failure) ||
        !queryOne(db, QStringLiteral("PRAGMA page_count"), pageCount, &failure)) {
        failure = QStringLiteral("无法读取数据库（%1）").arg(failure);
    } else if (checked.toString() != QLatin1String("ok")) {
        failure = QStringLiteral("数据库没有通过完整性检查（%1）").arg(checked.toString());
    } else if (journalMode.toString().compare(u"wal", Qt::CaseInsensitive) == 0) {
        // Part of such a database lies in its log, which a copy of the file
        // would miss.
        failure = QStringLiteral("数据库使用预写日志，无法复制");
    } else {
        failure = copyPages(db, pageSize.toLongLong() * pageCount.toLongLong(), folder,
                            QFileInfo(target).fileName());
    }
    db.rollback();
    if (!failure.isEmpty()) {
        setError(error, failure);
        return false;
    }
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
    const Folder folder(QFileInfo(target).absolutePath());
    if (folder.fd() < 0) {
        setError(error, osReason(folder.openErrno()));
        return false;
    }
    StagedFile out(folder, QFileInfo(target).fileName());
    if (!out.isOpen()) {
        setError(error, out.error());
        return false;
    }
    QByteArray chunk;
    while (!(chunk = in.read(kChunkBytes)).isEmpty()) {
        if (!out.write(chunk.constData(), chunk.size())) {
            setError(error, out.error());
            return false;
        }
    }
    if (in.error() != QFileDevice::NoError) {
        setError(error, QStringLiteral("读取“%1”时出错").arg(QDir::toNativeSeparators(source)));
        return false;
    }
    if (!out.commit()) {
        setError(error, out.error());
        return false;
    }
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
