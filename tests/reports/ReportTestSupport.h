#pragma once
// What the report tests share: records with the report's columns set, stored
// in bulk. Written workbooks are read back with WorkbookReader.h.
#include "record/FieldMap.h"

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

} // namespace brenvoll::test
