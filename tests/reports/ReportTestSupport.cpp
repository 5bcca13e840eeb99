#include "ReportTestSupport.h"

#include "TestSupport.h"
#include "storage/Database.h"

#include <QSqlDatabase>

namespace brenvoll::test {

ExamRecord toExamRecord(const ReportRecord& r)
{
    ExamRecord record = makeRecord(r.key, r.name, r.date, r.address);
    record[Field::Sex] = r.sex;
    record[Field::Age] = r.age;
    record[Field::Number] = r.number;
    record[Field::Telephone] = r.phone;
    record[Field::Conclusion] = r.conclusion;
    return record;
}

// Rows go in as RecordStore::save writes them (every box as text, never
// NULL). The insert is spelled out here because this branch's RecordStore
// builds its statement text from a dangling temporary (fixed on main).
bool storeAll(const std::vector<ReportRecord>& records, QString* error)
{
    QStringList columns;
    QStringList params;
    for (const BoxDef& box : FieldMap::boxes()) {
        columns << u'"' + box.column + u'"';
        params << QStringLiteral("?");
    }
    const QString sql = QStringLiteral("insert into 档案 (") + columns.join(u',') +
                        QStringLiteral(") values (") + params.join(u',') + u')';
    QSqlDatabase db = Database::connection();
    if (!db.transaction()) {
        return false;
    }
    QSqlQuery insert = Database::prepare(sql, error);
    for (const ReportRecord& r : records) {
        const ExamRecord record = toExamRecord(r);
        for (const BoxDef& box : FieldMap::boxes()) {
            const QString& value = record[box.field];
            insert.addBindValue(value.isNull() ? QStringLiteral("") : value);
        }
        if (!Database::exec(insert, error)) {
            db.rollback();
            return false;
        }
    }
    return db.commit();
}

} // namespace brenvoll::test
