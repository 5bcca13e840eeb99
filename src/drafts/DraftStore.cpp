#include "DraftStore.h"

#include "base/FileSystem.h"
#include "record/RecordStore.h"
#include "storage/Database.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sqlite3.h>

namespace brenvoll {

namespace {

// Times are local, to the millisecond, so that the text sorts as the time.
const QString kTimeFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz");
// The box columns, named as in the records table.
const QString& kBoxColumns = FieldMap::quotedColumns();

void setError(QString* error, const QString& text)
{
    if (error) {
        *error = text;
    }
}

QString osReason(int err)
{
    if (err == ENOSPC || err == EDQUOT) {
        return QStringLiteral("磁盘已满");
    }
    if (err == EACCES || err == EPERM || err == EROFS) {
        return QStringLiteral("草稿文件所在的文件夹不能写入");
    }
    return QString::fromLocal8Bit(std::strerror(err));
}

// The columns a draft is read from, in this order; the boxes follow.
const QString kDraftColumns = QStringLiteral("编号, 时间, 运行, 原记录, ") + kBoxColumns;
constexpr int kRunColumn = 2;
constexpr int kFirstBoxColumn = 4;

// The stored record a draft was typed over, as the text of 原记录: a JSON
// object of its columns, empty for a new sheet. Null (a draft of an earlier
// version) tells nothing.
QString typedOverText(const std::optional<ExamRecord>& record)
{
    if (!record) {
        return QStringLiteral("");
    }
    QJsonObject columns;
    for (const BoxDef& box : FieldMap::boxes()) {
        columns.insert(box.column, (*record)[box.field]);
    }
    return QString::fromUtf8(QJsonDocument(columns).toJson(QJsonDocument::Compact));
}

void readTypedOver(sqlite3_stmt* statement, int column, Draft& draft)
{
    if (sqlite3_column_type(statement, column) == SQLITE_NULL) {
        draft.typedOverUnknown = true;
        return;
    }
    const QByteArray text(static_cast<const char*>(sqlite3_column_blob(statement, column)),
                          sqlite3_column_bytes(statement, column));
    if (text.isEmpty()) {
        return;
    }
    const QJsonObject columns = QJsonDocument::fromJson(text).object();
    ExamRecord record;
    for (const BoxDef& box : FieldMap::boxes()) {
        record[box.field] = columns.value(box.column).toString();
    }
    draft.typedOver = record;
}

// Reads the columns of kDraftColumns.
Draft draftFrom(sqlite3_stmt* statement)
{
    Draft draft;
    draft.id = sqlite3_column_int64(statement, 0);
    const auto text = [statement](int column) {
        const auto* data = static_cast<const char16_t*>(sqlite3_column_text16(statement, column));
        return data ? QString::fromUtf16(data, sqlite3_column_bytes16(statement, column) / 2) : QString();
    };
    draft.typedAt = QDateTime::fromString(text(1), kTimeFormat);
    readTypedOver(statement, kRunColumn + 1, draft);
    int column = kFirstBoxColumn;
    for (const BoxDef& box : FieldMap::boxes()) {
        draft.record[box.field] = text(column++);
    }
    return draft;
}

bool contains(const std::vector<qint64>& ids, qint64 id)
{
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

void bindText(sqlite3_stmt* statement, int parameter, const QString& text)
{
    const QString stored = Database::storable(text);
    sqlite3_bind_text16(statement, parameter, stored.utf16(), int(stored.size() * 2), SQLITE_TRANSIENT);
}

// Runs a statement that returns no rows, resetting it for its next use.
bool step(sqlite3_stmt* statement)
{
    const int rc = sqlite3_step(statement);
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    return rc == SQLITE_DONE;
}

} // namespace

DraftStore::DraftStore() = default;

DraftStore::~DraftStore()
{
    close();
}

QString DraftStore::reason() const
{
    const int code = m_db ? sqlite3_extended_errcode(m_db) & 0xFF : SQLITE_CANTOPEN;
    switch (code) {
    case SQLITE_FULL:
        return QStringLiteral("磁盘已满");
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
        return QStringLiteral("草稿文件或它所在的文件夹不能写入");
    case SQLITE_IOERR:
        return QStringLiteral("读写草稿文件时出错（磁盘或文件系统错误）");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("草稿文件已损坏");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("草稿文件正被另一个程序使用");
    default:
        return QString::fromUtf8(sqlite3_errmsg(m_db));
    }
}

bool DraftStore::prepare(sqlite3_stmt*& statement, const QString& sql, QString* error)
{
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v3(m_db, utf8.constData(), int(utf8.size()), SQLITE_PREPARE_PERSISTENT, &statement,
                           nullptr) != SQLITE_OK) {
        setError(error, reason());
        return false;
    }
    return true;
}

bool DraftStore::run(const char* sql, QString* error)
{
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        setError(error, reason());
        return false;
    }
    return true;
}

