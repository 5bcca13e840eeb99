#pragma once
// An independent reading of written .xls workbooks: xls_dump.py, through
// xlrd, gives each sheet's cells and formats as JSON.
#include <QJsonObject>
#include <QString>

namespace brenvoll::test {

// The workbook as xls_dump.py reports it; an empty object with `error` set
// when it could not be read.
QJsonObject readWorkbook(const QString& path, QString* error);

} // namespace brenvoll::test
