#pragma once
// Rules for the texts that operators type.
#include <QString>

namespace brenvoll {

// Removes leading and trailing ASCII blanks only (a full-width blank stays).
QString trimBlanks(const QString& text);

} // namespace brenvoll
