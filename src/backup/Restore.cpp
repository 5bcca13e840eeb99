#include "Restore.h"

#include "base/ProgramPaths.h"
#include "base/StagedFile.h"
#include "storage/Database.h"
#include "storage/OwnConnection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlQuery>

#include <algorithm>

namespace brenvoll {

namespace {

constexpr int kLastDay = 31;

// A problem as one short line: the integrity check may list many.
QString firstLine(const QString& text)
{
    return text.section(u'\n', 0, 0).trimmed();
}

// The three tables of the program's database, or why they are not there.
QString tablesProblem(const OwnConnection& connection)
{
    QVariant tables;
    QString error;
    if (!connection.queryOne(
            QStringLiteral("select count(*) from sqlite_master where type = 'table' and name "
                           "in ('档案', '设置', '词库')"),
            tables, &error)) {
        return firstLine(error);
    }
    if (tables.toInt() != 3) {
        return QStringLiteral("不是本程序的数据库（缺少数据表）");
    }
    return {};
}

} // namespace

QList<BackupCopy> Restore::find(const QStringList& folders)
{
    QList<BackupCopy> copies;
    QSet<QString> seen;
    const QString databaseName = QFileInfo(databasePath(QString())).fileName();
    for (const QString& folder : folders) {
        const QString canonical = QFileInfo(folder).canonicalFilePath();
        if (canonical.isEmpty() || seen.contains(canonical)) {
            continue;
        }
        seen.insert(canonical);
        for (int day = 1; day <= kLastDay; ++day) {
            // January has every day of the month.
            const QDate date(2000, 1, day);
            const QFileInfo file(QDir(Backup::dayFolder(folder, date)).filePath(databaseName));
            if (file.isFile()) {
                copies.append(
                    {file.absoluteFilePath(), Backup::dayFolderName(date), file.lastModified(), file.size()});
            }
        }
    }
    std::stable_sort(copies.begin(), copies.end(),
                     [](const BackupCopy& a, const BackupCopy& b) { return a.modified > b.modified; });
    return copies;
}

CopyState Restore::inspect(const QString& path, const std::atomic_bool* cancel)
{
    CopyState state;
    OwnConnection connection(path, true);
    if (!connection.isOpen()) {
        state.problem = firstLine(connection.error());
        return state;
    }
    connection.setCancel(cancel);
    state.problem = tablesProblem(connection);
    if (!state.problem.isEmpty()) {
        return state;
    }
    QVariant value;
    QString error;
    if (connection.queryOne(QStringLiteral("select count(*) from 档案"), value, &error)) {
        state.records = value.toLongLong();
    }
    if (!connection.queryOne(QStringLiteral("PRAGMA integrity_check"), value, &error)) {
        state.problem = firstLine(error);
    } else if (value.toString() != QLatin1String("ok")) {
        state.problem = QStringLiteral("没有通过完整性检查（%1）").arg(firstLine(value.toString()));
    }
    state.sound = state.problem.isEmpty();
    return state;
}

QString Restore::safetyCopyName(const QDateTime& at)
{
    return QStringLiteral("数据库.恢复前-") + at.toString(QStringLiteral("yyyyMMdd-hhmmss")) +
           QStringLiteral(".db");
}

QString Restore::stepName(Step step)
{
    switch (step) {
    case Step::KeepCurrent:
        return QStringLiteral("另存当前数据库");
    case Step::WriteChosen:
        return QStringLiteral("检查并写入所选的备份");
    case Step::Replace:
        return QStringLiteral("替换数据库文件");
    case Step::Reopen:
        return QStringLiteral("重新打开数据库");
    case Step::None:
        break;
    }
    return {};
}

Restore::Restore(const QString& copy, const QString& database, const QDateTime& now)
    : m_copy(copy), m_database(database)
{
    // Two restores within one second keep both earlier databases.
    const QDir folder = QFileInfo(database).absoluteDir();
    const QString name = safetyCopyName(now);
    m_safetyCopy = folder.filePath(name);
    for (int n = 2; QFileInfo::exists(m_safetyCopy); ++n) {
        m_safetyCopy = folder.filePath(QString(name).insert(name.size() - 3, u'-' + QString::number(n)));
    }
}

Restore::~Restore() = default;

bool Restore::fail(Step step, const QString& error)
{
    m_failedStep = step;
    m_error = error;
    return false;
}

QString Restore::missingTables(const QString& path) const
{
    const OwnConnection connection(path, true);
    return connection.isOpen() ? tablesProblem(connection) : firstLine(connection.error());
}

bool Restore::prepare(const Backup::Progress& progress)
{
    // One bar over both copies: the first half, then the second.
    auto half = [&progress](int which) -> Backup::Progress {
        if (!progress) {
            return {};
        }
        return [&progress, which](qint64 done, qint64 total) { progress(which * total + done, 2 * total); };
    };
    QString error;
    if (!Backup::copyDatabase(m_database, m_safetyCopy, &error, half(0))) {
        return fail(Step::KeepCurrent, error);
    }
    m_staged = std::make_unique<StagedFile>(m_database, FileMode::OwnerOnly);
    if (!Backup::writeDatabase(m_copy, *m_staged, &error, half(1))) {
        m_staged.reset();
        return fail(Step::WriteChosen, error);
    }
    error = missingTables(m_staged->path());
    if (!error.isEmpty()) {
        m_staged.reset();
        return fail(Step::WriteChosen, error);
    }
    return true;
}

bool Restore::replace()
{
    if (!m_staged) {
        return fail(Step::Replace, QStringLiteral("所选的备份还没有写好"));
    }
    const QString connection = connectionString(QFileInfo(m_database).absolutePath());
    QString error;
    const bool replaced = lockAndReplace(error);
    m_staged.reset();
    QString reopenError;
    const bool open = Database::isOpen() || Database::open(connection, &reopenError);
    if (!replaced) {
        return fail(Step::Replace, error);
    }
    return open || fail(Step::Reopen, reopenError);
}

// Puts the staged copy in place while this process holds the database's
// exclusive lock: no other program is then in the middle of a write, and a
// journal left by an interrupted write has been rolled back into the old
// file, so that no journal of the old file is ever applied to the new one.
// The program's connection is closed once the lock is held (a file that
// cannot be locked leaves it open), as it must not outlive its file.
bool Restore::lockAndReplace(QString& error)
{
    const OwnConnection lock(m_database, false);
    if (!lock.isOpen()) {
        error = lock.error();
        return false;
    }
    QSqlQuery begin(lock.db());
    if (!begin.exec(QStringLiteral("BEGIN EXCLUSIVE"))) {
        error = Database::describe(begin.lastError());
        return false;
    }
    Database::close();
    bool done = false;
    // What is left of a journal now belongs to no write: nothing may find it
    // beside the new file.
    int err = 0;
    if (!removeFileIfPresent(m_database + QStringLiteral("-journal"), &err)) {
        error = QStringLiteral("无法删除数据库的日志文件（%1）").arg(fileSystemReason(err));
    } else if (!m_staged->publish()) {
        error = m_staged->error();
    } else {
        done = true;
    }
    begin.exec(QStringLiteral("ROLLBACK"));
    return done;
}

} // namespace brenvoll
