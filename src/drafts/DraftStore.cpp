#include "DraftStore.h"

#include "base/FileSystem.h"
#include "record/RecordStore.h"
#include "storage/Database.h"

#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sqlite3.h>

namespace brenvoll {

namespace {

// Times are local, to the millisecond, so that the text sorts as the time.
const QString kTimeFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz");
// The box columns, named as in the records table.
const QString kBoxColumns = [] {
    QStringList columns;
    for (const BoxDef& box : FieldMap::boxes()) {
        columns << u'"' + box.column + u'"';
    }
    return columns.join(u',');
}();

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

// Reads the columns 编号, 时间 and then every box, in that order.
Draft draftFrom(sqlite3_stmt* statement)
{
    Draft draft;
    draft.id = sqlite3_column_int64(statement, 0);
    const auto text = [statement](int column) {
        const auto* data = static_cast<const char16_t*>(sqlite3_column_text16(statement, column));
        return data ? QString::fromUtf16(data, sqlite3_column_bytes16(statement, column) / 2) : QString();
    };
    draft.typedAt = QDateTime::fromString(text(1), kTimeFormat);
    int column = 2;
    for (const BoxDef& box : FieldMap::boxes()) {
        draft.record[box.field] = text(column++);
    }
    return draft;
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
    const QByteArray name = QFile::encodeName(path);
    // Created here, owner only, so that the engine's own files beside it
    // (which take its mode) are owner only too: drafts hold health data.
    int err = 0;
    if (!createOwnerOnlyFile(path, &err)) {
        setError(error, osReason(err));
        return false;
    }
    if (sqlite3_open_v2(name.constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        setError(error, reason());
        close();
        return false;
    }
    sqlite3_busy_timeout(m_db, 1000);
    if (!setUp(now, error)) {
        close();
        return false;
    }
    return true;
}

bool DraftStore::setUp(const QDateTime& now, QString* error)
{
    QStringList boxColumns;
    for (const BoxDef& box : FieldMap::boxes()) {
        boxColumns << u'"' + box.column + QStringLiteral("\" text not null");
    }
    const QString table = QStringLiteral("create table if not exists 草稿 (编号 integer primary key, "
                                         "时间 text not null, 未关闭 integer not null, ") +
                          boxColumns.join(u',') + u')';
    const QString columns = QStringLiteral("编号, 时间, ") + kBoxColumns;
    // A draft is one append to the log and one sync: durable through a crash
    // or a power cut, and quick enough never to hold up typing.
    if (!run("PRAGMA journal_mode = WAL", error) || !run("PRAGMA synchronous = FULL", error) ||
        !run(table.toUtf8().constData(), error) ||
        !prepare(m_write,
                 QStringLiteral("insert or replace into 草稿 (编号, 时间, 未关闭, ") + kBoxColumns +
                     QStringLiteral(") values (?, ?, 1") +
                     QStringLiteral(", ?").repeated(FieldMap::boxes().size()) + u')',
                 error) ||
        !prepare(m_prune,
                 QStringLiteral("delete from 草稿 where 编号 not in "
                                "(select 编号 from 草稿 order by 时间 desc, 编号 desc limit %1)")
                     .arg(kMaxDrafts),
                 error) ||
        !prepare(m_remove, QStringLiteral("delete from 草稿 where 编号 = ?"), error) ||
        !prepare(m_read, QStringLiteral("select ") + columns + QStringLiteral(" from 草稿 where 编号 = ?"),
                 error) ||
        !prepare(m_list,
                 QStringLiteral("select ") + columns +
                     QStringLiteral(" from 草稿 order by 时间 desc, 编号 desc"),
                 error)) {
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

    // The drafts of a run that did not close cleanly are still marked.
    sqlite3_stmt* newest = nullptr;
    if (!prepare(newest,
                 QStringLiteral("select ") + columns +
                     QStringLiteral(", count(*) over () from 草稿 where 未关闭 = 1 "
                                    "order by 时间 desc, 编号 desc limit 1"),
                 error)) {
        return false;
    }
    m_leftOpen = {};
    const int rc = sqlite3_step(newest);
    if (rc == SQLITE_ROW) {
        m_leftOpen.newest = draftFrom(newest);
        m_leftOpen.count = sqlite3_column_int(newest, 2 + int(FieldMap::boxes().size()));
    }
    sqlite3_finalize(newest);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        setError(error, reason());
        return false;
    }
    // From now on only the drafts of this run count as left open.
    return run("update 草稿 set 未关闭 = 0 where 未关闭 = 1", error);
}

void DraftStore::close()
{
    for (sqlite3_stmt** statement : {&m_write, &m_prune, &m_remove, &m_read, &m_list}) {
        sqlite3_finalize(*statement);
        *statement = nullptr;
    }
    if (m_db) {
        sqlite3_close(m_db);
        m_db = nullptr;
    }
}

void DraftStore::closeCleanly()
{
    if (!m_db) {
        return;
    }
    run("update 草稿 set 未关闭 = 0 where 未关闭 = 1", nullptr);
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
    int parameter = 3;
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
    sqlite3_bind_int64(m_read, 1, id);
    const int rc = sqlite3_step(m_read);
    std::optional<Draft> draft;
    if (rc == SQLITE_ROW) {
        draft = draftFrom(m_read);
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
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(m_list)) == SQLITE_ROW) {
        drafts.push_back(draftFrom(m_list));
    }
    sqlite3_reset(m_list);
    if (rc != SQLITE_DONE) {
        setError(error, reason());
        drafts.clear();
        return false;
    }
    return true;
}

QString boxCaption(Field field)
{
    const BoxDef& box = FieldMap::box(field);
    const CaptionDef* nearest = nullptr;
    for (const CaptionDef& caption : FieldMap::captions()) {
        // On the box's line, left of it, and a name rather than a unit or a
        // sign ("cm", "/").
        const bool named = std::any_of(caption.text.begin(), caption.text.end(),
                                       [](QChar ch) { return ch.script() == QChar::Script_Han; });
        if (named && qAbs(caption.rect.top - box.rect.top) <= 60 && caption.rect.left < box.rect.left &&
            (!nearest || caption.rect.left > nearest->rect.left)) {
            nearest = &caption;
        }
    }
    if (!nearest) {
        return box.column;
    }
    // A laboratory caption runs on with its unit and range after the colon.
    const QString text = nearest->text;
    const qsizetype colon = text.indexOf(QRegularExpression(QStringLiteral("[：:]")));
    return (colon < 0 ? text : text.left(colon)).trimmed();
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
    QStringList captions;
    for (const BoxDef* box : FieldMap::tabOrder()) {
        if (draft[box->field] == record[box->field]) {
            continue;
        }
        if (captions.size() == few) {
            return captions.join(u'、') + QStringLiteral("等");
        }
        captions << boxCaption(box->field);
    }
    return captions.join(u'、');
}

} // namespace brenvoll
