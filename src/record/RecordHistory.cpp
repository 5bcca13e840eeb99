#include "RecordHistory.h"

#include "RecordStore.h"
#include "storage/Database.h"
#include "storage/HistoryTables.h"
#include "storage/WriteTransaction.h"

namespace brenvoll {

namespace {

// Every box's column, in Field order, as the select list of a version.
QString boxColumns()
{
    QStringList columns;
    for (const BoxDef& box : FieldMap::boxes()) {
        columns << u'"' + box.column + u'"';
    }
    return columns.join(u',');
}

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
        (QStringLiteral("select 版本号, 时间, 操作, 工作站, 操作员, ") + boxColumns() +
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
        // Saved again under its key since (a desk that still had it on its
        // sheet answered 是 to storing it again): it is no longer deleted.
        "and not exists (select 1 from 档案 a where a.序列号 = v.序列号 and a.姓名 = v.姓名 and a.日期 = "
        "v.日期) "
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
        (QStringLiteral("select ") + boxColumns() +
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
    // The same examination stored again under its key meanwhile: a second
    // copy under another key would count the examination twice.
    bool savedAgain = false;
    if (!Database::readRows(
            "select 1 from 档案 where 序列号 = ? and 姓名 = ? and 日期 = ?",
            {record->key(), (*record)[Field::Name], (*record)[Field::ExamDate]},
            [&savedAgain](const Database::Row&) {
                savedAgain = true;
                return false;
            },
            error)) {
        return std::nullopt;
    }
    if (savedAgain) {
        if (error) {
            *error = QStringLiteral("这份体检记录已经重新保存过（序列号 %1），仍在记录中，不需要恢复。")
                         .arg(record->key());
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

QString RecordHistory::caption(Field field)
{
    // In Field order. The sheet's own captions, told apart where the sheet
    // tells them apart by their place ("其他" of three sections).
    static const char16_t* const captions[FieldMap::kIdentifyingCount + FieldMap::kFindingCount] = {
        u"姓名",         u"性别",         u"年龄",     u"体检日期",   u"地址",       u"序列号",
        u"编号",         u"电话",         u"既往史",   u"身高",       u"体重",       u"收缩压",
        u"呼吸系统",     u"神经系统",     u"心脏",     u"腹部器官",   u"内科其他",   u"颈部",
        u"脊柱",         u"皮肤淋巴结",   u"四肢关节", u"外科其他",   u"口腔",       u"耳鼻喉科",
        u"听力",         u"耳鼻喉科其他", u"白细胞",   u"血红蛋白",   u"血小板",     u"尿蛋白",
        u"尿糖",         u"尿隐血",       u"尿酮体",   u"谷丙转氨酶", u"谷草转氨酶", u"总胆红素",
        u"表面抗体",     u"尿素氮",       u"肌酐",     u"空腹血糖",   u"甘油三脂",   u"总胆固醇",
        u"高密度脂蛋白", u"低密度脂蛋白", u"心电图",   u"B超",        u"胸部X线",    u"体检结论",
        u"健康指导",     u"签字日期",     u"舒张压",   u"主检医生",
    };
    return QString::fromUtf16(captions[int(field)]);
}

QString RecordHistory::captionList(const QList<Field>& fields, int most)
{
    QStringList names;
    for (qsizetype i = 0; i < fields.size() && i < most; ++i) {
        names << caption(fields[i]);
    }
    QString text = names.join(u'、');
    if (fields.size() > most) {
        text += QStringLiteral(" 等 %1 项").arg(fields.size());
    }
    return text;
}

} // namespace brenvoll
