#include "Backup.h"

#include "FolderPath.h"
#include "base/FolderLock.h"
#include "base/ProgramPaths.h"
#include "base/StagedFile.h"
#include "base/TextRules.h"
#include "storage/Database.h"
#include "storage/OwnConnection.h"
#include "storage/ServerConfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <sqlite3.h>
#include <thread>

namespace brenvoll {

namespace {

constexpr qint64 kChunkBytes = 1 << 20;

void setError(QString* error, const QString& text)
{
    if (error) {
        *error = text;
    }
}

void setCause(Backup::Cause* cause, Backup::Cause value)
{
    if (cause) {
        *cause = value;
    }
}

// What a failed statement tells of its cause. The database being copied is
// only read: a lock held elsewhere is the one cause that is not its own. A
// statement that writes the copy (VACUUM INTO) fails at the backup folder
// when the copy cannot be created or written.
Backup::Cause causeOf(const QSqlError& error, bool writesCopy = false)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    if (!ok) {
        return Backup::Cause::Other;
    }
    switch (code & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Backup::Cause::InUse;
    case SQLITE_FULL:
    case SQLITE_CANTOPEN:
    case SQLITE_READONLY:
    case SQLITE_PERM:
        return writesCopy ? Backup::Cause::Folder : Backup::Cause::Other;
    case SQLITE_IOERR:
        return writesCopy && (code == SQLITE_IOERR_WRITE || code == SQLITE_IOERR_FSYNC ||
                              code == SQLITE_IOERR_TRUNCATE || code == SQLITE_IOERR_DIR_FSYNC)
                   ? Backup::Cause::Folder
                   : Backup::Cause::Other;
    default:
        return Backup::Cause::Other;
    }
}

QString fileReason(const QFileDevice& file, int err)
{
    if (err != 0) {
        return fileSystemReason(err);
    }
    return file.errorString();
}

// Why the check of the database on `connection` fails; empty when it
// passes. `couldRun` tells a check that found damage from one that could not
// be made at all.
QString integrityFailure(const OwnConnection& connection, Backup::Check check, bool* couldRun = nullptr)
{
    QString failure = connection.error();
    QVariant checked;
    const QString pragma = check == Backup::Check::Full ? QStringLiteral("PRAGMA integrity_check")
                                                        : QStringLiteral("PRAGMA quick_check");
    const bool ran = connection.isOpen() && connection.queryOne(pragma, checked, &failure);
    if (couldRun) {
        *couldRun = ran;
    }
    if (!ran) {
        return QStringLiteral("无法读取数据库（%1）").arg(failure);
    }
    if (checked.toString() != QLatin1String("ok")) {
        return QStringLiteral("数据库没有通过完整性检查（%1）").arg(checked.toString());
    }
    return {};
}

// Copies `pageCount` pages of the database file into `out`. The file is read
// through the engine's own handle: a descriptor of our own on it, once
// closed, would drop every lock this process holds on the file, the
// program's connection's included. Returns why it failed, empty when the
// pages are written.
QString copyPages(const QSqlDatabase& db, qint64 pageSize, qint64 pageCount, StagedFile& out,
                  const Backup::Progress& progress, Backup::Cause& cause)
{
    sqlite3_file* file = nullptr;
    sqlite3* handle = Database::handle(db);
    if (!handle || sqlite3_file_control(handle, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
        !file || !file->pMethods || pageSize <= 0) {
        return QStringLiteral("无法读取数据库文件");
    }
    const qint64 bytes = pageSize * pageCount;
    QByteArray chunk(int(std::max(pageSize, kChunkBytes / pageSize * pageSize)), Qt::Uninitialized);
    for (qint64 offset = 0; offset < bytes; offset += chunk.size()) {
        const int size = int(std::min<qint64>(chunk.size(), bytes - offset));
        const int rc = file->pMethods->xRead(file, chunk.data(), size, offset);
        if (rc != SQLITE_OK) {
            return QStringLiteral("无法读取数据库（%1）").arg(Database::describe(rc, {}));
        }
        if (!out.write(chunk.constData(), size)) {
            cause = Backup::Cause::Folder;
            return out.error();
        }
        if (progress) {
            progress((offset + size) / pageSize, pageCount);
        }
    }
    return {};
}

// Copies the database on `connection`, which is in write-ahead-log mode,
// into `out` through the engine: VACUUM INTO reads the file and its log as
// one snapshot and writes an ordinary database file (with a rollback
// journal) into the staged file, which it finds empty. The copy is then
// checked on a connection of its own. Returns why it failed, empty when the
// copy is written and synced.
QString copyThroughEngine(const OwnConnection& connection, StagedFile& out, Backup::Check check,
                          Backup::Cause& cause)
{
    QSqlQuery vacuum(connection.db());
    if (!vacuum.prepare(QStringLiteral("VACUUM INTO ?"))) {
        cause = causeOf(vacuum.lastError());
        return QStringLiteral("无法读取数据库（%1）").arg(Database::describe(vacuum.lastError()));
    }
    vacuum.addBindValue(out.path());
    if (!vacuum.exec()) {
        cause = causeOf(vacuum.lastError(), true);
        return QStringLiteral("%1（%2）")
            .arg(cause == Backup::Cause::Folder ? QStringLiteral("无法写入备份")
                                                : QStringLiteral("无法读取数据库"),
                 Database::describe(vacuum.lastError()));
    }
    if (!out.sync()) {
        cause = Backup::Cause::Folder;
        return out.error();
    }
    const OwnConnection copy(out.path(), true);
    return integrityFailure(copy, check);
}

} // namespace

QString Backup::dayFolderName(const QDate& day)
{
    return QString::number(day.day()) + QStringLiteral("日");
}

QString Backup::folderOf(const QString& setting)
{
    return trimBlanks(setting).isEmpty() ? QDir::homePath() : setting;
}

QString Backup::dayFolder(const QString& backupFolder, const QDate& day)
{
    QString path = folderOf(backupFolder) + QDir::separator() + dayFolderName(day);
    path.replace(u'\\', QDir::separator()).replace(u'/', QDir::separator());
    return path;
}

QStringList Backup::run(const QString& backupFolder, const QDate& day, const QString& databaseFile,
                        const QString& programFile, const Progress& progress, QList<Cause>* causes)
{
    return copy(prepare(backupFolder, day, databaseFile, programFile), progress, causes);
}

Backup::Job Backup::prepare(const QString& backupFolder, const QDate& day, const QString& databaseFile,
                            const QString& programFile)
{
    Job job{
        dayFolder(backupFolder, day), databaseFile, programFile, {}, {}, false, false, false, {}, {}, true};
    // An ordinary file of the day folder's name blocks the folder; it is left
    // alone and the failure is told below.
    if (!QFileInfo(job.folder).isFile()) {
        createFolderPath(job.folder);
    }
    const QString shown = QDir::toNativeSeparators(QDir::cleanPath(job.folder));
    if (!QFileInfo(job.folder).isDir()) {
        job.failures << QStringLiteral("无法创建备份文件夹“%1”，数据库和程序文件都没有备份。").arg(shown);
        job.causes << Cause::Folder;
        return job;
    }
    job.folderLock = std::make_shared<FolderLock>(job.folder);
    job.folderLock->removeLeftovers(
        {QRegularExpression::escape(QFileInfo(databaseFile).fileName()),
         QRegularExpression::escape(QFileInfo(draftsPath(databaseFile)).fileName()),
         QRegularExpression::escape(QStringLiteral("数据库.dump")),
         QRegularExpression::escape(QFileInfo(programFile).fileName())});
    // A file put at the program's database path while it ran (another
    // database, an older copy) is not the day's records and must not take
    // the place of the day's earlier backup.
    const bool programsOwn = Database::isOpen() && QFileInfo(databaseFile).absoluteFilePath() ==
                                                       QFileInfo(Database::filePath()).absoluteFilePath();
    QString error;
    if (Database::engine() == Database::Engine::PostgreSQL) {
        job.dumpServer = true;
        job.server = serverEnvironment();
    } else if (programsOwn && !Database::checkFile(&error)) {
        job.failures << QStringLiteral("数据库“%1”没有备份到“%2”：%3")
                            .arg(QFileInfo(databaseFile).fileName(), shown, error);
        job.causes << Cause::Other;
    } else {
        job.copyDatabase = true;
    }
    job.folderReady = true;
    return job;
}

QStringList Backup::copy(const Job& job, const Progress& progress, QList<Cause>* causes)
{
    QStringList failures = job.failures;
    QList<Cause> found = job.causes;
    const QString shown = QDir::toNativeSeparators(QDir::cleanPath(job.folder));
    QString error;
    Cause cause = Cause::Other;
    // A file held beyond the wait is named with what holds it: on closing,
    // that is most often another copy of the program in the same folder.
    const auto failed = [&](const QString& what, const QString& inUse) {
        failures << QStringLiteral("%1没有备份到“%2”：%3。")
                        .arg(what, shown, cause == Cause::InUse ? inUse : error);
        found << cause;
    };
    const QString databaseName = QFileInfo(job.databaseFile).fileName();
    if (job.dumpServer && !dumpServer(job.server, QDir(job.folder).filePath(QStringLiteral("数据库.dump")),
                                      &error, &cause, progress)) {
        failed(QStringLiteral("数据库"), error);
    }
    // A copy of sound pages is as sound as its source: the quick check of
    // every page tells a damaged database, without the time of the full check.
    if (job.copyDatabase && !copyDatabase(job.databaseFile, QDir(job.folder).filePath(databaseName), &error,
                                          progress, Check::Quick, &cause)) {
        failed(QStringLiteral("数据库“%1”").arg(databaseName),
               QStringLiteral("另一个副本或别的程序正在使用数据库"));
    }
    // The drafts of unsaved sheets go beside the database, copied the same way.
    const QString drafts = draftsPath(job.databaseFile);
    const QString draftsName = QFileInfo(drafts).fileName();
    if (job.folderReady && job.copyDrafts && QFileInfo(drafts).isFile() &&
        !copyDatabase(drafts, QDir(job.folder).filePath(draftsName), &error, {}, Check::Quick, &cause)) {
        failed(QStringLiteral("未保存表格的草稿“%1”").arg(draftsName),
               QStringLiteral("另一个副本或别的程序正在使用草稿文件"));
    }
    const QString programName = QFileInfo(job.programFile).fileName();
    if (job.folderReady &&
        !copyFile(job.programFile, QDir(job.folder).filePath(programName), &error, &cause)) {
        failed(QStringLiteral("程序文件“%1”").arg(programName), error);
    }
    if (causes) {
        *causes = found;
    }
    return failures;
}

QProcessEnvironment Backup::serverEnvironment()
{
    // Each value in a variable of its own reaches libpq whole: none is read
    // as a connection string.
    const ServerConfig server = Database::serverConfig();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PGHOST"), server.host);
    environment.insert(QStringLiteral("PGPORT"), QString::number(server.port));
    environment.insert(QStringLiteral("PGDATABASE"), server.name);
    if (!server.user.isEmpty()) {
        environment.insert(QStringLiteral("PGUSER"), server.user);
    }
    if (server.password && !server.password->isEmpty()) {
        environment.insert(QStringLiteral("PGPASSWORD"), *server.password);
    }
    if (!server.sslmode.isEmpty()) {
        environment.insert(QStringLiteral("PGSSLMODE"), server.sslmode);
    }
    return environment;
}

bool Backup::dumpServer(const QProcessEnvironment& environment, const QString& target, QString* error,
                        Cause* cause, const Progress& progress)
{
    setCause(cause, Cause::Other);
    const QString pgDump = QStandardPaths::findExecutable(QStringLiteral("pg_dump"));
    if (pgDump.isEmpty()) {
        setError(error, QStringLiteral("找不到 pg_dump 程序（请安装 postgresql-client）"));
        return false;
    }
    // pg_dump writes to its output; the file is ours, written as every
    // backup file is.
    StagedFile out(target, FileMode::OwnerOnly);
    if (!out.isOpen()) {
        setError(error, out.error());
        setCause(cause, Cause::Folder);
        return false;
    }
    QProcess dump;
    dump.setProcessEnvironment(environment);
    dump.start(pgDump, {QStringLiteral("--format=custom")});
    if (!dump.waitForStarted()) {
        setError(error, QStringLiteral("无法启动 pg_dump（%1）").arg(dump.errorString()));
        return false;
    }
    bool written = true;
    qint64 bytes = 0;
    while (dump.state() != QProcess::NotRunning || dump.bytesAvailable() > 0) {
        if (dump.bytesAvailable() == 0) {
            dump.waitForReadyRead(1000);
            continue;
        }
        const QByteArray chunk = dump.read(1 << 20);
        written = written && out.write(chunk.constData(), chunk.size());
        bytes += chunk.size();
        if (progress) {
            progress(bytes, -1);
        }
    }
    dump.waitForFinished(-1);
    const QString output = QString::fromLocal8Bit(dump.readAllStandardError()).trimmed();
    if (dump.exitStatus() != QProcess::NormalExit || dump.exitCode() != 0) {
        setError(error,
                 QStringLiteral("pg_dump 失败（%1）").arg(output.isEmpty() ? dump.errorString() : output));
        return false;
    }
    if (!written || !out.commit()) {
        setError(error, out.error());
        setCause(cause, Cause::Folder);
        return false;
    }
    return true;
}

QString Backup::failureMessage(const QStringList& failures, const QList<Cause>& causes)
{
    QString message = QStringLiteral("数据备份没有完成：\n") + failures.join(u'\n');
    if (causes.contains(Cause::InUse)) {
        message += QStringLiteral("\n请关闭同一文件夹中的另一个副本（或别的使用这些文件的程序），"
                                  "之后关闭本程序时会再备份。");
    }
    if (causes.contains(Cause::Folder)) {
        message += QStringLiteral("\n请在“综合设置”中选择一个可以写入的数据备份文件夹。");
    }
    return message;
}

bool Backup::copyDatabase(const QString& source, const QString& target, QString* error,
                          const Progress& progress, Check check, Cause* cause)
{
    StagedFile out(target, FileMode::OwnerOnly);
    if (!writeDatabase(source, out, error, progress, check, cause)) {
        return false;
    }
    if (!out.publish()) {
        setError(error, out.error());
        setCause(cause, Cause::Folder);
        return false;
    }
    return true;
}

bool Backup::writeDatabase(const QString& source, StagedFile& out, QString* error, const Progress& progress,
                           Check check, Cause* cause)
{
    setCause(cause, Cause::Other);
    if (!QFileInfo(source).isFile()) {
        setError(error, QStringLiteral("找不到数据库文件“%1”").arg(QDir::toNativeSeparators(source)));
        return false;
    }
    if (!out.isOpen()) {
        setError(error, out.error());
        setCause(cause, Cause::Folder);
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
        setCause(cause, causeOf(db.lastError()));
        return false;
    }
    QString failure;
    Cause found = Cause::Other;
    // The first read takes the read lock: a write lock held elsewhere beyond
    // the wait fails it.
    const auto read = [&](const QString& sql, QVariant& value) {
        QSqlQuery query(db);
        if (query.exec(sql) && query.next()) {
            value = query.value(0);
            return true;
        }
        failure = QStringLiteral("无法读取数据库（%1）").arg(Database::describe(query.lastError()));
        found = causeOf(query.lastError());
        return false;
    };
    QVariant journalMode;
    QVariant pageSize;
    QVariant pageCount;
    bool inLog = false;
    const bool known = read(QStringLiteral("PRAGMA journal_mode"), journalMode) &&
                       read(QStringLiteral("PRAGMA page_size"), pageSize) &&
                       read(QStringLiteral("PRAGMA page_count"), pageCount);
    if (known && journalMode.toString().compare(u"wal", Qt::CaseInsensitive) == 0) {
        // Part of such a database lies in its log, which a copy of the file
        // would miss: it is copied through the engine, outside this
        // transaction (VACUUM runs in none).
        inLog = true;
    } else if (known) {
        // The check runs beside the copy, on a second connection of this
        // process: it shares the read lock held here, so it sees the very
        // pages being copied, and no write can come between the two.
        QString checkFailure;
        bool checkRan = false;
        std::thread checker([&] {
            const OwnConnection second(source, true, 0);
            checkFailure = integrityFailure(second, check, &checkRan);
        });
        failure = copyPages(db, pageSize.toLongLong(), pageCount.toLongLong(), out, progress, found);
        if (failure.isEmpty() && !out.sync()) { // while the check goes on
            failure = out.error();
            found = Cause::Folder;
        }
        checker.join();
        if (failure.isEmpty() && !checkRan) {
            checkFailure = integrityFailure(connection, check); // in the copy's own transaction
        }
        // Damage found tells the operator more than the failed read it caused.
        if (!checkFailure.isEmpty() && (checkRan || failure.isEmpty())) {
            failure = checkFailure;
            found = Cause::Other;
        }
    }
    db.rollback();
    if (inLog) {
        failure = copyThroughEngine(connection, out, check, found);
    }
    if (!failure.isEmpty()) {
        setError(error, failure);
        setCause(cause, found);
        return false;
    }
    return true;
}

bool Backup::copyFile(const QString& source, const QString& target, QString* error, Cause* cause)
{
    setCause(cause, Cause::Other);
    QFile in(source);
    errno = 0;
    if (!in.open(QIODevice::ReadOnly)) {
        setError(error, QStringLiteral("无法读取“%1”（%2）")
                            .arg(QDir::toNativeSeparators(source), fileReason(in, errno)));
        return false;
    }
    // A program copy stays runnable by its owner, so that a restored copy runs.
    const bool runnable = in.permissions().testFlag(QFileDevice::ExeOwner);
    StagedFile out(target, runnable ? FileMode::OwnerOnlyRunnable : FileMode::OwnerOnly);
    if (!out.isOpen()) {
        setError(error, out.error());
        setCause(cause, Cause::Folder);
        return false;
    }
    QByteArray chunk;
    while (!(chunk = in.read(kChunkBytes)).isEmpty()) {
        if (!out.write(chunk.constData(), chunk.size())) {
            setError(error, out.error());
            setCause(cause, Cause::Folder);
            return false;
        }
    }
    if (in.error() != QFileDevice::NoError) {
        setError(error, QStringLiteral("读取“%1”时出错").arg(QDir::toNativeSeparators(source)));
        return false;
    }
    if (!out.commit()) {
        setError(error, out.error());
        setCause(cause, Cause::Folder);
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
    if (!connection.queryOne(QStringLiteral("PRAGMA integrity_check"), result, error)) {
        return false;
    }
    if (result.toString() != QLatin1String("ok")) {
        setError(error, result.toString());
        return false;
    }
    return true;
}

} // namespace brenvoll
