#pragma once
// What the report tests share: records with the report's columns set, stored
// in bulk, and an independent reading of written workbooks through xlrd.
#include "record/FieldMap.h"

#include <QJsonObject>
#include <QString>

namespace brenvoll::test {

struct ReportRecord
{
    QString key;
    QString date;
    QString address;
    QString number;
    QString name;
    QString sex;
    QString age;
    QString phone;
    QString conclusion;
};

ExamRecord toExamRecord(const ReportRecord& r);
// Stores the records in one transaction; false with the reason on failure.
bool storeAll(const std::vector<ReportRecord>& records, QString* error = nullptr);

// The workbook as xls_dump.py reports it; an empty object with `error` set
// when it could not be read.
QJsonObject readWorkbook(const QString& path, QString* error);

} // namespace brenvoll::test
