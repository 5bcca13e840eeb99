#include "Restore.h"

#include "base/FolderLock.h"
#include "base/ProgramPaths.h"
#include "base/StagedFile.h"
#include "storage/Database.h"
#include "storage/OwnConnection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QSqlQuery>

#include <algorithm>
#include <utility>

namespace brenvoll {

namespace {

constexpr int kLastDay = 31;
const QString kSafetyPrefix = QStringLiteral("数据库.恢复前-");
// The names safetyCopyName() gives, with the number that tells two restores
// within one second apart.
const QRegularExpression kSafetyCopyName(QRegularExpression::escape(kSafetyPrefix) +
                                         QStringLiteral("[0-9]{8}-[0-9]{6}(?:-[0-9]+)?\\.db"));

// A problem as one short line: the integrity check may list many.
QString firstLine(const QString& text)
{
    return text.section(u'\n', 0, 0).trimmed();
}

// The program's three tables and the columns it reads and writes in them
// (data/schema.sql). A file with other tables of these names is another
// program's: every search and save would fail on it.
const QList<std::pair<QString, QStringList>>& designedTables()
{
    static const QList<std::pair<QString, QStringList>> tables = [] {
        QStringList records{QStringLiteral("姓名"), QStringLiteral("性别"), QStringLiteral("年龄"),
                            QStringLiteral("日期"), QStringLiteral("地址"), QStringLiteral("序列号")};
        for (int finding = 0; finding <= 45; ++finding) {
            records << QString::number(finding);
        }
        return QList<std::pair<QString, QStringList>>{
            {QStringLiteral("档案"), records},
            {QStringLiteral("设置"),
             {QStringLiteral("密码"), QStringLiteral("路径"), QStringLiteral("左边距"),
              QStringLiteral("上边距")}},
            {QStringLiteral("词库"), {QStringLiteral("常用语")}},
        };
    }();
    return tables;
}

// The program's three tables with their designed columns, and the record
// key kept unique (saving relies on it); or why the file is not the
// program's database.
QString notDesigned(const OwnConnection& connection)
{
    QSqlQuery columns(connection.db());
    if (!columns.exec(
            QStringLiteral("select m.name, c.name from sqlite_master m, pragma_table_info(m.name) c "
                           "where m.type = 'table' and m.name in ('档案', '设置', '词库')"))) {
        return firstLine(Database::describe(columns.lastError()));
    }
    QHash<QString, QSet<QString>> found;
    while (columns.next()) {
        found[columns.value(0).toString()].insert(columns.value(1).toString());
    }
    if (columns.lastError().isValid()) {
        return firstLine(Database::describe(columns.lastError()));
    }
    for (const auto& [table, designed] : designedTables()) {
        if (!found.contains(table)) {
            return QStringLiteral("不是本程序的数据库（缺少数据表）");
        }
    }
    for (const auto& [table, designed] : designedTables()) {
        for (const QString& column : designed) {
            if (!found[table].contains(column)) {
                return QStringLiteral("不是本程序的数据库（数据表“%1”缺少“%2”列）").arg(table, column);
            }
        }
    }
    QVariant keys;
    QString error;
    if (!connection.queryOne(
            QStringLiteral("select count(*) from pragma_index_list('档案') i "
                           "where i.\"unique\" and not i.partial and (select group_concat(k.name) from "
                           "pragma_index_info(i.name) k) = '序列号'"),
            keys, &error)) {
        return firstLine(error);
    }
    if (keys.toInt() == 0) {
        return QStringLiteral("不是本程序的数据库（“序列号”不是唯一的）");
    }
    return {};
}

// A copy of the database at `file`, unless a link stands at its name.
void addCopy(QList<BackupCopy>& copies, const QFileInfo& file, const QString& dayFolder)
{
    if (!file.isSymLink() && file.isFile()) {
        copies.append({file.absoluteFilePath(), dayFolder, file.lastModified(), file.size()});
    }
}

} // namespace

QList<BackupCopy> Restore::find(const QStringList& folders, const QString& databaseFile)
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
            const QString dayFolder = Backup::dayFolder(folder, date);
            if (!QFileInfo(dayFolder).isSymLink()) {
                addCopy(copies, QFileInfo(QDir(dayFolder).filePath(databaseName)),
                        Backup::dayFolderName(date));
            }
        }
    }
    if (!databaseFile.isEmpty()) {
        const QDir beside = QFileInfo(databaseFile).absoluteDir();
        const QRegularExpression safetyCopy(QRegularExpression::anchoredPattern(kSafetyCopyName.pattern()));
        for (const QString& name : beside.entryList({kSafetyPrefix + u'*'}, QDir::Files | QDir::Hidden)) {
            if (safetyCopy.match(name).hasMatch()) {
                addCopy(copies, QFileInfo(beside.filePath(name)), QStringLiteral("恢复前"));
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
    state.problem = notDesigned(connection);
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
    return kSafetyPrefix + at.toString(QStringLiteral("yyyyMMdd-hhmmss")) + QStringLiteral(".db");
}

namespace {
// The names a restore writes beside `databaseFile`.
QStringList restoreTargets(const QString& databaseFile)
{
    return {QRegularExpression::escape(QFileInfo(databaseFile).fileName()), kSafetyCopyName.pattern()};
}
} // namespace

void Restore::removeLeftovers(const QString& databaseFile)
{
    FolderLock(QFileInfo(databaseFile).absolutePath()).removeLeftovers(restoreTargets(databaseFile));
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

QString Restore::designProblem(const QString& path) const
{
    const OwnConnection connection(path, true);
    return connection.isOpen() ? notDesigned(connection) : firstLine(connection.error());
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
    // A link is never followed: what it points to was never checked as a
    // backup of this program.
    if (QFileInfo(m_copy).isSymLink()) {
        return fail(Step::WriteChosen, QStringLiteral("所选的备份是一个链接，不是备份文件"));
    }
    m_folderLock = std::make_unique<FolderLock>(QFileInfo(m_database).absolutePath());
    m_folderLock->removeLeftovers(restoreTargets(m_database));
    QString error;
    if (!Backup::copyDatabase(m_database, m_safetyCopy, &error, half(0))) {
        return fail(Step::KeepCurrent, error);
    }
    m_staged = std::make_unique<StagedFile>(m_database, FileMode::OwnerOnly);
    if (!Backup::writeDatabase(m_copy, *m_staged, &error, half(1))) {
        m_staged.reset();
        return fail(Step::WriteChosen, error);
    }
    error = designProblem(m_staged->path());
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