bool DraftStore::open(const QString& path, const QDateTime& now, QString* error)
{
    close();
    m_path = path;
    m_leftOpen = {};
    // Created here, owner only, so that the engine's own files beside it
    // (which take its mode) are owner only too: drafts hold health data.
    int err = 0;
    if (!createOwnerOnlyFile(path, &err)) {
        setError(error, osReason(err));
        return false;
    }
    if (!openPlainFile(error) || !setUp(now, error)) {
        close();
        return false;
    }
    return true;
}

// Opens the file at m_path only as itself. A link put there (to the records
// database, to any file) would have the engine switch its target to a log of
// its own, add a table to it and write health data into it; a second name
// does the same to the file it shares. Looked at before the engine opens
// it, and what the engine opened is checked before it writes anything, so
// that a link swapped in meanwhile is found too.
bool DraftStore::openPlainFile(QString* error)
{
    const auto notPlain = [](const QString& file, const FileIdentity& identity) -> QString {
        const QString name = QFileInfo(file).fileName();
        if (identity.link) {
            return QStringLiteral("“%1”是一个指向别处的链接，不是草稿文件本身").arg(name);
        }
        if (identity.exists && !identity.plainFile) {
            return QStringLiteral("“%1”不是普通文件").arg(name);
        }
        if (identity.names > 1) {
            return QStringLiteral("“%1”还有别的文件名（硬链接）").arg(name);
        }
        return {};
    };
    FileIdentity before;
    int err = 0;
    if (!identifyFile(m_path, before, &err)) {
        setError(error, osReason(err));
        return false;
    }
    QString refused = notPlain(m_path, before);
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        FileIdentity beside;
        if (refused.isEmpty() && identifyFile(m_path + QLatin1String(suffix), beside)) {
            refused = notPlain(m_path + QLatin1String(suffix), beside);
        }
    }
    const QString lockFile = m_path + QStringLiteral("-lock");
    if (refused.isEmpty() && !m_slots.open(lockFile, &err)) {
        refused =
            err == ELOOP ? notPlain(lockFile, FileIdentity{.exists = true, .link = true}) : osReason(err);
    }
    if (!refused.isEmpty()) {
        setError(error, refused);
        return false;
    }
    const QByteArray name = QFile::encodeName(m_path);
    if (sqlite3_open_v2(name.constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        setError(error, reason());
        return false;
    }
    // The engine names its file by the path with every link resolved; the
    // file it holds is still the one at that name.
    const QByteArray expected =
        QFile::encodeName(QFileInfo(QFileInfo(m_path).absolutePath()).canonicalFilePath() + u'/' +
                          QFileInfo(m_path).fileName());
    int moved = 0;
    FileIdentity after;
    sqlite3_file_control(m_db, "main", SQLITE_FCNTL_HAS_MOVED, &moved);
    if (QByteArray(sqlite3_db_filename(m_db, "main")) != expected || moved != 0 ||
        !identifyFile(m_path, after) || after != before) {
        setError(error, notPlain(m_path, FileIdentity{.exists = true, .link = true}));
        return false;
    }
    sqlite3_busy_timeout(m_db, 1000);
    return true;
}

