#include "RecordStore.h"

#include "VersionStamp.h"
#include "storage/Database.h"
#include "storage/HistoryTables.h"
#include "storage/WriteTransaction.h"

#include <QSqlRecord>

namespace brenvoll {

namespace {

QString quoted(const QString& column)
{
    return FieldMap::quotedColumn(column);
}

const QString& upsertSql()
{
    static const QString sql = []() -> QString {
        QStringList params;
        QStringList updates;
        for (const BoxDef& box : FieldMap::boxes()) {
            params << QStringLiteral("?");
            if (box.column != QLatin1String("序列号")) {
                updates << quoted(box.column) + QStringLiteral(" = excluded.") + quoted(box.column);
            }
        }
        return QStringLiteral("insert into 档案 (") + FieldMap::quotedColumns() +
               QStringLiteral(") values (") + params.join(u',') +
               QStringLiteral(") on conflict(序列号) do update set ") + updates.join(u',');
    }();
    return sql;
}

const QString& insertSql()
{
    static const QString sql = []() -> QString {
        const QString& upsert = upsertSql();
        return upsert.left(upsert.indexOf(QStringLiteral(" on conflict"))) +
               QStringLiteral(" on conflict(序列号) do nothing");
    }();
    return sql;
}

// Every box's column set to a bound value.
QString setEveryBox()
{
    QStringList sets;
    for (const BoxDef& box : FieldMap::boxes()) {
        sets << quoted(box.column) + QStringLiteral(" = ?");
    }
    return sets.join(u',');
}

// Every box's stored value as it loads (a NULL as empty, the date without a
// time of day) compared with a bound one: the row is still the loaded one.
// `table` ("before.", "档案.") names whose columns, where a statement reads two.
QString stillLoaded(const QString& table = {})
{
    QStringList same;
    for (const BoxDef& box : FieldMap::boxes()) {
        const QString stored =
            QStringLiteral("coalesce(") + table + quoted(box.column) + QStringLiteral(", '')");
        same << (box.field == Field::ExamDate
                     ? QStringLiteral("substr(") + stored + QStringLiteral(", 1, 10)")
                     : stored) +
                    QStringLiteral(" = ?");
    }
    return same.join(QStringLiteral(" and "));
}

// Each box's stored value compared with a bound one, joined by `join`.
QString eachBox(const QString& compare, const QString& join, const QString& table = {})
{
    QStringList parts;
    for (const BoxDef& box : FieldMap::boxes()) {
        parts << QStringLiteral("coalesce(") + table + quoted(box.column) + QStringLiteral(", '') ") +
                     compare + QStringLiteral(" ?");
    }
    return parts.join(join);
}

// Every box's column set, then the key and the row still the loaded one.
const QString& updateSql()
{
    static const QString sql = QStringLiteral("update 档案 set ") + setEveryBox() +
                               QStringLiteral(" where 序列号 = ? and ") + stillLoaded();
    return sql;
}

// Keeps the stored row of the bound key as a version, stamped with the four
// bound texts of a VersionStamp; `condition` (with its own placeholders)
// narrows the rows kept.
QString keepVersionSql(const QString& condition)
{
    const QString& list = FieldMap::quotedColumns();
    return QStringLiteral("insert into 档案版本 (时间, 操作, 工作站, 操作员, ") + list +
           QStringLiteral(") select ?, ?, ?, ?, ") + list + QStringLiteral(" from 档案 where 序列号 = ?") +
           condition;
}

// Keeping the row before `record` overwrites it: only when a box changes.
const QString& keepBeforeSaveSql()
{
    static const QString sql = keepVersionSql(QStringLiteral(" and (") +
                                              eachBox(QStringLiteral("<>"), QStringLiteral(" or ")) + u')');
    return sql;
}

// Keeping the row before update(): only while it is still the loaded one
// (as updateSql() checks it) and a box changes.
const QString& keepBeforeUpdateSql()
{
    static const QString sql =
        keepVersionSql(QStringLiteral(" and ") + stillLoaded() + QStringLiteral(" and (") +
                       eachBox(QStringLiteral("<>"), QStringLiteral(" or ")) + u')');
    return sql;
}

// On a server, the update and the version of the row it replaces in one
// statement, which commits on its own: the row is locked only while the
// server runs it, never across a round trip to the desk. The row is locked
// first and read as it then is ("before"); the version is kept of it and the
// update goes through only while it is still the loaded one (as updateSql()
// checks it), the version only when a box changes.
const QString& serverKeepAndUpdateSql()
{
    static const QString sql = []() -> QString {
        const QString& list = FieldMap::quotedColumns();
        const QString before = QStringLiteral("before.");
        return QStringLiteral("with before as (select ") + list +
               QStringLiteral(" from 档案 where 序列号 = ? for update), kept as (insert into 档案版本 "
                              "(时间, 操作, 工作站, 操作员, ") +
               list + QStringLiteral(") select ?, ?, ?, ?, ") + list + QStringLiteral(" from before where ") +
               stillLoaded(before) + QStringLiteral(" and (") +
               eachBox(QStringLiteral("<>"), QStringLiteral(" or "), before) +
               QStringLiteral(")) update 档案 set ") + setEveryBox() +
               QStringLiteral(" from before where 档案.序列号 = before.序列号 and ") +
               stillLoaded(QStringLiteral("档案."));
    }();
    return sql;
}

// Binds serverKeepAndUpdateSql()'s values in the order of its placeholders.
void bindServerKeepAndUpdate(QSqlQuery& query, const QString& action, const ExamRecord& loaded,
                             const ExamRecord& record)
{
    const auto bindBoxes = [&query](const ExamRecord& boxes) {
        for (const BoxDef& box : FieldMap::boxes()) {
            Database::bindText(query, boxes[box.field]);
        }
    };
    Database::bindText(query, loaded.key());
    const VersionStamp stamp = VersionStamp::now(action);
    for (const QString& text : {stamp.time, stamp.action, stamp.desk, stamp.operatorName}) {
        Database::bindText(query, text);
    }
    bindBoxes(loaded);
    bindBoxes(record);
    bindBoxes(record);
    bindBoxes(loaded);
}

// Binds a keep statement's values: the stamp, the key, then `records`' boxes
// in turn.
void bindVersion(QSqlQuery& query, const QString& action, const QString& key,
                 std::initializer_list<const ExamRecord*> records)
{
    const VersionStamp stamp = VersionStamp::now(action);
    for (const QString& text : {stamp.time, stamp.action, stamp.desk, stamp.operatorName, key}) {
        Database::bindText(query, text);
    }
    for (const ExamRecord* record : records) {
        for (const BoxDef& box : FieldMap::boxes()) {
            Database::bindText(query, (*record)[box.field]);
        }
    }
}

// Binds updateSql()'s values: `record`'s boxes, then the key and the boxes
// of `loaded`, the row it replaces.
void bindUpdate(QSqlQuery& query, const ExamRecord& loaded, const ExamRecord& record)
{
    for (const BoxDef& box : FieldMap::boxes()) {
        Database::bindText(query, record[box.field]);
    }
    Database::bindText(query, loaded.key());
    for (const BoxDef& box : FieldMap::boxes()) {
        Database::bindText(query, loaded[box.field]);
    }
}

// Runs a keep statement.
bool keepVersion(const QString& sql, const QString& action, const QString& key,
                 std::initializer_list<const ExamRecord*> records, QString* error)
{
    QSqlQuery query = Database::prepare(sql, error);
    bindVersion(query, action, key, records);
    return Database::exec(query, error);
}

// On a server, holds the stored row of `key` until the commit, so that the
// version kept is the row the write replaces.
bool lockRow(const QString& key, QString* error)
{
    if (WriteTransaction::rowLock().isEmpty()) {
        return true;
    }
    QSqlQuery query = Database::prepare(
        QStringLiteral("select 1 from 档案 where 序列号 = ?") + WriteTransaction::rowLock(), error);
    Database::bindText(query, key);
    return Database::exec(query, error);
}

QString dateText(const QString& stored)
{
    // Dates are stored as yyyy-mm-dd; a value with a time of day shows its date.
    return stored.left(10);
}

} // namespace

bool RecordStore::load(const QString& key, ExamRecord& record, QString* error)
{
    // Every box's column named, in the field map's order: read by position,
    // straight from the engine.
    static const QByteArray sql = (QStringLiteral("select ") + FieldMap::quotedColumns() +
                                   QStringLiteral(" from 档案 where 序列号 = ?"))
                                      .toUtf8();
    const QList<BoxDef>& boxes = FieldMap::boxes();
    bool found = false;
    const bool ok = Database::readRows(
        sql.constData(), {key},
        [&](const Database::Row& row) {
            for (qsizetype i = 0; i < boxes.size(); ++i) {
                // A NULL (never written by this program) shows as an empty box.
                const QString value = QString::fromUtf8(row.text(int(i)));
                record[boxes[i].field] = boxes[i].field == Field::ExamDate ? dateText(value) : value;
            }
            found = true;
            return false;
        },
        error);
    if (ok && !found && error) {
        *error = QStringLiteral("这条记录已不存在。");
    }
    return ok && found;
}

bool RecordStore::save(const ExamRecord& record, QString* error)
{
    const bool keep = HistoryTables::present();
    std::optional<WriteTransaction> transaction;
    if (keep) {
        transaction.emplace(error);
        if (!transaction->isOpen() || !lockRow(record.key(), error) ||
            !keepVersion(keepBeforeSaveSql(), VersionStamp::kChanged, record.key(), {&record}, error)) {
            return false;
        }
    }
    QSqlQuery query = Database::prepare(upsertSql(), error);
    for (const BoxDef& box : FieldMap::boxes()) {
        Database::bindText(query, record[box.field]); // never NULL
    }
    return Database::exec(query, error) && (!transaction || transaction->commit(error));
}

RecordStore::SaveResult RecordStore::insert(const ExamRecord& record, QString* error)
{
    QSqlQuery query = Database::prepare(insertSql(), error);
    for (const BoxDef& box : FieldMap::boxes()) {
        Database::bindText(query, record[box.field]);
    }
    if (!Database::exec(query, error)) {
        return SaveResult::Failed;
    }
    return query.numRowsAffected() == 1 ? SaveResult::Saved : SaveResult::KeyTaken;
}

RecordStore::SaveResult RecordStore::update(const ExamRecord& loaded, const ExamRecord& record,
                                            QString* error)
{
    const bool keep = HistoryTables::present();
    qint64 updated = 0;
    if (keep && Database::keepsStatements()) {
        // One statement, prepared once: a save is one round trip.
        QSqlQuery* query = Database::keptServerStatement(serverKeepAndUpdateSql(), error);
        if (!query) {
            return SaveResult::Failed;
        }
        bindServerKeepAndUpdate(*query, VersionStamp::kChanged, loaded, record);
        if (!Database::exec(*query, error)) {
            return SaveResult::Failed;
        }
        updated = query->numRowsAffected();
    } else {
        // The version and the update check the same condition in one
        // transaction: both are written, or neither.
        std::optional<WriteTransaction> transaction;
        if (keep) {
            transaction.emplace(error);
            if (!transaction->isOpen() || !keepVersion(keepBeforeUpdateSql(), VersionStamp::kChanged,
                                                       loaded.key(), {&loaded, &record}, error)) {
                return SaveResult::Failed;
            }
        }
        QSqlQuery query = Database::prepare(updateSql(), error);
        bindUpdate(query, loaded, record);
        if (!Database::exec(query, error)) {
            return SaveResult::Failed;
        }
        updated = query.numRowsAffected();
        if (updated == 1 && transaction && !transaction->commit(error)) {
            return SaveResult::Failed;
        }
        // Otherwise the transaction ends here: nothing kept when nothing was updated.
    }
    if (updated == 1) {
        return SaveResult::Saved;
    }
    const auto stored = isStored(loaded.key(), error);
    if (!stored) {
        return SaveResult::Failed;
    }
    return *stored ? SaveResult::ChangedElsewhere : SaveResult::DeletedElsewhere;
}

ExamRecord RecordStore::asStored(const ExamRecord& record)
{
    ExamRecord stored;
    for (const BoxDef& box : FieldMap::boxes()) {
        stored[box.field] = Database::storable(record[box.field]);
    }
    stored[Field::ExamDate] = dateText(stored[Field::ExamDate]);
    return stored;
}

bool RecordStore::remove(const QString& key, QString* error)
{
    std::optional<WriteTransaction> transaction;
    if (HistoryTables::present()) {
        static const QString keepSql = keepVersionSql(QString());
        transaction.emplace(error);
        if (!transaction->isOpen() || !lockRow(key, error) ||
            !keepVersion(keepSql, VersionStamp::kDeleted, key, {}, error)) {
            return false;
        }
    }
    QSqlQuery query = Database::prepare(QStringLiteral("delete from 档案 where 序列号 = ?"), error);
    Database::bindText(query, key);
    return Database::exec(query, error) && (!transaction || transaction->commit(error));
}

std::optional<bool> RecordStore::isStored(const QString& key, QString* error)
{
    QSqlQuery query = Database::prepare(QStringLiteral("select 1 from 档案 where 序列号 = ?"), error);
    Database::bindText(query, key);
    // The driver reads the first row while executing, so a failing read ends here.
    if (!Database::exec(query, error)) {
        return std::nullopt;
    }
    return query.next();
}

bool RecordStore::exists(const QString& key)
{
    return isStored(key).value_or(false);
}

qint64 RecordStore::count()
{
    QSqlQuery query = Database::prepare(QStringLiteral("select count(*) from 档案"));
    if (!Database::exec(query) || !query.next()) {
        return -1;
    }
    return query.value(0).toLongLong();
}

RecordReader::RecordReader()
    : m_query(std::make_unique<QSqlQuery>(
          Database::prepare(QStringLiteral("select * from 档案 where 序列号 = ?"))))
{
}

RecordReader::~RecordReader() = default;

bool RecordReader::read(const QString& key, ExamRecord& record, QString* error)
{
    Database::bindText(*m_query, key);
    const bool found = Database::exec(*m_query, error) && m_query->next();
    if (!found && error && error->isEmpty()) {
        *error = m_query->lastError().isValid() ? Database::describe(m_query->lastError())
                                                : QStringLiteral("这条记录已不存在。");
    }
    if (found) {
        if (m_columns.empty()) {
            const QSqlRecord row = m_query->record();
            for (const BoxDef& box : FieldMap::boxes()) {
                m_columns.push_back(row.indexOf(box.column));
            }
        }
        const QList<BoxDef>& boxes = FieldMap::boxes();
        for (qsizetype i = 0; i < boxes.size(); ++i) {
            // A NULL (never written by this program) shows as an empty box.
            const QString value = m_columns[i] < 0 ? QString() : m_query->value(m_columns[i]).toString();
            record[boxes[i].field] = boxes[i].field == Field::ExamDate ? dateText(value) : value;
        }
    }
    // An unfinished query would hold the database's read lock.
    m_query->finish();
    return found;
}

} // namespace brenvoll
