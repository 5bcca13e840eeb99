#include "ReportTestSupport.h"

#include "TestSupport.h"
#include "storage/Database.h"

#include <QJsonDocument>
#include <QProcess>
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

namespace {
// Debian's interpreter carries python3-xlrd; a python3 earlier on PATH may not.
QString pythonWithXlrd()
{
    static const QString found = [] {
        for (const QString& candidate : {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")}) {
            QProcess probe;
            probe.start(candidate, {QStringLiteral("-c"), QStringLiteral("import xlrd")});
            if (probe.waitForFinished(30000) && probe.exitStatus() == QProcess::NormalExit &&
                probe.exitCode() == 0) {
                return candidate;
            }
        }
        return QString();
    }();
    return found;
}
} // namespace

QJsonObject readWorkbook(const QString& path, QString* error)
{
    const QString python = pythonWithXlrd();
    if (python.isEmpty()) {
        *error = QStringLiteral("no python3 with xlrd found (tools/install-deps.sh installs python3-xlrd)");
        return {};
    }
    QProcess reader;
    reader.start(python, {QStringLiteral(BRENVOLL_XLS_DUMP), path});
    if (!reader.waitForFinished(240000) || reader.exitStatus() != QProcess::NormalExit ||
        reader.exitCode() != 0) {
        *error = QStringLiteral("xlrd could not read %1: %2")
                     .arg(path, QString::fromUtf8(reader.readAllStandardError()));
        return {};
    }
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(reader.readAllStandardOutput(), &parse);
    if (parse.error != QJsonParseError::NoError) {
        *error = parse.errorString();
        return {};
    }
    return doc.object();
}

} // namespace brenvoll::test