bool DraftStore::setUp(const QDateTime& now, QString* error)
{
    QStringList boxColumns;
    for (const BoxDef& box : FieldMap::boxes()) {
        boxColumns << FieldMap::quotedColumn(box.column) + QStringLiteral(" text not null");
    }
    // 未关闭 told the drafts left open before runs were marked; it stays for
    // the files of that time and is written 0.
    const QString table = QStringLiteral("create table if not exists 草稿 (编号 integer primary key, "
                                         "时间 text not null, 未关闭 integer not null, 运行 integer, "
                                         "原记录 text, ") +
                          boxColumns.join(u',') + u')';
    // A draft is one append to the log and one sync: durable through a crash
    // or a power cut, and quick enough never to hold up typing.
    if (!run("PRAGMA journal_mode = WAL", error) || !run("PRAGMA synchronous = FULL", error) ||
        !run(table.toUtf8().constData(), error) ||
        !run("create table if not exists 运行 (编号 integer primary key autoincrement, 开始 text not null)",
             error) ||
        !addMissingColumns(error) ||
        !prepare(m_write,
                 QStringLiteral("insert or replace into 草稿 (编号, 时间, 未关闭, 运行, 原记录, ") +
                     kBoxColumns + QStringLiteral(") values (?, ?, 0, ?, ?") +
                     QStringLiteral(", ?").repeated(FieldMap::boxes().size()) + u')',
                 error) ||
        !prepare(m_prune,
                 QStringLiteral("delete from 草稿 where 编号 not in "
                                "(select 编号 from 草稿 order by 时间 desc, 编号 desc limit %1)")
                     .arg(kMaxDrafts),
                 error) ||
        !prepare(m_remove, QStringLiteral("delete from 草稿 where 编号 = ?"), error) ||
        !prepare(m_read,
                 QStringLiteral("select ") + kDraftColumns + QStringLiteral(" from 草稿 where 编号 = ?"),
                 error) ||
        !prepare(m_list,
                 QStringLiteral("select ") + kDraftColumns +
                     QStringLiteral(" from 草稿 order by 时间 desc, 编号 desc"),
                 error) ||
        !prepare(m_runs, QStringLiteral("select 编号 from 运行 where 编号 <> ?"), error)) {
        return false;
    }

    sqlite3_stmt* old = nullptr;
    if (!prepare(old, QStringLiteral("delete from 草稿 where 时间 < ?"), error)) {
        return false;
    }
    bindText(old, 1, now.addDays(-kMaxAgeDays).toString(kTimeFormat));
    const bool pruned = step(old);
    sqlite3_finalize(old);
    if (!pruned) {
        setError(error, reason());
        return false;
    }
    return markRun(now, error) && findLeftOpen(error);
}

// A file written before drafts kept their run and what they were typed over
// gets the columns, empty.
bool DraftStore::addMissingColumns(QString* error)
{
    sqlite3_stmt* info = nullptr;
    if (!prepare(info, QStringLiteral("select name from pragma_table_info('草稿')"), error)) {
        return false;
    }
    QStringList present;
    while (sqlite3_step(info) == SQLITE_ROW) {
        present << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(info, 0)));
    }
    sqlite3_finalize(info);
    return (present.contains(QStringLiteral("运行")) ||
            run("alter table 草稿 add column 运行 integer", error)) &&
           (present.contains(QStringLiteral("原记录")) ||
            run("alter table 草稿 add column 原记录 text", error));
}

bool DraftStore::markRun(const QDateTime& now, QString* error)
{
    if (!run("begin immediate", error)) {
        return false;
    }
    // The drafts that a run of an earlier version left open become those of
    // one run that ended uncleanly.
    bool marked = run("insert into 运行 (开始) select '' where exists "
                      "(select 1 from 草稿 where 运行 is null and 未关闭 = 1)",
                      error) &&
                  run("update 草稿 set 运行 = (select max(编号) from 运行), 未关闭 = 0 where 运行 is null "
                      "and 未关闭 = 1",
                      error);
    sqlite3_stmt* insert = nullptr;
    marked = marked && prepare(insert, QStringLiteral("insert into 运行 (开始) values (?)"), error);
    if (marked) {
        bindText(insert, 1, now.toString(kTimeFormat));
        marked = step(insert);
        sqlite3_finalize(insert);
        if (!marked) {
            setError(error, reason());
        }
    }
    // The slot is taken before the mark is seen: no other run finds this one
    // marked and not running.
    int err = 0;
    if (marked) {
        m_run = sqlite3_last_insert_rowid(m_db);
        marked = m_slots.take(m_run, &err);
        if (!marked) {
            setError(error, osReason(err));
        }
    }
    if (!marked || !run("commit", error)) {
        run("rollback", nullptr);
        m_run = 0;
        return false;
    }
    return true;
}

