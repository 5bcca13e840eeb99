#pragma once
// Values that call for the examiner's attention: a laboratory value outside
// the reference range its caption prints, a high blood pressure, a positive
// urine test. They are pointed out on screen only; the record and the printed
// sheet hold the text as typed.
#include "FieldMap.h"

#include <QString>

#include <optional>

namespace brenvoll {

// The number a box holds: half- or full-width digits with at most one decimal
// point ("." or "．"), blanks around them ignored. None for any other text.
std::optional<double> sheetNumber(const QString& text);

// Whether the text of box `field` is ever looked at.
bool hasValueCheck(Field field);

// Why the text of box `field` stands out ("高于参考范围 4.0-10.0",
// "低于参考范围 4.0-10.0", "血压偏高", "阳性"); empty when it does not.
QString valueFlag(Field field, const QString& text);

} // namespace brenvoll
