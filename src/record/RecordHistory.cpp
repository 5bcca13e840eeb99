#include "RecordHistory.h"

#include "RecordStore.h"
#include "storage/Database.h"
#include "storage/HistoryTables.h"
#include "storage/WriteTransaction.h"

namespace brenvoll {

namespace {

// The record in the row's columns from `first` on, read as a load reads it.
ExamRecord recordAt(const Database::Row& row, int first)
{
    ExamRecord record;
    const QList<BoxDef>& boxes = FieldMap::boxes();
    for (qsizetype i = 0; i < boxes.size(); ++i) {
        const QString value = QString::fromUtf8(row.text(first + int(i)));
        record[boxes[i].field] = boxes[i].field == Field::ExamDate ? value.left(10) : value;
    }
    return record;
}

VersionStamp stampAt(const Database::Row& row, int first)
{
    return {QString::fromUtf8(row.text(first)), QString::fromUtf8(row.text(first + 1)),
            QString::fromUtf8(row.text(first + 2)), QString::fromUtf8(row.text(first + 3))};
}

} // namespace

bool RecordHistory::isKept()
{
    return HistoryTables::present();
}

bool RecordHistory::versions(const QString& key, std::vector<RecordVersion>& out, QString* error)
{
    static const QByteArray sql =
        (QStringLiteral("select 版本号, 时间, 操作, 工作站, 操作员, ") + FieldMap::quotedColumns() +
         QStringLiteral(" from 档案版本 where 序列号 = ? order by 版本号 desc"))
            .toUtf8();
    out.clear();
    return Database::readRows(
        sql.constData(), {key},
        [&out](const Database::Row& row) {
            out.push_back({row.integer(0), stampAt(row, 1), recordAt(row, 5)});
            return true;
        },
        error);
}

bool RecordHistory::deleted(std::vector<DeletedRecord>& out, QString* error)
{
    static const char* const sql =
        "select v.版本号, v.姓名, v.序列号, v.日期, v.时间, v.操作, v.工作站, v.操作员 from 档案版本 v "
        "where v.操作 = '删除' and not exists (select 1 from 档案恢复 r where r.删除版本号 = v.版本号) "
        "order by v.版本号 desc";
    out.clear();
    return Database::readRows(
        sql, {},
        [&out](const Database::Row& row) {
            out.push_back({row.integer(0), QString::fromUtf8(row.text(1)), QString::fromUtf8(row.text(2)),
                           QString::fromUtf8(row.text(3)).left(10), stampAt(row, 4)});
            return true;
        },
        error);
}

std::optional<QString> RecordHistory::restoreDeleted(qint64 id, const NextKey& nextKey, QString* error)
{
    WriteTransaction transaction(error);
    if (!transaction.isOpen()) {
        return std::nullopt;
    }
    static const QByteArray sql =
        (QStringLiteral("select ") + FieldMap::quotedColumns() +
         QStringLiteral(", (select count(*) from 档案恢复 r where r.删除版本号 = v.版本号) from 档案版本 v "
                        "where v.版本号 = ? and v.操作 = '删除'"))
            .toUtf8();
    std::optional<ExamRecord> record;
    bool restoredBefore = false;
    if (!Database::readRows(
            sql.constData(), {QString::number(id)},
            [&](const Database::Row& row) {
                record = recordAt(row, 0);
                restoredBefore = row.integer(FieldMap::kIdentifyingCount + FieldMap::kFindingCount) > 0;
                return false;
            },
            error)) {
        return std::nullopt;
    }
    if (!record || restoredBefore) {
        if (error) {
            *error = record ? QStringLiteral("这条记录已经恢复过了。")
                            : QStringLiteral("找不到这条已删除的记录。");
        }
        return std::nullopt;
    }
    RecordStore::SaveResult result = RecordStore::SaveResult::Failed;
    while ((result = RecordStore::insert(*record, error)) == RecordStore::SaveResult::KeyTaken) {
        const std::optional<QString> key = nextKey(error);
        if (!key) {
            return std::nullopt;
        }
        (*record)[Field::Key] = *key;
    }
    if (result != RecordStore::SaveResult::Saved) {
        return std::nullopt;
    }
    const VersionStamp stamp = VersionStamp::now(QString());
    QSqlQuery note = Database::prepare(
        QStringLiteral(
            "insert into 档案恢复 (删除版本号, 序列号, 时间, 工作站, 操作员) values (?, ?, ?, ?, ?)"),
        error);
    note.addBindValue(id);
    for (const QString& text : {record->key(), stamp.time, stamp.desk, stamp.operatorName}) {
        Database::bindText(note, text);
    }
    if (!Database::exec(note, error) || !transaction.commit(error)) {
        return std::nullopt;
    }
    return record->key();
}

QList<Field> RecordHistory::differences(const ExamRecord& a, const ExamRecord& b)
{
    QList<Field> fields;
    for (const BoxDef& box : FieldMap::boxes()) {
        if (a[box.field] != b[box.field]) {
            fields << box.field;
        }
    }
    return fields;
}

QString RecordHistory::captionList(const QList<Field>& fields, int most)
{
    return FieldMap::operatorNameList(fields, most);
}

} // namespace brenvoll