bool DraftStore::otherRuns(std::vector<qint64>& live, std::vector<qint64>& ended, QString* error) const
{
    live.clear();
    ended.clear();
    sqlite3_bind_int64(m_runs, 1, m_run);
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(m_runs)) == SQLITE_ROW) {
        const qint64 id = sqlite3_column_int64(m_runs, 0);
        (m_slots.isTakenElsewhere(id) ? live : ended).push_back(id);
    }
    sqlite3_reset(m_runs);
    if (rc != SQLITE_DONE) {
        setError(error, reason());
        return false;
    }
    return true;
}

Draft::Left DraftStore::leftBy(qint64 run, const std::vector<qint64>& ended) const
{
    if (run == m_run) {
        return Draft::Left::ThisRun;
    }
    return contains(ended, run) ? Draft::Left::ByUncleanEnd : Draft::Left::AtCleanClose;
}

bool DraftStore::findLeftOpen(QString* error)
{
    m_leftOpen = {};
    std::vector<qint64> live;
    if (!otherRuns(live, m_endedRuns, error)) {
        return false;
    }
    int count = 0;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(m_list)) == SQLITE_ROW) {
        const qint64 run = sqlite3_column_int64(m_list, kRunColumn);
        if (contains(live, run)) {
            continue;
        }
        if (count++ == 0) {
            m_leftOpen.newest = draftFrom(m_list);
            m_leftOpen.newest.left = leftBy(run, m_endedRuns);
        }
        m_leftOpen.byUncleanEnd += contains(m_endedRuns, run) ? 1 : 0;
    }
    sqlite3_reset(m_list);
    if (rc != SQLITE_DONE) {
        setError(error, reason());
        return false;
    }
    if (m_leftOpen.byUncleanEnd > 0) {
        m_leftOpen.count = count;
    } else {
        m_leftOpen = {};
    }
    return true;
}

void DraftStore::close()
{
    for (sqlite3_stmt** statement : {&m_write, &m_prune, &m_remove, &m_read, &m_list, &m_runs}) {
        sqlite3_finalize(*statement);
        *statement = nullptr;
    }
    if (m_db) {
        sqlite3_close(m_db);
        m_db = nullptr;
    }
    // Given up only once nothing more is written.
    m_slots.close();
    m_run = 0;
    m_endedRuns.clear();
}

void DraftStore::closeCleanly()
{
    if (!m_db) {
        return;
    }
    // This run and those it told of are unmarked: their drafts stay, listed,
    // and are no longer told as left open.
    sqlite3_stmt* unmark = nullptr;
    if (run("begin immediate", nullptr) &&
        prepare(unmark, QStringLiteral("delete from 运行 where 编号 = ?"), nullptr)) {
        bool unmarked = true;
        m_endedRuns.push_back(m_run);
        for (const qint64 id : m_endedRuns) {
            sqlite3_bind_int64(unmark, 1, id);
            unmarked = step(unmark) && unmarked;
        }
        sqlite3_finalize(unmark);
        run(unmarked ? "commit" : "rollback", nullptr);
    }
    // Moves the log into the file and removes it.
    run("PRAGMA journal_mode = DELETE", nullptr);
    close();
}

bool DraftStore::write(Draft& draft, QString* error)
{
    if (!m_db) {
        setError(error, QStringLiteral("草稿文件没有打开"));
        return false;
    }
    if (!run("begin immediate", error)) {
        return false;
    }
    if (draft.id > 0) {
        sqlite3_bind_int64(m_write, 1, draft.id);
    } else {
        sqlite3_bind_null(m_write, 1);
    }
    bindText(m_write, 2, draft.typedAt.toString(kTimeFormat));
    sqlite3_bind_int64(m_write, 3, m_run);
    if (draft.typedOverUnknown) {
        sqlite3_bind_null(m_write, 4);
    } else {
        bindText(m_write, 4, typedOverText(draft.typedOver));
    }
    int parameter = 5;
    for (const BoxDef& box : FieldMap::boxes()) {
        bindText(m_write, parameter++, draft.record[box.field]);
    }
    if (!step(m_write) || !step(m_prune)) {
        setError(error, reason());
        run("rollback", nullptr);
        return false;
    }
    const qint64 id = sqlite3_last_insert_rowid(m_db);
    if (!run("commit", error)) {
        run("rollback", nullptr);
        return false;
    }
    draft.id = id;
    return true;
}

bool DraftStore::remove(qint64 id, QString* error)
{
    if (!m_db) {
        setError(error, QStringLiteral("草稿文件没有打开"));
        return false;
    }
    sqlite3_bind_int64(m_remove, 1, id);
    if (!step(m_remove)) {
        setError(error, reason());
        return false;
    }
    return true;
}

std::optional<Draft> DraftStore::read(qint64 id, QString* error) const
{
    if (!m_db) {
        setError(error, QStringLiteral("草稿文件没有打开"));
        return std::nullopt;
    }
    std::vector<qint64> live;
    std::vector<qint64> ended;
    if (!otherRuns(live, ended, error)) {
        return std::nullopt;
    }
    sqlite3_bind_int64(m_read, 1, id);
    const int rc = sqlite3_step(m_read);
    std::optional<Draft> draft;
    if (rc == SQLITE_ROW) {
        draft = draftFrom(m_read);
        draft->left = leftBy(sqlite3_column_int64(m_read, kRunColumn), ended);
    } else {
        setError(error, rc == SQLITE_DONE ? QStringLiteral("这份草稿已不存在") : reason());
    }
    sqlite3_reset(m_read);
    return draft;
}

bool DraftStore::list(std::vector<Draft>& drafts, QString* error) const
{
    drafts.clear();
    if (!m_db) {
        setError(error, QStringLiteral("草稿文件没有打开"));
        return false;
    }
    std::vector<qint64> live;
    std::vector<qint64> ended;
    if (!otherRuns(live, ended, error)) {
        return false;
    }
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(m_list)) == SQLITE_ROW) {
        const qint64 run = sqlite3_column_int64(m_list, kRunColumn);
        if (!contains(live, run)) {
            drafts.push_back(draftFrom(m_list));
            drafts.back().left = leftBy(run, ended);
        }
    }
    sqlite3_reset(m_list);
    if (rc != SQLITE_DONE) {
        setError(error, reason());
        drafts.clear();
        return false;
    }
    return true;
}

QString DraftsLeftOpen::question() const
{
    const QString name = newest.record[Field::Name];
    QString text = QStringLiteral("发现 %1 份未保存的表格（最近：%2 %3）")
                       .arg(QString::number(count), name.isEmpty() ? QStringLiteral("未填姓名") : name,
                            newest.typedAt.toString(QStringLiteral("yyyy-MM-dd hh:mm")));
    if (byUncleanEnd < count) {
        text += QStringLiteral("，其中 %1 份是程序意外结束时留下的。").arg(byUncleanEnd);
    } else {
        text += u'，';
    }
    return text + QStringLiteral("是否现在查看？");
}

QString draftChanges(const ExamRecord& draft, int few)
{
    const auto stored = RecordStore::isStored(draft.key());
    if (!stored) {
        return {};
    }
    if (!*stored) {
        return QStringLiteral("新记录");
    }
    ExamRecord record;
    if (!RecordStore::load(draft.key(), record)) {
        return {};
    }
    QList<Field> changed;
    for (const BoxDef* box : FieldMap::tabOrder()) {
        if (draft[box->field] != record[box->field]) {
            changed << box->field;
        }
    }
    return FieldMap::operatorNameList(changed, few);
}

QString draftChanges(const Draft& draft, int few)
{
    // A new sheet is saved as a new record, whatever is stored under its key.
    if (!draft.typedOver && !draft.typedOverUnknown) {
        return QStringLiteral("新记录");
    }
    return draftChanges(draft.record, few);
}

} // namespace brenvoll
